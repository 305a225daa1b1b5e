// Reply languages: recognising the guest's language, naming it for the
// prompts, and the two fixed sentences used when the documents hold no
// answer (or only part of one).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Lang {
  // The dominant language of a text as a code ("en", "ru", "zh-Hans",
  // "zh-Hant", "tl", …); "en" when none is found.
  static std::string detect(std::string_view text);
  // English name of a language ("Russian"); the code itself when unknown.
  static std::string name(const std::string& code);
  // The languages a reply can be asked in, as codes, in the order a person
  // picks from ("en", "ru", "id", "zh-Hans", …).
  static std::vector<std::string> replyLanguages();
  // A language's name in itself, as a menu shows it ("Русский",
  // "中文（简体）").
  static std::string nativeName(const std::string& code);
  static std::string notInDocs(const std::string& code);
  static std::string partial(const std::string& code);
};

}  // namespace quorvel
