// Guest messages with their expected language (tests/fixtures/guest-languages.tsv)
// and the accuracy of a recogniser on them by message length, shared by the
// language tests and the language benchmark.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct GuestMessage {
  std::string code;  // expected language
  std::string text;
};

// "code<TAB>message" lines; '#' lines are comments.
std::vector<GuestMessage> readGuestMessages(const std::string& path);

// Words as a guest would count them: white-space separated words with a
// letter; in scripts written without spaces (Chinese, Japanese, Thai) the
// dictionary words.
int guestMessageWords(std::string_view text);

// Whether the system has replies of its own in this language.
bool isReplyLanguage(const std::string& code);

struct LanguageScore {
  struct Count {
    int total = 0, right = 0;
    double percent() const { return total ? 100.0 * right / total : 100.0; }
  };
  // "all", "1-4", "5-10", "11+" over the reply languages; "other" over the
  // rest (each must be recognised as itself, not as a reply language).
  std::map<std::string, Count> buckets;
  std::map<std::string, Count> byLanguage;
  std::vector<std::string> misses;  // "expected -> got: message"
};

LanguageScore scoreLanguages(const std::vector<GuestMessage>& messages,
                             const std::function<std::string(std::string_view)>& detect);

}  // namespace quorvel
