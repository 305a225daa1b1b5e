// Child processes. Every program the core starts (model servers, document
// helpers, pkill) goes through Subprocess: posix_spawn, never a shell, never
// our own output, always reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class Subprocess {
 public:
  // How long a child sent SIGTERM is given to end before it is killed.
  static constexpr std::chrono::seconds kTermGrace{10};

  // Where a standard stream of the child goes.
  enum class Stream {
    discard,    // /dev/null
    toFile,     // the file of Options (created 0600, truncated); /dev/null when it cannot be made
    capture,    // a pipe read by wait() (standard output only)
    sameAsOut,  // standard error only: wherever standard output goes
  };
  struct Options {
    Stream out = Stream::discard;
    Stream err = Stream::discard;
    std::filesystem::path outFile, errFile;
    std::filesystem::path input;  // standard input; /dev/null when empty
    // The whole environment of the child; the parent's when not given.
    std::optional<std::vector<std::string>> environment;
    bool searchPath = false;  // look argv[0] up in PATH, then in /usr/bin
    // A session of its own (the child outlives our terminal, as the model
    // servers must); otherwise a process group of its own, so that killing
    // the child also ends the helpers it started.
    bool newSession = false;
    // The most processor time the child may use (RLIMIT_CPU): it then ends
    // even when we are killed and can no longer stop it. 0: no limit.
    std::chrono::seconds cpuLimit{0};
  };
  struct Result {
    bool started = false;  // false when the program could not be run
    bool timedOut = false;
    bool truncated = false;  // captured output beyond the limit was dropped
    int status = -1;         // exit status; -1 when ended by a signal
    int signal = 0;          // the signal that ended it, if any
    std::string out;         // captured standard output
  };

  Subprocess() = default;
  // Starts argv[0] with the given arguments; started() says whether it ran.
  Subprocess(const std::vector<std::string>& argv, const Options& options);
  // Unless detached, a child still running is killed (with its group) and
  // reaped; a detached one that was sent terminate() is reaped in the
  // background (killed after kTermGrace), any other detached one is left
  // running.
  ~Subprocess();
  Subprocess(Subprocess&& other) noexcept;
  Subprocess& operator=(Subprocess&& other) noexcept;
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  bool started() const { return pid_ > 0 || exited_; }
  pid_t pid() const { return pid_; }
  // Whether the child is still running; reaps it when it has ended.
  bool running();
  void terminate();  // SIGTERM to the child
  void kill();       // SIGKILL to the child and its group
  void detach() { detached_ = true; }

  // Reads the captured output (at most maxOutput bytes) until the child
  // closes it and waits for it to end; a child that outlives `limit`, or
  // whose output overflows, is killed with its group. Always reaps.
  Result wait(std::chrono::milliseconds limit = std::chrono::milliseconds::max(), std::size_t maxOutput = 0);

  // Convenience: run to the end with standard output captured (discarded
  // when maxOutput is 0) and standard error discarded, argv[0] looked up in
  // PATH.
  static Result run(const std::vector<std::string>& argv, std::chrono::milliseconds limit, std::size_t maxOutput);
  // The processor time a helper given `limit` to run may use (twice it, so
  // that a helper of two threads is not cut short while its parent waits).
  static std::chrono::seconds cpuLimitFor(std::chrono::milliseconds limit);

 private:
  void reset();
  void reap(int st);
  pid_t pid_ = -1;
  int outPipe_ = -1;
  bool detached_ = false;
  bool signalled_ = false;
  bool exited_ = false;
  int status_ = 0;  // the raw wait status once exited_
};

}  // namespace quorvel
