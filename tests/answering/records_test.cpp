#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

#include <quorvel/records.h>

#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {
namespace {

using namespace std::chrono;

Answer sample() {
  Answer a;
  a.question = "Wann gibt es \"Frühstück\"?";
  a.text = "Breakfast is served from 7:00 [1].\nSee\tyou";
  a.notInDocs = false;
  a.language = "de";
  a.sources = {{1, "breakfast.md", "Breakfast", "Breakfast is served from 7:00."},
               {3, "prices.txt", "", "Room 120 EUR"}};
  a.tokens = 42;
  a.tokensPerSecond = 0.1;
  a.seconds = 2.5;
  a.date = system_clock::from_time_t(1748766600) + milliseconds(750);  // 2025-06-01T08:30:00.750Z
  return a;
}

TEST(Records, AnswerEncodesOnOneLineWithEveryKey) {
  EXPECT_EQ(
      sample().toJson(),
      R"({"question":"Wann gibt es \"Frühstück\"?","text":"Breakfast is served from 7:00 [1].\nSee\tyou",)"
      R"("notInDocs":false,"language":"de","sources":[{"n":1,"file":"breakfast.md","section":"Breakfast",)"
      R"("snippet":"Breakfast is served from 7:00."},{"n":3,"file":"prices.txt","section":"","snippet":"Room 120 EUR"}],)"
      R"("tokens":42,"tokensPerSecond":0.1,"seconds":2.5,"date":"2025-06-01T08:30:00Z"})");
  Answer empty;
  empty.date = system_clock::from_time_t(0);
  EXPECT_EQ(empty.toJson(), R"({"question":"","text":"","notInDocs":false,"language":"","sources":[],"tokens":0,)"
                            R"("tokensPerSecond":0,"seconds":0,"date":"1970-01-01T00:00:00Z"})");
}

TEST(Records, NumbersAreShortestRoundTripAndNonFiniteFails) {
  for (double d : {0.1, 1.0 / 3.0, 123456.789, 5e-324, 1.7976931348623157e308, 17.25, -0.0}) {
    std::string s;
    appendJsonNumber(s, d);
    EXPECT_EQ(std::strtod(s.c_str(), nullptr), d) << s;
    EXPECT_EQ(std::signbit(std::strtod(s.c_str(), nullptr)), std::signbit(d)) << s;
  }
  std::string s;
  appendJsonNumber(s, 0.3);
  EXPECT_EQ(s, "0.3");

  Answer a = sample();
  a.tokensPerSecond = std::numeric_limits<double>::infinity();
  EXPECT_THROW(a.toJson(), JsonError);
  a.tokensPerSecond = 1;
  a.seconds = std::nan("");
  EXPECT_THROW(a.toJson(), JsonError);
}

TEST(Records, StringsAreEscapedAndAlwaysValidUtf8) {
  std::string s;
  appendJsonString(s, std::string("a\x01\x1f\\/\xC3\xA9", 7));
  EXPECT_EQ(s, "\"a\\u0001\\u001f\\\\/\xC3\xA9\"");
  s.clear();
  appendJsonString(s, "bad \xFF\xC3 end");
  EXPECT_EQ(s, "\"bad \xEF\xBF\xBD\xEF\xBF\xBD end\"");
}

TEST(Records, RoundTripKeepsEverythingButTheFractionOfASecond) {
  const Answer a = sample();
  const Answer b = Answer::fromJson(a.toJson());
  EXPECT_EQ(b.question, a.question);
  EXPECT_EQ(b.text, a.text);
  EXPECT_EQ(b.notInDocs, a.notInDocs);
  EXPECT_EQ(b.language, a.language);
  EXPECT_EQ(b.sources, a.sources);
  EXPECT_EQ(b.tokens, a.tokens);
  EXPECT_EQ(b.tokensPerSecond, a.tokensPerSecond);
  EXPECT_EQ(b.seconds, a.seconds);
  EXPECT_EQ(b.date, floor<seconds>(a.date));
  EXPECT_EQ(Source::fromJson(a.sources[1].toJson()), a.sources[1]);
}

