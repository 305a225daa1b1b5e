// Office Open XML documents as a person reads them: paragraphs apart, headings
// marked as headings, footnotes after the paragraph that cites them, text
// boxes after the paragraph that holds them, table rows with their column
// names, and the page header and footer once at the end. Every part is
// streamed out of the zip with a cap, so that a zip bomb cannot exhaust
// memory.
#include <libxml/xmlreader.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "documents/readers.h"
#include "documents/structured_text.h"
#include "platform/text.h"

namespace quorvel::readers {

namespace {

constexpr zip_uint64_t kMaxXmlBytes = 256ull << 20;

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
struct ReaderCloser {
  void operator()(xmlTextReaderPtr r) const { xmlFreeTextReader(r); }
};

struct Stream {
  zip_file_t* file;
  zip_uint64_t* read;  // over all parts of the document
  bool tooLarge = false;
};

int readChunk(void* ctx, char* buffer, int len) {
  auto* s = static_cast<Stream*>(ctx);
  if (*s->read >= kMaxXmlBytes) {
    s->tooLarge = true;
    return -1;
  }
  const zip_int64_t n = zip_fread(s->file, buffer, static_cast<zip_uint64_t>(len));
  if (n < 0) return -1;
  *s->read += static_cast<zip_uint64_t>(n);
  return static_cast<int>(n);
}

int closeNothing(void*) { return 0; }

bool is(const xmlChar* name, const char* expected) {
  return name != nullptr && std::strcmp(reinterpret_cast<const char*>(name), expected) == 0;
}

// The value of the element's w:val (or another) attribute, "" when absent.
std::string attribute(xmlTextReaderPtr r, const char* local) {
  std::string out;
  if (xmlTextReaderMoveToFirstAttribute(r) != 1) return out;
  do {
    if (is(xmlTextReaderConstLocalName(r), local)) {
      if (const xmlChar* v = xmlTextReaderConstValue(r)) out = reinterpret_cast<const char*>(v);
      break;
    }
  } while (xmlTextReaderMoveToNextAttribute(r) == 1);
  xmlTextReaderMoveToElement(r);
  return out;
}

// Moves to the last node of the current element's subtree, so that the next
// read continues after it.
void skipSubtree(xmlTextReaderPtr r) {
  const int depth = xmlTextReaderDepth(r);
  while (xmlTextReaderRead(r) == 1) {
    if (xmlTextReaderNodeType(r) == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(r) == depth) return;
  }
}

// The text of the element's subtree (the reader stays on the element).
std::string innerText(xmlTextReaderPtr r) {
  std::string out;
  if (xmlChar* s = xmlTextReaderReadString(r)) {
    out = reinterpret_cast<const char*>(s);
    xmlFree(s);
  }
  return out;
}

// Whether a field shows the page number or count (" PAGE \\* ARABIC ",
// "NUMPAGES"), not a reference to a page ("PAGEREF").
bool isPageField(std::string_view instruction) {
  const std::size_t b = instruction.find_first_not_of(' ');
  if (b == std::string_view::npos) return false;
  const std::string_view word = instruction.substr(b, instruction.find(' ', b) - b);
  return word == "PAGE" || word == "NUMPAGES" || word == "SECTIONPAGES";
}

// A paragraph style's heading level (1 for a title), 0 when it is none.
struct Styles {
  struct Style {
    std::string name;
    std::string basedOn;
    int outline = -1;
  };
  std::map<std::string, Style> byId;

  int level(const std::string& id) const {
    std::string at = id;
    for (int hops = 0; hops < 10 && !at.empty(); ++hops) {
      auto it = byId.find(at);
      if (it == byId.end()) break;
      const Style& s = it->second;
      const std::string name = asciiLower(s.name);
      if (name == "title") return 1;
      if (name.starts_with("heading ") && name.size() == 9 && name[8] >= '1' && name[8] <= '9') return name[8] - '0';
      if (s.outline >= 0 && s.outline < 9) return s.outline + 1;
      at = s.basedOn;
    }
    return 0;
  }
};

// One part of the document (the body, the notes, a header or footer) read
// in one streaming pass; the reader's state (paragraph, table, text box,
// field) lives in this object.
class PartReader {
 public:
  // `dropPageLines`: for headers and footers, whose lines with a page
  // number ("Guest Information – Page 3 of 6") say nothing to a guest.
  PartReader(const Styles& styles, const std::map<std::string, std::string>& footnotes,
             const std::map<std::string, std::string>& endnotes, bool dropPageLines = false)
      : styles_(styles), footnotes_(footnotes), endnotes_(endnotes), dropPageLines_(dropPageLines) {}

