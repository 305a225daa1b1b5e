// Reading a history of long guest messages for the unanswered list: the
// time and the peak memory of Gaps::read over 600 questions of 900 KB each
// (as earlier versions recorded pasted letters whole), and over one line of
// 7.8 MB.
//   gaps_bench [questions] [bytes each]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <quorvel/gaps.h>
#include <quorvel/lang.h>

#include "bench_util.h"
#include "fixture_builders.h"
#include "test_support.h"

using namespace quorvel;

int main(int argc, char** argv) {
  const int questions = argc > 1 ? std::atoi(argv[1]) : 600;
  const std::size_t bytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 900'000;
  test::TempDir dir;
  const auto file = dir / "history.jsonl";
  const TimePoint now = std::chrono::system_clock::now();
  {
    std::ofstream out(file);
    for (int i = 0; i < questions; ++i) {
      Answer a = test::historyAnswer(std::to_string(i) + " Is there a sauna? " + std::string(bytes, 'q'), true, "en",
                                     now);
      a.text = Lang::notInDocs("en");
      out << a.toJson() << "\n";
    }
  }
  const double before = bench::peakRssMB();
  Gaps::Reading r;
  const double s = bench::seconds([&] { r = Gaps::read(file, now - std::chrono::hours(24)); });
  std::printf("%d questions of %zu bytes (%.0f MB of history): %.2f s, peak memory %.0f MB (%.0f MB before), "
              "%zu messages, %lld damaged\n",
              questions, bytes, static_cast<double>(fs::file_size(file)) / 1e6, s, bench::peakRssMB(), before,
              r.messages.size(), static_cast<long long>(r.damagedLines));
  return 0;
}
