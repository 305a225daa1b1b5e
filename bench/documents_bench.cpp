// Chunking speed and linearity, and text extraction of a long PDF and a large docx.
#include <cstdio>
#include <fstream>
#include <string>

#include <quorvel/document_reader.h>

#include "bench_util.h"
#include "fixture_builders.h"
#include "test_support.h"

using namespace quorvel;
using quorvel::bench::median;

namespace {

// Hotel text as it comes: headings, short and long paragraphs in English,
// Russian and Chinese, Windows line ends now and then.
std::string hotelText(std::size_t bytes) {
  const char* blocks[] = {
      "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace. Gluten-free bread is available on "
      "request; "
      "please tell the front desk the evening before.\n\n",
      "ЗАВТРАК\nЗавтрак подаётся с 7:00 до 10:30 на террасе. Безглютеновый хлеб по запросу, сообщите на ресепшен "
      "накануне вечером.\n\n",
      "停车场\n酒店提供免费停车位，请在入住时向前台登记车牌号码。电动汽车充电桩位于停车场东侧，每小时收费五元。\n\n",
      "Is late check-out possible?\r\nLate check-out until 14:00 costs 25 EUR and depends on availability. Ask at the "
      "desk on the day before departure.\r\n\r\n",
      "The pool is open from 8:00 to 20:00. Children under 12 must be accompanied by an adult. Towels are provided at "
      "the pool bar; please do not take room towels to the pool. Glass is not allowed in the pool area. The sauna next "
      "to the pool can be booked for private use in the evening.\n\n",
  };
  std::string s;
  s.reserve(bytes + 1024);
  for (std::size_t i = 0; s.size() < bytes; ++i) s += blocks[i % 5];
  return s;
}

}  // namespace

int main() {
  const std::string t50 = hotelText(50u << 20), t100 = hotelText(100u << 20);
  std::size_t n50 = 0, n100 = 0;
  const double s50 = median([&] { n50 = DocumentReader::chunks("hotel.txt", t50).size(); }, 3);
  const double s100 = median([&] { n100 = DocumentReader::chunks("hotel.txt", t100).size(); }, 3);
  std::printf("chunking 50 MB: %.3f s (%.1f MB/s, %zu passages)\n", s50, 50 / s50, n50);
  std::printf("chunking 100 MB: %.3f s (%.1f MB/s, %zu passages); time ratio 100/50 = %.2f\n", s100, 100 / s100, n100,
              s100 / s50);

  test::TempDir dir;
  {
    std::ofstream(dir / "big.txt", std::ios::binary) << t100;
    std::size_t passages = 0;
    const double s =
        median([&] { passages = DocumentReader::chunks("big.txt", *DocumentReader::text(dir / "big.txt")).size(); }, 1);
    std::printf("read + cut a 100 MB text file: %.3f s, %zu passages, peak memory %.0f MB\n", s, passages,
                bench::peakRssMB());
  }

  std::vector<std::optional<std::vector<std::string>>> pages;
  for (int p = 0; p < 100; ++p) {
    std::vector<std::string> lines;
    for (int l = 0; l < 45; ++l)
      lines.push_back("Page " + std::to_string(p + 1) + " line " + std::to_string(l + 1) +
                      ": rooms, rates and rules of the hotel for the season.");
    pages.emplace_back(lines);
  }
  test::makePdf(dir / "long.pdf", pages);
  std::size_t pdfBytes = 0;
  const double pdf = median([&] { pdfBytes = DocumentReader::text(dir / "long.pdf")->size(); }, 5);
  std::printf("100-page PDF: %.3f s (%zu bytes of text)\n", pdf, pdfBytes);

  // Varied words so that the docx does not compress to nothing: about 2 MB.
  const char* words[] = {"guests",  "kitchen", "between",   "breakfast", "towels", "pool",  "sauna",  "transfer",
                         "airport", "late",    "check-out", "parking",   "garden", "quiet", "hours",  "room",
                         "sea",     "view",    "deposit",   "cash",      "card",   "taxi",  "dinner", "terrace"};
  std::string body;
  unsigned seed = 12345;
  while (body.size() < (10u << 20)) {
    body += "<w:p><w:r><w:t xml:space=\"preserve\">";
    for (int w = 0; w < 40; ++w) {
      seed = seed * 1103515245u + 12345u;
      body += words[(seed >> 16) % 24];
      body += ' ';
      body += std::to_string((seed >> 8) % 1000);
      body += ' ';
    }
    body += "</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>Please ask the desk.</w:t></w:r></w:p>";
  }
  test::makeDocx(dir / "big.docx", body);
  std::size_t docxBytes = 0;
  const double docx = median([&] { docxBytes = DocumentReader::text(dir / "big.docx")->size(); }, 5);
  std::printf("docx of %.1f MB (%.0f MB of XML): %.3f s (%zu bytes of text)\n",
              static_cast<double>(fs::file_size(dir / "big.docx")) / (1 << 20), body.size() / double(1 << 20), docx,
              docxBytes);
}
