// Cutting text into passages.
#include <gtest/gtest.h>

#include <algorithm>

#include <quorvel/document_reader.h>

#include "platform/text.h"

namespace quorvel {
namespace {

std::vector<Chunk> cut(std::string_view text, const std::string& file = "faq.md") {
  return DocumentReader::chunks(file, text);
}

std::string repeat(std::string_view unit, std::size_t times) {
  std::string s;
  for (std::size_t i = 0; i < times; ++i) s += unit;
  return s;
}

// A paragraph of exactly n characters, lower case, no heading.
std::string para(std::size_t n, char c = 'x') { return "a" + std::string(n - 1, c); }

TEST(Headings, TheFourRulesInOrder) {
  struct Case {
    const char* line;
    bool heading;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"# Breakfast", true},
           {"BREAKFAST", true},
           {"CHECK-IN: 14:00", false},
           {"Is parking free?", true},
           {"Breakfast and dinner", true},
           {"Breakfast is served from 7 to 10.", false},
           {"Wi-Fi", true},
           {"Ok", false},
           {"Pets, smoking and noise", false},
           {"###", true},
           {"ЗАВТРАК И УЖИН", true},  // Cyrillic capitals
           {"Завтрак и ужин", true},  // rule 4
           {"早餐时间", true},        // letters without case count as capitals
           {"早餐", false},           // fewer than three letters
           {"早餐时间:", false},
           {"ПАРКОВКА 24/7", true},
           {"Where can I park my car during my stay at the hotel for free?", false},  // 61 characters
           {"Where can I park my car during my stay at the hotel for fre?", true},    // 60 characters
           {"Late check-out is possible on request", true},                           // 37 characters, rule 4
           {"Late check-out is possible on requests too", false},                     // 42 characters
           {"breakfast and dinner", false},                                           // lower-case start
           {"Straße", true},
           {"STRASSE", true},
       }) {
    EXPECT_EQ(DocumentReader::isHeading(c.line), c.heading) << c.line;
  }
  // "STRAßE" is not all capitals (rule 2 fails) but starts with a capital (rule 4).
  EXPECT_FALSE(DocumentReader::isHeading(""));
  EXPECT_TRUE(DocumentReader::isHeading("STRAßE"));
  EXPECT_FALSE(DocumentReader::isHeading("STRAßE, BERLIN"));
  // Combining accents are part of their letter: "CAFÉ" written with U+0301 is all capitals.
  EXPECT_FALSE(DocumentReader::isHeading("CAFE\xCC\x81 MENU: 7-10"));
  EXPECT_TRUE(DocumentReader::isHeading("CAFE\xCC\x81 LE MATIN"));
  EXPECT_FALSE(DocumentReader::isHeading("Caf\xC3\xA9 le matin, a\xCC\x80 7h."));
}

TEST(Chunks, BlankTextGivesNothing) {
  EXPECT_TRUE(cut("").empty());
  EXPECT_TRUE(cut(" \n\n\t\r\n  \n").empty());
}

// The lines of the passages, section prefixes left out: what a long
// paragraph was cut into must be all of it, in order, each line whole.
std::vector<std::string> linesOf(const std::vector<Chunk>& chunks) {
  std::vector<std::string> out;
  for (const Chunk& c : chunks) {
    std::string_view t = c.text;
    if (!c.section.empty() && t.starts_with(c.section + "\n") && t != c.section) t.remove_prefix(c.section.size() + 1);
    for (std::size_t pos = 0; pos <= t.size();) {
      std::size_t end = std::min(t.find('\n', pos), t.size());
      out.emplace_back(t.substr(pos, end - pos));
      pos = end + 1;
    }
  }
  return out;
}

TEST(Chunks, TextWithoutBlankLinesIsCutAtLineEndsOnceItIsLong) {
  // Up to the paragraph limit it is one paragraph, as any other.
  const std::string shortText = repeat("line of the price list\n", 40);  // 920 characters
  auto c = cut(shortText);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].text, shortText.substr(0, shortText.size() - 1));
  EXPECT_EQ(c[0].id, "faq.md#1");
  EXPECT_EQ(c[0].file, "faq.md");
  EXPECT_TRUE(c[0].vector.empty());

  // A booking system's export: single line breaks only, facts to the end.
  std::string text;
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) {
    lines.push_back("room " + std::to_string(i) + " costs EUR " + std::to_string(50 + i) + " a night, with breakfast");
    text += lines.back() + "\n";
  }
  c = cut(text);
  ASSERT_GT(c.size(), 10u);
  for (std::size_t i = 0; i < c.size(); ++i) {
    EXPECT_LE(graphemeCount(c[i].text), 700u) << i;
    EXPECT_EQ(c[i].id, "faq.md#" + std::to_string(i + 1));
  }
  EXPECT_EQ(linesOf(c), lines);
}

