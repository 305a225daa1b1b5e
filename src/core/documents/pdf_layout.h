// A PDF's words laid out as a person reads the pages: lines rebuilt from the
// words' positions, two-column pages read column by column, wrapped lines
// joined into paragraphs, larger type as headings, running headers and
// footers (and page numbers) set aside, a paragraph broken by a page break
// joined again, footnotes after the paragraph they interrupt, and table rows
// that spill onto the next page keeping their row's label.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::readers {

struct PdfWord {
  std::string text;
  double x = 0, y = 0, width = 0, height = 0;  // top-left origin, points
  double fontSize = 0;                         // 0 when unknown
  bool spaceAfter = true;
};

struct PdfPage {
  double width = 0, height = 0;
  std::vector<PdfWord> words;
  // Text read from the page's picture (a scan) instead of its words.
  std::optional<std::string> scanned;
};

std::string layoutPdf(const std::vector<PdfPage>& pages);

}  // namespace quorvel::readers
