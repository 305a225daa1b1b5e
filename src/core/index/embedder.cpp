#include <quorvel/embedder.h>

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <quorvel/engine.h>

#include "index/embedding_reply.h"
#include "platform/local_http.h"
#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kBatch = 16;
// What one input may hold, in bytes: the model's tokens are made from bytes,
// never more tokens than bytes, so an input this long (with the two tokens
// the server adds) always fits the embedding server's context of 4,096
// (Engine). A passage longer than that (a whole page, a long paragraph) is
// embedded by its beginning; it stays whole in the index.
constexpr std::size_t kMaxBytes = 4000;

}  // namespace

const std::string Embedder::queryInstruction =
    "Instruct: Given a hotel guest's message in any language, retrieve hotel document passages that answer it\nQuery: ";

// One pass of the on-demand parser: its values are valid only while the
// document is read in order, so the checks sit beside the reading.
std::vector<std::vector<float>> parseEmbeddingReply(std::string_view body, std::size_t count) {
  // The reply holds thousands of numbers: read it with simdjson (one
  // parser per thread, so that its buffers are not made anew per batch).
  thread_local simdjson::ondemand::parser parser;
  const simdjson::padded_string padded(body);
  std::vector<std::pair<int64_t, std::vector<float>>> items;
  bool usable = false;
  try {
    simdjson::ondemand::document doc = parser.iterate(padded);
    simdjson::ondemand::object top;
    if (!doc.get_object().get(top)) {
      simdjson::ondemand::array data;
      if (!top.find_field_unordered("data").get_array().get(data)) {
        usable = true;
        for (auto element : data) {
          simdjson::ondemand::object item;
          if (element.get_object().get(item)) {
            usable = false;
            break;
          }
          int64_t index = 0;
          std::vector<float> vec;
          bool numeric = true;
          for (auto field : item) {
            std::string_view key;
            if (field.unescaped_key().get(key)) break;
            if (key == "index") {
              if (field.value().get_int64().get(index)) index = 0;
            } else if (key == "embedding") {
              simdjson::ondemand::array components;
              if (field.value().get_array().get(components)) {
                numeric = false;
                continue;
              }
              for (auto c : components) {
                double d;
                // null, or a number beyond a float: the vector is unusable.
                if (c.get_double().get(d) || !std::isfinite(d) ||
                    std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) {
                  numeric = false;
                  break;
                }
                vec.push_back(static_cast<float>(d));
              }
            }
          }
          if (!numeric) vec.clear();
          items.emplace_back(index, std::move(vec));
        }
      }
    }
  } catch (const simdjson::simdjson_error&) {
    usable = false;
  }
  if (!usable) {
    // Quoted, never parsed again or printed whole: the reply may be
    // anything, nested deeper than any printer's stack.
    throw EmbedError("the embedding server sent no vectors: " + excerpt(body));
  }
  if (items.size() < count)
    throw EmbedError("the embedding server returned " + std::to_string(items.size()) + " vectors for " +
                     std::to_string(count) + " texts");
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  items.resize(count);  // a surplus would shift every later pairing
  std::vector<std::vector<float>> vectors;
  vectors.reserve(count);
  for (auto& [index, vec] : items) vectors.push_back(std::move(vec));
  return vectors;
}

std::vector<std::vector<float>> Embedder::embed(const std::vector<std::string>& texts, bool query) {
  std::vector<std::vector<float>> result;
  if (texts.empty()) return result;
  result.reserve(texts.size());
  const std::string url = Engine::embedURL() + "/v1/embeddings";
  for (std::size_t start = 0; start < texts.size(); start += kBatch) {
    const std::size_t end = std::min(texts.size(), start + kBatch);
    nlohmann::json inputs = nlohmann::json::array();
    for (std::size_t i = start; i < end; ++i) {
      const std::size_t room = kMaxBytes - (query ? queryInstruction.size() : 0);
      std::string text = graphemePrefixBytes(texts[i], room);
      inputs.push_back(query ? queryInstruction + text : std::move(text));
    }
    std::string body;
    // Nothing arrives until the whole batch is embedded, which on a
    // computer without a graphics card can take longer than a minute.
    LocalHTTP::postStreaming(
        url, nlohmann::json{{"input", std::move(inputs)}}, [&body](std::string_view piece) { body.append(piece); },
        LocalHTTP::kSessionLimit);

    for (auto& vec : parseEmbeddingReply(body, end - start)) {
      // A vector that is empty, not finite, or of another length than the
      // others would be stored for good and rank wrongly ever after.
      if (vec.empty()) throw EmbedError("the embedding server sent an empty or unreadable vector");
      if (!result.empty() && vec.size() != result.front().size())
        throw EmbedError("the embedding server sent vectors of " + std::to_string(result.front().size()) + " and " +
                         std::to_string(vec.size()) + " dimensions");
      double sum = 0;
      for (float x : vec) sum += static_cast<double>(x) * x;
      if (sum > 0) {
        const double norm = std::sqrt(sum);
        for (float& x : vec) x = static_cast<float>(x / norm);
      }
      result.push_back(std::move(vec));
    }
  }
  return result;
}

}  // namespace quorvel
