// Reply languages, fallback sentences and the reply templates.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include <quorvel/lang.h>
#include <quorvel/paths.h>
#include <quorvel/reply_template.h>

#include "answering/lang_signals.h"
#include "answering/short_text_model.h"
#include "guest_messages.h"
#include "platform/file_util.h"
#include "test_support.h"

namespace quorvel {
namespace {

std::string u8str(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// The project's guest messages: forty or more per reply language, most of
// them one to four words, written as guests write, and ten for each of ten
// common languages without replies of their own.
TEST(Lang, RecognisesGuestMessagesByLength) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages.tsv");
  std::map<std::string, int> total, shortOnes;
  for (const auto& m : messages) {
    ++total[m.code];
    if (guestMessageWords(m.text) <= 4) ++shortOnes[m.code];
  }
  int replyLanguages = 0;
  for (const auto& [code, n] : total) {
    if (isReplyLanguage(code)) {
      ++replyLanguages;
      EXPECT_GE(n, 40) << code;
      EXPECT_GE(shortOnes[code] * 2, n) << code;
    } else {
      EXPECT_GE(n, 10) << code;
    }
  }
  EXPECT_EQ(replyLanguages, 13);
  EXPECT_GE(total.size(), 23u);

  const LanguageScore s = scoreLanguages(messages, [](std::string_view t) { return Lang::detect(t); });
  const auto misses = ::testing::PrintToString(s.misses);
  EXPECT_GE(s.buckets.at("all").percent(), 97.0) << misses;
  EXPECT_GE(s.buckets.at("1-4").percent(), 95.0) << misses;
  EXPECT_EQ(s.buckets.at("11+").percent(), 100.0) << misses;
  EXPECT_GE(s.buckets.at("other").percent(), 95.0) << misses;
  // A script that only one of these languages uses decides without fail.
  for (const char* single : {"ru", "ko", "ja"})
    EXPECT_EQ(s.byLanguage.at(single).right, s.byLanguage.at(single).total) << single << misses;
}

// Russian, Japanese and Korean typed in Latin letters are answered in their
// own language; words of Latin-script languages that merely look alike are
// not taken for them.
TEST(Lang, ScriptLanguagesTypedInLatinLetters) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-latin.tsv");
  ASSERT_GE(messages.size(), 50u);
  const LanguageScore s = scoreLanguages(messages, [](std::string_view t) { return Lang::detect(t); });
  EXPECT_GE(s.buckets.at("all").percent(), 90.0) << ::testing::PrintToString(s.misses);
  for (const char* text : {"Bienvenida?", "Es muy malayo", "Ensayo", "Hotel room taxi please", "Nimen ne ga ka?",
                           "Da, est-ce possible?", "No, gracias", "Wo ist der Pool?"})
    EXPECT_TRUE(Lang::detect(text) != "ru" && Lang::detect(text) != "ja" && Lang::detect(text) != "ko")
        << text << " -> " << Lang::detect(text);
  // Hepburn's long vowels ("ō") are romaji too, not a foreign alphabet.
  EXPECT_EQ(Lang::detect("T\u014Dky\u014D kara kimashita, yoroshiku onegaishimasu"), "ja");
  EXPECT_EQ(Lang::detect("K\u016Bk\u014D made ikura desu ka"), "ja");
}

// Replies to the hotel's e-mails and messages: the guest's own words decide,
// not the hotel's quote, a header, a footer or a contact block.
TEST(Lang, RepliesAreAnsweredInTheGuestsLanguage) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-replies.tsv");
  ASSERT_GE(messages.size(), 80u);
  const LanguageScore s = scoreLanguages(messages, [](std::string_view t) { return Lang::detect(t); });
  EXPECT_GE(s.buckets.at("all").percent(), 97.0) << ::testing::PrintToString(s.misses);
}

