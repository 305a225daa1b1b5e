#include <quorvel/records.h>

#include <nlohmann/json.hpp>

#include <stdexcept>

#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kSnippetLength = 240;

void writeSource(JsonWriter& w, const Source& s) {
  w.beginObject()
      .key("n")
      .value(s.n)
      .key("file")
      .value(s.file)
      .key("section")
      .value(s.section)
      .key("snippet")
      .value(s.snippet)
      .endObject();
}

Source readSource(const nlohmann::json& j) {
  Source s;
  s.n = j.at("n").get<int64_t>();
  s.file = j.at("file").get<std::string>();
  s.section = j.at("section").get<std::string>();
  s.snippet = j.at("snippet").get<std::string>();
  return s;
}

double readNumber(const nlohmann::json& j, const char* key) {
  const auto& v = j.at(key);
  if (!v.is_number()) throw std::invalid_argument(std::string("\"") + key + "\" is not a number");
  return v.get<double>();
}

}  // namespace

std::string Source::snippetOf(std::string_view passageText) { return graphemePrefix(passageText, kSnippetLength); }

std::string Source::toJson() const {
  JsonWriter w;
  writeSource(w, *this);
  return w.take();
}

Source Source::fromJson(std::string_view json) { return readSource(nlohmann::json::parse(json)); }

std::string Answer::toJson() const {
  JsonWriter w;
  w.beginObject()
      .key("question")
      .value(question)
      .key("text")
      .value(text)
      .key("notInDocs")
      .value(notInDocs)
      .key("language")
      .value(language)
      .key("sources")
      .beginArray();
  for (const Source& s : sources) writeSource(w, s);
  w.endArray()
      .key("tokens")
      .value(tokens)
      .key("tokensPerSecond")
      .value(tokensPerSecond)
      .key("seconds")
      .value(seconds)
      .key("date")
      .value(isoDate(date));
  if (!templateId.empty()) w.key("template").value(templateId);
  w.endObject();
  return w.take();
}

Answer Answer::fromJson(std::string_view json) {
  const auto j = nlohmann::json::parse(json);
  Answer a;
  a.question = j.at("question").get<std::string>();
  a.text = j.at("text").get<std::string>();
  a.notInDocs = j.at("notInDocs").get<bool>();
  a.language = j.at("language").get<std::string>();
  if (!j.at("sources").is_array()) throw std::invalid_argument("\"sources\" is not an array");
  for (const auto& s : j.at("sources")) a.sources.push_back(readSource(s));
  a.tokens = j.at("tokens").get<int64_t>();
  a.tokensPerSecond = readNumber(j, "tokensPerSecond");
  a.seconds = readNumber(j, "seconds");
  auto date = parseIsoDate(j.at("date").get<std::string>());
  if (!date) throw std::invalid_argument("\"date\" is not an ISO 8601 date");
  a.date = *date;
  if (const auto t = j.find("template"); t != j.end() && t->is_string()) a.templateId = t->get<std::string>();
  return a;
}

}  // namespace quorvel

std::size_t std::hash<quorvel::Source>::operator()(const quorvel::Source& s) const noexcept {
  std::size_t h = std::hash<int64_t>{}(s.n);
  for (const std::string* f : {&s.file, &s.section, &s.snippet})
    h ^= std::hash<std::string>{}(*f) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}
