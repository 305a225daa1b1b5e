// Makers of small documents for the reader tests, so that each test shows
// exactly what it reads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <quorvel/records.h>

namespace quorvel::test {

// An answer as the history keeps it: the "not in our documents" sentence of
// `language` when `notInDocs`, else a short cited reply.
Answer historyAnswer(const std::string& question, bool notInDocs, const std::string& language, TimePoint date,
                     const std::string& templateId = "");

// A PDF with one page per entry: the lines of text on that page (written
// with Helvetica; octal escapes such as \256 reach the font's own glyphs), or
// nothing for a page that only draws a rectangle and has no text object.
void makePdf(const std::filesystem::path& file, const std::vector<std::optional<std::vector<std::string>>>& pages);

// A one-page PDF whose page is filled with a pattern of tiles a
// thousandth of a point wide: it has no text, and drawing it never ends.
void makeEndlessPdf(const std::filesystem::path& file);

// A picture in 8-bit grey, a row after another.
struct GrayImage {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
};

// A page: text lines (Helvetica), a picture filling the page (a scan, with
// no text layer at all), or neither (a rectangle only). Sizes in points.
struct PdfPage {
  std::optional<std::vector<std::string>> lines;
  std::optional<GrayImage> image;
  double widthPt = 612, heightPt = 792;
};
void makePdfPages(const std::filesystem::path& file, const std::vector<PdfPage>& pages);

// The lines as a printed US-letter page looks at `dpi`: the picture a
// scanner would make of makePdf's page.
GrayImage renderTextPage(const std::vector<std::string>& lines, int dpi = 300);

// A zip archive of the given (name, content) entries, deflated.
void makeZip(const std::filesystem::path& file, const std::vector<std::pair<std::string, std::string>>& entries);

// A docx whose word/document.xml has the given body XML (w: prefix bound).
void makeDocx(const std::filesystem::path& file, const std::string& bodyXml);

}  // namespace quorvel::test
