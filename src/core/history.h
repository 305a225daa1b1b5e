// Every answer is kept: one JSON line in history.jsonl, and the speed of the
// latest one in stats.json. Nothing here ever reports an error; a failed
// write is dropped and a damaged file reads as the default.
#pragma once

#include <cstdint>

#include "records.h"

namespace quorvel {

struct History {
  // Appends the answer as one line, then records its speed in Stats.
  static void append(const Answer& answer);
  static int64_t count();
  static void clear();
};

struct Stats {
  static void record(const Answer& answer);
  static double lastTPS();
};

}  // namespace quorvel