// Chinese in pinyin without tone marks is answered in simplified Chinese;
// Latin-script messages whose words sound like pinyin stay themselves.
TEST(Lang, PinyinAndItsLookAlikes) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-pinyin.tsv");
  ASSERT_GE(messages.size(), 50u);
  int pinyin = 0, asChinese = 0;
  for (const auto& m : messages) {
    const std::string got = Lang::detect(m.text);
    if (m.code == "zh-Hans") {
      ++pinyin;
      asChinese += got == "zh-Hans";
    } else if (isReplyLanguage(m.code)) {
      EXPECT_EQ(got, m.code) << m.text;
    } else {
      EXPECT_NE(got, "zh-Hans") << m.text;
    }
  }
  EXPECT_GE(asChinese * 100, 90 * pinyin);
  for (const char* text :
       {"bisa juga", "sama sama", "mana?", "hai kak", "que?", "a que hora?", "ban", "die Bar", "xin chao", "long beach",
        "ganda", "sige po", "ma che", "men", "mai pen rai", "you ok?", "ni hao"})
    EXPECT_TRUE(Lang::detect(text) != "zh-Hans" || std::string(text) == "ni hao") << text;
  EXPECT_EQ(Lang::detect("ni hao"), "zh-Hans");
  EXPECT_EQ(Lang::detect("qing wen, zao can ji dian?"), "zh-Hans");
  EXPECT_EQ(Lang::detect("qingwenzaocanjidian"), "zh-Hans");
}

// Hindi, Arabic, Greek and Thai typed in Latin letters: no reply language is
// theirs; English, never a third language the guest does not read.
TEST(Lang, NoThirdLanguageForOtherScriptsTypedInLatinLetters) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-other-latin.tsv");
  ASSERT_GE(messages.size(), 50u);
  const LanguageScore s = scoreLanguages(messages, [](std::string_view t) { return Lang::detect(t); });
  EXPECT_GE(s.buckets.at("all").percent(), 90.0) << ::testing::PrintToString(s.misses);
  for (const char* text : {"3andkon parking?", "mar7aba, el breakfast ayya sa3a?", "kya breakfast included hai?",
                           "pool kab tak khula rehta hai?", "kalimera, ti ora einai to proino?",
                           "mporoume na kanoume late checkout?", "sawasdee krub, breakfast gee mong?",
                           "khob khun mak ka", "ahlan, ana wasalt el matar", "pou mporoume na fame kala?"})
    EXPECT_EQ(Lang::detect(text), "en") << text;
  // What the recognisers back stays: languages without replies that CLD2 or
  // the word lists know, short messages of the reply languages.
  EXPECT_EQ(Lang::detect("Obrigado!"), "pt");
  EXPECT_EQ(Lang::detect("Hvor er bassenget?"), "nb");
  EXPECT_EQ(Lang::detect("Czy jest parking?"), "pl");
  EXPECT_EQ(Lang::detect("Tot straks"), "nl");
  EXPECT_EQ(Lang::detect("Ingat po"), "tl");
  EXPECT_EQ(Lang::detect("Camera pronta?"), "it");
  // A room number or a booking code is no chat alphabet.
  EXPECT_EQ(Lang::detect("Zimmer 2b bitte"), "de");
  EXPECT_EQ(Lang::detect("Buchung AB123CD storniert"), "de");
}

// Languages beside the reply languages keep their own name where the
// recognisers can tell them; where they cannot, a language of their own
// family is acceptable, another family never.
TEST(Lang, NeighboursAreNamedOrGivenAnotherOfTheirFamily) {
  const std::map<std::string, std::set<std::string>> family{
      {"gl", {"gl", "es", "pt", "it", "fr", "ca"}},
      {"ca", {"ca", "es", "fr", "it", "pt", "gl"}},
      {"af", {"af", "nl", "de", "en"}},
      {"nb", {"nb", "da", "sv", "de", "nl", "en"}},
      {"id", {"id"}},
  };
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages-neighbours.tsv");
  ASSERT_GE(messages.size(), 50u);
  int own = 0;
  for (const auto& m : messages) {
    const std::string got = Lang::detect(m.text);
    EXPECT_TRUE(family.at(m.code).count(got)) << m.code << " -> " << got << ": " << m.text;
    own += got == m.code;
  }
  EXPECT_GE(own * 100, 80 * static_cast<int>(messages.size()));
}

