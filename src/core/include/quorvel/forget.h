// Erasing one guest's words from everything the support folder keeps, by a
// text they contain (a name, a passport or room number): the history
// entries, the desk's answers copied from their questions (and those
// passages of index.json), lines of the logs, and the message vectors this
// process keeps. Statistics, the key and the models hold no guest's words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Forget {
  struct Result {
    int64_t entries = 0;           // history entries removed
    int64_t deskAnswers = 0;       // sections of front-desk-answers.md removed
    int64_t passages = 0;          // passages of index.json removed with them
    std::vector<std::string> logs; // log files lines were removed from
    // What could not be rewritten ("history.jsonl: No space left on device"):
    // the guest's words may still be there.
    std::vector<std::string> failures;
  };

  // Removes every trace of `text` (case and width aside) in the places
  // above. An empty text removes nothing. Never throws.
  static Result guest(std::string_view text);
};

}  // namespace quorvel