  // The blocks of the part, in order. Footnote and endnote parts give each
  // note's text in `noteTexts` by its id. False when the XML is damaged.
  bool read(xmlTextReaderPtr r, std::vector<Block>& blocks, std::map<std::string, std::string>* noteTexts) {
    targets_.assign(1, {});
    int rc = xmlTextReaderRead(r);
    for (; rc == 1; rc = xmlTextReaderRead(r)) {
      const int type = xmlTextReaderNodeType(r);
      const xmlChar* name = xmlTextReaderConstLocalName(r);
      const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
      if (type == XML_READER_TYPE_ELEMENT) {
        if (noteTexts && (is(name, "footnote") || is(name, "endnote"))) {
          noteId_ = attribute(r, "type").empty() ? attribute(r, "id") : "";
          targets_.back().clear();
        }
        start(r, name, empty);
        if (empty) end(name);
      } else if (type == XML_READER_TYPE_END_ELEMENT) {
        end(name);
        if (noteTexts && (is(name, "footnote") || is(name, "endnote"))) {
          if (!noteId_.empty()) (*noteTexts)[noteId_] = joinedText(targets_.back());
          targets_.back().clear();
        }
      } else if (inText_ > 0 && !inFieldResult_ &&
                 (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                  type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || type == XML_READER_TYPE_WHITESPACE)) {
        if (const xmlChar* v = xmlTextReaderConstValue(r)) append(reinterpret_cast<const char*>(v));
      }
    }
    if (rc != 0) return false;
    for (Block& b : targets_.front()) blocks.push_back(std::move(b));
    return true;
  }

 private:
  struct Paragraph {
    std::string text;
    int level = 0;  // heading level, 0 for body text
    bool listItem = false;
    bool pageField = false;
    std::vector<Block> after;  // footnotes and text boxes, after the paragraph
  };
  struct Table {
    std::vector<std::vector<std::string>> rows;
    bool headerRow = false;
  };
  struct Container {
    enum Kind { TextBox, Cell } kind;
    std::size_t depth;  // paragraphs open around it
  };

  void append(std::string_view s) {
    if (!paragraphs_.empty()) paragraphs_.back().text.append(s);
  }

  void start(xmlTextReaderPtr r, const xmlChar* name, bool empty) {
    // A drawing's fallback copy, deleted text and page numbers are not what
    // the reader of the document sees: skip them with their content.
    if (is(name, "Fallback") || is(name, "delText")) {
      if (!empty) skipSubtree(r);
      return;
    }
    if (is(name, "instrText")) {
      // A field's code: a page number field's shown result is left out.
      if (isPageField(innerText(r))) {
        fieldIsPage_ = true;
        if (!paragraphs_.empty()) paragraphs_.back().pageField = true;
      }
      if (!empty) skipSubtree(r);
      return;
    }
    if (is(name, "fldSimple") && isPageField(attribute(r, "instr"))) {
      if (!paragraphs_.empty()) paragraphs_.back().pageField = true;
      if (!empty) skipSubtree(r);
      return;
    }
    if (is(name, "fldChar")) {
      const std::string kind = attribute(r, "fldCharType");
      if (kind == "separate" && fieldIsPage_) inFieldResult_ = true;
      if (kind == "end") inFieldResult_ = fieldIsPage_ = false;
      return;
    }
    if (is(name, "pPr") || is(name, "rPr") || is(name, "sectPr")) {
      if (!empty) ++inProperties_;
    } else if (is(name, "p")) {
      paragraphs_.emplace_back();
    } else if (is(name, "pStyle") && !paragraphs_.empty()) {
      paragraphs_.back().level = styles_.level(attribute(r, "val"));
    } else if (is(name, "outlineLvl") && !paragraphs_.empty()) {
      const std::string v = attribute(r, "val");
      if (v.size() == 1 && v[0] >= '0' && v[0] <= '8') paragraphs_.back().level = v[0] - '0' + 1;
    } else if (is(name, "numPr") && !paragraphs_.empty()) {
      paragraphs_.back().listItem = true;
    } else if (is(name, "t")) {
      if (!empty) ++inText_;
    } else if (inProperties_ == 0 && is(name, "tab")) {
      append("\t");
    } else if (is(name, "br") || is(name, "cr")) {
      append("\n");
    } else if (is(name, "noBreakHyphen")) {
      append("-");
    } else if (is(name, "footnoteReference") || is(name, "endnoteReference")) {
      const auto& notes = is(name, "footnoteReference") ? footnotes_ : endnotes_;
      auto note = notes.find(attribute(r, "id"));
      if (note != notes.end() && !note->second.empty() && !paragraphs_.empty())
        paragraphs_.back().after.push_back({note->second, 0});
    } else if (is(name, "txbxContent")) {
      containers_.push_back({Container::TextBox, paragraphs_.size()});
      targets_.emplace_back();
    } else if (is(name, "tbl")) {
      tables_.emplace_back();
    } else if (is(name, "tr") && !tables_.empty()) {
      tables_.back().rows.emplace_back();
    } else if (is(name, "tblHeader") && !tables_.empty() && tables_.back().rows.size() == 1) {
      tables_.back().headerRow = true;
    } else if (is(name, "tc") && !tables_.empty() && !tables_.back().rows.empty()) {
      tables_.back().rows.back().emplace_back();
      containers_.push_back({Container::Cell, paragraphs_.size()});
    }
  }

