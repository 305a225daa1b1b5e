#include "index/words.h"

#include <quorvel/doc_index.h>

namespace quorvel {

std::vector<uint64_t> wordSet(std::string_view text) {
  std::vector<uint64_t> out;
  forEachToken(text, [&out](std::string_view w) { out.push_back(wordHash(w)); });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<std::string> DocIndex::tokens(std::string_view text) {
  std::vector<std::string> out;
  forEachToken(text, [&out](std::string_view w) { out.emplace_back(w); });
  return out;
}

}  // namespace quorvel
