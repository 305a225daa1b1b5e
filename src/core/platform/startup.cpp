#include <quorvel/startup.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace quorvel::startup {

void limitOcrThreads(char** argv) {
  if (std::getenv("OMP_THREAD_LIMIT") != nullptr) return;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  ::setenv("OMP_THREAD_LIMIT", std::to_string(cores).c_str(), 1);
  // By its real path: started as /proc/self/exe the process would be named
  // "exe", and `pgrep quorvel-cli` would find nothing.
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return;
  self[n] = '\0';
  ::execv(self, argv);  // returns only when it failed: go on as we are
}

void hideArgument(char* arg) {
  // Zeros, not another text: the kernel then shows the arguments before it
  // and nothing of this one (a text in its place could be taken for it).
  if (arg != nullptr) std::memset(arg, 0, std::strlen(arg));
}

}  // namespace quorvel::startup
