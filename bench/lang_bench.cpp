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

  // Time per message, each detected alone: the first time (nothing of it
  // seen before; this runs before any other detection) and four times more.
  std::vector<double> first, again;
  for (int round = 0; round < 5; ++round)
    for (const auto& m : messages) {
      const auto s = std::chrono::steady_clock::now();
      Lang::detect(m.text);
      (round == 0 ? first : again)
          .push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - s).count());
    }
  std::sort(first.begin(), first.end());
  std::sort(again.begin(), again.end());
  // The first message that needs it reads the Russian dictionary.
  const double firstMs = first.back() / 1000;
  first.pop_back();

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

  std::printf("model load %.1f ms; slowest message %.1f ms (the first to need it reads the Russian dictionary)\n",
              loadMs, firstMs);
  for (const auto& [name, us] : {std::pair{"first time", &first}, std::pair{"again", &again}})
    std::printf("per message, %s: median %.1f us, 90th percentile %.1f us, max %.1f us\n", name, (*us)[us->size() / 2],
                (*us)[us->size() * 9 / 10], us->back());
}
