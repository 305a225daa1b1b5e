// Timing helpers for the benchmark programs: medians over repeated runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace quorvel::bench {

inline double seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double median(const std::function<void()>& f, int runs) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) t.push_back(seconds(f));
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Peak resident memory of this process so far, in MB.
inline double peakRssMB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb / 1024.0;
}

}  // namespace quorvel::bench
