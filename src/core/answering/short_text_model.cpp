#include "answering/short_text_model.h"

#include <fasttext/fasttext.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <sstream>

#include <quorvel/debug.h>
#include <quorvel/paths.h>

#include "platform/file_util.h"

namespace quorvel {

namespace {

// The model file shipped in resources/language, checked byte for byte before
// fastText reads it: fastText trusts the sizes written in the file, so a
// damaged copy could make it allocate without bound or read out of range.
constexpr std::uintmax_t kModelBytes = 938013;
constexpr std::uint64_t kModelFnv1a = 0x0a4babb7d45af401ULL;

std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h;
}

}  // namespace

struct ShortTextModel::Impl {
  std::filesystem::path file;
  std::once_flag once;
  fasttext::FastText model;
  bool ready = false;

  void load() {
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) != kModelBytes || ec) {
      debug::line("language model: missing or of the wrong size: ", file.string());
      return;
    }
    const auto bytes = readFile(file);
    if (!bytes || bytes->size() != kModelBytes || fnv1a(*bytes) != kModelFnv1a) {
      debug::line("language model: damaged: ", file.string());
      return;
    }
    try {
      // fastText's stream loader expects the file's magic number and version
      // already read (the known file has them; its hash says so).
      std::istringstream in(*bytes);
      in.seekg(8);
      model.loadModel(in);
      ready = true;
    } catch (const std::exception& e) {
      debug::line("language model: ", e.what());
    }
  }
};

ShortTextModel::ShortTextModel(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
  impl_->file = std::move(file);
}
ShortTextModel::~ShortTextModel() = default;

ShortTextModel& ShortTextModel::shared() {
  // Never destroyed: detection may run on a worker thread while the program
  // exits.
  static ShortTextModel* model = new ShortTextModel(Paths::resources() / "language" / "lid.176.ftz");
  return *model;
}

bool ShortTextModel::load() {
  std::call_once(impl_->once, [this] { impl_->load(); });
  return impl_->ready;
}

std::vector<std::pair<std::string, float>> ShortTextModel::predict(std::string_view text, int k) {
  std::vector<std::pair<std::string, float>> out;
  if (!load()) return out;
  // One line: fastText ends a line at a line feed and reads words between
  // white space.
  std::string line(text);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  std::istringstream in(line);
  std::vector<std::pair<fasttext::real, std::string>> predictions;
  impl_->model.predictLine(in, predictions, k, 0.0);
  constexpr std::string_view kPrefix = "__label__";
  for (auto& [p, label] : predictions) {
    std::string code = label.rfind(kPrefix, 0) == 0 ? label.substr(kPrefix.size()) : label;
    out.emplace_back(std::move(code), static_cast<float>(p));
  }
  return out;
}

}  // namespace quorvel
