// Reply-language recognition on guest messages: accuracy by message length
// for CLD2 alone, without the short-text model and with everything, then the
// model's load time and the time per message.
//   lang_bench [messages.tsv]   (default: tests/fixtures/guest-languages.tsv)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <quorvel/lang.h>

#include "answering/lang_signals.h"
#include "answering/short_text_model.h"
#include "guest_messages.h"

using namespace quorvel;

namespace {

void report(const char* name, const LanguageScore& s) {
  std::printf("%-22s", name);
  for (const char* b : {"all", "1-4", "5-10", "11+", "other"}) {
    const auto it = s.buckets.find(b);
    if (it == s.buckets.end())
      std::printf(" %14s", "-");
    else
      std::printf(" %6.1f%% (%3d)", it->second.percent(), it->second.total);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : std::string(QUORVEL_FIXTURES) + "/guest-languages.tsv";
  const auto messages = readGuestMessages(path);
  if (messages.empty()) {
    std::fprintf(stderr, "lang_bench: no messages in %s\n", path.c_str());
    return 2;
  }

  const auto t0 = std::chrono::steady_clock::now();
  const bool loaded = ShortTextModel::shared().load();
  const double loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  if (!loaded) std::fprintf(stderr, "lang_bench: the short-text model could not be loaded\n");

  std::printf("%zu messages from %s\n%-22s %14s %14s %14s %14s %14s\n", messages.size(), path.c_str(), "",
              "reply langs", "1-4 words", "5-10 words", "11+ words", "others");
  report("CLD2 alone",
         scoreLanguages(messages, [](std::string_view t) { return detectLanguage(t, Recognisers{.cld2Only = true}); }));
  report("CLD2 + word lists", scoreLanguages(messages, [](std::string_view t) {
           return detectLanguage(t, Recognisers{.fastText = false});
         }));
  report("fastText + CLD2",
         scoreLanguages(messages, [](std::string_view t) { return detectLanguage(t, Recognisers{.words = false}); }));
  const LanguageScore all = scoreLanguages(messages, [](std::string_view t) { return Lang::detect(t); });
  report("all (Lang::detect)", all);
  for (const auto& m : all.misses) std::printf("  miss %s\n", m.c_str());

  // Time per message: each message detected alone, five rounds, the median.
  std::vector<double> us;
  for (int round = 0; round < 5; ++round)
    for (const auto& m : messages) {
      const auto s = std::chrono::steady_clock::now();
      Lang::detect(m.text);
      us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - s).count());
    }
  std::sort(us.begin(), us.end());
  std::printf("model load %.1f ms; per message median %.1f us, 90th percentile %.1f us, max %.1f us\n", loadMs,
              us[us.size() / 2], us[us.size() * 9 / 10], us.back());
}
