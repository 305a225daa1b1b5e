// PDF text through poppler: the words of every page with their places and
// type sizes, laid out as a person reads them.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <memory>
#include <mutex>

#include "documents/ocr.h"
#include "documents/pdf_layout.h"
#include "documents/readers.h"

namespace quorvel::readers {

namespace {

void silent(const std::string&, void*) {}

// Typographic ligatures (U+FB00-FB06) spelled out, so that "ﬁre" is found by "fire".
void appendExpanded(std::string& out, const std::vector<char>& utf8) {
  static const char* const expanded[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n; ++i) {
    // U+FB00..FB06 is EF AC 80..86 in UTF-8.
    if (i + 2 < n && static_cast<unsigned char>(utf8[i]) == 0xEF && static_cast<unsigned char>(utf8[i + 1]) == 0xAC) {
      const unsigned char last = static_cast<unsigned char>(utf8[i + 2]);
      if (last >= 0x80 && last <= 0x86) {
        out += expanded[last - 0x80];
        i += 2;
        continue;
      }
    }
    out.push_back(utf8[i]);
  }
}

}  // namespace

std::optional<std::string> pdf(const std::filesystem::path& file, std::vector<std::string>* notes) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { poppler::set_debug_error_function(silent, nullptr); });

  std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(file.string()));
  if (!doc || doc->is_locked()) {
    if (notes) notes->push_back(doc ? "the PDF is locked with a password" : "the PDF is damaged");
    return std::nullopt;
  }
  std::vector<PdfPage> laid;
  PageReader scans(file);  // its engine is made only when a page needs it
  const int pages = doc->pages();
  for (int i = 0; i < pages; ++i) {
    std::unique_ptr<poppler::page> page(doc->create_page(i));
    if (!page) continue;
    PdfPage out;
    const poppler::rectf box = page->page_rect();
    out.width = box.width();
    out.height = box.height();
    std::string all;  // the page's text layer, to tell a scan
    for (const poppler::text_box& word : page->text_list(poppler::page::text_list_include_font)) {
      PdfWord w;
      appendExpanded(w.text, word.text().to_utf8());
      const poppler::rectf r = word.bbox();
      w.x = r.x();
      w.y = r.y();
      w.width = r.width();
      w.height = r.height();
      w.fontSize = word.has_font_info() ? word.get_font_size() : 0;
      w.spaceAfter = word.has_space_after();
      all += w.text + ' ';
      out.words.push_back(std::move(w));
    }
    // A page whose text layer holds (almost) no letters is a scan, or a
    // picture with a caption: its text is what can be read in the picture.
    // The picture's text replaces the layer only when it says more: a page
    // that really holds one word keeps it exactly as written.
    if (needsOcr(all)) {
      if (auto read = scans.read(i, *page); read && letterCount(*read) > letterCount(all)) {
        out.words.clear();
        out.scanned = std::move(*read);
      }
    }
    laid.push_back(std::move(out));
  }
  std::string out = layoutPdf(laid);
  if (notes)
    for (auto& note : scans.notes()) notes->push_back(std::move(note));
  return out;
}

}  // namespace quorvel::readers
