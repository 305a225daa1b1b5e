// Seconds per scanned page: a PDF of five US-letter pages that are pictures
// (300 dpi, 40 lines of 12-point text each), read by the PDF reader, which
// renders every page and reads it with Tesseract. Median of three runs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <quorvel/document_reader.h>
#include <quorvel/startup.h>

#include "bench_util.h"
#include "fixture_builders.h"
#include "test_support.h"

using namespace quorvel;

int main(int, char** argv) {
  // As the programs do: OpenMP limited to the cores (run with
  // OMP_THREAD_LIMIT=10 to see what Tesseract's own ten threads cost).
  startup::limitOcrThreads(argv);
  test::TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i)
    lines.push_back("Room " + std::to_string(100 + i) + ": garden view, breakfast 07:00-10:30, IDR " +
                    std::to_string(900 + 25 * i) + ",000 per night.");
  const test::GrayImage page = test::renderTextPage(lines);
  std::vector<test::PdfPage> pages(5, test::PdfPage{std::nullopt, page, 612, 792});
  test::makePdfPages(dir / "scan.pdf", pages);
  std::size_t characters = 0;
  const double seconds = bench::median([&] { characters = DocumentReader::text(dir / "scan.pdf")->size(); }, 3);
  std::printf(
      "OCR of a scanned page (300 dpi, 40 lines, OMP_THREAD_LIMIT=%s): %.2f s per page (%zu characters from 5 pages)\n",
      std::getenv("OMP_THREAD_LIMIT"), seconds / 5, characters);
}