TEST(Chunks, LongTextOpensSectionsAtItsHeadingLines) {
  std::string text = "HOTEL INFORMATION\n";
  for (int i = 0; i < 30; ++i) text += "Reception is open from 7:00 to 23:00 every day\n";
  text += "PARKING\nParking: EUR 15 per night, garage entrance Bahnhofstrasse 4\n";
  for (int i = 0; i < 10; ++i) text += "Electric cars charge at the garage for EUR 9\n";
  text += "CANCELLATION POLICY\nFree cancellation until 48 hours before arrival\n";
  auto c = cut(text);
  ASSERT_GE(c.size(), 4u);
  EXPECT_EQ(c.front().section, "HOTEL INFORMATION");
  const auto parking = std::find_if(c.begin(), c.end(), [](const Chunk& x) { return x.section == "PARKING"; });
  ASSERT_NE(parking, c.end());
  EXPECT_TRUE(parking->text.starts_with("PARKING\nParking: EUR 15 per night")) << parking->text;
  EXPECT_EQ(c.back().section, "CANCELLATION POLICY");
  EXPECT_EQ(c.back().text, "CANCELLATION POLICY\nFree cancellation until 48 hours before arrival");
  // The passages after the first of a section carry its heading.
  EXPECT_EQ(c[1].section, "HOTEL INFORMATION");
  EXPECT_TRUE(c[1].text.starts_with("HOTEL INFORMATION\nReception")) << c[1].text;
}

TEST(Chunks, LongLinesAreCutAtSentencesThenWordsThenCharacters) {
  // One line of sentences: every passage ends where a sentence ends.
  std::string sentences;
  for (int i = 0; i < 60; ++i) sentences += "The shuttle number " + std::to_string(i) + " leaves the lobby at nine. ";
  auto c = cut(sentences);
  ASSERT_GT(c.size(), 2u);
  std::string joined;
  for (const Chunk& x : c) {
    EXPECT_LE(graphemeCount(x.text), 700u);
    EXPECT_TRUE(x.text.ends_with("at nine.")) << x.text;
    joined += x.text + " ";
  }
  EXPECT_EQ(joined, sentences);

  // One sentence of 3,000 characters: cut between words, never inside one.
  std::string words = "Guests";
  while (words.size() < 3000) words += " may borrow umbrellas";
  c = cut(words + ".");
  ASSERT_GE(c.size(), 5u);
  for (const Chunk& x : c) {
    EXPECT_LE(graphemeCount(x.text), 700u);
    for (std::size_t pos = 0; pos < x.text.size();) {
      const std::size_t end = std::min(x.text.find(' ', pos), x.text.size());
      const std::string word = x.text.substr(pos, end - pos);
      EXPECT_TRUE(word == "Guests" || word == "may" || word == "borrow" || word.starts_with("umbrellas")) << word;
      pos = end + 1;
    }
  }

  // No place to cut but between characters: never inside one ("é" as e +
  // combining accent is one character of two code points).
  const std::string accents = "a" + repeat("e\xCC\x81", 1999);
  c = cut(accents);
  ASSERT_EQ(c.size(), 3u);
  std::size_t total = 0;
  for (const Chunk& x : c) {
    EXPECT_FALSE(x.text.starts_with("\xCC\x81"));
    EXPECT_TRUE(isValidUtf8(x.text));
    total += graphemeCount(x.text);
  }
  EXPECT_EQ(total, 2000u);

  // Chinese without spaces ends its sentences with "。".
  const std::string cjk = repeat("\xE6\x97\xA9\xE9\xA4\x90\xE5\x9C\xA8\xE4\xB8\x80\xE6\xA5\xBC\xE3\x80\x82", 300);
  c = cut(cjk);
  ASSERT_GE(c.size(), 3u);
  for (const Chunk& x : c) EXPECT_TRUE(x.text.ends_with("\xE3\x80\x82"));
}

