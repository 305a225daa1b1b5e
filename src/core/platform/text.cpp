#include "platform/text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cmath>
#include <ctime>
#include <memory>

namespace quorvel {

namespace {

// Walks the grapheme boundaries of `utf8`, calling `stop(count, end)` after
// each cluster (`end`: the byte offset after it); returns the byte offset
// where the walk ended.
template <class Stop>
std::size_t walkGraphemes(std::string_view utf8, std::size_t& count, Stop stop) {
  count = 0;
  if (utf8.empty()) return 0;
  UErrorCode status = U_ZERO_ERROR;
  UText* ut = utext_openUTF8(nullptr, utf8.data(), static_cast<int64_t>(utf8.size()), &status);
  // Making a break iterator costs far more than using one: keep one per thread.
  thread_local std::unique_ptr<icu::BreakIterator> cached;
  if (!cached) {
    UErrorCode s = U_ZERO_ERROR;
    cached.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), s));
    if (U_FAILURE(s)) cached.reset();
  }
  icu::BreakIterator* it = cached.get();
  if (U_FAILURE(status) || !it) {
    if (ut) utext_close(ut);
    // Without ICU break data, count code points: never wrong by cutting bytes.
    std::size_t i = 0;
    while (i < utf8.size()) {
      UChar32 c;
      U8_NEXT(utf8.data(), i, utf8.size(), c);
      ++count;
      if (stop(count, i)) break;
    }
    return i;
  }
  it->setText(ut, status);
  int32_t pos = it->first();
  std::size_t end = 0;
  for (int32_t next = it->next(); next != icu::BreakIterator::DONE; next = it->next()) {
    pos = next;
    end = static_cast<std::size_t>(pos);
    ++count;
    if (stop(count, end)) break;
  }
  utext_close(ut);
  return end;
}

}  // namespace

std::size_t graphemeCount(std::string_view utf8) {
  // Fast path: when every code point is one that never joins a neighbour
  // (grapheme break class Other, Control, LF or CR), clusters are code points
  // with CR LF pairs counted once. That covers nearly all Latin, Cyrillic and
  // CJK text; anything else (accents, emoji, Hangul jamo) goes to ICU.
  std::size_t points = 0, crlf = 0, i = 0;
  bool simple = true;
  const char* d = utf8.data();
  const std::size_t size = utf8.size();
  while (i < size) {
    const unsigned char b = static_cast<unsigned char>(d[i]);
    if (b < 0x80) {
      if (b == '\r' && i + 1 < size && d[i + 1] == '\n') ++crlf;
      ++points;
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(d, i, size, c);
    if (c < 0) {
      simple = false;
      break;
    }
    const int gcb = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    if (gcb != U_GCB_OTHER && gcb != U_GCB_CONTROL) {
      simple = false;
      break;
    }
    ++points;
  }
  if (simple) return points - crlf;
  std::size_t count = 0;
  walkGraphemes(utf8, count, [](std::size_t, std::size_t) { return false; });
  return count;
}

std::string graphemePrefix(std::string_view utf8, std::size_t n) {
  if (n == 0) return {};
  // A text of at most n bytes, or one whose count is quick to take, often
  // needs no cut at all.
  if (utf8.size() <= n || graphemeCount(utf8) <= n) return std::string(utf8);
  std::size_t count = 0;
  std::size_t end = walkGraphemes(utf8, count, [n](std::size_t c, std::size_t) { return c >= n; });
  return std::string(utf8.substr(0, count >= n ? end : utf8.size()));
}

std::string graphemePrefixBytes(std::string_view utf8, std::size_t maxBytes) {
  if (utf8.size() <= maxBytes) return std::string(utf8);
  std::size_t count = 0, fits = 0;
  walkGraphemes(utf8, count, [&fits, maxBytes](std::size_t, std::size_t end) {
    if (end > maxBytes) return true;
    fits = end;
    return false;
  });
  return std::string(utf8.substr(0, fits));
}

bool isValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    UChar32 c;
    U8_NEXT(s.data(), i, s.size(), c);
    if (c < 0) return false;
  }
  return true;
}

std::string toValidUtf8(std::string_view s) {
  if (isValidUtf8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t start = i;
    UChar32 c;
    U8_NEXT(s.data(), i, s.size(), c);
    if (c < 0)
      out += "\xEF\xBF\xBD";
    else
      out.append(s.substr(start, i - start));
  }
  return out;
}

bool isSpaceOrNewline(char32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  const int8_t t = u_charType(static_cast<UChar32>(c));
  return t == U_SPACE_SEPARATOR || t == U_LINE_SEPARATOR || t == U_PARAGRAPH_SEPARATOR;
}

