// Reply languages, fallback sentences and the reply templates.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include <quorvel/lang.h>
#include <quorvel/reply_template.h>

#include "test_support.h"

namespace quorvel {
namespace {

TEST(Lang, RecognisesShortGuestMessages) {
  std::ifstream in(std::string(QUORVEL_FIXTURES) + "/guest-languages.tsv");
  std::map<std::string, int> total, right;
  std::vector<std::string> misses;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    const std::string code = line.substr(0, tab), message = line.substr(tab + 1);
    const std::string got = Lang::detect(message);
    ++total[code];
    if (got == code) ++right[code];
    else misses.push_back(code + " -> " + got + ": " + message);
  }
  int all = 0, correct = 0;
  for (const auto& [code, n] : total) {
    EXPECT_GE(n, 10) << code;
    all += n;
    correct += right[code];
  }
  EXPECT_EQ(total.size(), 13u);
  EXPECT_GE(correct * 100, all * 95) << ::testing::PrintToString(misses);
  // A script that only one of these languages uses decides without fail.
  for (const char* single : {"ru", "ko", "ja"}) EXPECT_EQ(right[single], total[single]) << single;
}

TEST(Lang, EdgeCasesOfDetection) {
  EXPECT_EQ(Lang::detect(""), "en");
  EXPECT_EQ(Lang::detect("   \t "), "en");
  EXPECT_EQ(Lang::detect("12:30 !!!"), "en");
  EXPECT_EQ(Lang::detect("Merci"), "fr");
  EXPECT_EQ(Lang::detect("Hi"), "en");
  EXPECT_EQ(Lang::detect("\xD0\x94\xD0\xB0"), "ru");  // "Да": two Cyrillic letters
  EXPECT_EQ(Lang::detect("\xEC\x98\x88"), "ko");      // one Hangul syllable
  EXPECT_EQ(Lang::detect("\xE6\x97\xA9\xE9\xA4\x90\xE3\x81\xAF"), "ja");  // 早餐は: kana makes it Japanese
  EXPECT_EQ(Lang::detect("\xE6\xA9\x9F\xE5\xA0\xB4"), "zh-Hant");          // 機場
  EXPECT_EQ(Lang::detect("\xE6\x9C\xBA\xE5\x9C\xBA"), "zh-Hans");          // 机场
}

TEST(Lang, NamesForThePrompts) {
  EXPECT_EQ(Lang::name("ru"), "Russian");
  EXPECT_EQ(Lang::name("en"), "English");
  EXPECT_EQ(Lang::name("id"), "Indonesian");
  EXPECT_EQ(Lang::name("tl"), "Tagalog");
  EXPECT_EQ(Lang::name("de"), "German");
  EXPECT_EQ(Lang::name("zh-Hans"), "Chinese (Simplified)");
  EXPECT_EQ(Lang::name("zh-Hant"), "Chinese (Traditional)");
  EXPECT_EQ(Lang::name("xq"), "xq");
  EXPECT_EQ(Lang::name("Qq"), "Qq");
}

TEST(Lang, FallbackSentencesLookup) {
  EXPECT_EQ(Lang::notInDocs("ru"),
            "\xD0\x92 \xD0\xB4\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0\xD1\x85 \xD0\xBD\xD0\xB5\xD1\x82 "
            "\xD0\xBE\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\xD0\xB0 \xD0\xBD\xD0\xB0 \xD1\x8D\xD1\x82\xD0\xBE\xD1\x82 "
            "\xD0\xB2\xD0\xBE\xD0\xBF\xD1\x80\xD0\xBE\xD1\x81. \xD0\xAF \xD1\x83\xD1\x82\xD0\xBE\xD1\x87\xD0\xBD\xD1\x8E \xD1\x83 "
            "\xD0\xB0\xD0\xB4\xD0\xBC\xD0\xB8\xD0\xBD\xD0\xB8\xD1\x81\xD1\x82\xD1\x80\xD0\xB0\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0 "
            "\xD0\xB8 \xD0\xBD\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x88\xD1\x83 \xD0\xB2\xD0\xB0\xD0\xBC.");
  EXPECT_EQ(Lang::notInDocs("fr-CA"), Lang::notInDocs("fr"));
  EXPECT_EQ(Lang::notInDocs("pt"), "This is not in our documents. I will check with the manager and get back to you.");
  EXPECT_EQ(Lang::partial("zh-Hant"),
            "\xE5\x85\xB6\xE4\xBB\x96\xE5\x95\x8F\xE9\xA1\x8C\xE6\x88\x91\xE5\x80\x91\xE7\x9A\x84\xE8\xB3\x87\xE6\x96\x99\xE4\xB8\xAD"
            "\xE6\xB2\x92\xE6\x9C\x89\xE8\xAA\xAA\xE6\x98\x8E\xEF\xBC\x8C\xE6\x88\x91\xE6\x9C\x83\xE5\x90\x91\xE7\xB6\x93\xE7\x90\x86"
            "\xE7\xA2\xBA\xE8\xAA\x8D\xE5\xBE\x8C\xE5\x9B\x9E\xE8\xA6\x86\xE6\x82\xA8\xE3\x80\x82");
  EXPECT_EQ(Lang::partial("zh"), Lang::partial("en"));
  EXPECT_EQ(Lang::partial("zh-TW"), Lang::partial("en"));
  EXPECT_EQ(Lang::partial("ko-KR"), Lang::partial("ko"));
  EXPECT_EQ(Lang::partial("de-AT"), "Der Rest steht nicht in unseren Unterlagen \xE2\x80\x94 ich frage beim Manager nach und melde mich.");
  EXPECT_EQ(Lang::partial("en"), "The rest is not in our documents \xE2\x80\x94 I will check with the manager and get back to you.");
  EXPECT_EQ(Lang::notInDocs("es"), "Esto no est\xC3\xA1 en nuestros documentos. Lo consultar\xC3\xA9 con el gerente y le responder\xC3\xA9.");
  EXPECT_EQ(Lang::partial("tl"), "Ang iba ay wala sa aming mga dokumento \xE2\x80\x94 itatanong ko sa manager at babalikan kita.");
}

TEST(ReplyTemplates, TheFiveInOrder) {
  const auto& list = ReplyTemplate::hotel();
  ASSERT_EQ(list.size(), 5u);
  std::vector<std::string> ids;
  for (const auto& t : list) ids.push_back(t.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"checkin", "breakfast", "transfer", "rules", "complaint"}));
  EXPECT_EQ(list[1], (ReplyTemplate{"breakfast", "Breakfast", "\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA",
                                    "cup.and.saucer",
                                    "Tell the guest when and where breakfast is served, whether it is included, what it costs "
                                    "and the menu.",
                                    "breakfast time price included menu"}));
  EXPECT_EQ(list[4].symbol, "exclamationmark.bubble");
  EXPECT_EQ(list[3].en, "House rules");
  EXPECT_EQ(list[0].query, "check-in time check-out time early check-in late check-out");
  EXPECT_EQ(ReplyTemplate::find("transfer")->task,
            "Offer the guest the airport transfer: price, how long the drive is, how to book and where the driver waits.");
  EXPECT_EQ(ReplyTemplate::find("nosuch"), nullptr);
}

}  // namespace
}  // namespace quorvel
