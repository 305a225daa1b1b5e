// The index.json reader on its own: the JSON number grammar, buffer edges,
// and file names that are not UTF-8.
#include <gtest/gtest.h>

#include <cmath>

#include "index/index_file.h"
#include "platform/text.h"
#include "test_support.h"

namespace quorvel {
namespace {

struct Read {
  bool ok = false;
  std::map<std::string, double> files;
  std::vector<StoredPassage> passages;
  std::vector<float> block;
  std::string embeddingModel;
  int cutting = -1;
};

Read readText(const std::string& json) {
  test::TempDir dir;
  test::writeText(dir / "index.json", json);
  Read r;
  r.ok = readIndexFile(dir / "index.json", r.files, r.passages, r.block, r.embeddingModel, r.cutting);
  return r;
}

std::string withVector(const std::string& components) {
  return R"({"files":{"a.txt":1},"chunks":[{"id":"a.txt#1","file":"a.txt","section":"","text":"t","vector":[)" +
         components + "]}]}";
}

TEST(IndexFile, NumbersFollowTheJsonGrammar) {
  for (const char* good : {"0", "-0", "0.5", "1e3", "1E+3", "-1.25e-2", "12345"}) {
    const auto r = readText(withVector(good));
    EXPECT_TRUE(r.ok) << good;
    ASSERT_EQ(r.block.size(), 1u);
    EXPECT_FLOAT_EQ(r.block[0], std::stof(good)) << good;
  }
  // Each also with more than a buffer's worth of text after it, where the
  // fast path reads in place.
  const std::string tail = std::string(",\"pad\":\"") + std::string(200, 'x') + "\"";
  for (const char* bad : {"inf", "nan", "NaN", "00", "01", "0.", "1.e5", ".5", "+1", "-", "1e", "1e+", "--1", "0x10"}) {
    EXPECT_FALSE(readText(withVector(bad)).ok) << bad;
    std::string padded = withVector(bad);
    padded.insert(padded.size() - 3, tail);  // after the vector, inside the passage
    EXPECT_FALSE(readText(padded).ok) << bad << " (padded)";
  }
}

TEST(IndexFile, TheCuttingVersionIsReadWhereThereIsOne) {
  EXPECT_EQ(readText(R"({"files":{},"chunks":[]})").cutting, 0);  // an index of an older version
  EXPECT_EQ(readText(R"({"cutting":2,"files":{},"chunks":[]})").cutting, 2);
  for (const char* odd : {"-1", "1e300", "2.5e3"}) {
    const auto r = readText(std::string(R"({"cutting":)") + odd + R"(,"files":{},"chunks":[]})");
    EXPECT_TRUE(r.ok) << odd;
    EXPECT_EQ(r.cutting, 0) << odd;
  }
}

TEST(IndexFile, NumbersBeyondAFloatReadAsInfiniteNotAsDamage) {
  const auto r = readText(withVector("1e39,-1e400,1e-50,0.25"));
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.block.size(), 4u);
  EXPECT_TRUE(std::isinf(r.block[0]) && r.block[0] > 0);
  EXPECT_TRUE(std::isinf(r.block[1]) && r.block[1] < 0);
  EXPECT_EQ(r.block[2], 0.0f);
  EXPECT_EQ(r.block[3], 0.25f);
}

TEST(IndexFile, ALongNumberAcrossTheReadBufferEdge) {
  // The reader takes the file 1 MiB at a time: put a valid 80-character
  // number across that edge, at every offset around it.
  const std::string number = "0." + std::string(78, '1');
  const std::string head = R"({"files":{"a.txt":1},"chunks":[{"id":"a.txt#1","file":"a.txt","section":"","text":")";
  for (std::size_t shift = 0; shift < 120; shift += 3) {
    const std::size_t textLength = (1u << 20) - head.size() - std::string("\",\"vector\":[").size() - 100 + shift;
    const std::string json = head + std::string(textLength, 'x') + "\",\"vector\":[" + number + "]}]}";
    const auto r = readText(json);
    ASSERT_TRUE(r.ok) << shift;
    EXPECT_FLOAT_EQ(r.block.at(0), 0.11111111f) << shift;
  }
}

TEST(IndexFile, NamesThatAreNotUtf8RoundTrip) {
  for (std::string name : {std::string("caf\xE9.txt"), std::string("\xFF\xFE.md"),
                           std::string("ok-\xC3\xA9t\xC3\xA9.txt"), std::string("half-\xE2\x82.txt")}) {
    const std::string encoded = encodeName(name);
    EXPECT_TRUE(isValidUtf8(encoded)) << name;
    EXPECT_EQ(decodeName(encoded), name);
  }
  EXPECT_EQ(encodeName("plain \xD0\x96.txt"), "plain \xD0\x96.txt");  // valid names are stored as they are
}

}  // namespace
}  // namespace quorvel
