// Cutting a document's text into passages.
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

#include <quorvel/document_reader.h>

#include "platform/text.h"

namespace quorvel {

namespace {

constexpr std::size_t kPassageLimit = 700;
// A paragraph longer than this is no paragraph a person wrote but a page, an
// export or a file without blank lines: it is cut below the paragraph, or
// its tail could never be found nor quoted. Above the passage size, so that
// ordinary long paragraphs stay whole.
constexpr std::size_t kParagraphLimit = 1000;

std::string_view trimHashesAndSpaces(std::string_view s) {
  std::size_t b = s.find_first_not_of("# ");
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of("# ");
  return s.substr(b, e - b + 1);
}

std::string_view trimEmphasis(std::string_view s) {
  const std::size_t b = s.find_first_not_of("*_ \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of("*_ \t") - b + 1);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && asciiLower(s.substr(0, prefix.size())) == prefix;
}

// The question of a line that opens one in a question-and-answer sheet
// ("Q: …", "**Q:** …", "Question: …", "Frage: …", "Вопрос: …"), without its
// marks; empty when the line opens none.
std::string_view questionOf(std::string_view line) {
  // clang-format off
  static constexpr std::string_view labels[] = {
      "question", "q", "frage", "pregunta", "domanda", "vraag", "pergunta", "pertanyaan", "soru", "pytanie",
      "вопрос", "Вопрос", "ВОПРОС", "問題", "质问", "问", "問", "質問", "질문"};
  // clang-format on
  std::string_view s = line.substr(std::min(line.find_first_not_of("*_ "), line.size()));
  for (std::string_view label : labels) {
    if (!startsWithNoCase(s, label)) continue;
    std::string_view rest = s.substr(label.size());
    rest = rest.substr(std::min(rest.find_first_not_of("*_ "), rest.size()));
    const bool colon = rest.starts_with(":") || rest.starts_with("\xEF\xBC\x9A");  // ":" or "："
    const bool dot = label == "q" && (rest.starts_with(".") || rest.starts_with(")"));
    if (!colon && !dot) continue;
    rest = rest.substr(rest.starts_with(":") || dot ? 1 : 3);
    return trimEmphasis(rest);
  }
  return {};
}

// The section name a heading line gives: without "#" marks, or without the
// question marks-up of a question-and-answer line.
std::string sectionOf(std::string_view heading) {
  if (const std::string_view q = questionOf(heading); !q.empty()) return std::string(q);
  return std::string(trimHashesAndSpaces(heading));
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

// The byte offsets inside `text` where a cut is allowed: at sentence ends
// (`sentences`), else where a line may wrap (between words); 0 and the end
// left out. The iterators cost far more to make than to use: one each per
// thread.
std::vector<std::size_t> breaks(std::string_view text, bool sentences) {
  thread_local std::unique_ptr<icu::BreakIterator> sentence, line;
  std::unique_ptr<icu::BreakIterator>& cached = sentences ? sentence : line;
  UErrorCode status = U_ZERO_ERROR;
  if (!cached) {
    cached.reset(sentences ? icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status)
                           : icu::BreakIterator::createLineInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) cached.reset();
  }
  std::vector<std::size_t> out;
  if (!cached) return out;
  UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  if (U_SUCCESS(status)) {
    cached->setText(ut, status);
    for (int32_t b = cached->next(); U_SUCCESS(status) && b != icu::BreakIterator::DONE; b = cached->next())
      if (b > 0 && static_cast<std::size_t>(b) < text.size()) out.push_back(static_cast<std::size_t>(b));
    // The iterator must not point into text that goes away.
    cached->setText(icu::UnicodeString());
  }
  if (ut) utext_close(ut);
  return out;
}

// How finely a text too long for a passage is cut.
enum class Cut { Sentences, Words, Characters };

// Adds to `out` the pieces of at most kPassageLimit characters that `text`
// cuts into: at sentence ends; a sentence too long, between words; a "word"
// too long (a link, a code), between characters. Never inside a character.
void piecesOf(std::string_view text, Cut how, std::vector<std::string_view>& out) {
  auto emit = [&out](std::string_view p) {
    p = trimUtf8(p, isSpaceOrNewline);
    if (!p.empty()) out.push_back(p);
  };
  if (graphemeCount(text) <= kPassageLimit) {
    emit(text);
    return;
  }
  if (how == Cut::Characters) {
    while (!text.empty()) {
      const std::size_t n = graphemePrefix(text, kPassageLimit).size();
      emit(text.substr(0, n));
      text.remove_prefix(n);
    }
    return;
  }
  std::vector<std::size_t> cuts = breaks(text, how == Cut::Sentences);
  cuts.push_back(text.size());
  const Cut finer = how == Cut::Sentences ? Cut::Words : Cut::Characters;
  // Segments between neighbouring cuts are counted once each; a piece is
  // the longest run of them that fits.
  std::size_t start = 0, fitEnd = 0, fitCount = 0, prev = 0;
  for (std::size_t cut : cuts) {
    const std::size_t segment = graphemeCount(text.substr(prev, cut - prev));
    if (fitCount + segment > kPassageLimit && fitEnd > start) {
      emit(text.substr(start, fitEnd - start));
      start = fitEnd;
      fitCount = 0;
    }
    if (segment > kPassageLimit) {
      // One segment alone is too long: cut it finer.
      piecesOf(text.substr(prev, cut - prev), finer, out);
      start = fitEnd = prev = cut;
      fitCount = 0;
      continue;
    }
    fitCount += segment;
    fitEnd = prev = cut;
  }
  if (fitEnd > start) emit(text.substr(start, fitEnd - start));
}

// The passages of one document as they are built.
class Cutter {
 public:
  explicit Cutter(const std::string& file) : file_(file) {}

  void heading(std::string_view line) {
    flush();
    section_ = sectionOf(line);
  }

  // Adds a paragraph (or a line of a long one) to the passage being built,
  // after `joint`; a passage that would pass the limit is ended first.
  void add(std::string_view t, std::string_view joint) {
    const std::size_t count = graphemeCount(t);
    if (bufferCount_ + count > kPassageLimit) flush();
    if (buffer_.empty()) {
      buffer_.assign(t);
      bufferCount_ = count;
    } else {
      buffer_.append(joint).append(t);
      bufferCount_ += graphemeCount(joint) + count;
    }
  }

  void flush() {
    std::string_view s = trimUtf8(buffer_, isSpaceOrNewline);
    if (!s.empty()) {
      Chunk c;
      c.id = file_ + "#" + std::to_string(out_.size() + 1);
      c.file = file_;
      c.section = section_;
      c.text = std::string(s);
      out_.push_back(std::move(c));
    }
    buffer_.clear();
    bufferCount_ = 0;
  }

  std::vector<Chunk> take() {
    flush();
    for (Chunk& c : out_) {
      if (c.section.empty() || beginsWith(c.text, c.section) || c.text.front() == '#') continue;
      // A question's own line names it already.
      if (questionOf(c.text.substr(0, c.text.find('\n'))) == c.section) continue;
      c.text = c.section + "\n" + c.text;
    }
    return std::move(out_);
  }

 private:
  const std::string& file_;
  std::vector<Chunk> out_;
  std::string section_;
  std::string buffer_;
  std::size_t bufferCount_ = 0;  // clusters in buffer_, joints included
};

// A paragraph too long to be one passage, line by line: a line that opens a
// section starts one, lines are gathered up to a passage, and a line longer
// than a passage is cut into pieces.
void cutLong(Cutter& cut, std::string_view t) {
  cut.flush();
  bool firstLine = true;
  for (std::size_t pos = 0; pos <= t.size();) {
    std::size_t end = t.find('\n', pos);
    if (end == std::string_view::npos) end = t.size();
    const std::string_view line = trimUtf8(t.substr(pos, end - pos), isSpaceOrTab);
    pos = end + 1;
    if (line.empty()) continue;
    // The paragraph's first line was looked at by the caller.
    if (!firstLine && DocumentReader::isHeading(line)) cut.heading(line);
    firstLine = false;
    std::vector<std::string_view> pieces;
    piecesOf(line, Cut::Sentences, pieces);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) cut.flush();
      cut.add(pieces[i], "\n");
    }
  }
  cut.flush();
}

// The paragraphs of a text, trimmed, blank ones left out: the parts between
// blank lines ("\n\n"). A question of a question-and-answer sheet opens a
// paragraph of its own even where no blank line comes before it.
std::vector<std::string_view> paragraphs(std::string_view all) {
  std::vector<std::string_view> out;
  auto add = [&out](std::string_view p) {
    p = trimUtf8(p, isSpaceOrNewline);
    if (!p.empty()) out.push_back(p);
  };
  for (std::size_t pos = 0; pos <= all.size();) {
    std::size_t end = all.find("\n\n", pos);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view p = all.substr(pos, end - pos);
    pos = end + 2;
    std::size_t from = 0;
    for (std::size_t nl = p.find('\n'); nl != std::string_view::npos; nl = p.find('\n', nl + 1)) {
      const std::size_t lineEnd = std::min(p.find('\n', nl + 1), p.size());
      if (questionOf(trimUtf8(p.substr(nl + 1, lineEnd - nl - 1), isSpaceOrTab)).empty()) continue;
      add(p.substr(from, nl - from));
      from = nl + 1;
    }
    add(p.substr(from));
  }
  return out;
}

}  // namespace

bool DocumentReader::isHeading(std::string_view line) {
  if (line.empty()) return false;
  if (line.front() == '#') return true;
  if (!questionOf(line).empty()) return true;
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

  Cutter cut(file);
  for (const std::string_view t : paragraphs(text)) {
    const std::string_view first = trimUtf8(t.substr(0, t.find('\n')), isSpaceOrTab);
    if (isHeading(first)) cut.heading(first);
    if (graphemeCount(t) > kParagraphLimit)
      cutLong(cut, t);
    else
      cut.add(t, "\n\n");
  }
  return cut.take();
}

}  // namespace quorvel
