// Reply languages: recognising the guest's language, naming it for the
// prompts, and the two fixed sentences used when the documents hold no
// answer (or only part of one).
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

struct Lang {
  // The dominant language of a text as a code ("en", "ru", "zh-Hans",
  // "zh-Hant", "tl", …); "en" when none is found.
  static std::string detect(std::string_view text);
  // English name of a language ("Russian"); the code itself when unknown.
  static std::string name(const std::string& code);
  static std::string notInDocs(const std::string& code);
  static std::string partial(const std::string& code);
};

}  // namespace quorvel