TEST(Records, DecodingRequiresEveryKey) {
  const std::string full = sample().toJson();
  for (const char* key : {"\"question\"", "\"notInDocs\"", "\"sources\"", "\"tokensPerSecond\"", "\"date\""}) {
    std::string broken = full;
    broken.replace(broken.find(key), std::string(key).size(), "\"other\"");
    EXPECT_ANY_THROW(Answer::fromJson(broken)) << key;
  }
  EXPECT_ANY_THROW(Source::fromJson(R"({"n":1,"file":"a","snippet":"b"})"));
  EXPECT_ANY_THROW(Source::fromJson(R"({"n":1,"file":"a","section":null,"snippet":"b"})"));
  std::string badDate = full;
  badDate.replace(badDate.find("2025-06-01T08:30:00Z"), 20, "yesterday");
  EXPECT_ANY_THROW(Answer::fromJson(badDate));
}

TEST(Records, DatesParseWithOrWithoutFraction) {
  EXPECT_EQ(parseIsoDate("2025-06-01T08:30:00Z"), system_clock::from_time_t(1748766600));
  EXPECT_EQ(parseIsoDate("2025-06-01T08:30:00.999Z"), system_clock::from_time_t(1748766600));
  EXPECT_FALSE(parseIsoDate("2025-06-01T08:30:00").has_value());
  EXPECT_FALSE(parseIsoDate("2025-13-01T08:30:00Z").has_value());
  EXPECT_FALSE(parseIsoDate("2025-06-01T08:30:00Zjunk").has_value());
}

// Dates the clock cannot hold are none, never wrapped round to the other
// end of its range; nor is a day the month does not have.
TEST(Records, DatesOutsideTheClocksRangeOrCalendarAreNone) {
  EXPECT_FALSE(parseIsoDate("1677-09-21T00:00:00Z").has_value());  // would read as 2262-04-11
  EXPECT_FALSE(parseIsoDate("2262-04-12T00:00:00Z").has_value());
  EXPECT_FALSE(parseIsoDate("0001-01-01T00:00:00Z").has_value());
  EXPECT_FALSE(parseIsoDate("9999-12-31T23:59:59Z").has_value());
  EXPECT_FALSE(parseIsoDate("2025-02-31T08:00:00Z").has_value());
  EXPECT_FALSE(parseIsoDate("2025-02-29T08:00:00Z").has_value());
  EXPECT_EQ(isoDate(*parseIsoDate("2024-02-29T08:00:00Z")), "2024-02-29T08:00:00Z");
  EXPECT_EQ(isoDate(*parseIsoDate("1677-09-22T00:00:00Z")), "1677-09-22T00:00:00Z");
  EXPECT_EQ(isoDate(*parseIsoDate("2262-04-10T23:59:59Z")), "2262-04-10T23:59:59Z");
  EXPECT_EQ(isoDate(*parseIsoDate("2016-12-31T23:59:60Z")), "2016-12-31T23:59:59Z");  // a leap second
}

TEST(Records, SnippetCountsUserPerceivedCharacters) {
  EXPECT_EQ(Source::snippetOf("short text"), "short text");
  std::string text;
  for (int i = 0; i < 300; ++i) text += "e\xCC\x81";  // e + combining acute: one character, three bytes
  const std::string snippet = Source::snippetOf(text);
  EXPECT_EQ(snippet.size(), 240u * 3);
  EXPECT_EQ(graphemeCount(snippet), 240u);

  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "\xD0\x96";  // Ж
  EXPECT_EQ(Source::snippetOf(cyrillic), cyrillic.substr(0, 480));

  std::string exact;
  for (int i = 0; i < 240; ++i) exact += "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs up + skin tone
  EXPECT_EQ(Source::snippetOf(exact), exact);
  EXPECT_EQ(Source::snippetOf(exact + "x"), exact);
}

TEST(Records, SourcesCompareAndHashOnAllFields) {
  const Source a{1, "f.txt", "S", "one"};
  Source b = a;
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::hash<Source>{}(a), std::hash<Source>{}(b));
  b.snippet = "two";
  EXPECT_NE(a, b);
  std::unordered_set<Source> set{a, b, a};
  EXPECT_EQ(set.size(), 2u);
}

}  // namespace
}  // namespace quorvel
