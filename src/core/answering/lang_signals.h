// Language recognition with a choice of recognisers, so that the benchmark can
// show what each one adds. Lang::detect uses all of them.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

struct Recognisers {
  bool fastText = true;   // the short-text model's probabilities
  bool words = true;      // the word lists of guest messages, Latin-letter Russian, Japanese, Korean ones too
  bool cld2Only = false;  // the script rules and CLD2 alone (with the sounds of romanized words)
};

std::string detectLanguage(std::string_view text, const Recognisers& use);

}  // namespace quorvel
