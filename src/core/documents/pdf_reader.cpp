// PDF text, page by page, through poppler.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <memory>
#include <mutex>

#include "documents/ocr.h"
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
  std::string out;
  bool any = false;
  PageReader scans(file);  // its engine is made only when a page needs it
  const int pages = doc->pages();
  for (int i = 0; i < pages; ++i) {
    std::unique_ptr<poppler::page> page(doc->create_page(i));
    if (!page) continue;
    std::vector<char> text = page->text().to_utf8();
    // poppler ends every line with a line feed and the page with a form
    // feed; the page's own text is what comes before them.
    while (!text.empty() && (text.back() == '\f' || text.back() == '\n')) text.pop_back();
    std::string pageText;
    appendExpanded(pageText, text);
    // A page whose text layer holds (almost) no letters is a scan, or a
    // picture with a caption: its text is what can be read in the picture.
    // The picture's text replaces the layer only when it says more: a page
    // that really holds one word keeps it exactly as written.
    if (needsOcr(pageText)) {
      if (auto read = scans.read(i, *page); read && letterCount(*read) > letterCount(pageText))
        pageText = std::move(*read);
    }
    // A page without text (a blank page) adds no piece at all.
    if (pageText.empty()) continue;
    if (any) out += "\n\n";
    out += pageText;
    any = true;
  }
  if (notes)
    for (auto& note : scans.notes()) notes->push_back(std::move(note));
  return out;
}

}  // namespace quorvel::readers
