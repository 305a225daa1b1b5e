// HTML: the text a browser would show, with block elements on lines of their own.
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

#include "documents/readers.h"
#include "platform/file_util.h"
#include "platform/text.h"

namespace quorvel::readers {

namespace {

constexpr std::size_t kMaxHtmlBytes = 256u << 20;

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool isHidden(std::string_view n) { return oneOf(n, {"script", "style", "head", "title", "noscript", "template"}); }

bool isBlock(std::string_view n) {
  return oneOf(n, {"address", "article", "aside", "blockquote", "body",  "caption",  "center",     "dd",
                   "details", "dialog",  "div",   "dl",         "dt",    "fieldset", "figcaption", "figure",
                   "footer",  "form",    "h1",    "h2",         "h3",    "h4",       "h5",         "h6",
                   "header",  "hr",      "li",    "main",       "nav",   "ol",       "p",          "pre",
                   "section", "summary", "table", "tbody",      "thead", "tfoot",    "tr",         "ul"});
}

class TextBuilder {
 public:
  void text(std::string_view s, bool preformatted) {
    if (preformatted) {
      out_.append(s);
      return;
    }
    for (char c : s) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        pendingSpace_ = true;
      } else {
        if (pendingSpace_ && !atLineStart()) out_.push_back(' ');
        pendingSpace_ = false;
        out_.push_back(c);
      }
    }
  }
  void lineBreak() {
    pendingSpace_ = false;
    out_.push_back('\n');
  }
  // Ends the current line unless it is empty.
  void endLine() {
    pendingSpace_ = false;
    dropTrailingSpaces();
    if (!atLineStart()) out_.push_back('\n');
  }
  void cell() {
    pendingSpace_ = false;
    dropTrailingSpaces();
    if (!atLineStart()) out_.push_back('\t');
  }
  std::string take() { return std::move(out_); }

 private:
  bool atLineStart() const { return out_.empty() || out_.back() == '\n' || out_.back() == '\t'; }
  void dropTrailingSpaces() {
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
  }
  std::string out_;
  bool pendingSpace_ = false;
};

struct DocFree {
  void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

// The file is capped above, so the parser's own text-size limit can go
// (XML_PARSE_HUGE): a long page is read whole.
// Without a declared character set libxml2 assumes Latin-1; most hotel pages
// saved today are UTF-8 without saying so.
const char* guessEncoding(std::string_view bytes) {
  std::string head = asciiLower(bytes.substr(0, 4096));
  if (head.find("charset") != std::string::npos || head.find("encoding=") != std::string::npos) return nullptr;
  return isValidUtf8(bytes) ? "UTF-8" : "windows-1252";
}

}  // namespace

namespace {
void quietGeneric(void*, const char*, ...) {}
void quietStructured(void*, xmlErrorPtr) {}
}  // namespace

void silenceXmlErrors() {
  xmlSetStructuredErrorFunc(nullptr, quietStructured);
  xmlSetGenericErrorFunc(nullptr, quietGeneric);
}

namespace {

// The length of a DOCTYPE with an internal subset at the start of the page
// ("<!DOCTYPE html [ <!ENTITY …> ]>"), 0 when there is none. The HTML parser
// knows no internal subset and would give its declarations as the page's
// text.
std::size_t doctypeWithSubset(std::string_view bytes) {
  std::size_t at = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") at = 3;
  while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
  if (bytes.size() - at < 9 || asciiLower(bytes.substr(at, 9)) != "<!doctype") return 0;
  const std::size_t open = bytes.find_first_of("[>", at);
  if (open == std::string_view::npos || bytes[open] != '[') return 0;
  for (std::size_t close = bytes.find(']', open); close != std::string_view::npos; close = bytes.find(']', close + 1)) {
    std::size_t end = close + 1;
    while (end < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[end]))) ++end;
    if (end < bytes.size() && bytes[end] == '>') return end + 1;
  }
  return 0;
}

}  // namespace

// One walk of the parsed tree with its own small state (the block being
// written, the table cell).
std::optional<std::string> htmlText(std::string_view bytes) {
  if (bytes.size() > kMaxHtmlBytes) return std::nullopt;
  std::string withoutSubset;
  if (const std::size_t n = doctypeWithSubset(bytes); n > 0) {
    withoutSubset = "<!DOCTYPE html>";
    withoutSubset.append(bytes.substr(n));
    bytes = withoutSubset;
  }
  silenceXmlErrors();
  std::unique_ptr<xmlDoc, DocFree> doc(htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                                      guessEncoding(bytes),
                                                      HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                                          HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED | XML_PARSE_HUGE));
  if (!doc) return std::nullopt;

  TextBuilder b;
  // Walk the tree without recursion: a deeply nested page must not exhaust the stack.
  xmlNodePtr node = doc->children;
  int preDepth = 0;
  while (node != nullptr) {
    bool descend = false;
    if (node->type == XML_ELEMENT_NODE) {
      const std::string_view name = reinterpret_cast<const char*>(node->name);
      if (!isHidden(name)) {
        if (name == "br") {
          b.lineBreak();
        } else if (name == "td" || name == "th") {
          b.cell();
        } else if (isBlock(name)) {
          b.endLine();
        }
        if (name == "pre") ++preDepth;
        descend = node->children != nullptr;
      }
    } else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content) b.text(reinterpret_cast<const char*>(node->content), preDepth > 0);
    }
    if (descend) {
      node = node->children;
      continue;
    }
    // Leave finished elements, closing their blocks on the way up.
    for (;;) {
      if (node->type == XML_ELEMENT_NODE) {
        const std::string_view name = reinterpret_cast<const char*>(node->name);
        if (!isHidden(name) && (isBlock(name) || name == "td" || name == "th")) {
          if (name == "pre" && preDepth > 0) --preDepth;
          if (isBlock(name)) b.endLine();
        }
      }
      if (node->next != nullptr) {
        node = node->next;
        break;
      }
      node = node->parent;
      if (node == nullptr || node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE) {
        node = nullptr;
        break;
      }
    }
  }
  return toValidUtf8(b.take());
}

std::optional<std::string> html(const std::filesystem::path& file) {
  auto bytes = readFile(file);
  if (!bytes) return std::nullopt;
  return htmlText(*bytes);
}

}  // namespace quorvel::readers