TEST(Chunks, ParagraphLimitIsAThousandCharacters) {
  EXPECT_EQ(cut(para(1000)).size(), 1u);
  EXPECT_EQ(graphemeCount(cut(para(1000))[0].text), 1000u);
  EXPECT_EQ(cut(para(1001)).size(), 2u);
}

TEST(Chunks, QuestionLinesOpenSectionsWithoutTheirMarks) {
  auto c = cut(
      "**Q:** Is breakfast included?\n**A:** Yes, from 7:00 to 10:30.\n"
      "**Q:** Late checkout possible\n**A:** Until 13:00 for EUR 20.\n\n"
      "Question: Do you allow dogs\nAnswer: Small dogs, EUR 10 a night.\n\n"
      "Frage: Gibt es Parkplätze\nAntwort: Ja, EUR 15.\n\n"
      "\xD0\x92\xD0\xBE\xD0\xBF\xD1\x80\xD0\xBE\xD1\x81: \xD0\x95\xD1\x81\xD1\x82\xD1\x8C Wi-Fi\n"  // Вопрос: Есть Wi-Fi
      "Ja.\n\nQ. Is there a lift\nA. No.");
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].section, "Is breakfast included?");
  EXPECT_EQ(c[1].section, "Late checkout possible");
  EXPECT_EQ(c[1].text, "**Q:** Late checkout possible\n**A:** Until 13:00 for EUR 20.");
  EXPECT_EQ(c[2].section, "Do you allow dogs");
  EXPECT_EQ(c[3].section, "Gibt es Parkplätze");
  EXPECT_EQ(c[4].section, "\xD0\x95\xD1\x81\xD1\x82\xD1\x8C Wi-Fi");
  EXPECT_EQ(c[5].section, "Is there a lift");
  // Words that merely begin like a label open nothing.
  for (const char* line : {"Quality: excellent", "Questions: call 123", "Q&A: see below", "Qatar Airways: terminal 2"})
    EXPECT_FALSE(DocumentReader::isHeading(line)) << line;
}

TEST(Chunks, ThreeParagraphsOf300GiveTwoPassages) {
  const std::string a = para(300, 'a'), b = para(300, 'b'), d = para(300, 'd');
  auto c = cut(a + "\n\n" + b + "\n\n" + d);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].text, a + "\n\n" + b);
  EXPECT_EQ(graphemeCount(c[0].text), 602u);
  EXPECT_EQ(c[1].text, d);
  EXPECT_EQ(c[1].id, "faq.md#2");
}

TEST(Chunks, LimitIsTestedBeforeTheSeparator) {
  // 350 + 350 = 700 is not more than 700: joined (702 characters with the separator).
  auto c = cut(para(350) + "\n\n" + para(350) + "\n\n" + para(1));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(graphemeCount(c[0].text), 702u);
  // 350 + 351 = 701: cut.
  EXPECT_EQ(cut(para(350) + "\n\n" + para(351)).size(), 2u);
  // A long paragraph stands alone, and the next passage starts afresh.
  c = cut(para(100) + "\n\n" + para(900) + "\n\n" + para(100));
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(graphemeCount(c[1].text), 900u);
}

TEST(Chunks, LengthsCountUserPerceivedCharacters) {
  // 300 "é" written as e + combining accent: 300 characters, 900 bytes.
  const std::string accented = "a" + repeat("e\xCC\x81", 299);
  auto c = cut(accented + "\n\n" + accented);
  ASSERT_EQ(c.size(), 1u);
  // Cyrillic and CJK are one character per code point.
  const std::string cyr = "\xD0\xB0" + repeat("\xD0\xB1", 399), cjk = repeat("\xE6\x97\xA9", 400);
  EXPECT_EQ(cut(cyr + "\n\n" + cyr).size(), 2u);
  EXPECT_EQ(cut("a" + repeat("\xE6\x97\xA9", 299) + "\n\n" + cjk.substr(0, 3 * 350)).size(), 1u);
}

