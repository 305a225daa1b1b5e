// The second opinion on a message's language: fastText's 176-language
// identification model, which was made for short texts.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

class ShortTextModel {
 public:
  // The one model of this process, loaded on first use from the resources.
  static ShortTextModel& shared();

  // A model read from `file` on first use.
  explicit ShortTextModel(std::filesystem::path file);
  ~ShortTextModel();
  ShortTextModel(const ShortTextModel&) = delete;
  ShortTextModel& operator=(const ShortTextModel&) = delete;

  // Loads the model unless that was already tried; false when it is missing
  // or damaged (detection then goes on without it). Safe from any thread.
  bool load();
  // The most likely languages of a text as (code, probability), best first;
  // empty when the model could not be loaded.
  std::vector<std::pair<std::string, float>> predict(std::string_view text, int k);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel
