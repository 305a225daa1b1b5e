// Word lists that help tell the language of a short guest message.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

struct GuestWords {
  std::string code;   // language code
  const char* words;  // lower case, separated by white space
};

const std::vector<GuestWords>& guestWords();

// English hotel words that guests put into messages in any language ("wifi",
// "late checkout", "parking"): they say nothing about the guest's language.
// Lower case, separated by white space.
const char* hotelLoanwords();

}  // namespace quorvel
