// The models Quorvel runs, which reply model suits this computer, whether a
// model file is installed, and its one-time download.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

struct ModelSpec {
  std::string id;
  std::string title;
  std::string file;
  std::string url;
  int64_t sizeMB = 0;
  int64_t minRAMGB = 0;
  std::string license;

  bool operator==(const ModelSpec&) const = default;
  std::string toJson() const;
};

struct ModelCatalog {
  static const ModelSpec& embedding();
  // The reply models, smallest first.
  static const std::vector<ModelSpec>& chat();

  // Physical memory in whole GiB, read again on every call.
  static int64_t ramGB();
  static const ModelSpec& recommendedChat() { return recommendedChatFor(ramGB()); }
  static const ModelSpec& recommendedChatFor(int64_t ramGB);
  // The reply model to run: the recommended one if installed, else the
  // largest installed one.
  static std::optional<ModelSpec> installedChat() { return installedChatFor(ramGB()); }
  static std::optional<ModelSpec> installedChatFor(int64_t ramGB);
  // The file is there and larger than half the model's size.
  static bool isInstalled(const ModelSpec& spec);
  // What is wrong with an installed model file's structure (a cut-off
  // download, a file of something else), or nothing when it is whole. The
  // answer is kept until the file changes.
  static std::optional<std::string> damage(const ModelSpec& spec);
  static std::filesystem::path path(const ModelSpec& spec);
};

// A failed download; what() says what failed (HTTP status, host, disk).
struct DownloadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ModelDownloader {
 public:
  // Called with the share received so far, 0 to 1, only when the server
  // announced the length. Runs on the downloading thread.
  std::function<void(double)> onProgress;
  // Called about once a second for as long as the transfer runs, whether
  // bytes arrive or not (connecting, a stalled server). Either callback may
  // throw to end the download: the exception comes out of download() and
  // what arrived stays in the .part for the next try.
  std::function<void()> onWait;

  // Fetches the model into the models folder unless it is installed. The body
  // goes to "<file>.part" and replaces the model file only when complete; a
  // .part left by an interrupted download is resumed where the server allows
  // it. Throws DownloadError.
  void download(const ModelSpec& spec);

  // Where model files come from: QUORVEL_MODEL_BASE_URL, else huggingface.co.
  static std::string baseURL();
};

}  // namespace quorvel

template <>
struct std::hash<quorvel::ModelSpec> {
  std::size_t operator()(const quorvel::ModelSpec& m) const noexcept;
};
