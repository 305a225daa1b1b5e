// A small RTF reader: groups, control words, \'hh bytes in the document's (or
// the font's) code page, \uN with its \ucN fallback, skipped destinations and
// the paragraph, line, tab, cell and row marks. It gives the document as a
// person reads it: paragraphs apart, heading styles and outline levels as
// headings, footnotes and text boxes after the paragraph that holds them,
// table rows with their column names, the page header and footer once at the
// end without page numbers. No recursion, so hostile nesting cannot exhaust
// the stack.
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <cctype>
#include <map>
#include <set>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "documents/readers.h"
#include "documents/structured_text.h"
#include "platform/file_util.h"
#include "platform/text.h"

namespace quorvel::readers {

namespace {

constexpr std::size_t kMaxDepth = 100000;

struct GroupState {
  bool skip = false;
  bool fontTable = false;
  bool styleSheet = false;
  bool pageField = false;  // a field showing the page number or count
  bool ownsFlow = false;   // the group of a footnote, text box, header or footer
  int uc = 1;
  int font = -1;
  // Paragraph properties, reset by \pard.
  int style = 0;
  int outline = -1;
  bool listItem = false;
  bool inTable = false;
};

// Text read into one place: the body, or a footnote, text box, header or
// footer, each with its paragraph being read and its table.
struct Flow {
  enum Kind { Body, Note, Box, Frame } kind = Body;
  std::string paragraph;
  bool pageField = false;     // the paragraph shows a page number
  std::vector<Block> blocks;  // finished
  std::vector<Block> after;   // footnotes and text boxes of the paragraph being read
  std::vector<std::vector<std::string>> rows;  // the table being read; the last row is open
  bool headerRow = false;
  std::string cell;
};

int charsetToCodepage(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;  // unknown or a symbol font: the document's code page
  }
}

const std::unordered_set<std::string_view>& skippedDestinations() {
  // A table, kept in columns.
  // clang-format off
  static const std::unordered_set<std::string_view> names{
      "fonttbl",  "colortbl",  "stylesheet",  "info",     "pict",      "object",      "shprslt",    "fldinst",
      "listtable", "listoverridetable", "revtbl", "rsidtbl", "generator", "xmlnstbl", "themedata",
      "colorschememapping", "datastore", "latentstyles", "pgdsctbl", "filetbl", "mmathPr", "bkmkstart",
      "bkmkend",  "xe",        "tc",          "txe",      "private",   "userprops",   "docvar",     "wgrffmtfilter",
      "fchars",   "lchars",    "nonshppict",  "annotation", "atnid",      "atnauthor",  "listtext",
      "pntext",   "pntxta",    "pntxtb",      "template", "operator",  "title",       "subject",    "author",
      "keywords", "comment",   "doccomm",     "company",  "category",  "manager",     "hlinkbase",  "ftnsep",
      "ftnsepc",  "aftnsep",   "aftnsepc",    "objdata",  "blipuid",   "sp",          "sn",         "sv"};
  // clang-format on
  return names;
}

class Converter {
 public:
  // Appends `bytes` decoded with code page `cp` as UTF-8.
  void decode(int cp, std::string_view bytes, std::string& out) {
    UConverter* conv = get(cp);
    if (conv == nullptr) {
      out += latin1ToUtf8(bytes);
      return;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString u(bytes.data(), static_cast<int32_t>(bytes.size()), conv, status);
    if (U_FAILURE(status)) {
      out += latin1ToUtf8(bytes);
      return;
    }
    u.toUTF8String(out);
  }

 private:
  UConverter* get(int cp) {
    auto it = converters_.find(cp);
    if (it != converters_.end()) return it->second.get();
    std::string name;
    if (cp == 10000)
      name = "macintosh";
    else if (cp == 874 || (cp >= 1250 && cp <= 1258))
      name = "windows-" + std::to_string(cp);
    else
      name = "cp" + std::to_string(cp);
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status)) c = nullptr;
    converters_[cp].reset(c);
    return c;
  }
  struct Closer {
    void operator()(UConverter* c) const {
      if (c) ucnv_close(c);
    }
  };
  std::map<int, std::unique_ptr<UConverter, Closer>> converters_;
};

class RtfParser {
 public:
  explicit RtfParser(std::string_view in) : in_(in) {}

