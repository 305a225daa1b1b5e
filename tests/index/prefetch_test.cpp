// Reading ahead of the embedding: bounded in documents and in bytes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "index/prefetch.h"

namespace quorvel {
namespace {

Prepared document(const std::string& name, std::size_t bytes) {
  Prepared p;
  p.name = name;
  p.chunks = std::vector<Chunk>{Chunk{name + "#1", name, "", std::string(bytes, 'x'), {}}};
  p.words.push_back({});
  return p;
}

// Large documents are not piled up sixteen deep while the consumer is busy:
// past the first, no more than about 64 MB of passages wait.
TEST(Prefetcher, ReadsAheadNoMoreThanItsBytesAllow) {
  std::vector<std::string> names;
  for (int i = 0; i < 20; ++i) names.push_back("doc" + std::to_string(i) + ".txt");
  for (const auto& [bytes, most] : std::vector<std::pair<std::size_t, int>>{{40u << 20, 3}, {1u << 10, 17}}) {
    std::atomic<int> prepared{0};
    Prefetcher ahead(names, [&](const std::string& name) {
      ++prepared;
      return document(name, bytes);
    });
    EXPECT_EQ(ahead.next([] {}).name, "doc0.txt");
    // Time for the reader to run as far ahead as it may (it stops there).
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LE(prepared.load(), most) << bytes;
    EXPECT_GE(prepared.load(), 2) << bytes;
    for (int i = 1; i < 20; ++i) EXPECT_EQ(ahead.next([] {}).name, names[i]);
  }
}

}  // namespace
}  // namespace quorvel