bool isSpaceOrTab(char32_t c) { return c == '\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR; }

std::string_view trimUtf8(std::string_view s, bool (*pred)(char32_t)) {
  std::size_t b = 0;
  while (b < s.size()) {
    std::size_t next = b;
    UChar32 c;
    U8_NEXT(s.data(), next, s.size(), c);
    if (c < 0 || !pred(static_cast<char32_t>(c))) break;
    b = next;
  }
  std::size_t e = s.size();
  while (e > b) {
    int32_t i = static_cast<int32_t>(e);
    UChar32 c;
    U8_PREV(s.data(), 0, i, c);
    if (c < 0 || !pred(static_cast<char32_t>(c))) break;
    e = static_cast<std::size_t>(i);
  }
  return s.substr(b, e - b);
}

std::string asciiLower(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

std::string foldedKey(std::string_view text) {
  std::string collapsed;
  bool space = false;
  for (char c : trimUtf8(text, isSpaceOrNewline)) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      space = true;
      continue;
    }
    if (space && !collapsed.empty()) collapsed.push_back(' ');
    space = false;
    collapsed.push_back(c);
  }
  std::string folded;
  icu::UnicodeString::fromUTF8(collapsed).foldCase().toUTF8String(folded);
  return folded;
}

std::string searchFolded(std::string_view text) {
  const icu::UnicodeString u = icu::UnicodeString::fromUTF8(toValidUtf8(text));
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* fold = icu::Normalizer2::getNFKCCasefoldInstance(status);
  icu::UnicodeString folded = U_SUCCESS(status) ? fold->normalize(u, status) : icu::UnicodeString();
  if (U_FAILURE(status)) folded = icu::UnicodeString(u).foldCase();  // case alone, without the data
  std::string out;
  folded.toUTF8String(out);
  return out;
}

std::string searchNeedle(std::string_view text) { return searchFolded(trimUtf8(text, isSpaceOrNewline)); }

bool holdsNeedle(std::string_view text, const std::string& needle) {
  return searchFolded(text).find(needle) != std::string::npos;
}

std::string isoDate(TimePoint t) {
  using namespace std::chrono;
  const auto secs = floor<seconds>(t).time_since_epoch().count();
  std::time_t tt = static_cast<std::time_t>(secs);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::optional<TimePoint> parseIsoDate(std::string_view s) {
  std::tm tm{};
  int consumed = 0;
  std::string str(s);
  if (std::sscanf(str.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec, &consumed) != 6)
    return std::nullopt;
  std::size_t i = static_cast<std::size_t>(consumed);
  if (i < str.size() && str[i] == '.') {
    ++i;
    while (i < str.size() && str[i] >= '0' && str[i] <= '9') ++i;
  }
  if (i + 1 != str.size() || str[i] != 'Z') return std::nullopt;
  if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
      tm.tm_sec > 60)
    return std::nullopt;
  const int year = tm.tm_year, month = tm.tm_mon, mday = tm.tm_mday;
  tm.tm_sec = std::min(tm.tm_sec, 59);  // a leap second stays in its day
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  const std::time_t tt = timegm(&tm);
  // A day the month does not have (February 31) is no date: timegm would
  // move it into the next month.
  std::tm back{};
  if (gmtime_r(&tt, &back) == nullptr || back.tm_year + 1900 != year || back.tm_mon + 1 != month ||
      back.tm_mday != mday)
    return std::nullopt;
  // The clock counts nanoseconds from 1970 in 64 bits: outside about
  // 1677-2262 a date would wrap round (1677 read as 2262).
  using std::chrono::seconds;
  const auto earliest = std::chrono::ceil<seconds>(TimePoint::min().time_since_epoch()).count();
  const auto latest = std::chrono::floor<seconds>(TimePoint::max().time_since_epoch()).count();
  if (tt < earliest || tt > latest) return std::nullopt;
  return TimePoint(std::chrono::duration_cast<TimePoint::duration>(seconds(tt)));
}

std::string excerpt(std::string_view bytes, std::size_t max) {
  const bool cut = bytes.size() > max;
  const std::string valid = toValidUtf8(bytes.substr(0, max));
  std::string out;
  for (unsigned char c : valid) {
    if (c >= 0x20 && c != 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      static const char hex[] = "0123456789abcdef";
      out += "\\x";
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  // A cut through a character left U+FFFD at the end: that is the cut.
  if (cut) out += "\u2026";
  return out;
}

}  // namespace quorvel
