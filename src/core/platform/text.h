// Unicode helpers used wherever a length is counted in user-perceived
// characters (grapheme clusters) rather than bytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Number of grapheme clusters in a UTF-8 text.
std::size_t graphemeCount(std::string_view utf8);
// The first `n` grapheme clusters of a UTF-8 text (the whole text when it is
// shorter); never cuts inside a character or a cluster.
std::string graphemePrefix(std::string_view utf8, std::size_t n);
// The longest run of whole clusters from the start within `maxBytes` bytes.
std::string graphemePrefixBytes(std::string_view utf8, std::size_t maxBytes);

bool isValidUtf8(std::string_view bytes);
// Replaces every ill-formed sequence with U+FFFD.
std::string toValidUtf8(std::string_view bytes);

// White space and line breaks: the Unicode Z categories, tab to carriage
// return, and NEL.
bool isSpaceOrNewline(char32_t c);
// Spaces and tabs only: the Unicode space separators and the tab.
bool isSpaceOrTab(char32_t c);
// The text without leading and trailing code points for which pred holds.
std::string_view trimUtf8(std::string_view text, bool (*pred)(char32_t));

// At most the first `max` bytes of an untrusted reply, for an error message:
// valid UTF-8, control characters escaped, "…" when cut.
std::string excerpt(std::string_view bytes, std::size_t max = 300);

// ASCII lower-casing, for file-name extensions and protocol words.
std::string asciiLower(std::string_view s);

// One message whatever its spacing and case: trimmed, runs of white space
// made one space, case-folded.
std::string foldedKey(std::string_view text);

// A text as a search that ignores case and width sees it: NFKC with full
// case folding ("Straße", "STRASSE" and "ｓｔｒａｓｓｅ" all become "strasse").
// Ill-formed bytes become U+FFFD first.
std::string searchFolded(std::string_view text);
// What a search for `text` looks for: the text trimmed, then folded as above;
// empty when there is nothing to look for.
std::string searchNeedle(std::string_view text);
// Whether `text`, folded, holds `needle` (made by searchNeedle).
bool holdsNeedle(std::string_view text, const std::string& needle);

using TimePoint = std::chrono::system_clock::time_point;
// 2025-06-01T08:30:00Z: UTC, whole seconds (a fraction is dropped).
std::string isoDate(TimePoint t);
// Reads the form above; a fraction of a second is accepted and dropped.
// Nothing for a day the month does not have, or a date the clock cannot
// hold (before 1677-09-22, after 2262-04-11).
std::optional<TimePoint> parseIsoDate(std::string_view s);

}  // namespace quorvel
