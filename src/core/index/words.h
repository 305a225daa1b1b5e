// The words of a text as the keyword score sees them: lower-cased, split at
// anything that is not a letter, mark or number.
#pragma once

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

inline uint64_t wordHash(std::string_view w) { return std::hash<std::string_view>{}(w); }

// Calls f with each word of the text (see DocIndex::tokens).
template <class F>
void forEachToken(std::string_view text, F&& f) {
  std::string word;
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    for (char c : text) {
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        word.push_back(c);
      } else if (c >= 'A' && c <= 'Z') {
        word.push_back(static_cast<char>(c - 'A' + 'a'));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  } else if (text.find("\xC4\xB0") == std::string_view::npos && text.find("\xCE\xA3") == std::string_view::npos) {
    // Without U+0130 (İ, which lower-cases to two code points) and U+03A3
    // (Σ, whose lower case depends on its place in the word), full Unicode
    // lower-casing is the simple mapping of each code point: no need to
    // convert the whole text.
    std::size_t i = 0;
    while (i < text.size()) {
      UChar32 c;
      U8_NEXT(text.data(), i, text.size(), c);
      if (c < 0) c = 0xFFFD;
      c = u_tolower(c);
      if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0) {
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);
        word.append(buf, static_cast<std::size_t>(n));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  } else {
    // Unicode lower-casing, not tied to a locale; then letters, marks and
    // numbers make words.
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    u.toLower(icu::Locale::getRoot());
    for (int32_t i = 0; i < u.length();) {
      const UChar32 c = u.char32At(i);
      i += U16_LENGTH(c);
      if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0) {
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);  // c is a valid code point: at most 4 bytes
        word.append(buf, static_cast<std::size_t>(n));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  }
  if (!word.empty()) f(std::string_view(word));
}

// The distinct words of a text, as sorted hashes.
std::vector<uint64_t> wordSet(std::string_view text);

}  // namespace quorvel
