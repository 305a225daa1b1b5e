// Text of scanned PDF pages: a page whose text layer is (nearly) empty is
// rendered and read by Tesseract.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace poppler {
class page;
}

namespace quorvel::readers {

// The letters of a text, counted up to `cap`.
int letterCount(const std::string& text, int cap = 1 << 30);
// Whether a page's text layer has too few letters to be the page's text.
inline bool needsOcr(const std::string& textLayer) { return letterCount(textLayer, 20) < 20; }

// One per document: the Tesseract engine is made once for all its pages,
// and a document gets at most kMaxPages of them read.
class PageReader {
 public:
  static constexpr int kMaxPages = 50;
  static constexpr std::chrono::seconds kPageTime{60};
  static constexpr int kDpi = 300;
  // Pages are rendered with at most this many pixels (a poster-sized page
  // gets a lower resolution, never gigabytes of memory).
  static constexpr std::size_t kMaxPixels = 40'000'000;

  PageReader();
  ~PageReader();
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  // The text Tesseract reads on the page, or nothing (no engine, the page
  // limit reached, the time limit hit, nothing legible).
  std::optional<std::string> read(const poppler::page& page);

  // The languages the engine reads: English and Russian, and the installed
  // data of the other reply languages ("eng+rus+deu…").
  static std::string languages();
  // Pages rendered so far in this process, for the tests and benchmarks.
  static std::size_t pagesRendered();

 private:
  struct Engine;
  std::unique_ptr<Engine> engine_;
  int pages_ = 0;
};

}  // namespace quorvel::readers
