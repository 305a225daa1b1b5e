// Russian, Japanese and Korean typed in Latin letters, told by their sounds
// rather than by lists of known words.
#include <gtest/gtest.h>

#include <quorvel/lang.h>

#include <algorithm>
#include <string>

#include "answering/lang_signals.h"
#include "answering/romanized.h"
#include "guest_messages.h"

namespace quorvel {
namespace {

bool has(const std::vector<std::string>& readings, const char* cyrillic) {
  return std::find(readings.begin(), readings.end(), std::string(cyrillic)) != readings.end();
}

TEST(Romanized, SyllablesOfJapaneseAndKorean) {
  for (const char* w : {"nakushimashita", "kuukou", "chekkuauto", "konnichiwa", "shimbun", "matcha", "ryokan", "onsen",
                        "kippu", "beddo", "tsukaemasu", "jouhou"})
    EXPECT_TRUE(romajiWord(w)) << w;
  // Letters or endings Japanese does not have.
  // Nor does a Japanese word begin with its syllabic "n" or "m" (Swahili does).
  for (const char* w :
       {"hotel", "laundry", "grazie", "tidak", "ang", "mille", "quiero", "cx", "", "n'", "ngapi", "mbali"})
    EXPECT_FALSE(romajiWord(w)) << w;

  for (const char* w : {"isseoyo", "gamsahamnida", "juchajang", "bulleo", "kkaji", "hwajangsil", "eotteoke"})
    EXPECT_TRUE(koreanWord(w)) << w;
  for (const char* w : {"transfer", "laundry", "fresca", "lobby", "xin", ""}) EXPECT_FALSE(koreanWord(w)) << w;

  // Sounding alike is not enough: the mark is what only the language writes.
  EXPECT_EQ(romajiMarks("arigatou"), 1);
  EXPECT_EQ(romajiMarks("kudasai"), 2);  // a verb ending weighs more
  EXPECT_EQ(romajiMarks("sama"), 0);
  EXPECT_EQ(romajiMarks("you"), 0);  // short words sound alike everywhere
  EXPECT_EQ(koreanMarks("juseyo"), 2);
  EXPECT_EQ(koreanMarks("eotteoke"), 1);
  EXPECT_EQ(koreanMarks("dwaeyo"), 1);  // "-yo" after a vowel Spanish does not put there
  EXPECT_EQ(koreanMarks("ensayo"), 0);
  EXPECT_EQ(koreanMarks("makan"), 0);
}

// Pinyin syllables are a closed set; the marks are what only pinyin forms so.
TEST(Romanized, PinyinSyllablesAndMarks) {
  for (const char* w : {"qingwen", "zaocan", "tingchechang", "xiexie", "zhuang", "ji", "dian", "nihao", "lvse",
                        "youyongchi", "chuzuche", "xian"})
    EXPECT_TRUE(pinyinWord(w)) << w;
  // Look-alikes of the Latin-script languages guests write: a syllable
  // pinyin does not have ("ho", "ja", "to", "nh", a final "t" or "s").
  for (const char* w : {"hora", "jam", "sarapan", "toi", "nhieu", "hotel", "salamat", "oras", "piscina", "grazie",
                        "khong", "gracias", "", "a'"})
    EXPECT_FALSE(pinyinWord(w)) << w;
  EXPECT_FALSE(pinyinWord(std::string(400, 'a')));

  for (const char* w : {"qingwen", "xiexie", "zhe", "dian", "jiao", "duo", "dui", "jiu", "xiong"})
    EXPECT_TRUE(pinyinMarked(w)) << w;
  // Syllables every language has: "bisa juga" and "mana" sound like pinyin.
  for (const char* w : {"bisa", "juga", "mana", "sama", "ban", "hai", "an"}) {
    EXPECT_TRUE(pinyinWord(w)) << w;
    EXPECT_FALSE(pinyinMarked(w)) << w;
  }
}

TEST(Romanized, LongOrOddStringsAreNoWordAndCostNothing) {
  // Guests paste anything; a string of letters longer than any word is not
  // parsed (each position would otherwise branch).
  const std::string longRomaji(400, 'a'), nasal = "a" + std::string(38, 'n') + "a";
  EXPECT_FALSE(romajiWord(longRomaji));
  EXPECT_FALSE(koreanWord(std::string(400, 'a')));
  EXPECT_TRUE(cyrillicReadings(std::string(500, 'l'), 16).empty());
  EXPECT_FALSE(russianWord(std::string(100000, 's')));
  std::string ng;
  for (int i = 0; i < 13; ++i) ng += "ang";
  EXPECT_TRUE(koreanWord(ng));  // many ways to split; settled once per position
  EXPECT_TRUE(romajiWord(nasal));
  // Letters outside a-z make no Cyrillic reading.
  EXPECT_TRUE(cyrillicReadings("caf\xC3\xA9", 16).empty());
}

TEST(Romanized, CyrillicReadingsOfTranslit) {
  // The soft sign left out, "ts" before "ya", "j" for "ж", "sch" for "сч",
  // "y" between a consonant and "e".
  EXPECT_TRUE(has(cyrillicReadings("skolko", 16), "сколько"));
  EXPECT_TRUE(has(cyrillicReadings("skol'ko", 16), "сколько"));
  EXPECT_TRUE(has(cyrillicReadings("pozdniy", 16), "поздний"));
  EXPECT_TRUE(has(cyrillicReadings("dobratsya", 16), "добраться"));
  EXPECT_TRUE(has(cyrillicReadings("vyezd", 16), "выезд"));
  EXPECT_TRUE(has(cyrillicReadings("mojno", 16), "можно"));
  EXPECT_TRUE(has(cyrillicReadings("schet", 16), "счет"));
  EXPECT_TRUE(has(cyrillicReadings("shchetka", 16), "щетка"));
  EXPECT_TRUE(has(cyrillicReadings("pomoshch", 16), "помощь"));
  EXPECT_EQ(cyrillicReadings("mozhno", 16), std::vector<std::string>{"можно"});
  EXPECT_LE(cyrillicReadings("zdravstvuyte", 4).size(), 4u);
}

TEST(Romanized, RussianDictionaryKnowsTranslitWords) {
  if (!russianDictionary()) GTEST_SKIP() << "no Russian dictionary installed (hunspell-ru)";
  for (const char* w : {"mozhno", "zavtrak", "skolko", "pozhaluysta", "polotentse", "kholodilnik", "utyug"})
    EXPECT_TRUE(russianWord(w)) << w;
  for (const char* w : {"desayuno", "parkering", "frokosten", "handuk", "colazione", "thanks"})
    EXPECT_FALSE(russianWord(w)) << w;
  // Asked again (the answer is kept): the same.
  EXPECT_TRUE(russianWord("mozhno"));
  EXPECT_FALSE(russianWord("desayuno"));
  EXPECT_TRUE(translitMarked("zhdu"));
  EXPECT_TRUE(translitMarked("poteryal"));
  EXPECT_TRUE(translitMarked("goryachey"));
  EXPECT_FALSE(translitMarked("sama"));
}

// Without the lists of romanized words the sounds alone tell almost all of
// the project's Latin-letter messages: what generalises to words no list
// holds.
TEST(Romanized, SoundsAloneTellTheLatinLetterMessages) {
  if (!russianDictionary()) GTEST_SKIP() << "no Russian dictionary installed (hunspell-ru)";
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-latin.tsv");
  ASSERT_GE(messages.size(), 100u);
  const LanguageScore s =
      scoreLanguages(messages, [](std::string_view t) { return detectLanguage(t, Recognisers{.words = false}); });
  EXPECT_GE(s.buckets.at("all").percent(), 95.0) << ::testing::PrintToString(s.misses);
}

// Latin-script messages that sound like one of them, and a recogniser sure of
// a Latin-script language, stay what they are.
TEST(Romanized, LookAlikesStayInTheirLanguage) {
  for (const char* text : {"sama sama", "saya mau makan", "kamu di mana", "ano po", "posso sono", "Tutto bene",
                           "Do you do laundry?", "Sugoi", "Ada hair dryer?", "Password del wifi?", "Wann ist Checkout",
                           "Nein danke", "Kamar mandi bocor", "Bagno", "Tavola", "kifungua kinywa ni saa ngapi?"}) {
    const std::string got = Lang::detect(text);
    EXPECT_TRUE(got != "ru" && got != "ja" && got != "ko") << text << " -> " << got;
  }
  // A message the recognisers take for French, every word of it Russian.
  if (russianDictionary()) {
    EXPECT_EQ(detectLanguage("est li u vas parkovka?", Recognisers{.words = false}), "ru");
  }
  EXPECT_EQ(detectLanguage("suyeongjang-eun eonje yeoreoyo?", Recognisers{.words = false}), "ko");
  EXPECT_EQ(detectLanguage("oyu ga denai, heya wo kaete moraemasu ka", Recognisers{.words = false}), "ja");
}

TEST(Romanized, ChineseGrammarAroundEnglishWords) {
  // The English words outnumber the Han characters, which still make the
  // sentence and decide its script.
  EXPECT_EQ(Lang::detect("\xE6\x97\xA9\xE9\xA4\x90\xE5\xB9\xBE\xE9\xBB\x9E\xEF\xBC\x9F"
                         "is breakfast included in the room rate\xE5\x97\x8E"),
            "zh-Hant");  // 早餐幾點？…嗎
  EXPECT_EQ(Lang::detect("\xE6\x88\x91\xE6\x83\xB3 extend my stay for two more nights"), "zh-Hans");  // 我想
  // A name in Han characters inside an English sentence is no Chinese.
  EXPECT_EQ(Lang::detect("Is the \xE7\xA6\x8F\xE5\x9C\x92 restaurant open tonight?"), "en");  // 福園
}

}  // namespace
}  // namespace quorvel
