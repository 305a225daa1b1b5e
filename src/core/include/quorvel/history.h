// Every answer is kept: one JSON line in history.jsonl, and the speed of the
// latest one in stats.json. Nothing here throws; a damaged file reads as the
// default, and append() says whether the line was stored. Safe from several
// threads and processes at once.
#pragma once

#include <cstdint>

#include <quorvel/records.h>

namespace quorvel {

struct History {
  // Appends the answer as one line, then records its speed in Stats. False
  // when it could not be stored (a full disk, an answer with a non-finite
  // figure); history.jsonl then holds only whole lines, as before.
  static bool append(const Answer& answer);
  static int64_t count();
  static void clear();
};

struct Stats {
  static void record(const Answer& answer);
  static double lastTPS();
};

}  // namespace quorvel
