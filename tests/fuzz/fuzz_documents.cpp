// libFuzzer targets for the document readers and the chunker. One source,
// one target per reader: QUORVEL_FUZZ_TARGET picks which.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <quorvel/document_reader.h>

#include "documents/pdf_layout.h"
#include "documents/readers.h"
#include "platform/text.h"

namespace {

// A zip archive holding one file, stored (not compressed).
[[maybe_unused]] std::string storedZip(std::string_view name, std::string_view content) {
  auto u16 = [](std::string& o, uint16_t v) { o.append(reinterpret_cast<const char*>(&v), 2); };
  auto u32 = [](std::string& o, uint32_t v) { o.append(reinterpret_cast<const char*>(&v), 4); };
  const uint32_t crc = static_cast<uint32_t>(
      ::crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
  const auto size = static_cast<uint32_t>(content.size());
  std::string zip;
  u32(zip, 0x04034b50);  // local file header
  for (uint16_t v : {20, 0, 0, 0, 0}) u16(zip, v);
  for (uint32_t v : {crc, size, size}) u32(zip, v);
  u16(zip, static_cast<uint16_t>(name.size()));
  u16(zip, 0);
  zip.append(name);
  zip.append(content);
  const auto central = static_cast<uint32_t>(zip.size());
  u32(zip, 0x02014b50);  // central directory entry
  for (uint16_t v : {20, 20, 0, 0, 0, 0}) u16(zip, v);
  for (uint32_t v : {crc, size, size}) u32(zip, v);
  for (uint16_t v : {static_cast<uint16_t>(name.size()), uint16_t{0}, uint16_t{0}, uint16_t{0}, uint16_t{0}})
    u16(zip, v);
  u32(zip, 0);
  u32(zip, 0);  // the local header's offset
  zip.append(name);
  const auto centralSize = static_cast<uint32_t>(zip.size() - central);
  u32(zip, 0x06054b50);  // end of central directory
  for (uint16_t v : {0, 0, 1, 1}) u16(zip, v);
  u32(zip, centralSize);
  u32(zip, central);
  u16(zip, 0);
  return zip;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_RTF)
  quorvel::readers::rtfText(bytes);
#elif defined(FUZZ_HTML)
  quorvel::readers::htmlText(bytes);
#elif defined(FUZZ_DOCX)
  // A zip as it is; anything else becomes the document.xml of a valid
  // archive, so that the mutations reach the XML reading rather than die in
  // the zip reader.
  if (bytes.substr(0, 2) == "PK")
    quorvel::readers::docxText(bytes);
  else
    quorvel::readers::docxText(storedZip("word/document.xml", bytes));
#elif defined(FUZZ_CHUNKER)
  for (const auto& chunk : quorvel::DocumentReader::chunks("fuzz.txt", bytes)) {
    if (chunk.text.empty() || chunk.id.empty()) __builtin_trap();  // a passage is never empty
    // A paragraph over 1,000 characters is cut: no passage is longer than
    // that and its heading.
    if (quorvel::graphemeCount(chunk.text) > 1001 + quorvel::graphemeCount(chunk.section)) __builtin_trap();
  }
  std::size_t start = 0;
  while (start <= bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    quorvel::DocumentReader::isHeading(bytes.substr(start, end - start));
    start = end + 1;
  }
#elif defined(FUZZ_PDF_LAYOUT)
  // Pages of words at places and sizes the bytes choose: eight bytes a word,
  // a zero byte a new page.
  std::vector<quorvel::readers::PdfPage> pages(1);
  pages[0].width = 595;
  pages[0].height = 842;
  static const char* const texts[] = {"Room", "12", "EUR", "Page", "1", "of", "3", "the", "-", "\xE2\x80\xA2", "\xC3\xA9", "1."};
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const uint8_t* b = data + i;
    if (b[0] == 0) {
      pages.emplace_back();
      pages.back().width = b[1] * 4.0;
      pages.back().height = b[2] * 4.0;
      continue;
    }
    quorvel::readers::PdfWord w;
    w.text = texts[b[0] % 12];
    w.x = (b[1] - 16) * 3.0;
    w.y = b[2] * 3.5;
    w.width = b[3] % 64;
    w.height = b[4] % 32;
    w.fontSize = b[5] % 24;
    w.spaceAfter = b[6] & 1;
    pages.back().words.push_back(std::move(w));
  }
  quorvel::readers::layoutPdf(pages);
#else
#error "no target chosen"
#endif
  return 0;
}
