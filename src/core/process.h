// Child processes: run a helper program with a time limit and read what it
// prints. The child never writes to our own output.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

struct CapturedRun {
  bool started = false;
  bool timedOut = false;
  bool truncated = false;  // output beyond the limit was dropped
  int status = -1;         // exit status; -1 when killed by a signal
  std::string out;
};

// Runs argv[0] (looked up in PATH) with standard input from /dev/null and
// standard error discarded; kills it when it outlives `limit`.
CapturedRun runCaptured(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                        std::size_t maxOutput);

}  // namespace quorvel
