// libFuzzer targets for the document readers and the chunker. One source,
// one target per reader: QUORVEL_FUZZ_TARGET picks which.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <quorvel/document_reader.h>

#include "documents/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_RTF)
  quorvel::readers::rtfText(bytes);
#elif defined(FUZZ_HTML)
  quorvel::readers::htmlText(bytes);
#elif defined(FUZZ_DOCX)
  quorvel::readers::docxText(bytes);
#elif defined(FUZZ_CHUNKER)
  for (const auto& chunk : quorvel::DocumentReader::chunks("fuzz.txt", bytes)) {
    if (chunk.text.empty() || chunk.id.empty()) __builtin_trap();  // a passage is never empty
  }
  std::size_t start = 0;
  while (start <= bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    quorvel::DocumentReader::isHeading(bytes.substr(start, end - start));
    start = end + 1;
  }
#else
#error "no target chosen"
#endif
  return 0;
}
