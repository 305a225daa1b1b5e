// Office Open XML documents: the text of word/document.xml, streamed out of
// the zip with a cap, so that a zip bomb cannot exhaust memory.
#include <libxml/xmlreader.h>
#include <zip.h>

#include <cstring>
#include <memory>

#include "documents/readers.h"
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
  zip_uint64_t read = 0;
  bool tooLarge = false;
};

int readChunk(void* ctx, char* buffer, int len) {
  auto* s = static_cast<Stream*>(ctx);
  if (s->read >= kMaxXmlBytes) {
    s->tooLarge = true;
    return -1;
  }
  const zip_int64_t n = zip_fread(s->file, buffer, static_cast<zip_uint64_t>(len));
  if (n < 0) return -1;
  s->read += static_cast<zip_uint64_t>(n);
  return static_cast<int>(n);
}

int closeNothing(void*) { return 0; }

bool is(const xmlChar* name, const char* expected) {
  return name != nullptr && std::strcmp(reinterpret_cast<const char*>(name), expected) == 0;
}

void dropTrailing(std::string& s, char c) {
  while (!s.empty() && s.back() == c) s.pop_back();
}

// Moves to the last node of the current element's subtree, so that the next
// read continues after it.
void skipSubtree(xmlTextReaderPtr r) {
  const int depth = xmlTextReaderDepth(r);
  while (xmlTextReaderRead(r) == 1) {
    if (xmlTextReaderNodeType(r) == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(r) == depth) return;
  }
}

}  // namespace

namespace {

std::optional<std::string> textOfArchive(zip_t* opened);

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

namespace {

// One streaming pass over the document's XML: the reader's state (run,
// paragraph, table cell) lives in this loop.
std::optional<std::string> textOfArchive(zip_t* opened) {
  std::unique_ptr<zip_t, ZipCloser> archive(opened);
  if (!archive) return std::nullopt;
  const zip_int64_t index = zip_name_locate(archive.get(), "word/document.xml", 0);
  if (index < 0) return std::nullopt;
  std::unique_ptr<zip_file_t, ZipFileCloser> entry(zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), 0));
  if (!entry) return std::nullopt;

  Stream stream{entry.get()};
  silenceXmlErrors();
  std::unique_ptr<xmlTextReader, ReaderCloser> reader(xmlReaderForIO(
      readChunk, closeNothing, &stream, nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!reader) return std::nullopt;

  std::string out;
  int inText = 0;        // depth inside <w:t>
  int inProperties = 0;  // inside <w:pPr>/<w:rPr>, where <w:tab> is a tab stop, not a tab
  int inCell = 0;
  int rc = xmlTextReaderRead(reader.get());
  for (; rc == 1; rc = xmlTextReaderRead(reader.get())) {
    const int type = xmlTextReaderNodeType(reader.get());
    const xmlChar* name = xmlTextReaderConstLocalName(reader.get());
    const bool empty = xmlTextReaderIsEmptyElement(reader.get()) == 1;
    if (type == XML_READER_TYPE_ELEMENT) {
      // A drawing's fallback copy, deleted text and field codes are not
      // what the reader of the document sees: skip them with their content.
      // (Their end tags then never arrive, so no counter is touched.)
      if (is(name, "Fallback") || is(name, "delText") || is(name, "instrText")) {
        if (!empty) skipSubtree(reader.get());
        continue;
      }
      if (is(name, "pPr") || is(name, "rPr") || is(name, "sectPr")) {
        if (!empty) ++inProperties;
      } else if (is(name, "t")) {
        if (!empty) ++inText;
      } else if (inProperties == 0 && is(name, "tab")) {
        out.push_back('\t');
      } else if (is(name, "br") || is(name, "cr")) {
        out.push_back('\n');
      } else if (is(name, "noBreakHyphen")) {
        out.push_back('-');
      } else if (is(name, "tc")) {
        if (!empty) ++inCell;
      }
      if (empty && is(name, "p")) out.push_back(inCell > 0 ? ' ' : '\n');
    } else if (type == XML_READER_TYPE_END_ELEMENT) {
      if (is(name, "pPr") || is(name, "rPr") || is(name, "sectPr")) {
        if (inProperties > 0) --inProperties;
      } else if (is(name, "t")) {
        if (inText > 0) --inText;
      } else if (is(name, "p")) {
        // Inside a table cell a paragraph ends with a space; the cell itself
        // ends with a tab and the row with a line feed, so cells never run together.
        out.push_back(inCell > 0 ? ' ' : '\n');
      } else if (is(name, "tc")) {
        if (inCell > 0) --inCell;
        dropTrailing(out, ' ');
        out.push_back('\t');
      } else if (is(name, "tr")) {
        dropTrailing(out, '\t');
        out.push_back(inCell > 0 ? ' ' : '\n');
      }
    } else if (inText > 0 && (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                              type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || type == XML_READER_TYPE_WHITESPACE)) {
      if (const xmlChar* v = xmlTextReaderConstValue(reader.get())) out += reinterpret_cast<const char*>(v);
    }
  }
  if (rc != 0 || stream.tooLarge) return std::nullopt;
  return toValidUtf8(out);
}

}  // namespace

}  // namespace quorvel::readers
