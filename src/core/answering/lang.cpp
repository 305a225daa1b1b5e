#include <quorvel/lang.h>

#include <cld2/public/compact_lang_det.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <cstdio>  // before CLD2's header, which uses it without including it
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "answering/guest_text.h"
#include "answering/guest_words.h"
#include "answering/lang_signals.h"
#include "answering/romanized.h"
#include "answering/short_text_model.h"

namespace quorvel {

namespace {

struct Row {
  const char* notInDocs;
  const char* partial;
};

// The reply languages in the order a person picks from, with their two
// fixed sentences.
const std::vector<std::pair<std::string, Row>>& table() {
  static const std::vector<std::pair<std::string, Row>> rows{
      {"en",
       {"This is not in our documents. I will check with the manager and get back to you.",
        "The rest is not in our documents — I will check with the manager and get back to you."}},
      {"ru",
       {"В документах нет ответа на этот вопрос. Я уточню у администратора и напишу вам.",
        "Остальное в наших документах не указано — я уточню у администратора и напишу вам."}},
      {"id",
       {"Informasi ini tidak ada di dokumen kami. Saya akan menanyakan kepada manajer dan segera mengabari Anda.",
        "Hal lainnya tidak ada di dokumen kami — saya akan menanyakan kepada manajer dan segera mengabari Anda."}},
      {"zh-Hans",
       {"我们的资料中没有这方面的信息。我会向经理确认后回复您。",
        "其他问题我们的资料中没有说明，我会向经理确认后回复您。"}},
      {"zh-Hant",
       {"我們的資料中沒有這方面的資訊。我會向經理確認後回覆您。",
        "其他問題我們的資料中沒有說明，我會向經理確認後回覆您。"}},
      {"de",
       {"Dazu steht nichts in unseren Unterlagen. Ich frage beim Manager nach und melde mich.",
        "Der Rest steht nicht in unseren Unterlagen — ich frage beim Manager nach und melde mich."}},
      {"fr",
       {"Cette information ne figure pas dans nos documents. Je vérifie auprès du responsable et je reviens vers "
        "vous.",
        "Le reste ne figure pas dans nos documents — je vérifie auprès du responsable et je reviens vers vous."}},
      {"es",
       {"Esto no está en nuestros documentos. Lo consultaré con el gerente y le responderé.",
        "Lo demás no está en nuestros documentos: lo consultaré con el gerente y le responderé."}},
      {"it",
       {"Questa informazione non è nei nostri documenti. Chiederò al responsabile e le farò sapere.",
        "Il resto non è nei nostri documenti: chiederò al responsabile e le farò sapere."}},
      {"nl",
       {"Dit staat niet in onze documenten. Ik vraag het na bij de manager en laat het u weten.",
        "De rest staat niet in onze documenten — ik vraag het na bij de manager en laat het u weten."}},
      {"ja",
       {"その情報は資料にございません。担当者に確認してご連絡いたします。",
        "その他の点は資料にございません。担当者に確認してご連絡いたします。"}},
      {"ko",
       {"해당 내용은 저희 문서에 없습니다. 매니저에게 확인 후 연락드리겠습니다.",
        "나머지 내용은 저희 문서에 없습니다. 매니저에게 확인 후 연락드리겠습니다."}},
      {"tl",
       {"Wala ito sa aming mga dokumento. Itatanong ko sa manager at babalikan kita.",
        "Ang iba ay wala sa aming mga dokumento — itatanong ko sa manager at babalikan kita."}},
  };
  return rows;
}

const Row& lookup(const std::string& code) {
  const auto& rows = table();
  for (const std::string& key : {code, code.substr(0, 2), std::string("en")})
    for (const auto& [c, row] : rows)
      if (c == key) return row;
  return rows.front().second;
}

bool isReplyLanguage(const std::string& code) {
  return std::any_of(table().begin(), table().end(), [&](const auto& row) { return row.first == code; });
}

// How many letters of each script a text has, and two kinds of Latin letter
// that tell a language by themselves.
struct Scripts {
  int latin = 0, cyrillic = 0, han = 0, kana = 0, hangul = 0, other = 0;
  // Only Vietnamese writes these: horned o and u, the tone-marked vowels of
  // Latin Extended Additional.
  int vietnamese = 0;
  // None of the Latin-script reply languages writes these ("ł", "ř", "ı",
  // "ã", "å"): the message is in another language.
  int foreignLatin = 0;
  // Of those, the long vowels of Hepburn romaji ("Tōkyō", "kūkō").
  int macrons = 0;
};

// A long vowel of Hepburn romaji: "ā", "ē", "ī", "ō", "ū", either case.
bool hepburnLongVowel(UChar32 c) {
  static constexpr UChar32 kLong[] = {0x0100, 0x0101, 0x0112, 0x0113, 0x012A, 0x012B, 0x014C, 0x014D, 0x016A, 0x016B};
  return std::find(std::begin(kLong), std::end(kLong), c) != std::end(kLong);
}

// The letters of the Latin-script reply languages, lower case.
bool writtenByReplyLanguages(UChar32 lower) {
  static const std::u32string own =
      U"abcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00fc\u00df\u00e9\u00e8\u00ea\u00eb"
      U"\u00e0\u00e2\u00ee\u00ef\u00f4\u00fb\u00f9\u00e7\u0153\u00e6\u00ff\u00e1\u00ed"
      U"\u00f3\u00fa\u00f1\u00ec\u00f2";
  return own.find(static_cast<char32_t>(lower)) != std::u32string::npos;
}

int letterCount(const Scripts& s) { return s.latin + s.cyrillic + s.han + s.kana + s.hangul + s.other; }

Scripts countScripts(std::string_view text) {
  Scripts s;
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c;
    U8_NEXT(text.data(), i, text.size(), c);
    if (c < 0 || !u_isalpha(c)) continue;
    UErrorCode status = U_ZERO_ERROR;
    switch (uscript_getScript(c, &status)) {
      case USCRIPT_LATIN:
        ++s.latin;
        if ((c >= 0x1EA0 && c <= 0x1EF9) || c == 0x01A0 || c == 0x01A1 || c == 0x01AF || c == 0x01B0) ++s.vietnamese;
        if (!writtenByReplyLanguages(u_tolower(c))) {
          ++s.foreignLatin;
          if (hepburnLongVowel(c)) ++s.macrons;
        }
        break;
      case USCRIPT_CYRILLIC: ++s.cyrillic; break;
      case USCRIPT_HAN: ++s.han; break;
      case USCRIPT_HIRAGANA:
      case USCRIPT_KATAKANA: ++s.kana; break;
      case USCRIPT_HANGUL: ++s.hangul; break;
      default: ++s.other;
    }
  }
  return s;
}

// Simplified or traditional: whichever conversion leaves the text unchanged.
std::string chineseVariant(std::string_view text) {
  static std::once_flag once;
  static std::unique_ptr<icu::Transliterator> toTraditional, toSimplified;
  std::call_once(once, [] {
    UErrorCode status = U_ZERO_ERROR;
    toTraditional.reset(icu::Transliterator::createInstance("Hans-Hant", UTRANS_FORWARD, status));
    status = U_ZERO_ERROR;
    toSimplified.reset(icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, status));
  });
  const icu::UnicodeString original =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (toSimplified) {
    icu::UnicodeString s(original);
    toSimplified->transliterate(s);
    if (s != original) return "zh-Hant";  // it had traditional characters
  }
  if (toTraditional) {
    icu::UnicodeString t(original);
    toTraditional->transliterate(t);
    if (t != original) return "zh-Hans";
  }
  return "";
}