TEST(Chunks, HeadingsOpenPassagesAndNameTheirSection) {
  auto c = cut("# Hotel\n\n## Rooms\n\nAll rooms have a sea view.\n\nTowels are changed daily.");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].text, "# Hotel");
  EXPECT_EQ(c[0].section, "Hotel");
  EXPECT_EQ(c[1].text, "## Rooms\n\nAll rooms have a sea view.\n\nTowels are changed daily.");
  EXPECT_EQ(c[1].section, "Rooms");

  // Only the first line of a paragraph is tested; the paragraph opens the passage.
  c = cut("intro text here.\n\nBREAKFAST\nServed 7:00-10:30 in the garden.\n\nmore about eggs.");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[1].text, "BREAKFAST\nServed 7:00-10:30 in the garden.\n\nmore about eggs.");
  EXPECT_EQ(c[1].section, "BREAKFAST");
  EXPECT_EQ(c[0].section, "");

  EXPECT_EQ(cut("## Late check-out ##\n\ntext.")[0].section, "Late check-out");
}

TEST(Chunks, LaterPassagesOfALongSectionCarryTheHeading) {
  auto c = cut("PARKING\n\n" + para(400) + "\n\n" + para(400) + "\n\n" + para(400));
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].text, "PARKING\n\n" + para(400));
  EXPECT_EQ(c[1].text, "PARKING\n" + para(400));
  EXPECT_EQ(c[2].text, "PARKING\n" + para(400));

  // A passage that already begins with its section is left alone.
  c = cut("## Parking\n\n" + para(690) + "\n\nParking is free for guests.");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[1].text, "Parking is free for guests.");
}

TEST(Chunks, SectionPrefixNeedsAWholeCharacterMatch) {
  // "Cafe" is not how "Café" (e + combining accent) begins, so the prefix is added.
  auto c = cut("Cafe\n\n" + para(695) + "\n\nCafe\xCC\x81 opens at 7.");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[1].text, "Cafe\nCafe\xCC\x81 opens at 7.");
}

TEST(Chunks, LineEndings) {
  const std::string unix = "First paragraph.\n\nSecond paragraph.";
  const std::string windows = "First paragraph.\r\n\r\nSecond paragraph.";
  auto u = cut(unix + "\n\n" + para(700)), w = cut(windows + "\r\n\r\n" + para(700));
  ASSERT_EQ(u.size(), w.size());
  for (std::size_t i = 0; i < u.size(); ++i) EXPECT_EQ(u[i].text, w[i].text);
  // Lone carriage returns never split.
  auto m = cut("Old Mac file.\r\rSecond line.\r\r" + para(700));
  ASSERT_EQ(m.size(), 1u);
  // Three line feeds split once; the leftover line feed is trimmed away.
  auto t = cut("first.\n\n\nsecond.");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].text, "first.\n\nsecond.");
}

TEST(Chunks, IdsRunWithoutGapsAndHeadingsInOtherScripts) {
  auto c = cut("\xE6\x97\xA9\xE9\xA4\x90\xE6\x97\xB6\xE9\x97\xB4\n\n" + para(600) +  // 早餐时间
                   "\n\n   \n\n\xD0\x9F\xD0\x90\xD0\xA0\xD0\x9A\xD0\x9E\xD0\x92\xD0\x9A\xD0\x90\n\n" +
                   para(100) +  // ПАРКОВКА
                   "\n\n" + para(650),
               "rules.pdf");
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].id, "rules.pdf#1");
  EXPECT_EQ(c[0].section, "\xE6\x97\xA9\xE9\xA4\x90\xE6\x97\xB6\xE9\x97\xB4");
  EXPECT_EQ(c[1].id, "rules.pdf#2");
  EXPECT_EQ(c[1].section, "\xD0\x9F\xD0\x90\xD0\xA0\xD0\x9A\xD0\x9E\xD0\x92\xD0\x9A\xD0\x90");
  EXPECT_EQ(c[2].id, "rules.pdf#3");
  EXPECT_EQ(c[2].text, "\xD0\x9F\xD0\x90\xD0\xA0\xD0\x9A\xD0\x9E\xD0\x92\xD0\x9A\xD0\x90\n" + para(650));
}

TEST(Chunks, UnicodeSpacesAreTrimmed) {
  auto c = cut("\xC2\xA0\xE2\x80\x83Rooms have air conditioning.\xE3\x80\x80\n\n\xE2\x80\xA8");
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].text, "Rooms have air conditioning.");
}

}  // namespace
}  // namespace quorvel