  void end(const xmlChar* name) {
    if (is(name, "pPr") || is(name, "rPr") || is(name, "sectPr")) {
      if (inProperties_ > 0) --inProperties_;
    } else if (is(name, "t")) {
      if (inText_ > 0) --inText_;
    } else if (is(name, "p")) {
      endParagraph();
    } else if (is(name, "txbxContent")) {
      if (containers_.empty() || containers_.back().kind != Container::TextBox || targets_.size() < 2) return;
      containers_.pop_back();
      std::vector<Block> box = std::move(targets_.back());
      targets_.pop_back();
      for (Block& b : box) place(std::move(b));
    } else if (is(name, "tc")) {
      if (!containers_.empty() && containers_.back().kind == Container::Cell) containers_.pop_back();
    } else if (is(name, "tbl")) {
      if (tables_.empty()) return;
      Table t = std::move(tables_.back());
      tables_.pop_back();
      const std::string text = tableText(t.rows, t.headerRow);
      if (!text.empty()) place({text, 0});
    }
  }

  void endParagraph() {
    if (paragraphs_.empty()) return;
    Paragraph p = std::move(paragraphs_.back());
    paragraphs_.pop_back();
    std::string text(trimUtf8(p.text, isSpaceOrNewline));
    // A header's or footer's "Page 3 of 6" says nothing to a guest.
    if (p.pageField && dropPageLines_) text.clear();
    if (!text.empty()) {
      if (p.listItem && p.level == 0) text = "- " + text;
      place({std::move(text), p.level});
    }
    for (Block& b : p.after) place(std::move(b));
  }

  // Puts a finished block where it belongs: into the table cell or text box
  // being read, else after the paragraph that holds it, else into the part.
  void place(Block b) {
    if (!containers_.empty() && paragraphs_.size() <= containers_.back().depth) {
      if (containers_.back().kind == Container::TextBox) {
        targets_.back().push_back(std::move(b));
      } else if (!tables_.empty() && !tables_.back().rows.empty() && !tables_.back().rows.back().empty()) {
        std::string& cell = tables_.back().rows.back().back();
        if (!cell.empty()) cell += ' ';
        cell += b.text;
      }
    } else if (!paragraphs_.empty()) {
      paragraphs_.back().after.push_back(std::move(b));
    } else {
      targets_.back().push_back(std::move(b));
    }
  }

  static std::string joinedText(const std::vector<Block>& blocks) {
    std::string out;
    for (const Block& b : blocks) out += (out.empty() ? "" : " ") + b.text;
    return out;
  }

