// Removing from a history of a year or more: the time of counting a guest's
// entries (what the app shows before it asks), of forgetting them, and of a
// retention pass, over a history of `entries` answers of typical size
// (a message of ~300 characters, a reply of ~400, two sources), a tenth in
// Cyrillic; and the peak memory, which must not grow with the file.
//   history_bench [entries]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <quorvel/history.h>
#include <quorvel/paths.h>

#include "bench_util.h"
#include "fixture_builders.h"
#include "test_support.h"

using namespace quorvel;

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100'000;
  test::TempHome home;
  Paths::ensure();
  const TimePoint now = std::chrono::system_clock::now();
  {
    std::ofstream out(Paths::historyFile());
    for (int i = 0; i < entries; ++i) {
      // Oldest first, over two years; guest 7 wrote every 1000th message.
      const TimePoint date = now - std::chrono::hours(24) * (730 - 730LL * i / entries);
      const std::string who = i % 1000 == 7 ? "Anna Kowalska" : "guest " + std::to_string(i);
      const std::string message =
          i % 10 == 0 ? "Здравствуйте, это " + who + ". Можно ли заехать раньше? " + std::string(120, 'x')
                      : "Hello, this is " + who + ", room " + std::to_string(i % 300) +
                            ". Could we check in early and is breakfast included? " + std::string(200, 'x');
      Answer a = test::historyAnswer(message, false, "en", date);
      a.text = "Dear guest, check-in is from 14:00 [1]; breakfast is included [2]. " + std::string(330, 'y');
      a.sources = {{1, "rules.md", "Check-in", std::string(240, 'r')}, {2, "prices.pdf", "Breakfast", std::string(240, 'p')}};
      out << a.toJson() << "\n";
    }
  }
  const double mb = static_cast<double>(fs::file_size(Paths::historyFile())) / 1e6;
  const double before = bench::peakRssMB();
  int64_t counted = 0;
  const double count = bench::seconds([&] { counted = History::countContaining("KOWALSKA"); });
  std::optional<int64_t> forgot;
  const double forget = bench::seconds([&] { forgot = History::forget("KOWALSKA"); });
  std::optional<int64_t> none;
  const double nothing = bench::seconds([&] { none = History::forget("nobody of that name"); });
  std::optional<int64_t> old;
  const double retention = bench::seconds([&] { old = History::applyRetention(now); });
  std::printf("%d entries (%.0f MB): count %lld in %.2f s, forget %lld in %.2f s, forget none in %.2f s, "
              "retention removed %lld in %.2f s; peak memory %.0f MB (%.0f MB before)\n",
              entries, mb, static_cast<long long>(counted), count, static_cast<long long>(forgot.value_or(-1)), forget,
              nothing, static_cast<long long>(old.value_or(-1)), retention, bench::peakRssMB(), before);
  return 0;
}