// Whether the text has one of the characters that make a Chinese sentence
// (question particles, pronouns, "want", "can", "how many"): names and
// single words borrowed into an English message do not.
bool hasChineseGrammar(std::string_view text) {
  static const icu::UnicodeString grammar(
      u"嗎吗呢吧請请問问我你您們们的了是有在要想能會会可以幾几哪怎麼么什這这那沒没不很給给還还");
  const icu::UnicodeString u =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  for (int32_t i = 0; i < u.length(); i = u.moveIndex32(i, 1))
    if (grammar.indexOf(u.char32At(i)) >= 0) return true;
  return false;
}

// The words of a message, lower case, letters and marks only; an apostrophe
// or hyphen inside a word stays ("c'è", "check-in"), everything else (digits,
// emoji, punctuation) separates words.
std::vector<std::string> messageWords(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.toLower(icu::Locale::getRoot());
  auto isWordChar = [](UChar32 c) { return u_isalpha(c) || (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; };
  std::vector<std::string> words;
  icu::UnicodeString word;
  auto flush = [&] {
    if (word.isEmpty()) return;
    words.emplace_back();
    word.toUTF8String(words.back());
    word.remove();
  };
  for (int32_t i = 0; i < u.length();) {
    const UChar32 c = u.char32At(i);
    const int32_t next = i + U16_LENGTH(c);
    const bool joiner = c == '\'' || c == 0x2019 || c == '-';
    if (isWordChar(c) || (joiner && !word.isEmpty() && next < u.length() && isWordChar(u.char32At(next))))
      word.append(c == 0x2019 ? UChar32('\'') : c);
    else
      flush();
    i = next;
  }
  flush();
  return words;
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

// A word as the word lists hold it: accents on Latin letters left out (guests
// often type without them), "ё" as "е".
std::string fold(const std::string& word) {
  static const icu::Normalizer2* nfd = [] {
    UErrorCode status = U_ZERO_ERROR;
    return icu::Normalizer2::getNFDInstance(status);
  }();
  static const icu::Normalizer2* nfc = [] {
    UErrorCode status = U_ZERO_ERROR;
    return icu::Normalizer2::getNFCInstance(status);
  }();
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString decomposed = nfd->normalize(icu::UnicodeString::fromUTF8(word), status);
  if (U_FAILURE(status)) return word;
  icu::UnicodeString out;
  bool afterLatin = false;
  for (int32_t i = 0; i < decomposed.length();) {
    UChar32 c = decomposed.char32At(i);
    i += U16_LENGTH(c);
    const bool mark = (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
    if (mark && afterLatin) continue;
    if (!mark) {
      UErrorCode scriptStatus = U_ZERO_ERROR;
      afterLatin = uscript_getScript(c, &scriptStatus) == USCRIPT_LATIN;
    }
    out.append(c);
  }
  status = U_ZERO_ERROR;
  icu::UnicodeString composed = nfc->normalize(out, status);
  composed.findAndReplace(icu::UnicodeString(u"\u0451"), icu::UnicodeString(u"\u0435"));
  std::string result;
  composed.toUTF8String(result);
  return result;
}

// The message's words without the English hotel words in it.
std::vector<std::string> ownWords(const std::vector<std::string>& words) {
  static const std::set<std::string> loanwords = [] {
    std::set<std::string> s;
    for (auto& w : splitWords(hotelLoanwords())) s.insert(w);
    return s;
  }();
  std::vector<std::string> own;
  for (std::size_t i = 0; i < words.size(); ++i) {
    // "check in", "check out" written apart.
    if (words[i] == "check" && i + 1 < words.size() && (words[i + 1] == "in" || words[i + 1] == "out")) {
      ++i;
      continue;
    }
    if (!loanwords.count(words[i])) own.push_back(words[i]);
  }
  return own;
}

// Letters of the message in hotel loanwords written in Latin letters
// ("parking", "wifi"), counted apart from the Han or other letters they touch.
int loanwordLetters(std::string_view text) {
  std::vector<std::string> latin(1);
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c;
    U8_NEXT(text.data(), i, text.size(), c);
    UErrorCode status = U_ZERO_ERROR;
    if (c >= 0 && u_isalpha(c) && uscript_getScript(c, &status) == USCRIPT_LATIN) {
      char buf[4];
      int32_t n = 0;
      U8_APPEND_UNSAFE(buf, n, u_tolower(c));
      latin.back().append(buf, static_cast<std::size_t>(n));
    } else if (!latin.back().empty()) {
      latin.emplace_back();
    }
  }
  if (latin.back().empty()) latin.pop_back();
  int total = 0;
  for (const std::string& w : latin) total += static_cast<int>(w.size());
  for (const std::string& w : ownWords(latin)) total -= static_cast<int>(w.size());
  return total;
}

// Korean romanization joins a word and its particles with hyphens
// ("joshik-eun", "si-buteo-yeyo"): each part counts as a word.
std::vector<std::string> wordParts(const std::vector<std::string>& words) {
  std::vector<std::string> parts;
  for (const std::string& w : words) {
    std::size_t start = 0;
    for (std::size_t dash; (dash = w.find('-', start)) != std::string::npos; start = dash + 1)
      if (dash > start) parts.push_back(w.substr(start, dash - start));
    if (start < w.size()) parts.push_back(w.substr(start));
  }
  return parts;
}

// Short words of the languages typed in Latin letters that other languages
// write too ("no", "ga", "v", "na"): they count only beside a word
// of the language's own.
const std::map<std::string, std::set<std::string>>& romanizedHelpers() {
  static const std::map<std::string, std::set<std::string>> helpers{
      {"ru", {"v",    "vo",   "na",  "s",   "so",  "ot",  "do",  "za",  "po",  "k",   "u",      "ya",
              "ne",   "i",    "li",  "est", "net", "vas", "nas", "tam", "tut", "da",  "eshche", "eshe",
              "odno", "odin", "den", "nam", "vam", "fen", "a",   "no",  "on",  "ona", "oni"}},
      {"ja",
       {"wa", "ga", "wo", "o", "no", "ni", "de", "ka", "to", "mo", "ne", "yo", "nan", "mou", "ichido", "made", "kara"}},
      // Korean particles, written apart with a hyphen ("joshik-eun", "si-buteo").
      {"ko", {"bus", "ganeun", "buteo", "kkaji", "jom", "ne",   "nae",  "eun", "neun", "eul",  "reul", "ga",
              "i",   "e",      "eseo",  "do",    "ro",  "euro", "hago", "si",  "yeyo", "ieyo", "yo"}},
      {"hi", {"hai",  "ka",  "ki",   "ke",  "ko",   "se",   "par",  "aur",  "bhi",  "toh",  "to",   "na", "hum",
              "tum",  "tak", "mein", "mai", "main", "do",   "ho",   "kar",  "ek",   "mil",  "kal",  "ji", "kab",
              "band", "koi", "der",  "dur", "paas", "wala", "wali", "wale", "mera", "mere", "garam"}},
      {"el", {"kai", "na",   "to",   "tou",  "ti",  "pou", "den",  "mia",  "ena",  "gia",  "ne",
              "tha", "ola",  "poli", "polu", "ora", "pos", "pote", "posa", "poso", "sto",  "stin",
              "sti", "stis", "nero", "arga", "i",   "o",   "me",   "se",   "apo",  "boro", "krio"}},
      {"th", {"ka",  "kha", "na",   "mai", "mee", "dai", "chan", "pom", "nam",  "ron", "yang", "noi",
              "pai", "bin", "hong", "gee", "kee", "tee", "nai",  "rai", "chai", "tao", "mak",  "ja"}},
  };
  return helpers;
}

// Verb endings that mark a word as Greek or Hindi typed in Latin letters
// beyond the words listed: Greek's first person plural ("boroume",
// "afisoume"), Hindi's polite imperative and future ("dijiye", "aayenge",
// "karunga").
bool endingOf(const std::string& code, std::string_view w) {
  auto endsWithAny = [&](std::initializer_list<std::string_view> ends) {
    return std::any_of(ends.begin(), ends.end(),
                       [&](std::string_view e) { return w.size() > e.size() + 1 && w.ends_with(e); });
  };
  if (code == "el") return endsWithAny({"oume", "ousa", "eite"});
  if (code == "hi") return endsWithAny({"iye", "yenge", "renge", "unga", "ungi"});
  return false;
}

// Russian, Japanese, Korean, Hindi, Greek or Thai written in Latin letters
// ("mozhno pozdniy vyezd?", "heya no kagi wo nakushimashita"): the language
// whose romanized words make at least half of the message's own words, the
// parts of hyphenated ones apart (two of them at least in a message of four
// words or more); "" when none does.
std::string romanizedLanguage(const std::vector<std::string>& parts, std::size_t& withoutReplies) {
  static const std::map<std::string, std::set<std::string>> lists = [] {
    std::map<std::string, std::set<std::string>> out;
    for (const GuestWords& g : romanizedWords())
      for (auto& w : splitWords(g.words)) out[g.code].insert(w);
    return out;
  }();
  const auto& helpers = romanizedHelpers();
  if (parts.empty()) return "";
  std::map<std::string, std::size_t> hits, helped;
  for (std::string w : parts) {
    // Translit marks the soft sign with an apostrophe ("skol'ko"), or not.
    std::erase(w, '\'');
    for (const auto& [code, words] : lists) {
      if (words.count(w) || endingOf(code, w))
        ++hits[code];
      else if (helpers.at(code).count(w))
        ++helped[code];
    }
  }
  withoutReplies = 0;
  for (const auto& [code, n] : hits)
    if (!isReplyLanguage(code)) withoutReplies += n;
  for (const auto& [code, n] : hits) {
    const std::size_t all = n + helped[code];
    if (all * 2 >= parts.size() && (parts.size() < 4 || n >= 2 || all * 3 >= parts.size() * 2)) return code;
  }
  return "";
}

// The Arabic chat alphabet: words with the digits that stand for Arabic's own
// sounds between letters ("3andkon", "mar7aba", "sa3a") or its words make at
// least half of the message's words besides the English hotel words (two of
// them at least in a message of four words or more); `hits` says how many
// there are. Read on the words as typed: the digits split the message's words
// apart.
bool arabicChatAlphabet(std::string_view text, std::size_t& hits) {
  static const std::set<std::string> words = [] {
    std::set<std::string> s;
    for (auto& w : splitWords(arabicChatWords())) s.insert(w);
    return s;
  }();
  static const std::set<std::string> shared{"el",    "fi",    "fe",   "ana", "men", "ma", "lal", "bel", "wein",
                                            "sabah", "tamam", "mesh", "ya",  "w",   "b",  "bi",  "l",   "al"};
  static const std::set<std::string> loanwords = [] {
    std::set<std::string> s;
    for (auto& w : splitWords(hotelLoanwords())) s.insert(w);
    return s;
  }();
  // "sa3a", "7a2woosal": single digits beside letters, three letters at
  // least (not "2b", "AB123").
  auto digitWord = [](std::string_view w) {
    int letters = 0, digits = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
      const char c = w[i];
      if (c >= 'a' && c <= 'z') {
        ++letters;
      } else if (std::string_view("235789").find(c) != std::string_view::npos) {
        const bool run = (i > 0 && std::isdigit(static_cast<unsigned char>(w[i - 1]))) ||
                         (i + 1 < w.size() && std::isdigit(static_cast<unsigned char>(w[i + 1])));
        if (run) return false;
        ++digits;
      } else {
        return false;
      }
    }
    return digits >= 1 && digits <= 2 && letters >= 3;
  };
  std::size_t n = 0, helped = 0;
  hits = 0;
  for (std::string w : splitWords(text)) {
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto first = w.find_first_not_of(",.!?;:()\"'");
    if (first == std::string::npos) continue;
    w = w.substr(first, w.find_last_not_of(",.!?;:()\"'") + 1 - first);
    if (w.find_first_not_of("0123456789:.-/") == std::string::npos || loanwords.count(w)) continue;
    ++n;
    // A digit inside a word is the alphabet's own mark: it counts twice.
    if (digitWord(w))
      hits += 2;
    else if (words.count(w))
      ++hits;
    else if (shared.count(w))
      ++helped;
  }
  return hits >= 1 && (hits + helped) * 2 >= n && (n < 4 || hits >= 2);
}

// When the word lists know too few of the words: the language whose sounds
// the message's words are made of. Japanese and Korean by their syllables,
// with at least one word only that language writes so ("nakushimashita",
// "isseoyo"), Russian by the words a Russian dictionary knows once they are
// turned into Cyrillic. "" when none reads clearly; with `onlySure`, "" unless
// every word reads so and three of them at least are the language's own
// (enough to go against a recogniser that is sure of a Latin-script
// language: "est li u vas parkovka" reads as French to it).
std::string readingBySound(const std::vector<std::string>& parts, bool onlySure) {
  if (parts.empty()) return "";
  const auto& helpers = romanizedHelpers();
  // Per language: words that fit its syllables, the marks of those only it
  // writes so, and its short words (particles), which count beside those
  // alone. A language stops being looked at once a quarter of the words do
  // not fit.
  struct Fit {
    bool (*fits)(std::string_view);
    int (*marksOf)(std::string_view);
    const std::set<std::string>& helpers;
    std::size_t fit = 0, marked = 0, helped = 0;
    void count(const std::string& w, std::size_t before, std::size_t n) {
      if ((before - fit) * 4 > n || !fits(w)) return;
      ++fit;
      if (const int marks = marksOf(w))
        marked += static_cast<std::size_t>(marks);
      else if (helpers.count(w))
        ++helped;
    }
  };
  const std::size_t n = parts.size();
  Fit ja{romajiWord, romajiMarks, helpers.at("ja")}, ko{koreanWord, koreanMarks, helpers.at("ko")};
  std::size_t before = 0;
  for (std::string w : parts) {
    std::erase(w, '\'');
    ja.count(w, before, n);
    ko.count(w, before, n);
    ++before;
  }
  const std::size_t enough = n >= 4 ? 2 : 1;
  auto reads = [&](const Fit& f) {
    if (onlySure) return f.fit == n && f.marked >= 3;
    return f.fit * 4 >= n * 3 && f.marked >= 1 && f.marked + f.helped >= enough;
  };
  const bool japanese = reads(ja), korean = reads(ko);
  if (japanese && (!korean || ja.marked >= ko.marked)) return "ja";
  if (korean) return "ko";
  if (!russianDictionary()) return "";
  std::size_t letters = 0, known = 0, unknown = 0, words = 0;
  bool telling = false;  // a known word long or spelled as only translit spells
  for (const std::string& w : parts)
    if (w.size() >= 3) letters += w.size();
  for (const std::string& w : parts) {
    if (w.size() < 3) continue;
    if (russianWord(w)) {
      known += w.size();
      ++words;
      telling = telling || w.size() >= 6 || translitMarked(w);
    } else if ((unknown += w.size()) * 10 > letters * 3 || onlySure) {
      return "";  // the dictionary's share can no longer be enough
    }
  }
  if (onlySure) return words >= 3 ? "ru" : "";
  // Short words of other languages are Russian words by chance too often
  // ("ada", "del", "sama").
  if (telling && words >= (n >= 3 ? 2u : 1u) && known >= 6 && known * 10 >= letters * 7) return "ru";
  return "";
}

// The languages whose word lists hold a word (folded).
const std::map<std::string, std::vector<std::string>>& listedLanguages() {
  static const std::map<std::string, std::vector<std::string>> languagesOf = [] {
    std::map<std::string, std::vector<std::string>> m;
    for (const auto& list : guestWords())
      for (const auto& w : splitWords(list.words)) {
        auto& langs = m[fold(w)];
        if (std::find(langs.begin(), langs.end(), list.code) == langs.end()) langs.push_back(list.code);
      }
    return m;
  }();
  return languagesOf;
}

// Chinese typed in pinyin without tone marks ("qingwen zaocan shi ji dian",
// "qing wen"): every word a string of Mandarin syllables (one in six aside,
// a typo) and enough of them marked as pinyin, by a word of the pinyin list
// or by the initials and finals other languages seldom form so. A sentence of
// a Latin-script language may sound like pinyin word by word ("bisa juga",
// "die"), seldom with those marks; a word the other languages' lists hold
// ("que", "xin") marks nothing. With `onlySure` (a recogniser is sure of a
// Latin-script language) every word must fit and three be marked.
bool readsAsPinyin(const std::vector<std::string>& parts, bool onlySure) {
  static const std::set<std::string> known = [] {
    std::set<std::string> s;
    for (auto& w : splitWords(pinyinWords())) s.insert(w);
    return s;
  }();
  if (parts.empty()) return false;
  const auto& listed = listedLanguages();
  const std::size_t n = parts.size(), needed = onlySure ? 3 : n >= 4 ? 2 : 1;
  // The marks first: they are cheap, and most messages have none.
  std::vector<std::string> words, marks;
  for (std::string w : parts) {
    std::erase(w, '\'');
    // Vietnamese typed without its marks begins its politest phrases with
    // "xin" ("xin chao").
    if (known.count(w) || (pinyinMarked(w) && !listed.count(w) && w != "xin")) marks.push_back(w);
    words.push_back(std::move(w));
  }
  if (marks.size() < needed) return false;
  const auto fit = static_cast<std::size_t>(
      std::count_if(words.begin(), words.end(), [](const std::string& w) { return pinyinWord(w); }));
  const auto marked = static_cast<std::size_t>(
      std::count_if(marks.begin(), marks.end(), [](const std::string& w) { return pinyinWord(w); }));
  if (onlySure) return fit == n && marked >= needed;
  return fit + n / 6 >= n && marked >= needed;
}

// How strongly the word lists point to each language: every known word gives
// one vote, shared among the languages that use it.
std::map<std::string, double> wordVotes(const std::vector<std::string>& words) {
  const auto& languagesOf = listedLanguages();
  std::map<std::string, double> votes;
  for (const auto& word : words) {
    const std::string folded = fold(word);
    auto it = languagesOf.find(folded);
    // "dall'aeroporto", "l'hôtel": the article before the apostrophe.
    if (it == languagesOf.end())
      if (const auto apostrophe = folded.find('\''); apostrophe != std::string::npos)
        it = languagesOf.find(folded.substr(0, apostrophe + 1));
    if (it == languagesOf.end()) continue;
    for (const auto& lang : it->second) votes[lang] += 1.0 / static_cast<double>(it->second.size());
  }
  return votes;
}

// A recogniser's code in the form this system uses. Malay counts as
// Indonesian: the two are understood by each other's speakers, the hotel has
// Indonesian replies, and on short texts the recognisers split their votes
// between the two.
std::string ownCode(const std::string& code) {
  if (code == "ms") return "id";
  if (code == "zh" || code == "yue" || code == "wuu") return "zh-Hans";
  if (code == "iw") return "he";
  if (code == "jw") return "jv";
  if (code == "no") return "nb";
  return code;
}

struct Cld2Answer {
  std::string code;  // "" when CLD2 found nothing
  double score = 0;  // CLD2's own score of that language
};

Cld2Answer cld2(std::string_view text) {
  CLD2::Language top3[3];
  int percent3[3];
  double scores3[3];
  int textBytes = 0, validPrefix = 0;
  bool reliable = false;
  const CLD2::Language lang = CLD2::ExtDetectLanguageSummaryCheckUTF8(
      text.data(), static_cast<int>(text.size()), true, nullptr, CLD2::kCLDFlagBestEffort, top3, percent3, scores3,
      nullptr, &textBytes, &reliable, &validPrefix);
  if (lang == CLD2::UNKNOWN_LANGUAGE) return {};
  const std::string code = CLD2::LanguageCode(lang);
  if (code == "un" || code == "xxx") return {};
  return {ownCode(code), scores3[0]};
}

// How the three opinions are weighed, as measured on guest messages
// (bench/lang_bench; a range around each value gives the same results).
// fastText's probabilities count as they are. CLD2's answer adds up to half a
// point, in full from a score of 1000 (short texts score lower). The word
// lists add up to three points on 1-4 words, where both recognisers fall back
// to English or a neighbour, one and a half on 5-10 and nothing on longer
// messages, where the recognisers are sure and a shared "de" or "no" must not
// turn Portuguese into Spanish. A reply language gets 0.1 more, so that an
// unsure choice between it and a neighbour outside the table ("it" or "et",
// "es" or "gl") falls to the language the hotel can answer in fully; not when
// the text has letters no reply language writes.
constexpr double kCld2Weight = 0.5;
constexpr double kCld2FullScore = 1000;
constexpr double kWordsWeightShort = 3.0;
constexpr double kWordsWeightMedium = 1.5;
constexpr double kReplyLanguageBonus = 0.1;
// The short-text model's probability from which a Latin-letter message is
// taken to be in a Latin-script language unless it reads surely as Russian,
// Japanese or Korean.
constexpr float kLatinSure = 0.9f;
// The short-text model's share from which it backs a reply language alone.
constexpr double kModelBacks = 0.3;

// A message's words and what the short-text model makes of them, worked out
// once for every reading of it (the model only when a reading asks).
class MessageWords {
 public:
  std::vector<std::string> words, own;  // own: without the English hotel words
  std::string joined;                   // the own words, a space between

  MessageWords(std::string_view text, const Recognisers& use)
      : words(messageWords(text)), own(ownWords(words)), use_(use.fastText && !use.cld2Only) {
    for (const auto& w : own) joined += (joined.empty() ? "" : " ") + w;
  }
  // The short-text model's languages, best first; none when it is not used.
  const std::vector<std::pair<std::string, float>>& predictions() const {
    if (use_ && !asked_ && !own.empty()) predictions_ = ShortTextModel::shared().predict(joined, 10);
    asked_ = true;
    return predictions_;
  }

 private:
  bool use_;
  mutable bool asked_ = false;
  mutable std::vector<std::pair<std::string, float>> predictions_;
};

std::string combine(const MessageWords& m, const Scripts& scripts, const Recognisers& use, bool otherScript) {
  const std::vector<std::string>& words = m.words;
  const std::vector<std::string>& own = m.own;
  // Nothing but hotel words ("wifi password?", "Checkout?"): English.
  if (own.empty()) return "en";

  std::map<std::string, double> score;
  for (const auto& [code, p] : m.predictions()) score[ownCode(code)] += p;
  const Cld2Answer c = cld2(m.joined);
  if (!c.code.empty()) score[c.code] += kCld2Weight * std::min(1.0, c.score / kCld2FullScore);
  const std::map<std::string, double> votes = use.words ? wordVotes(own) : std::map<std::string, double>{};
  const double weight = words.size() <= 4 ? kWordsWeightShort : words.size() <= 10 ? kWordsWeightMedium : 0.0;
  for (const auto& [code, v] : votes) score[code] += weight * v / static_cast<double>(own.size());
  // Loanwords are plain a-z, so the message's letters tell as well as the
  // remaining words'.
  if (scripts.foreignLatin == 0)
    for (auto& [code, v] : score)
      if (isReplyLanguage(code)) v += kReplyLanguageBonus;

  std::string best;
  double top = 0;
  for (const auto& [code, v] : score)
    if (v > top) {
      top = v;
      best = code;
    }
  // No third language: in plain Latin letters a language nothing backs is
  // the sum of weak votes for a text none of them knows (Hindi, Greek, Thai
  // typed so), and English serves the guest better than Catalan or Tagalog.
  // A language without replies needs the word lists or CLD2 behind it; a
  // reply language the short-text model (from 0.3), CLD2 or the word lists
  // (a third of the words); any language the word lists alone when words of
  // a script language without replies are among the message's
  // (`otherScript`: "namaste", "mporoume", "3andak").
  if (best != "en" && scripts.foreignLatin == 0 && scripts.latin == letterCount(scripts) && !m.predictions().empty()) {
    double model = 0;
    for (const auto& [code, p] : m.predictions())
      if (ownCode(code) == best) model += p;
    const double listed = votes.count(best) ? votes.at(best) : 0.0;
    const bool byLists = listed * 3 >= static_cast<double>(own.size());
    const bool backed = otherScript             ? byLists
                        : isReplyLanguage(best) ? model >= kModelBacks || c.code == best || byLists
                                                : listed > 0 || c.code == best;
    if (!backed) return "en";
  }
  return best;
}

std::string decide(std::string_view text, const Scripts& s, const Recognisers& use) {
  const int letters = letterCount(s);
  if (letters == 0) return "en";
  // Scripts that belong to one language decide outright: a short message
  // gives a statistical recogniser too little to go on.
  if (s.hangul > 0 && s.hangul >= s.kana) return "ko";
  if (s.kana > 0) return "ja";
  // English hotel words inside Chinese ("請問有parking嗎") are no evidence
  // for any Latin-script language: Han decides against what is left.
  // So does a Chinese sentence around English words ("早餐幾點開始？breakfast
  // included嗎"): its grammar is in the Han characters.
  if (s.han > 0 && s.kana == 0 && s.hangul == 0 &&
      (s.han * 2 >= letters - loanwordLetters(text) || hasChineseGrammar(text))) {
    // Characters written the same in both ("你好"): simplified, by far the
    // more common.
    const std::string variant = chineseVariant(text);
    return variant.empty() ? "zh-Hans" : variant;
  }
  if (s.vietnamese > 0) return "vi";
  // Plain Latin letters only: perhaps a script language typed without its
  // keyboard.
  const MessageWords m(text, use);
  bool otherScript = false;
  if (s.latin == letters && s.foreignLatin == s.macrons) {
    // Hepburn's long vowels written plain, as phones type them ("Tōkyō" as
    // "Tokyo").
    std::vector<std::string> parts = wordParts(m.own);
    if (s.macrons)
      for (std::string& p : parts) p = fold(p);
    // Hindi, Arabic, Greek or Thai typed in Latin letters are answered in
    // English: no reply language is theirs, and a reply in their own script
    // is not what the guest typed.
    if (use.words) {
      std::size_t arabic = 0, withoutReplies = 0;
      if (arabicChatAlphabet(text, arabic)) return "en";
      if (std::string r = romanizedLanguage(parts, withoutReplies); !r.empty()) return isReplyLanguage(r) ? r : "en";
      otherScript = arabic + withoutReplies > 0;
    }
    // A recogniser sure of a Latin-script language gives way only to a sure
    // reading.
    const auto& top = m.predictions();
    const bool latinSure = !top.empty() && top.front().second >= kLatinSure;
    if (readsAsPinyin(parts, latinSure)) return "zh-Hans";
    if (std::string r = readingBySound(parts, latinSure); !r.empty()) return r;
  }
  const std::string guess = use.cld2Only ? cld2(text).code : combine(m, s, use, otherScript);
  if (!guess.empty()) return guess;
  if (s.cyrillic > s.latin) return "ru";
  return "en";
}

}  // namespace

