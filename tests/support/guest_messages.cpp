#include "guest_messages.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <fstream>
#include <memory>
#include <sstream>

#include <quorvel/lang.h>

namespace quorvel {

std::vector<GuestMessage> readGuestMessages(const std::string& path) {
  std::ifstream in(path);
  std::vector<GuestMessage> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    // A pasted e-mail keeps its line breaks as "\n".
    std::string text = line.substr(tab + 1);
    for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
      text.replace(at, 2, "\n");
    out.push_back({line.substr(0, tab), std::move(text)});
  }
  return out;
}

namespace {

bool writtenWithoutSpaces(UChar32 c) {
  UErrorCode status = U_ZERO_ERROR;
  switch (uscript_getScript(c, &status)) {
    case USCRIPT_HAN:
    case USCRIPT_HIRAGANA:
    case USCRIPT_KATAKANA:
    case USCRIPT_THAI:
    case USCRIPT_LAO:
    case USCRIPT_KHMER:
    case USCRIPT_MYANMAR: return true;
    default: return false;
  }
}

int dictionaryWords(const icu::UnicodeString& token) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) return 1;
  it->setText(token);
  int n = 0;
  int32_t start = it->first();
  for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
    if (it->getRuleStatus() < UBRK_WORD_LETTER) continue;
    // Japanese particles and endings of one or two hiragana ("を", "か",
    // "ます") are parts of words, as "-ing" is in English.
    const icu::UnicodeString word(token, start, end - start);
    bool hiraganaOnly = true;
    for (int32_t i = 0; i < word.length(); ++i) {
      UErrorCode status = U_ZERO_ERROR;
      hiraganaOnly = hiraganaOnly && uscript_getScript(word.char32At(i), &status) == USCRIPT_HIRAGANA;
    }
    if (!(hiraganaOnly && word.countChar32() <= 2)) ++n;
  }
  return n;
}

}  // namespace

int guestMessageWords(std::string_view text) {
  std::istringstream in{std::string(text)};
  int words = 0;
  for (std::string token; in >> token;) {
    const icu::UnicodeString u = icu::UnicodeString::fromUTF8(token);
    bool letter = false, noSpaces = false;
    for (int32_t i = 0; i < u.length();) {
      const UChar32 c = u.char32At(i);
      i += U16_LENGTH(c);
      if (!u_isalpha(c)) continue;
      letter = true;
      noSpaces = noSpaces || writtenWithoutSpaces(c);
    }
    if (letter) words += noSpaces ? std::max(1, dictionaryWords(u)) : 1;
  }
  return words;
}

bool isReplyLanguage(const std::string& code) {
  // Every reply language has its own fixed sentence; the others get English.
  return code == "en" || Lang::notInDocs(code) != Lang::notInDocs("en");
}

LanguageScore scoreLanguages(const std::vector<GuestMessage>& messages,
                             const std::function<std::string(std::string_view)>& detect) {
  LanguageScore score;
  for (const auto& m : messages) {
    const std::string got = detect(m.text);
    const bool reply = isReplyLanguage(m.code);
    const bool right = got == m.code;
    std::vector<std::string> buckets;
    if (reply) {
      const int words = guestMessageWords(m.text);
      buckets = {"all", words <= 4 ? "1-4" : words <= 10 ? "5-10" : "11+"};
    } else {
      buckets = {"other"};
    }
    for (const auto& b : buckets) {
      ++score.buckets[b].total;
      if (right) ++score.buckets[b].right;
    }
    ++score.byLanguage[m.code].total;
    if (right)
      ++score.byLanguage[m.code].right;
    else
      score.misses.push_back(m.code + " -> " + got + ": " + m.text);
  }
  return score;
}

}  // namespace quorvel
