#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <thread>

#include <quorvel/history.h>
#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::permissions;
using test::readText;
using test::TempHome;
using test::writeText;

Answer answer(double tps, double secs, std::string text = "Reply [1].") {
  Answer a;
  a.question = "q";
  a.text = std::move(text);
  a.language = "en";
  a.tokens = 10;
  a.tokensPerSecond = tps;
  a.seconds = secs;
  a.date = std::chrono::system_clock::from_time_t(1765000000);
  return a;
}

TEST(History, AppendCreatesFolderAndPrivateFile) {
  TempHome home;
  EXPECT_EQ(History::count(), 0);
  History::append(answer(12.5, 1.25));
  EXPECT_EQ(History::count(), 1);
  const std::string content = readText(Paths::historyFile());
  EXPECT_EQ(content, answer(12.5, 1.25).toJson() + "\n");
  EXPECT_EQ(permissions(Paths::historyFile()), 0600u);
  EXPECT_EQ(permissions(Paths::statsFile()), 0600u);
  EXPECT_EQ(permissions(home.path()), 0700u);
}

TEST(History, ClearStartsAFreshFileAndKeepsTheSpeed) {
  TempHome home;
  History::append(answer(10, 1));
  History::append(answer(20, 2));
  EXPECT_EQ(History::count(), 2);
  History::clear();
  EXPECT_EQ(History::count(), 0);
  EXPECT_EQ(Stats::lastTPS(), 20);
  History::clear();  // no file: harmless
  History::append(answer(30, 3));
  EXPECT_EQ(readText(Paths::historyFile()), answer(30, 3).toJson() + "\n");
}

TEST(History, CountSkipsBlankLinesAndRejectsInvalidUtf8) {
  TempHome home;
  writeText(Paths::historyFile(), "{\"a\":1}\n\n\n{damaged\n\n{\"c\":3}");
  EXPECT_EQ(History::count(), 3);
  writeText(Paths::historyFile(), "{\"a\":1}\n\xFF\n");
  EXPECT_EQ(History::count(), 0);
}

// A history of years is read in pieces: a character cut by a piece's end
// is still whole, a bad byte far in still makes it no history of ours.
TEST(History, ALongHistoryIsCountedPieceByPiece) {
  TempHome home;
  // A first line whose "ü" has one byte on each side of the first read's
  // end (1 MiB), then short lines up to 3 MB.
  std::string text = "{\"q\":\"";
  text += std::string((1u << 20) - 1 - text.size(), 'a') + "\xC3\xBC\"}\n";
  int64_t lines = 1;
  for (; text.size() < (3u << 20); ++lines) text += "{\"q\":\"Fr\xC3\xBChst\xC3\xBC\x63k\"}\n";
  writeText(Paths::historyFile(), text);
  EXPECT_EQ(History::count(), lines);
  text[(2u << 20) + 5] = '\xFF';
  writeText(Paths::historyFile(), text);
  EXPECT_EQ(History::count(), 0);
}

TEST(History, AnswerThatCannotBeEncodedIsNotStored) {
  TempHome home;
  History::append(answer(5, 1));
  History::append(answer(NAN, 1));
  History::append(answer(7, INFINITY));
  EXPECT_EQ(History::count(), 1);
  EXPECT_EQ(Stats::lastTPS(), 5);
}

TEST(History, ConcurrentAppendsNeverInterleave) {
  TempHome home;
  const std::string big(20000, 'x');  // larger than a pipe buffer, still one write
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) History::append(answer(1, 1, big));
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(History::count(), 100);
  const std::string content = readText(Paths::historyFile());
  std::size_t start = 0;
  while (start < content.size()) {
    const auto end = content.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_NO_THROW(Answer::fromJson(content.substr(start, end - start)));
    start = end + 1;
  }
}

TEST(Stats, HoldsOnlyTheLastAnswer) {
  TempHome home;
  EXPECT_EQ(Stats::lastTPS(), 0);
  History::append(answer(11.5, 3));
  History::append(answer(23.25, 4.5));
  EXPECT_EQ(readText(Paths::statsFile()), R"({"tps":23.25,"seconds":4.5,"date":"2025-12-06T05:46:40Z"})");
  EXPECT_EQ(Stats::lastTPS(), 23.25);
}

TEST(Stats, DamagedFileReadsAsZero) {
  TempHome home;
  Paths::ensure();
  for (const char* content : {R"({"tps":"fast"})", "[1,2]", "{\"tps\":", "", R"({"seconds":1})"}) {
    writeText(Paths::statsFile(), content);
    EXPECT_EQ(Stats::lastTPS(), 0) << content;
  }
  writeText(Paths::statsFile(), R"({"tps":7})");
  EXPECT_EQ(Stats::lastTPS(), 7);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Every line of history.jsonl is a whole answer.
void expectWholeLines(const std::string& text, std::size_t lines) {
  std::size_t n = 0;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l); ++n) EXPECT_NO_THROW(Answer::fromJson(l)) << l.substr(0, 80);
  EXPECT_EQ(n, lines);
  EXPECT_TRUE(text.empty() || text.back() == '\n');
}

TEST(History, AFullDiskLeavesOnlyWholeLines) {
  test::SmallDisk disk(256 << 10);
  if (!disk.ok()) GTEST_SKIP() << "a small tmpfs cannot be mounted here (needs root)";
  test::ScopedEnv home("QUORVEL_HOME", (disk.path() / "home").string());
  ASSERT_TRUE(History::append(answer(1, 1)));
  const std::string before = readText(Paths::historyFile());
  disk.fill(/*leave=*/3000);
  // Larger than what is left: the write is short and is taken back.
  EXPECT_FALSE(History::append(answer(2, 2, std::string(20000, 'x'))));
  EXPECT_EQ(readText(Paths::historyFile()), before);
  disk.unfill();
  EXPECT_TRUE(History::append(answer(3, 3)));
  expectWholeLines(readText(Paths::historyFile()), 2);
  EXPECT_EQ(Stats::lastTPS(), 3);
}

TEST(History, ALineTornEarlierDoesNotSwallowTheNext) {
  TempHome home;
  ASSERT_TRUE(History::append(answer(1, 1)));
  // A crash (or an older version on a full disk) left half a line.
  const std::string whole = readText(Paths::historyFile());
  writeText(Paths::historyFile(), whole + whole.substr(0, 30));
  ASSERT_TRUE(History::append(answer(2, 2)));
  const std::string text = readText(Paths::historyFile());
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NO_THROW(Answer::fromJson(lines[0]));
  EXPECT_EQ(lines[1], whole.substr(0, 30));  // the torn piece stays on a line of its own
  EXPECT_EQ(Answer::fromJson(lines[2]).tokensPerSecond, 2);
  EXPECT_EQ(History::count(), 3);
}

TEST(History, AnAnswerThatCannotBeStoredSaysSo) {
  TempHome home;
  EXPECT_FALSE(History::append(answer(NAN, 1)));
  fs::create_directories(Paths::historyFile());  // not a file at all
  EXPECT_FALSE(History::append(answer(1, 1)));
}

}  // namespace
}  // namespace quorvel