// On the guest's own words: a quoted e-mail is in the hotel's language. When
// nothing of the guest's is left (only a quote, only a footer), on all of it.
std::string detectLanguage(std::string_view text, const Recognisers& use) {
  const std::string own = guestOwnText(text);
  if (own.size() != text.size()) {
    const Scripts s = countScripts(own);
    if (letterCount(s) > 0) return decide(own, s, use);
  }
  return decide(text, countScripts(text), use);
}

std::string Lang::detect(std::string_view text) { return detectLanguage(text, Recognisers{}); }

namespace {

// A language's name in the language of `in` (its own when null), or the code
// itself when ICU does not know it. The two Chinese codes name their script,
// so that a guest who writes in traditional characters is not answered in
// simplified ones.
std::string displayName(const std::string& code, const icu::Locale* in, bool capitalised) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = icu::Locale::forLanguageTag(code, status);
  if (U_FAILURE(status) || code.empty()) return code;
  const icu::Locale& language = in != nullptr ? *in : locale;
  icu::UnicodeString display;
  if (code == "zh-Hans" || code == "zh-Hant")
    locale.getDisplayName(language, display);
  else
    locale.getDisplayLanguage(language, display);
  // As a menu item: "русский" is "Русский" there.
  if (capitalised && !display.isEmpty()) display.replace(0, 1, icu::UnicodeString(display, 0, 1).toUpper(language));
  std::string out;
  display.toUTF8String(out);
  // ICU answers an unknown code with the code itself (lower-cased); keep the
  // caller's spelling.
  return out.empty() || out == locale.getLanguage() ? code : out;
}

}  // namespace

std::string Lang::name(const std::string& code) { return displayName(code, &icu::Locale::getEnglish(), false); }

std::string Lang::nativeName(const std::string& code) { return displayName(code, nullptr, true); }

std::vector<std::string> Lang::replyLanguages() {
  std::vector<std::string> codes;
  for (const auto& [code, row] : table()) codes.push_back(code);
  return codes;
}

std::string Lang::notInDocs(const std::string& code) { return lookup(code).notInDocs; }
std::string Lang::partial(const std::string& code) { return lookup(code).partial; }

}  // namespace quorvel
