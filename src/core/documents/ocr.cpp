#include "documents/ocr.h"

#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <quorvel/debug.h>

#include "platform/text.h"

namespace quorvel::readers {

namespace {

std::atomic<std::size_t> rendered{0};

// Where the language data lies: TESSDATA_PREFIX, else Debian's place.
std::filesystem::path tessdata() {
  if (const char* p = std::getenv("TESSDATA_PREFIX"); p != nullptr && *p != '\0') return p;
  for (const char* candidate : {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata"})
    if (std::filesystem::exists(std::filesystem::path(candidate) / "eng.traineddata")) return candidate;
  return "/usr/share/tesseract-ocr/5/tessdata";
}

}  // namespace

int letterCount(const std::string& text, int cap) {
  int letters = 0;
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t n = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < n && letters < cap;) {
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c >= 0 && u_isalpha(c)) ++letters;
  }
  return letters;
}

std::string PageReader::languages() {
  // English and Russian always; the other reply languages when installed.
  std::string langs = "eng+rus";
  const auto dir = tessdata();
  for (const char* lang : {"deu", "fra", "spa", "ita", "ind", "nld", "jpn", "kor", "chi_sim", "chi_tra"})
    if (std::filesystem::exists(dir / (std::string(lang) + ".traineddata"))) langs += std::string("+") + lang;
  return langs;
}

std::size_t PageReader::pagesRendered() { return rendered.load(); }

struct PageReader::Engine {
  tesseract::TessBaseAPI api;
  bool ready = false;
};

PageReader::PageReader() = default;
PageReader::~PageReader() {
  if (engine_ && engine_->ready) engine_->api.End();
}

std::optional<std::string> PageReader::read(const poppler::page& page) {
  if (pages_ >= kMaxPages) {
    debug::line("OCR: page limit reached, page skipped");
    return std::nullopt;
  }
  ++pages_;
  if (!engine_) {
    engine_ = std::make_unique<Engine>();
    // Tesseract's own messages go nowhere: they must never reach the tool's
    // output. The setting has to come with Init, which speaks already.
    std::vector<std::string> names{"debug_file"}, values{"/dev/null"};
    const std::string data = tessdata().string();
    engine_->ready = engine_->api.Init(data.c_str(), languages().c_str(), tesseract::OEM_LSTM_ONLY, nullptr, 0, &names,
                                       &values, false) == 0;
    if (!engine_->ready) debug::line("OCR: no Tesseract language data in ", data);
  }
  if (!engine_->ready) return std::nullopt;

  // 300 dpi, or less when the page is so large that the picture would not
  // fit the pixel budget.
  const poppler::rectf box = page.page_rect();
  const double inches = std::max(1.0, box.width() / 72.0) * std::max(1.0, box.height() / 72.0);
  double dpi = kDpi;
  if (inches * dpi * dpi > static_cast<double>(kMaxPixels)) dpi = std::sqrt(static_cast<double>(kMaxPixels) / inches);
  poppler::page_renderer renderer;
  renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image image = renderer.render_page(&page, dpi, dpi);
  ++rendered;
  if (!image.is_valid() || image.width() <= 0 || image.height() <= 0) return std::nullopt;

  tesseract::TessBaseAPI& api = engine_->api;
  api.SetImage(reinterpret_cast<const unsigned char*>(image.const_data()), image.width(), image.height(), 1,
               image.bytes_per_row());
  api.SetSourceResolution(static_cast<int>(dpi));
  tesseract::ETEXT_DESC monitor;
  monitor.set_deadline_msecs(static_cast<int32_t>(std::chrono::milliseconds(kPageTime).count()));
  if (api.Recognize(&monitor) != 0) {
    debug::line("OCR: a page took longer than its time");
    api.Clear();
    return std::nullopt;
  }
  std::unique_ptr<char[]> text(api.GetUTF8Text());
  api.Clear();
  if (!text) return std::nullopt;
  std::string out = toValidUtf8(text.get());
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ' || out.back() == '\f')) out.pop_back();
  if (out.empty()) return std::nullopt;
  return out;
}

}  // namespace quorvel::readers