TEST(Lang, EdgeCasesOfDetection) {
  EXPECT_EQ(Lang::detect(""), "en");
  EXPECT_EQ(Lang::detect("   \t "), "en");
  EXPECT_EQ(Lang::detect("12:30 !!!"), "en");
  EXPECT_EQ(Lang::detect("\xF0\x9F\x99\x8F\xF0\x9F\x99\x8F"), "en");  // emoji only
  EXPECT_EQ(Lang::detect("Merci"), "fr");
  EXPECT_EQ(Lang::detect("Hi"), "en");
  EXPECT_EQ(Lang::detect("\xD0\x94\xD0\xB0"), "ru");                      // "Да": two Cyrillic letters
  EXPECT_EQ(Lang::detect("\xEC\x98\x88"), "ko");                          // one Hangul syllable
  EXPECT_EQ(Lang::detect("\xE6\x97\xA9\xE9\xA4\x90\xE3\x81\xAF"), "ja");  // 早餐は: kana makes it Japanese
  EXPECT_EQ(Lang::detect("\xE6\xA9\x9F\xE5\xA0\xB4"), "zh-Hant");         // 機場
  EXPECT_EQ(Lang::detect("\xE6\x9C\xBA\xE5\x9C\xBA"), "zh-Hans");         // 机场
  // Written the same in both scripts (你好): simplified.
  EXPECT_EQ(Lang::detect("\xE4\xBD\xA0\xE5\xA5\xBD\xF0\x9F\x91\x8B"), "zh-Hans");
  // English hotel words inside Chinese say nothing of its script, nor of any
  // Latin-script language: the Han characters decide.
  EXPECT_EQ(Lang::detect(u8str(u8"請問有parking嗎？")), "zh-Hant");
  EXPECT_EQ(Lang::detect(u8str(u8"room service有到幾點？")), "zh-Hant");
  EXPECT_EQ(Lang::detect(u8str(u8"请问check in是几点？")), "zh-Hans");
  // A Chinese word in an English message does not make it Chinese.
  EXPECT_EQ(Lang::detect(u8str(u8"Could you write the address in Chinese for the taxi driver: 机场")), "en");
  // Letters only Vietnamese writes.
  EXPECT_EQ(Lang::detect("C\xE1\xBA\xA3m \xC6\xA1n!"), "vi");  // Cảm ơn!
  // Invalid UTF-8 is no reason to fail.
  EXPECT_FALSE(Lang::detect("\xFF\xFE wifi \xC3").empty());
}

// English hotel words inside another language: the other words decide.
TEST(Lang, HotelWordsInOtherLanguagesAreNeutral) {
  EXPECT_EQ(Lang::detect("wifi password?"), "en");
  EXPECT_EQ(Lang::detect("Late checkout?"), "en");
  EXPECT_EQ(Lang::detect("Password del wifi?"), "it");
  EXPECT_EQ(Lang::detect("Orario check-out?"), "it");
  EXPECT_EQ(Lang::detect("Late Checkout m\xC3\xB6glich?"), "de");
  EXPECT_EQ(Lang::detect("Code wifi svp ?"), "fr");
  EXPECT_EQ(Lang::detect("Bisa late checkout?"), "id");
  EXPECT_EQ(Lang::detect("Pwede ba late checkout?"), "tl");
}