  std::string run() {
    stack_.push_back(GroupState{});
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      if (c == '{') {
        openGroup();
      } else if (c == '}') {
        closeGroup();
      } else if (c == '\\') {
        controlWord();
      } else if (c == '\r' || c == '\n') {
        // Line ends in RTF source carry no meaning.
      } else {
        textByte(static_cast<unsigned char>(c));
      }
    }
    flushBytes();
    while (flows_.size() > 1) finishFlow();
    Flow& body = flows_.front();
    flushTable(body);
    finishParagraph(body);
    // The page header and footer once, not again where the body says the same.
    std::set<std::string> seen;
    for (const Block& b : body.blocks) seen.insert(b.text);
    for (Block& b : frames_)
      if (seen.insert(b.text).second) body.blocks.push_back(std::move(b));
    return toValidUtf8(joinBlocks(body.blocks));
  }

 private:
  GroupState& state() { return stack_.back(); }

  void openGroup() {
    flushBytes();
    skipCount_ = 0;
    if (stack_.size() >= kMaxDepth) {
      ++overflow_;
      return;
    }
    stack_.push_back(stack_.back());
    stack_.back().ownsFlow = false;
    justOpened_ = true;
  }

  void closeGroup() {
    flushBytes();
    skipCount_ = 0;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (stack_.size() > 1) {
      if (state().ownsFlow) finishFlow();
      stack_.pop_back();
    }
  }

  Flow& flow() { return flows_.back(); }

  // Whether the group around the current one is read: a destination it
  // skips stays skipped whatever this group is.
  bool parentRead() const { return stack_.size() >= 2 && !stack_[stack_.size() - 2].skip; }

  // Text from here to the group's end goes to a flow of its own.
  void openFlow(Flow::Kind kind) {
    flushBytes();
    state().skip = false;
    state().ownsFlow = true;
    flows_.emplace_back().kind = kind;
  }

  // Ends the flow of the group being closed and puts its text where it
  // belongs: a footnote or text box after the paragraph that holds it, a
  // header or footer at the end of the document.
  void finishFlow() {
    flushBytes();
    Flow f = std::move(flows_.back());
    flows_.pop_back();
    flushTable(f);
    finishParagraph(f);
    if (f.kind == Flow::Note) {
      std::string text;
      for (const Block& b : f.blocks) text += (text.empty() ? "" : " ") + b.text;
      if (!text.empty()) flow().after.push_back({std::move(text), 0});
    } else {
      std::vector<Block>& to = f.kind == Flow::Frame ? frames_ : flow().after;
      for (Block& b : f.blocks) to.push_back(std::move(b));
    }
  }

  int headingLevel() {
    const GroupState& s = state();
    if (s.outline >= 0 && s.outline < 9) return s.outline + 1;
    auto it = styleLevels_.find(s.style);
    return it != styleLevels_.end() ? it->second : 0;
  }

  // The paragraph being read is done: a block of its flow, then its
  // footnotes and text boxes.
  void finishParagraph(Flow& f) {
    std::string text(trimUtf8(f.paragraph, isSpaceOrNewline));
    // A header's or footer's "Page 3 of 6" says nothing to a guest.
    if (f.kind == Flow::Frame && f.pageField) text.clear();
    if (!text.empty()) {
      const int level = headingLevel();
      f.blocks.push_back({state().listItem && level == 0 ? "- " + text : std::move(text), level});
    }
    for (Block& b : f.after) f.blocks.push_back(std::move(b));
    f.after.clear();
    f.paragraph.clear();
    f.pageField = false;
  }

  void flushTable(Flow& f) {
    if (f.rows.empty()) return;
    std::string text = tableText(std::move(f.rows), f.headerRow);
    f.rows.clear();
    f.headerRow = false;
    if (!text.empty()) f.blocks.push_back({std::move(text), 0});
    for (Block& b : f.after) f.blocks.push_back(std::move(b));
    f.after.clear();
  }

  void endParagraph() {
    if (state().skip) return;
    flushBytes();
    Flow& f = flow();
    if (state().inTable) {
      // A paragraph inside a cell belongs to the cell.
      if (!f.cell.empty()) f.cell += ' ';
      f.cell += trimUtf8(f.paragraph, isSpaceOrNewline);
      f.paragraph.clear();
      return;
    }
    flushTable(f);
    finishParagraph(f);
  }

  void endCell() {
    if (state().skip) return;
    flushBytes();
    Flow& f = flow();
    if (!f.cell.empty()) f.cell += ' ';
    f.cell += trimUtf8(f.paragraph, isSpaceOrNewline);
    f.paragraph.clear();
    if (f.rows.empty()) f.rows.emplace_back();
    f.rows.back().push_back(std::move(f.cell));
    f.cell.clear();
  }

  void endRow() {
    if (state().skip) return;
    Flow& f = flow();
    if (!f.rows.empty() && !f.rows.back().empty()) f.rows.emplace_back();
  }

  // Whether the field instruction that follows shows a page number or count.
  bool pageFieldAhead() const {
    std::size_t at = pos_;
    while (at < in_.size() && (in_[at] == ' ' || in_[at] == '{')) ++at;
    for (std::string_view word : {"PAGE", "NUMPAGES", "SECTIONPAGES"}) {
      if (in_.substr(at, word.size()) != word) continue;
      const std::size_t end = at + word.size();
      if (end >= in_.size() || !std::isalpha(static_cast<unsigned char>(in_[end]))) return true;
    }
    return false;
  }

  int codepage() {
    const GroupState& s = state();
    int font = s.font >= 0 ? s.font : defaultFont_;
    auto it = fontCodepages_.find(font);
    if (it != fontCodepages_.end() && it->second != 0) return it->second;
    return ansiCodepage_;
  }

  void flushBytes() {
    if (bytes_.empty()) return;
    converter_.decode(codepage(), bytes_, flow().paragraph);
    bytes_.clear();
  }

  void emit(std::string_view s) {
    if (state().skip) return;
    flushBytes();
    flow().paragraph.append(s);
  }

  void emitCodePoint(UChar32 c) {
    if (state().skip) return;
    flushBytes();
    icu::UnicodeString(c).toUTF8String(flow().paragraph);
  }

  // A character that a \uN fallback may stand in for.
  bool consumeFallback() {
    if (skipCount_ > 0) {
      --skipCount_;
      return true;
    }
    return false;
  }

  void textByte(unsigned char b) {
    justOpened_ = false;
    if (state().styleSheet) {
      // A style's name ends with ";".
      if (b == ';') {
        const std::string name = asciiLower(std::string(trimUtf8(styleName_, isSpaceOrNewline)));
        if (styleBeingDefined_ >= 0 && (name == "title" || (name.size() == 9 && name.starts_with("heading ") &&
                                                             name[8] >= '1' && name[8] <= '9')))
          styleLevels_[styleBeingDefined_] = name == "title" ? 1 : name[8] - '0';
        styleName_.clear();
      } else if (b >= 0x20 && b < 0x80 && styleName_.size() < 64) {
        styleName_.push_back(static_cast<char>(b));
      }
      return;
    }
    if (consumeFallback() || state().skip) return;
    if (b < 0x80) {
      flushBytes();
      flow().paragraph.push_back(static_cast<char>(b));
    } else {
      bytes_.push_back(static_cast<char>(b));
    }
  }

  void controlWord() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      controlSymbol(c);
      justOpened_ = false;
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) && pos_ - start < 32) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    std::size_t digits = 0;
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
      if (digits++ < 10) param = param * 10 + (in_[pos_] - '0');
      hasParam = true;
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    const bool first = justOpened_;
    justOpened_ = false;
    apply(word, hasParam, param, first);
  }

  void controlSymbol(char c) {
    switch (c) {
      case '\'': {
        if (pos_ + 2 > in_.size()) {
          pos_ = in_.size();
          return;
        }
        const std::string hex(in_.substr(pos_, 2));
        pos_ += 2;
        char* end = nullptr;
        const long v = std::strtol(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 2) return;
        if (consumeFallback() || state().skip) return;
        bytes_.push_back(static_cast<char>(v));
        return;
      }
      case '\\':
      case '{':
      case '}':
        if (!consumeFallback()) emit(std::string_view(&c, 1));
        return;
      case '~':
        if (!consumeFallback()) emit("\u00A0");
        return;
      case '_':
        if (!consumeFallback()) emit("-");
        return;
      case '*':
        state().skip = true;  // an optional destination this reader does not know
        return;
      case '\n':
      case '\r': emit("\n"); return;
      default: consumeFallback(); return;
    }
  }

  void apply(std::string_view w, bool hasParam, long param, bool firstInGroup) {
    GroupState& s = state();
    if (s.fontTable) {
      if (w == "f" && hasParam)
        fontBeingDefined_ = static_cast<int>(param);
      else if (w == "fcharset" && hasParam)
        fontCodepages_.emplace(fontBeingDefined_, charsetToCodepage(static_cast<int>(param)));
      else if (w == "cpg" && hasParam)
        fontCodepages_[fontBeingDefined_] = static_cast<int>(param);
      return;
    }
    if (w == "fonttbl") {
      s.fontTable = true;
      s.skip = true;
      return;
    }
    if (w == "stylesheet") {
      s.styleSheet = true;
      s.skip = true;
      return;
    }
    if (s.styleSheet) {
      if (w == "s" && hasParam) {
        styleBeingDefined_ = static_cast<int>(param);
        styleName_.clear();
      } else if (w == "cs" || w == "ds" || w == "ts") {
        styleBeingDefined_ = -1;  // character, section and table styles head nothing
      } else if (w == "outlinelevel" && hasParam && param >= 0 && param < 9 && styleBeingDefined_ >= 0) {
        styleLevels_.emplace(styleBeingDefined_, static_cast<int>(param) + 1);
      }
      return;
    }
    // Destinations read into flows of their own (where the group around is
    // read): their "\*" must not hide them.
    static const std::unordered_set<std::string_view> frames{"header",  "headerl", "headerr", "headerf",
                                                             "footer",  "footerl", "footerr", "footerf"};
    if (w == "footnote" || w == "shptxt" || frames.count(w) != 0) {
      if (parentRead()) openFlow(w == "footnote" ? Flow::Note : w == "shptxt" ? Flow::Box : Flow::Frame);
      return;
    }
    if (w == "shpinst") {
      if (parentRead()) s.skip = false;  // its text box is read, its properties skipped
      return;
    }
    if (w == "fldinst" && pageFieldAhead() && stack_.size() >= 2) {
      stack_[stack_.size() - 2].pageField = true;
      flow().pageField = true;
    }
    if (w == "fldrslt" && s.pageField) {
      s.skip = true;
      return;
    }
    if (skippedDestinations().count(w) != 0) {
      // Only as the first word of a group is it a destination ("\tc" inside
      // text is not); "\pict" and the like are always whole groups.
      if (firstInGroup || w != "tc") s.skip = true;
      return;
    }
    if (w == "bin" && hasParam) {
      pos_ += std::min<std::size_t>(static_cast<std::size_t>(std::max(0L, param)), in_.size() - pos_);
      return;
    }
    if (w == "ansicpg" && hasParam)
      ansiCodepage_ = static_cast<int>(param);
    else if (w == "mac")
      ansiCodepage_ = 10000;
    else if (w == "pc")
      ansiCodepage_ = 437;
    else if (w == "pca")
      ansiCodepage_ = 850;
    else if (w == "deff" && hasParam)
      defaultFont_ = static_cast<int>(param);
    else if (w == "f" && hasParam) {
      flushBytes();
      s.font = static_cast<int>(param);
    } else if (w == "uc" && hasParam)
      s.uc = static_cast<int>(std::max(0L, param));
    else if (w == "u" && hasParam)
      unicode(param);
    else if (w == "par" || w == "sect" || w == "page")
      endParagraph();
    else if (w == "line")
      emit("\n");
    else if (w == "tab")
      emit("\t");
    else if (w == "cell" || w == "nestcell")
      endCell();
    else if (w == "row" || w == "nestrow")
      endRow();
    else if (w == "pard") {
      s.style = 0;
      s.outline = -1;
      s.listItem = false;
      s.inTable = false;
    } else if (w == "s" && hasParam)
      s.style = static_cast<int>(param);
    else if (w == "outlinelevel" && hasParam)
      s.outline = static_cast<int>(param);
    else if (w == "ls")
      s.listItem = true;
    else if (w == "intbl")
      s.inTable = true;
    else if (w == "trhdr") {
      if (flow().rows.size() <= 1) flow().headerRow = true;
    } else if (w == "emdash")
      emit("\u2014");
    else if (w == "endash")
      emit("\u2013");
    else if (w == "bullet")
      emit("\u2022");
    else if (w == "lquote")
      emit("\u2018");
    else if (w == "rquote")
      emit("\u2019");
    else if (w == "ldblquote")
      emit("\u201C");
    else if (w == "rdblquote")
      emit("\u201D");
    else if (w == "emspace" || w == "enspace" || w == "qmspace")
      emit(" ");
  }

  void unicode(long param) {
    if (param < 0) param += 65536;
    const UChar32 c = static_cast<UChar32>(param);
    skipCount_ = state().uc;
    if (c >= 0xD800 && c <= 0xDBFF) {
      highSurrogate_ = c;
      return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
      if (highSurrogate_ != 0) emitCodePoint(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (c - 0xDC00));
      highSurrogate_ = 0;
      return;
    }
    highSurrogate_ = 0;
    emitCodePoint(c);
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  std::size_t overflow_ = 0;
  bool justOpened_ = false;
  int skipCount_ = 0;
  UChar32 highSurrogate_ = 0;
  int ansiCodepage_ = 1252;
  int defaultFont_ = -1;
  int fontBeingDefined_ = -1;
  std::map<int, int> fontCodepages_;
  std::string bytes_;
  std::vector<Flow> flows_{Flow{}};
  std::vector<Block> frames_;  // the page headers' and footers' paragraphs
  std::map<int, int> styleLevels_;  // paragraph style → heading level
  int styleBeingDefined_ = -1;
  std::string styleName_;
  Converter converter_;
};

}  // namespace

std::optional<std::string> rtfText(std::string_view rtf) {
  std::size_t start = 0;
  while (start < rtf.size() && std::isspace(static_cast<unsigned char>(rtf[start]))) ++start;
  if (rtf.substr(start, 5) != "{\\rtf") return std::nullopt;
  return RtfParser(rtf.substr(start)).run();
}

std::optional<std::string> rtf(const std::filesystem::path& file) {
  auto bytes = readFile(file);
  if (!bytes) return std::nullopt;
  return rtfText(*bytes);
}

}  // namespace quorvel::readers
