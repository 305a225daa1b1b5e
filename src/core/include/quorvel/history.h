// Every answer is kept: one JSON line in history.jsonl, and the speed of the
// latest one in stats.json. Nothing here throws; a damaged file reads as the
// default, and append() says whether the line was stored. Safe from several
// threads and processes at once.
//
// Guests' messages hold personal data (names, passport and room numbers), so
// entries are kept only for the retention period (Retention), and one
// guest's entries can be removed by a text they contain (forget). Removals
// rewrite the file under the lock that appends take: an append made meanwhile
// waits and lands in the new file, and a crash leaves the old file or the
// new one, never a mix.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include <quorvel/records.h>

namespace quorvel {

struct History {
  // Appends the answer as one line, then records its speed in Stats. False
  // when it could not be stored (a full disk, an answer with a non-finite
  // figure); history.jsonl then holds only whole lines, as before.
  static bool append(const Answer& answer);
  static int64_t count();
  static void clear();

  // Removes the entries dated before `cutoff`. A damaged line goes with the
  // whole entry after it (the file is in the order of answering); one at
  // the end stays. Returns how many entries went, or nothing when the file
  // could not be rewritten (a full disk): it then stays as it was.
  static std::optional<int64_t> removeOlderThan(TimePoint cutoff);
  // Removes the entries whose message or reply contains `text`, case and
  // width aside (a damaged line: anywhere in it). Nothing for an empty text.
  static std::optional<int64_t> forget(std::string_view text);
  // How many entries forget(text) would remove now.
  static int64_t countContaining(std::string_view text);
  // removeOlderThan() for the period of Retention, when there is one.
  static std::optional<int64_t> applyRetention(TimePoint now = std::chrono::system_clock::now());
};

// How long history entries are kept, in settings.json in the support folder
// ({"keepHistoryDays": 90}, or "all"), read by the app and the tool alike.
struct Retention {
  // A year: long enough for the unanswered list to show what guests asked
  // last season when the season comes round again, and to look back at a
  // complaint after the stay is invoiced; short enough that guests' words do
  // not pile up for ever. A hotel that needs less chooses 30 or 90 days.
  static constexpr int kDefaultDays = 365;
  // The choices the app offers; 0 keeps every entry.
  static constexpr int kChoices[] = {30, 90, 365, 0};

  // The period in days, 0 for "keep all"; the default when the file or its
  // key is missing or holds anything but a whole number of days >= 1 or "all".
  static int days();
  // Stores the period (0: keep all), keeping the file's other keys. False
  // when the file could not be written or `days` is negative.
  static bool setDays(int days);
  // The oldest date kept at `now`, or nothing when all is kept.
  static std::optional<TimePoint> cutoff(TimePoint now = std::chrono::system_clock::now());
};

struct Stats {
  static void record(const Answer& answer);
  static double lastTPS();
};

}  // namespace quorvel