// Short messages that fall to a neighbour or outside the table, and the
// languages that must stay themselves.
TEST(Lang, NeighboursAndLanguagesWithoutReplies) {
  EXPECT_EQ(Lang::detect("Grazie mille!"), "it");
  EXPECT_EQ(Lang::detect("Il y a un parking ?"), "fr");
  EXPECT_EQ(Lang::detect("Kolam renang buka sekarang?"), "id");
  // A long Portuguese message is not made Spanish by "de", "por" and "no".
  EXPECT_EQ(Lang::detect("Bom dia, por favor, gostar\xC3\xAD"
                         "amos de saber se o quarto tem ar condicionado e se \xC3\xA9 "
                         "poss\xC3\xADvel fazer o check-in mais cedo no s\xC3\xA1"
                         "bado"),
            "pt");
  EXPECT_EQ(Lang::detect("\xD0\x94\xD1\x8F\xD0\xBA\xD1\x83\xD1\x8E!"), "uk");          // Дякую!
  EXPECT_EQ(Lang::detect("\xD0\x94\xD0\xB7\xD1\x8F\xD0\xBA\xD1\x83\xD0\xB9!"), "be");  // Дзякуй!
  EXPECT_EQ(Lang::detect("Te\xC5\x9F"
                         "ekk\xC3\xBCrler!"),
            "tr");  // Teşekkürler!
}

// The short-text model is a second opinion: without it (a missing or damaged
// file) detection goes on with CLD2 and the word lists.
TEST(Lang, ShortTextModelRefusesADamagedFile) {
  const auto good = Paths::resources() / "language" / "lid.176.ftz";
  ShortTextModel real(good);
  ASSERT_TRUE(real.load());
  const auto top = real.predict("Wo ist der Bahnhof?", 3);
  ASSERT_FALSE(top.empty());
  EXPECT_EQ(top[0].first, "de");
  EXPECT_GT(top[0].second, 0.5f);

  test::TempDir dir;
  const std::string bytes = *readFile(good);
  std::string flipped = bytes;
  flipped[bytes.size() / 2] = static_cast<char>(flipped[bytes.size() / 2] ^ 0x40);
  test::writeText(dir.path() / "flipped.ftz", flipped);
  test::writeText(dir.path() / "short.ftz", bytes.substr(0, bytes.size() - 1000));
  test::writeText(dir.path() / "empty.ftz", "");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.ftz").c_str(), 0600), 0);
  for (const char* name : {"flipped.ftz", "short.ftz", "empty.ftz", "fifo.ftz", "missing.ftz"}) {
    ShortTextModel damaged(dir.path() / name);
    EXPECT_FALSE(damaged.load()) << name;
    EXPECT_TRUE(damaged.predict("Wo ist der Bahnhof?", 3).empty()) << name;
  }

  const auto withoutModel = [](std::string_view t) { return detectLanguage(t, Recognisers{.fastText = false}); };
  EXPECT_EQ(withoutModel("Wo ist der Bahnhof?"), "de");
  EXPECT_EQ(withoutModel("Password del wifi?"), "it");
  EXPECT_EQ(withoutModel("\xD0\x93\xD0\xB4\xD0\xB5 \xD0\xB1\xD0\xB0\xD1\x81\xD1\x81\xD0\xB5\xD0\xB9\xD0\xBD?"), "ru");
}

