// Text of scanned PDF pages: a page whose text layer is (nearly) empty is
// rendered and read by Tesseract.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace poppler {
class page;
}

namespace quorvel::readers {

// The letters of a text, counted up to `cap`.
int letterCount(const std::string& text, int cap = 1 << 30);
// Whether a page's text layer has too few letters to be the page's text.
inline bool needsOcr(const std::string& textLayer) { return letterCount(textLayer, 20) < 20; }

// One per document: the Tesseract engine is made once for all its pages,
// and a document gets at most kMaxPages of them read, within kDocumentTime
// in all. Pages are drawn by poppler's pdftoppm in a child process with a
// time limit: a page whose drawing never ends (a pattern of tiny tiles)
// costs kRenderTime, never the whole reading.
class PageReader {
 public:
  static constexpr int kMaxPages = 50;
  static constexpr std::chrono::seconds kPageTime{60};
  static constexpr std::chrono::seconds kRenderTime{30};
  static constexpr std::chrono::seconds kDocumentTime{300};
  static constexpr int kDpi = 300;
  // Pages are rendered with at most this many pixels (a poster-sized page
  // gets a lower resolution, never gigabytes of memory).
  static constexpr std::size_t kMaxPixels = 40'000'000;

  explicit PageReader(std::filesystem::path file);
  ~PageReader();
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  // The text Tesseract reads on page `index` (from 0) of the file, or
  // nothing (no engine, a limit reached, nothing legible). What was left
  // out and why is added to notes().
  std::optional<std::string> read(int index, const poppler::page& page);

  // What the reading of this document left out, for the person who put it
  // there: "page 3 could not be drawn within 30 s", "pages 51–80 not read".
  std::vector<std::string> notes() const;

  // The languages the engine reads: English and Russian, and the installed
  // data of the other reply languages ("eng+rus+deu…").
  static std::string languages();
  // Pages rendered so far in this process, for the tests and benchmarks.
  static std::size_t pagesRendered();

 private:
  struct Engine;
  std::filesystem::path file_;
  std::unique_ptr<Engine> engine_;
  int pages_ = 0;
  std::chrono::steady_clock::time_point started_{};
  std::vector<std::string> notes_;
  int firstSkipped_ = -1, lastSkipped_ = -1;  // pages past a limit
  std::string skipReason_;
  void skip(int index, const char* reason);
};

}  // namespace quorvel::readers
