#include "documents/ocr.h"

#include <poppler-page.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <quorvel/debug.h>
#include <quorvel/document_reader.h>

#include "platform/file_util.h"
#include "platform/process.h"
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

// A page drawn in shades of grey, one byte a pixel, row after row.
struct GreyPage {
  int width = 0, height = 0;
  std::string pixels;
};

// The binary PGM that pdftoppm -gray writes: "P5", width, height, 255, one
// white-space byte, then the pixels.
std::optional<GreyPage> parsePgm(std::string&& data) {
  std::size_t pos = 0;
  auto number = [&]() -> long {
    while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
    long v = 0;
    const std::size_t start = pos;
    while (pos < data.size() && std::isdigit(static_cast<unsigned char>(data[pos])) && v < 1'000'000)
      v = v * 10 + (data[pos++] - '0');
    return pos == start ? -1 : v;
  };
  if (data.compare(0, 2, "P5") != 0) return std::nullopt;
  pos = 2;
  const long width = number(), height = number(), maxval = number();
  if (width <= 0 || height <= 0 || maxval != 255 || pos >= data.size()) return std::nullopt;
  ++pos;  // the one white-space byte before the pixels
  const auto size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (data.size() - pos != size) return std::nullopt;
  data.erase(0, pos);
  return GreyPage{static_cast<int>(width), static_cast<int>(height), std::move(data)};
}

// Draws one page with pdftoppm in a child process, killed at `limit` or
// when reading is stopped. `timedOut` says whether the limit is why nothing
// came back.
std::optional<GreyPage> render(const std::filesystem::path& file, int index, int dpi, std::chrono::milliseconds limit,
                               bool& timedOut) {
  using namespace std::chrono;
  timedOut = false;
  char folder[] = "/tmp/quorvel-page-XXXXXX";  // private (0700): the page of a private document
  if (::mkdtemp(folder) == nullptr) return std::nullopt;
  const std::filesystem::path out = std::filesystem::path(folder) / "page.pgm";
  const std::string page = std::to_string(index + 1);
  const std::vector<std::string> argv{"pdftoppm",
                                      "-q",
                                      "-f",
                                      page,
                                      "-l",
                                      page,
                                      "-r",
                                      std::to_string(dpi),
                                      "-gray",
                                      "-singlefile",
                                      std::filesystem::absolute(file).string()};
  Subprocess::Options o;
  o.out = Subprocess::Stream::toFile;
  o.outFile = out;
  o.searchPath = true;
  // Orphaned by a killed reader, it still ends.
  o.cpuLimit = Subprocess::cpuLimitFor(limit);
  Subprocess child(argv, o);
  std::optional<GreyPage> image;
  if (!child.started()) {
    debug::line("OCR: pdftoppm could not be run");
  } else {
    const auto deadline = steady_clock::now() + limit;
    while (child.running() && steady_clock::now() < deadline && !DocumentReader::readingStopped())
      std::this_thread::sleep_for(milliseconds(20));
    timedOut = child.running() && !DocumentReader::readingStopped();
    const Subprocess::Result r = child.wait(milliseconds(0));
    std::error_code ec;
    if (!r.timedOut && r.status == 0 && std::filesystem::file_size(out, ec) <= PageReader::kMaxPixels + 64 && !ec)
      if (auto bytes = readFile(out)) image = parsePgm(std::move(*bytes));
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return image;
}

std::string pageName(int index) { return "page " + std::to_string(index + 1); }

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

PageReader::PageReader(std::filesystem::path file) : file_(std::move(file)) {}
PageReader::~PageReader() {
  if (engine_ && engine_->ready) engine_->api.End();
}

void PageReader::skip(int index, const char* reason) {
  if (firstSkipped_ < 0) {
    firstSkipped_ = index;
    skipReason_ = reason;
  }
  lastSkipped_ = index;
  debug::line("OCR: " + pageName(index) + " skipped: ", reason);
}

std::vector<std::string> PageReader::notes() const {
  std::vector<std::string> out = notes_;
  if (firstSkipped_ >= 0)
    out.push_back("scanned pages from " + pageName(firstSkipped_) + " to " + std::to_string(lastSkipped_ + 1) +
                  " not read: " + skipReason_);
  return out;
}

// The page's limits (count, time, stop), drawing and reading, in the order
// they are checked; each way out says why in the notes.
std::optional<std::string> PageReader::read(int index, const poppler::page& page) {
  using namespace std::chrono;
  if (DocumentReader::readingStopped()) return std::nullopt;
  if (pages_ >= kMaxPages) {
    skip(index, "a document has at most 50 scanned pages read");
    return std::nullopt;
  }
  const auto now = steady_clock::now();
  if (pages_ == 0) started_ = now;
  const auto left = duration_cast<milliseconds>(kDocumentTime - (now - started_));
  if (left <= milliseconds(0)) {
    skip(index, "a document's scanned pages may take at most 5 minutes to read");
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
  bool timedOut = false;
  const auto image =
      render(file_, index, std::max(1, static_cast<int>(dpi)), std::min<milliseconds>(kRenderTime, left), timedOut);
  ++rendered;
  if (!image) {
    notes_.push_back(pageName(index) + (timedOut
                                            ? " could not be drawn within " + std::to_string(kRenderTime.count()) + " s"
                                            : " could not be drawn"));
    return std::nullopt;
  }

  tesseract::TessBaseAPI& api = engine_->api;
  api.SetImage(reinterpret_cast<const unsigned char*>(image->pixels.data()), image->width, image->height, 1,
               image->width);
  api.SetSourceResolution(static_cast<int>(dpi));
  tesseract::ETEXT_DESC monitor;
  monitor.cancel = [](void*, int) { return DocumentReader::readingStopped(); };
  const auto recognitionLeft = duration_cast<milliseconds>(kDocumentTime - (steady_clock::now() - started_));
  monitor.set_deadline_msecs(static_cast<int32_t>(
      std::max<milliseconds>(milliseconds(1), std::min<milliseconds>(kPageTime, recognitionLeft)).count()));
  if (api.Recognize(&monitor) != 0) {
    notes_.push_back(pageName(index) + " took too long to read");
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