// The first detections may come from several threads at once (the app's
// worker, the command line's embedding and answering): the model is loaded
// once and every thread gets the answers one thread gets.
TEST(Lang, DetectsFromSeveralThreadsAtOnce) {
  const auto messages = readGuestMessages(std::string(QUORVEL_FIXTURES) + "/guest-languages.tsv");
  std::vector<std::string> expected;
  for (const auto& m : messages) expected.push_back(Lang::detect(m.text));

  ShortTextModel fresh(Paths::resources() / "language" / "lid.176.ftz");
  std::vector<std::thread> threads;
  std::atomic<int> differences{0}, unanswered{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      // First use of `fresh` on all four threads at once.
      if (fresh.predict(messages[t].text, 1).empty()) ++unanswered;
      for (std::size_t i = t; i < messages.size(); i += 2)
        if (Lang::detect(messages[i].text) != expected[i]) ++differences;
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(unanswered.load(), 0);
  EXPECT_EQ(differences.load(), 0);
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
            "\xD0\x92 \xD0\xB4\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0\xD1\x85 "
            "\xD0\xBD\xD0\xB5\xD1\x82 "
            "\xD0\xBE\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82\xD0\xB0 \xD0\xBD\xD0\xB0 \xD1\x8D\xD1\x82\xD0\xBE\xD1\x82 "
            "\xD0\xB2\xD0\xBE\xD0\xBF\xD1\x80\xD0\xBE\xD1\x81. \xD0\xAF "
            "\xD1\x83\xD1\x82\xD0\xBE\xD1\x87\xD0\xBD\xD1\x8E \xD1\x83 "
            "\xD0\xB0\xD0\xB4\xD0\xBC\xD0\xB8\xD0\xBD\xD0\xB8\xD1\x81\xD1\x82\xD1\x80\xD0\xB0\xD1\x82\xD0\xBE\xD1\x80"
            "\xD0\xB0 "
            "\xD0\xB8 \xD0\xBD\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x88\xD1\x83 \xD0\xB2\xD0\xB0\xD0\xBC.");
  EXPECT_EQ(Lang::notInDocs("fr-CA"), Lang::notInDocs("fr"));
  EXPECT_EQ(Lang::notInDocs("pt"), "This is not in our documents. I will check with the manager and get back to you.");
  EXPECT_EQ(Lang::partial("zh-Hant"),
            "\xE5\x85\xB6\xE4\xBB\x96\xE5\x95\x8F\xE9\xA1\x8C\xE6\x88\x91\xE5\x80\x91\xE7\x9A\x84\xE8\xB3\x87\xE6\x96"
            "\x99\xE4\xB8\xAD"
            "\xE6\xB2\x92\xE6\x9C\x89\xE8\xAA\xAA\xE6\x98\x8E\xEF\xBC\x8C\xE6\x88\x91\xE6\x9C\x83\xE5\x90\x91\xE7\xB6"
            "\x93\xE7\x90\x86"
            "\xE7\xA2\xBA\xE8\xAA\x8D\xE5\xBE\x8C\xE5\x9B\x9E\xE8\xA6\x86\xE6\x82\xA8\xE3\x80\x82");
  EXPECT_EQ(Lang::partial("zh"), Lang::partial("en"));
  EXPECT_EQ(Lang::partial("zh-TW"), Lang::partial("en"));
  EXPECT_EQ(Lang::partial("ko-KR"), Lang::partial("ko"));
  EXPECT_EQ(Lang::partial("de-AT"),
            "Der Rest steht nicht in unseren Unterlagen \xE2\x80\x94 ich frage beim Manager nach und melde mich.");
  EXPECT_EQ(Lang::partial("en"),
            "The rest is not in our documents \xE2\x80\x94 I will check with the manager and get back to you.");
  EXPECT_EQ(Lang::notInDocs("es"),
            "Esto no est\xC3\xA1 en nuestros documentos. Lo consultar\xC3\xA9 con el gerente y le responder\xC3\xA9.");
  EXPECT_EQ(Lang::partial("tl"),
            "Ang iba ay wala sa aming mga dokumento \xE2\x80\x94 itatanong ko sa manager at babalikan kita.");
}

TEST(ReplyTemplates, TheFiveInOrder) {
  const auto& list = ReplyTemplate::hotel();
  ASSERT_EQ(list.size(), 5u);
  std::vector<std::string> ids;
  for (const auto& t : list) ids.push_back(t.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"checkin", "breakfast", "transfer", "rules", "complaint"}));
  EXPECT_EQ(list[1],
            (ReplyTemplate{"breakfast", "Breakfast", "cup.and.saucer",
                           "Tell the guest when and where breakfast is served, whether it is included, what it costs "
                           "and the menu.",
                           "breakfast time price included menu"}));
  EXPECT_EQ(list[4].symbol, "exclamationmark.bubble");
  EXPECT_EQ(list[3].en, "House rules");
  EXPECT_EQ(list[0].query, "check-in time check-out time early check-in late check-out");
  EXPECT_EQ(
      ReplyTemplate::find("transfer")->task,
      "Offer the guest the airport transfer: price, how long the drive is, how to book and where the driver waits.");
  EXPECT_EQ(ReplyTemplate::find("nosuch"), nullptr);
}

}  // namespace
}  // namespace quorvel
