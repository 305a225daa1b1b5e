// Cutting a document's text into passages.
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <quorvel/document_reader.h>

#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kPassageLimit = 700;

std::string_view trimHashesAndSpaces(std::string_view s) {
  std::size_t b = s.find_first_not_of("# ");
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of("# ");
  return s.substr(b, e - b + 1);
}

// Whether `text` begins with `prefix` as a reader sees it: the bytes match and
// the prefix does not end inside a character of `text` ("Cafe" is not how
// "Café" with a combining accent begins).
bool beginsWith(std::string_view text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  if (text.size() == prefix.size() || prefix.empty()) return true;
  // Re-count the clusters across the joint: the prefix must stay whole.
  std::size_t tail = std::min<std::size_t>(text.size(), prefix.size() + 32);
  std::string_view around = text.substr(0, tail);
  return graphemePrefix(around, graphemeCount(prefix)).size() == prefix.size();
}

}  // namespace

bool DocumentReader::isHeading(std::string_view line) {
  if (line.empty()) return false;
  if (line.front() == '#') return true;
  const std::size_t n = graphemeCount(line);
  if (n > 60) return false;

  // The line's letters, one cluster each, and whether the first is a capital.
  icu::UnicodeString letters;
  std::size_t letterCount = 0;
  bool firstIsUpper = false;
  bool first = true;
  {
    std::size_t i = 0;
    bool clusterStart = true;
    bool inLetter = false;
    while (i < line.size()) {
      UChar32 c;
      U8_NEXT(line.data(), i, line.size(), c);
      if (c < 0) c = 0xFFFD;
      // A letter is a cluster whose first code point is alphabetic; its
      // combining marks travel with it.
      const int gcb = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
      clusterStart = !(gcb == U_GCB_EXTEND || gcb == U_GCB_ZWJ || gcb == U_GCB_SPACING_MARK);
      if (clusterStart) {
        inLetter = u_hasBinaryProperty(c, UCHAR_ALPHABETIC);
        if (inLetter) ++letterCount;
        if (first) firstIsUpper = inLetter && u_hasBinaryProperty(c, UCHAR_UPPERCASE);
        first = false;
      }
      if (inLetter) letters.append(c);
    }
  }
  const bool hasColon = line.find(':') != std::string_view::npos;
  if (letterCount >= 3 && !hasColon) {
    icu::UnicodeString upper(letters);
    upper.toUpper(icu::Locale::getRoot());
    if (upper == letters) return true;
  }
  if (line.back() == '?') return true;
  return n <= 40 && line.find('.') == std::string_view::npos && !hasColon && letterCount >= 3 && firstIsUpper &&
         line.find(',') == std::string_view::npos;
}

std::vector<Chunk> DocumentReader::chunks(const std::string& file, std::string_view input) {
  // CR LF becomes LF; a lone CR stays.
  std::string text;
  text.reserve(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') continue;
    text.push_back(input[i]);
  }

  std::vector<Chunk> out;
  std::string section;
  std::string buffer;
  std::size_t bufferCount = 0;  // clusters in buffer: parts plus two per separator

  auto flush = [&] {
    std::string_view s = trimUtf8(buffer, isSpaceOrNewline);
    if (!s.empty()) {
      Chunk c;
      c.id = file + "#" + std::to_string(out.size() + 1);
      c.file = file;
      c.section = section;
      c.text = std::string(s);
      out.push_back(std::move(c));
    }
    buffer.clear();
    bufferCount = 0;
  };

  const std::string_view all(text);
  std::size_t pos = 0;
  while (pos <= all.size()) {
    std::size_t end = all.find("\n\n", pos);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view t = trimUtf8(all.substr(pos, end - pos), isSpaceOrNewline);
    pos = end + 2;
    if (t.empty()) continue;

    const std::string_view first = trimUtf8(t.substr(0, t.find('\n')), isSpaceOrTab);
    if (isHeading(first)) {
      flush();
      section = std::string(trimHashesAndSpaces(first));
    }
    const std::size_t tCount = graphemeCount(t);
    if (bufferCount + tCount > kPassageLimit) flush();
    if (buffer.empty()) {
      buffer.assign(t);
      bufferCount = tCount;
    } else {
      buffer.append("\n\n").append(t);
      bufferCount += 2 + tCount;
    }
  }
  flush();

  for (Chunk& c : out) {
    if (c.section.empty() || beginsWith(c.text, c.section) || c.text.front() == '#') continue;
    c.text = c.section + "\n" + c.text;
  }
  return out;
}

}  // namespace quorvel