  const Styles& styles_;
  const std::map<std::string, std::string>& footnotes_;
  const std::map<std::string, std::string>& endnotes_;
  const bool dropPageLines_;
  std::vector<Paragraph> paragraphs_;
  std::vector<Table> tables_;
  std::vector<Container> containers_;
  std::vector<std::vector<Block>> targets_;
  std::string noteId_;
  int inText_ = 0;        // depth inside <w:t>
  int inProperties_ = 0;  // inside <w:pPr>/<w:rPr>, where <w:tab> is a tab stop, not a tab
  bool fieldIsPage_ = false;
  bool inFieldResult_ = false;
};

}  // namespace

namespace {

// Streams one part of the archive through `use(reader)`; false when the part
// is missing, damaged or over the cap.
template <class Use>
bool withPart(zip_t* archive, const char* name, zip_uint64_t& read, Use use) {
  const zip_int64_t index = zip_name_locate(archive, name, 0);
  if (index < 0) return false;
  std::unique_ptr<zip_file_t, ZipFileCloser> entry(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0));
  if (!entry) return false;
  Stream stream{entry.get(), &read};
  std::unique_ptr<xmlTextReader, ReaderCloser> reader(xmlReaderForIO(
      readChunk, closeNothing, &stream, nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!reader) return false;
  return use(reader.get()) && !stream.tooLarge;
}

// The paragraph styles: names, outline levels and what each is based on.
Styles readStyles(zip_t* archive, zip_uint64_t& read) {
  Styles styles;
  withPart(archive, "word/styles.xml", read, [&](xmlTextReaderPtr r) {
    std::string id;
    int rc;
    while ((rc = xmlTextReaderRead(r)) == 1) {
      if (xmlTextReaderNodeType(r) != XML_READER_TYPE_ELEMENT) continue;
      const xmlChar* name = xmlTextReaderConstLocalName(r);
      if (is(name, "style"))
        id = attribute(r, "type") == "paragraph" ? attribute(r, "styleId") : "";
      else if (id.empty())
        continue;
      else if (is(name, "name"))
        styles.byId[id].name = attribute(r, "val");
      else if (is(name, "basedOn"))
        styles.byId[id].basedOn = attribute(r, "val");
      else if (is(name, "outlineLvl")) {
        const std::string v = attribute(r, "val");
        if (v.size() == 1 && v[0] >= '0' && v[0] <= '9') styles.byId[id].outline = v[0] - '0';
      }
    }
    return rc == 0;
  });
  return styles;
}

// The names of the archive's parts that match word/<prefix>N.xml, in order.
std::vector<std::string> partsNamed(zip_t* archive, const std::string& prefix) {
  std::vector<std::string> out;
  const zip_int64_t n = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
    if (name == nullptr) continue;
    const std::string_view s(name);
    if (s.starts_with("word/" + prefix) && s.ends_with(".xml") && s.find('/', 5) == std::string_view::npos)
      out.emplace_back(s);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<std::string> textOfArchive(zip_t* opened) {
  std::unique_ptr<zip_t, ZipCloser> archive(opened);
  if (!archive) return std::nullopt;
  silenceXmlErrors();
  zip_uint64_t read = 0;
  const Styles styles = readStyles(archive.get(), read);

  // Footnotes and endnotes first: the body puts them after the paragraph
  // that cites them.
  const std::map<std::string, std::string> none;
  std::map<std::string, std::string> footnotes, endnotes;
  for (const auto& part : {std::pair{"word/footnotes.xml", &footnotes}, std::pair{"word/endnotes.xml", &endnotes}}) {
    std::vector<Block> ignored;
    std::map<std::string, std::string>* texts = part.second;
    withPart(archive.get(), part.first, read,
             [&](xmlTextReaderPtr r) { return PartReader(styles, none, none).read(r, ignored, texts); });
  }

  std::vector<Block> blocks;
  bool ok = withPart(archive.get(), "word/document.xml", read, [&](xmlTextReaderPtr r) {
    return PartReader(styles, footnotes, endnotes).read(r, blocks, nullptr);
  });
  if (!ok) return std::nullopt;

  // The page header and footer once, at the end: not on every page, and
  // not again when the body says the same.
  std::set<std::string> seen;
  for (const Block& b : blocks) seen.insert(b.text);
  std::vector<std::string> frames = partsNamed(archive.get(), "header");
  for (const std::string& part : partsNamed(archive.get(), "footer")) frames.push_back(part);
  for (const std::string& part : frames) {
    std::vector<Block> frame;
    if (!withPart(archive.get(), part.c_str(), read,
                  [&](xmlTextReaderPtr r) { return PartReader(styles, none, none, true).read(r, frame, nullptr); }))
      continue;
    for (Block& b : frame)
      if (seen.insert(b.text).second) blocks.push_back({std::move(b.text), 0});
  }
  return toValidUtf8(joinBlocks(blocks));
}

}  // namespace

std::optional<std::string> docx(const std::filesystem::path& path) {
  int err = 0;
  return textOfArchive(zip_open(path.c_str(), ZIP_RDONLY, &err));
}

std::optional<std::string> docxText(std::string_view bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_error_fini(&error);
  if (source == nullptr) return std::nullopt;
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, nullptr);
  if (archive == nullptr) {
    zip_source_free(source);
    return std::nullopt;
  }
  return textOfArchive(archive);  // the archive owns the source now
}

}  // namespace quorvel::readers
