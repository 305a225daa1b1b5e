// HTML: the content of a page as a person reads it: paragraphs apart, h1-h6
// as headings, table rows with their column names; the site around it
// (menus, page header and footer, forms, cookie banners, hidden text) left out.
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

#include "documents/readers.h"
#include "documents/structured_text.h"
#include "platform/file_util.h"
#include "platform/text.h"

namespace quorvel::readers {

namespace {

constexpr std::size_t kMaxHtmlBytes = 256u << 20;

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements whose content a reader of the page never sees as its text.
bool isHidden(std::string_view n) {
  return oneOf(n, {"script", "style", "head", "title", "noscript", "template", "svg", "iframe", "object", "canvas",
                   "form", "button", "select", "input", "textarea", "nav", "menu", "dialog"});
}

bool isBlock(std::string_view n) {
  return oneOf(n, {"address", "article", "aside", "blockquote", "body",  "caption",  "center",     "dd",
                   "details", "dialog",  "div",   "dl",         "dt",    "fieldset", "figcaption", "figure",
                   "footer",  "form",    "h1",    "h2",         "h3",    "h4",       "h5",         "h6",
                   "header",  "hr",      "li",    "main",       "nav",   "ol",       "p",          "pre",
                   "section", "summary", "table", "tbody",      "thead", "tfoot",    "tr",         "ul"});
}

std::string attr(xmlNodePtr node, const char* name) {
  std::string out;
  if (xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name))) {
    out = reinterpret_cast<const char*>(v);
    xmlFree(v);
  }
  return out;
}

bool hasAncestor(xmlNodePtr node, std::initializer_list<std::string_view> names) {
  for (xmlNodePtr p = node->parent; p != nullptr && p->type == XML_ELEMENT_NODE; p = p->parent)
    if (oneOf(reinterpret_cast<const char*>(p->name), names)) return true;
  return false;
}

// What a site puts around its content: the page's header and footer, menus,
// cookie and consent banners, booking widgets, text for screen readers only,
// and whatever the page hides.
bool isSiteChrome(xmlNodePtr node, std::string_view name) {
  if (xmlHasProp(node, reinterpret_cast<const xmlChar*>("hidden")) != nullptr) return true;
  if (asciiLower(attr(node, "aria-hidden")) == "true") return true;
  std::string style = asciiLower(attr(node, "style"));
  std::erase(style, ' ');
  if (style.find("display:none") != std::string::npos || style.find("visibility:hidden") != std::string::npos)
    return true;
  const std::string role = asciiLower(attr(node, "role"));
  if (oneOf(role, {"navigation", "banner", "contentinfo", "search", "alertdialog"})) return true;
  // The page's own header and footer, not those of an article in it.
  if ((name == "header" || name == "footer") && !hasAncestor(node, {"article", "main", "section"})) return true;
  const std::string marks = asciiLower(attr(node, "id") + " " + attr(node, "class"));
  for (std::string_view m : {"cookie", "consent", "gdpr", "onetrust", "booking-widget", "bookingwidget", "booking-bar",
                             "booking-form", "skip-link", "visually-hidden", "sr-only", "screen-reader", "breadcrumb",
                             "navbar"})
    if (marks.find(m) != std::string::npos) return true;
  return false;
}

