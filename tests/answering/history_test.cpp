#include <gtest/gtest.h>

#include <cmath>
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
