// The knowledge-gap list: reading the history, grouping by meaning.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <random>

#include <quorvel/answerer.h>
#include <quorvel/gaps.h>
#include <quorvel/lang.h>

#include "fixture_builders.h"
#include "platform/text.h"
#include "test_support.h"

namespace quorvel {
namespace {

using test::TempDir;

TimePoint at(int day) {
  return TimePoint{} + std::chrono::hours(24 * (20000 + day));  // days in 2024
}

std::string line(const std::string& question, const std::string& text, bool notInDocs, const std::string& lang, int day,
                 const std::string& templ = "") {
  Answer a = test::historyAnswer(question, notInDocs, lang, at(day), templ);
  a.text = text;
  return a.toJson() + "\n";
}

// A unit vector at `angle` degrees from the first axis, in the plane of the
// first and the `axis`-th, with a little of a third dimension.
std::vector<float> toward(double angle, std::size_t axis, float extra = 0) {
  std::vector<float> v(8, 0.0f);
  const double r = angle * 3.14159265358979 / 180;
  v[0] = static_cast<float>(std::cos(r));
  v[axis] = static_cast<float>(std::sin(r));
  v[7] = extra;
  float n = 0;
  for (float x : v) n += x * x;
  for (float& x : v) x /= std::sqrt(n);
  return v;
}

Gaps::Message message(const std::string& text, int64_t count, const std::string& lang, int first, int last,
                      const std::string& templ = "") {
  return {text, count, {lang}, at(first), at(last), templ};
}

TEST(Gaps, OneMeaningInFourLanguagesJoinsAndNearMissesStayApart) {
  // The gym questions lie within 20 degrees of each other (cosine above
  // 0.93); the pool is 55 degrees from the gym (cosine 0.57, both are
  // amenities), parking on another axis; the sauna is the nearest miss, 45
  // degrees (0.71) from the gym, just below the join threshold.
  const std::vector<Gaps::Message> messages{
      message("Do you have a gym?", 3, "en", 1, 9),
      message("Gibt es ein Fitnessstudio?", 1, "de", 4, 4),
      message("\xD0\x95\xD1\x81\xD1\x82\xD1\x8C \xD0\xBB\xD0\xB8 \xD1\x83 \xD0\xB2\xD0\xB0\xD1\x81 "
              "\xD1\x81\xD0\xBF\xD0\xBE\xD1\x80\xD1\x82\xD0\xB7\xD0\xB0\xD0\xBB?",
              2, "ru", 2, 7),  // Есть ли у вас спортзал?
      message("Y a-t-il une salle de sport ?", 1, "fr", 8, 8, "checkin"),
      message("Is the pool heated?", 2, "en", 3, 5),
      message("Where can we park?", 1, "en", 6, 6),
      message("Is there a sauna?", 1, "en", 5, 5),
  };
  const std::vector<std::vector<float>> vectors{toward(0, 1),  toward(20, 1), toward(10, 1, 0.05f), toward(-10, 1),
                                                toward(55, 2), toward(90, 3), toward(45, 4)};
  const auto groups = Gaps::byMeaning(messages, vectors);
  ASSERT_EQ(groups.size(), 4u);
  const Gaps::Group& gym = groups[0];
  EXPECT_EQ(gym.count, 7);
  EXPECT_EQ(gym.examples.size(), 4u);
  EXPECT_EQ(gym.examples[0], "Do you have a gym?");  // the most asked first
  EXPECT_EQ(gym.languages, (std::vector<std::string>{"de", "en", "fr", "ru"}));
  EXPECT_EQ(gym.first, at(1));
  EXPECT_EQ(gym.last, at(9));
  EXPECT_EQ(gym.templateId, "checkin");
  // The centre leans to the most asked; the closest to it stands for all.
  EXPECT_EQ(gym.representative, "Do you have a gym?");
  EXPECT_EQ(groups[1].representative, "Is the pool heated?");
  EXPECT_EQ(groups[1].count, 2);
  for (std::size_t i = 2; i < 4; ++i) EXPECT_EQ(groups[i].count, 1);

  // Without vectors, every message is its own group, largest first.
  const auto byText = Gaps::byText(messages);
  ASSERT_EQ(byText.size(), messages.size());
  EXPECT_EQ(byText[0].representative, "Do you have a gym?");
  EXPECT_EQ(byText[1].count, 2);
}

TEST(Gaps, ReadingTheHistoryKeepsTheUnansweredOfThePeriod) {
  TempDir dir;
  const auto file = dir / "history.jsonl";
  std::ofstream(file) << line("Old question", Lang::notInDocs("en"), true, "en", 1)  // before the period
                      << line("When is breakfast?", "At 7 [1].", false, "en", 10)
                      << line("Do you have a gym?", Lang::notInDocs("en"), true, "en", 11)
                      << line("  do you HAVE a   gym? ", Lang::notInDocs("en"), true, "en", 14, "checkin")
                      << line("Breakfast and a gym?", "At 7 [1]. " + Lang::partial("en"), false, "en", 12)
                      << line("Gibt es ein Fitnessstudio?", Lang::notInDocs("de"), true, "de", 13)
                      << "not json at all\n"
                      << "[1, 2]\n"
                      << R"({"question":"q","text":"t","notInDocs":true,"language":"en","date":"yesterday"})"
                      << "\n"
                      << R"({"question":"no text"})"
                      << "\n"
                      << std::string(2 << 20, 'x') << "\n"  // a line of 2 MB
                      << "\n"
                      << line("Is the pool heated?", Lang::notInDocs("en"), true, "en", 15);
  // The last line lacks its line break: it still counts.
  std::string last = line("Where can we park?", Lang::notInDocs("en"), true, "en", 16);
  last.pop_back();
  std::ofstream(file, std::ios::app) << last;

  const Gaps::Reading r = Gaps::read(file, at(5));
  EXPECT_EQ(r.damagedLines, 5);
  EXPECT_EQ(r.answers, 7);
  ASSERT_EQ(r.messages.size(), 5u);
  EXPECT_EQ(r.messages[0].text, "Where can we park?");  // the most recent first
  const auto gym = std::find_if(r.messages.begin(), r.messages.end(),
                                [](const Gaps::Message& m) { return m.text == "Do you have a gym?"; });
  ASSERT_NE(gym, r.messages.end());
  EXPECT_EQ(gym->count, 2);  // the same words, in other case and spacing
  EXPECT_EQ(gym->first, at(11));
  EXPECT_EQ(gym->last, at(14));
  EXPECT_EQ(gym->templateId, "checkin");
  EXPECT_TRUE(std::any_of(r.messages.begin(), r.messages.end(),
                          [](const Gaps::Message& m) { return m.text == "Breakfast and a gym?"; }));  // half answered

  EXPECT_TRUE(Gaps::read(dir / "missing.jsonl", at(0)).messages.empty());
}

long peakSinceResetKB() {
  std::ifstream status("/proc/self/status");
  for (std::string l; std::getline(status, l);)
    if (l.rfind("VmHWM:", 0) == 0) return std::stol(l.substr(6));
  return 0L;
}

long residentKB() {
  std::ifstream status("/proc/self/status");
  for (std::string l; std::getline(status, l);)
    if (l.rfind("VmRSS:", 0) == 0) return std::stol(l.substr(6));
  return 0L;
}

// A date that cannot be right neither counts in the period nor goes
// unsaid: before the clock's range (it used to wrap round to 2262 and count
// in the last day), in the future, or a day the month does not have.
TEST(Gaps, ImpossibleAndFutureDatesAreNamedNotCounted) {
  TempDir dir;
  const auto file = dir / "history.jsonl";
  const TimePoint now = std::chrono::system_clock::now();
  auto dated = [](const std::string& question, TimePoint when, const std::string& date = "") {
    Answer a = test::historyAnswer(question, true, "en", when);
    a.text = Lang::notInDocs("en");
    std::string l = a.toJson() + "\n";
    if (!date.empty()) l.replace(l.find(isoDate(when)), 20, date);
    return l;
  };
  std::ofstream(file) << dated("Is there a sauna?", now - std::chrono::hours(2))
                      << dated("Long ago?", now, "1677-09-21T00:00:00Z")
                      << dated("Next week?", now + std::chrono::hours(24 * 7))
                      << dated("Leap day?", now, "2025-02-29T10:00:00Z")
                      << dated("A little ahead?", now + std::chrono::hours(1));  // a clock set back
  const Gaps::Reading r = Gaps::read(file, now - std::chrono::hours(24));
  EXPECT_EQ(r.damagedLines, 3);
  EXPECT_EQ(r.answers, 2);
  ASSERT_EQ(r.messages.size(), 2u);
  for (const auto& m : r.messages) EXPECT_NE(m.text, "Long ago?");
}

// Earlier versions recorded a message whole: a line of megabytes is a valid
// answer, read as the answering used its message and grouped with the same
// message recorded since. Its strings are cut while the line streams past,
// never inside an escape, a surrogate pair or a UTF-8 character.
TEST(Gaps, LongQuestionsAreReadAsAnsweredNeverAsDamaged) {
  TempDir dir;
  const auto file = dir / "history.jsonl";
  const std::string sauna = "Do you have a sauna? " + std::string(7'800'000, 'x');
  {
    std::ofstream out(file);
    out << line(sauna, Lang::notInDocs("en"), true, "en", 10)
        << line(Answerer::asAnswered(sauna), Lang::notInDocs("en"), true, "en", 11);
    // Every offset of the cut against escapes of 2, 6 and 12 bytes and
    // characters of 2 and 4 bytes.
    std::string unit = "\\ud83d\\ude00\xC3\xA9\\n\\u0001\\\\\xF0\x9F\x98\x80";
    std::string raw;
    while (raw.size() < (200 << 10)) raw += unit;
    for (int pad = 0; pad < 29; ++pad) {  // the unit is 29 bytes long
      std::string l = line("PLACE", Lang::notInDocs("en"), true, "en", 12);
      l.replace(l.find("PLACE"), 5, std::string(static_cast<std::size_t>(pad), 'a') + raw);
      out << l;
    }
  }
  const Gaps::Reading r = Gaps::read(file, at(5));
  EXPECT_EQ(r.damagedLines, 0);
  EXPECT_EQ(r.answers, 31);
  const auto saunas = std::find_if(r.messages.begin(), r.messages.end(),
                                   [](const Gaps::Message& m) { return m.text.rfind("Do you have a sauna?", 0) == 0; });
  ASSERT_NE(saunas, r.messages.end());
  EXPECT_EQ(saunas->count, 2);
  EXPECT_EQ(saunas->text, Answerer::asAnswered(sauna));
  for (const auto& m : r.messages) EXPECT_LE(m.text.size(), Answerer::kMessageBytes);

  // Sixty questions of 900 KB each: held as answered, not whole.
  {
    std::ofstream out(file);
    for (int i = 0; i < 60; ++i)
      out << line(std::to_string(i) + " " + std::string(900'000, 'q'), Lang::notInDocs("en"), true, "en", 20);
  }
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = residentKB();
  const Gaps::Reading many = Gaps::read(file, at(5));
  EXPECT_EQ(many.messages.size(), 60u);
  EXPECT_EQ(many.damagedLines, 0);
#ifndef __SANITIZE_ADDRESS__  // the address sanitizer keeps freed memory aside: no bound to see there
  EXPECT_LT(peakSinceResetKB() - before, 20 * 1024) << "KB";
#else
  (void)before;
#endif
}

// A history of 100 MB of different unanswered messages: read in bounded
// memory, the most recent kept, the rest counted.
TEST(Gaps, AHugeHistoryIsReadInBoundedMemory) {
  TempDir dir;
  const auto file = dir / "history.jsonl";
  {
    std::ofstream out(file);
    std::string padding(400, 'p');
    for (int i = 0; out.tellp() < 100'000'000; ++i)
      out << line("Question number " + std::to_string(i) + " " + padding, Lang::notInDocs("en"), true, "en", i / 1000);
  }
  // The peak resident memory from here on.
  std::ofstream("/proc/self/clear_refs") << "5";
  auto peakKB = peakSinceResetKB;
  const long before = residentKB();
  const Gaps::Reading r = Gaps::read(file, at(0));
  EXPECT_EQ(r.messages.size(), Gaps::kMaxMessages);
  EXPECT_GT(r.leftOut, 100000);
  EXPECT_EQ(r.leftOut + static_cast<int64_t>(r.messages.size()), r.answers);
#ifndef __SANITIZE_ADDRESS__  // the address sanitizer keeps freed memory aside: no bound to see there
  EXPECT_LT(peakKB() - before, 40 * 1024) << "KB";
#else
  (void)peakKB, (void)before;
#endif
  // The kept ones are the most recent: the last 500 asks came within the last day.
  EXPECT_GE(r.messages.back().last, at(static_cast<int>((r.answers - 1) / 1000) - 1));
}

}  // namespace
}  // namespace quorvel