int headingLevel(std::string_view n) {
  if (n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6') return n[1] - '0';
  return 0;
}

// The page's text as blocks: a block element ends a paragraph, headings
// (and the questions of <details>) are headings, table rows gather their
// cells.
class TextBuilder {
 public:
  void text(std::string_view s, bool preformatted) {
    std::string& out = target();
    if (preformatted) {
      out.append(s);
      return;
    }
    for (char c : s) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        pendingSpace_ = true;
      } else {
        if (pendingSpace_ && !out.empty() && out.back() != '\n') out.push_back(' ');
        pendingSpace_ = false;
        out.push_back(c);
      }
    }
  }
  void lineBreak() {
    pendingSpace_ = false;
    std::string& out = target();
    while (!out.empty() && out.back() == ' ') out.pop_back();
    out.push_back(inCell() ? ' ' : '\n');
  }
  // Ends the paragraph being written, as a heading of `level` when not 0.
  void endParagraph(int level = 0) {
    pendingSpace_ = false;
    if (inCell()) {
      std::string& cell = target();
      if (!cell.empty() && cell.back() != ' ') cell.push_back(' ');
      return;
    }
    if (!paragraph_.empty()) blocks_.push_back({std::move(paragraph_), level});
    paragraph_.clear();
  }
  void listItem() {
    endParagraph();
    if (!inCell()) paragraph_ = "- ";
  }
  void startTable() {
    endParagraph();
    tables_.emplace_back();
  }
  void row() {
    if (!tables_.empty()) tables_.back().rows.emplace_back();
  }
  void cell(bool headerCell) {
    pendingSpace_ = false;
    if (tables_.empty()) return;
    if (tables_.back().rows.empty()) tables_.back().rows.emplace_back();
    tables_.back().rows.back().emplace_back();
    if (headerCell && tables_.back().rows.size() == 1) tables_.back().headerRow = true;
  }
  void endTable() {
    if (tables_.empty()) return;
    Table t = std::move(tables_.back());
    tables_.pop_back();
    std::string text = tableText(std::move(t.rows), t.headerRow);
    if (text.empty()) return;
    if (inCell()) {
      target() += text;
    } else {
      blocks_.push_back({std::move(text), 0});
    }
  }
  std::string take() {
    endParagraph();
    while (!tables_.empty()) endTable();
    return joinBlocks(blocks_);
  }

 private:
  struct Table {
    std::vector<std::vector<std::string>> rows;
    bool headerRow = false;
  };
  bool inCell() const { return !tables_.empty() && !tables_.back().rows.empty() && !tables_.back().rows.back().empty(); }
  std::string& target() { return inCell() ? tables_.back().rows.back().back() : paragraph_; }

  std::vector<Block> blocks_;
  std::string paragraph_;
  std::vector<Table> tables_;
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

namespace {

// Adds the text of `root` and what is below it to `b`. Walks without
// recursion: a deeply nested page must not exhaust the stack. The page
// footers passed over are added to `footers` when given.
void walk(xmlNodePtr root, TextBuilder& b, std::vector<xmlNodePtr>* footers) {
  xmlNodePtr node = root;
  int preDepth = 0;
  auto skipped = [footers](xmlNodePtr n) {
    const std::string_view name = reinterpret_cast<const char*>(n->name);
    if (isHidden(name)) return true;
    if (!isSiteChrome(n, name)) return false;
    if (footers && name == "footer" && std::find(footers->begin(), footers->end(), n) == footers->end())
      footers->push_back(n);
    return true;
  };
  while (node != nullptr) {
    bool descend = false;
    if (node->type == XML_ELEMENT_NODE) {
      const std::string_view name = reinterpret_cast<const char*>(node->name);
      if (!skipped(node)) {
        if (name == "br") {
          b.lineBreak();
        } else if (name == "table") {
          b.startTable();
        } else if (name == "tr") {
          b.row();
        } else if (name == "td" || name == "th") {
          b.cell(name == "th");
        } else if (name == "li") {
          b.listItem();
        } else if (isBlock(name)) {
          b.endParagraph();
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
    // Leave finished elements, closing their blocks on the way up, up to the root.
    for (;;) {
      if (node->type == XML_ELEMENT_NODE && !skipped(node)) {
        const std::string_view name = reinterpret_cast<const char*>(node->name);
        if (name == "pre" && preDepth > 0) --preDepth;
        if (name == "table")
          b.endTable();
        else if (const int level = headingLevel(name))
          b.endParagraph(level);
        else if (name == "summary")
          b.endParagraph(3);  // the question of a question-and-answer item
        else if (isBlock(name))
          b.endParagraph();
      }
      if (node == root) return;
      if (node->next != nullptr) {
        node = node->next;
        break;
      }
      node = node->parent;
      if (node == nullptr) return;
    }
  }
}

}  // namespace

// The page's text: the walk of its tree, then its footer's address.
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
  std::vector<xmlNodePtr> footers;
  for (xmlNodePtr n = doc->children; n != nullptr; n = n->next) walk(n, b, &footers);
  // The page footer is site furniture, but the hotel's address and phone in
  // it are what guests ask for: those blocks are read, at the end.
  for (xmlNodePtr footer : footers) {
    std::vector<xmlNodePtr> todo{footer->children};
    while (!todo.empty()) {
      xmlNodePtr n = todo.back();
      todo.pop_back();
      if (n == nullptr) continue;
      todo.push_back(n->next);
      if (n->type != XML_ELEMENT_NODE) continue;
      const std::string marks = asciiLower(attr(n, "id") + " " + attr(n, "class"));
      if (std::string_view(reinterpret_cast<const char*>(n->name)) == "address" ||
          marks.find("address") != std::string::npos || marks.find("contact") != std::string::npos) {
        b.endParagraph();
        walk(n, b, nullptr);
      } else {
        todo.push_back(n->children);
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
