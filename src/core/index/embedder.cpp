#include <quorvel/embedder.h>

#include <simdjson.h>

#include <algorithm>
#include <cmath>

#include <quorvel/engine.h>

#include "platform/local_http.h"
#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kBatch = 16;
// The model's context is 8,192 tokens; a passage that is a whole page or a
// whole file is embedded by its beginning (it stays whole in the index).
constexpr std::size_t kMaxCharacters = 6000;

}  // namespace

const std::string Embedder::queryInstruction =
    "Instruct: Given a hotel guest's message in any language, retrieve hotel document passages that answer it\nQuery: ";

std::vector<std::vector<float>> Embedder::embed(const std::vector<std::string>& texts, bool query) {
  std::vector<std::vector<float>> result;
  if (texts.empty()) return result;
  result.reserve(texts.size());
  const std::string url = Engine::embedURL() + "/v1/embeddings";
  for (std::size_t start = 0; start < texts.size(); start += kBatch) {
    const std::size_t end = std::min(texts.size(), start + kBatch);
    nlohmann::json inputs = nlohmann::json::array();
    for (std::size_t i = start; i < end; ++i) {
      std::string text = graphemePrefix(texts[i], kMaxCharacters);
      inputs.push_back(query ? queryInstruction + text : std::move(text));
    }
    std::string body;
    LocalHTTP::postStreaming(url, nlohmann::json{{"input", std::move(inputs)}},
                             [&body](std::string_view piece) { body.append(piece); });

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
                  if (c.get_double().get(d)) {
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
      // Not JSON at all is a parse error like any other; JSON without a
      // "data" array of objects is the embedding error, showing the reply.
      const auto reply = nlohmann::json::parse(body);
      throw EmbedError(reply.is_object() ? reply.dump() : "{}");
    }
    if (items.size() < end - start)
      throw EmbedError("the embedding server returned " + std::to_string(items.size()) + " vectors for " +
                       std::to_string(end - start) + " texts");
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    items.resize(end - start);  // a surplus would shift every later pairing
    for (auto& [index, vec] : items) {
      float sum = 0;
      for (float x : vec) sum += x * x;
      if (sum > 0) {
        const float norm = std::sqrt(sum);
        for (float& x : vec) x /= norm;
      }
      result.push_back(std::move(vec));
    }
  }
  return result;
}

}  // namespace quorvel
