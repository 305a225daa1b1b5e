#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// The wait status of pid, retrying interrupted waits; false when there is
// nothing to wait for (no such child).
bool waitBlocking(pid_t pid, int& st) {
  for (;;) {
    if (::waitpid(pid, &st, 0) == pid) return true;
    if (errno != EINTR) return false;
  }
}

std::vector<char*> cStrings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

// In one piece: between fork and exec the child may make only
// async-signal-safe calls, easiest to check when they are all in view.
Subprocess::Subprocess(const std::vector<std::string>& argv, const Options& o) {
  if (argv.empty()) return;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  const std::string in = o.input.empty() ? "/dev/null" : o.input.string();
  posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);

  int fds[2] = {-1, -1};
  std::vector<int> opened;  // descriptors to close here once the child has them
  auto route = [&](int target, Stream s, const std::filesystem::path& file) {
    int fd = -1;
    if (s == Stream::toFile)
      // Never through a link planted in the logs folder: it would empty
      // whatever file it names.
      fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    else if (s == Stream::capture && target == 1 && ::pipe2(fds, O_CLOEXEC) == 0)
      fd = fds[1];
    if (fd >= 0) {
      if (fd != fds[1]) opened.push_back(fd);
      posix_spawn_file_actions_adddup2(&fa, fd, target);
    } else {
      posix_spawn_file_actions_addopen(&fa, target, "/dev/null", O_WRONLY, 0);
    }
  };
  route(1, o.out, o.outFile);
  if (o.err == Stream::sameAsOut)
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
  else
    route(2, o.err, o.errFile);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (o.newSession) {
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
  } else {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
  }
  posix_spawnattr_setflags(&attr, flags);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);

  std::vector<std::string> args = argv;
  std::vector<std::string> env;
  if (o.environment) env = *o.environment;
  std::vector<char*> cargs = cStrings(args);
  std::vector<char*> cenv = o.environment ? cStrings(env) : std::vector<char*>{};
  char** envp = o.environment ? cenv.data() : environ;
  pid_t pid = -1;
  int rc = o.searchPath ? ::posix_spawnp(&pid, cargs[0], &fa, &attr, cargs.data(), envp)
                        : ::posix_spawn(&pid, cargs[0], &fa, &attr, cargs.data(), envp);
  if (rc != 0 && o.searchPath && args[0].find('/') == std::string::npos) {
    // Not on this PATH (an app started with a bare environment): the
    // packages' own place.
    const std::string system = "/usr/bin/" + args[0];
    rc = ::posix_spawn(&pid, system.c_str(), &fa, &attr, cargs.data(), envp);
  }
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  for (int fd : opened) ::close(fd);
  if (fds[1] >= 0) ::close(fds[1]);
  if (rc != 0) {
    if (fds[0] >= 0) ::close(fds[0]);
    return;
  }
  pid_ = pid;
  outPipe_ = fds[0];
  if (o.cpuLimit.count() > 0) {
    // Set from here, since posix_spawn cannot: the child has run for
    // microseconds at most without it.
    const auto secs = static_cast<rlim_t>(o.cpuLimit.count());
    const rlimit cpu{secs, secs + 1};
    ::prlimit(pid, RLIMIT_CPU, &cpu, nullptr);
  }
}

Subprocess::~Subprocess() { reset(); }

Subprocess::Subprocess(Subprocess&& other) noexcept { *this = std::move(other); }

Subprocess& Subprocess::operator=(Subprocess&& other) noexcept {
  if (this == &other) return *this;
  reset();
  pid_ = other.pid_;
  outPipe_ = other.outPipe_;
  detached_ = other.detached_;
  signalled_ = other.signalled_;
  exited_ = other.exited_;
  status_ = other.status_;
  other.pid_ = -1;
  other.outPipe_ = -1;
  other.exited_ = false;
  return *this;
}

void Subprocess::reset() {
  if (outPipe_ >= 0) ::close(outPipe_);
  outPipe_ = -1;
  if (pid_ > 0 && running()) {
    if (!detached_) {
      kill();
      int st = 0;
      waitBlocking(pid_, st);
    } else if (signalled_) {
      // Ending after SIGTERM can take a while (a model server frees its
      // memory); it is reaped in the background so it never lingers as a
      // zombie in a long-running app, and killed if it has not ended in
      // time (a server can hang in its shutdown and keep gigabytes).
      std::thread([pid = pid_] {
        int st = 0;
        const auto deadline = Clock::now() + kTermGrace;
        while (Clock::now() < deadline) {
          const pid_t r = ::waitpid(pid, &st, WNOHANG);
          if (r == pid || (r < 0 && errno != EINTR)) return;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid, SIGKILL);
        waitBlocking(pid, st);
      }).detach();
    }
  }
  pid_ = -1;
  exited_ = false;
  signalled_ = false;
}

void Subprocess::reap(int st) {
  status_ = st;
  exited_ = true;
  pid_ = -1;
}

bool Subprocess::running() {
  if (pid_ <= 0) return false;
  int st = 0;
  const pid_t r = ::waitpid(pid_, &st, WNOHANG);
  if (r == 0) return true;
  if (r == pid_) {
    reap(st);
  } else if (errno == ECHILD) {
    reap(0);  // reaped elsewhere
  } else {
    return true;  // interrupted: ask again next time
  }
  return false;
}

void Subprocess::terminate() {
  if (pid_ <= 0) return;
  signalled_ = true;
  ::kill(pid_, SIGTERM);
}

void Subprocess::kill() {
  if (pid_ <= 0) return;
  signalled_ = true;
  ::kill(-pid_, SIGKILL);  // its group, when it leads one
  ::kill(pid_, SIGKILL);
}

// One poll loop over both output pipes and the deadline; its state is the
// loop's own.
Subprocess::Result Subprocess::wait(std::chrono::milliseconds limit, std::size_t maxOutput) {
  Result r;
  r.started = started();
  const bool unlimited = limit == std::chrono::milliseconds::max();
  const auto deadline = unlimited ? Clock::time_point::max() : Clock::now() + limit;
  auto leftMs = [&]() -> int {
    if (unlimited) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
  };

  if (outPipe_ >= 0) {
    char buf[1 << 16];
    for (;;) {
      const int wait = leftMs();
      if (wait == 0) {
        r.timedOut = true;
        break;
      }
      pollfd p{outPipe_, POLLIN, 0};
      const int pr = ::poll(&p, 1, wait);
      if (pr < 0 && errno == EINTR) continue;
      if (pr <= 0) {
        r.timedOut = true;
        break;
      }
      const ssize_t n = ::read(outPipe_, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (r.out.size() + static_cast<std::size_t>(n) > maxOutput) {
        r.truncated = true;
        r.out.append(buf, maxOutput - r.out.size());
        break;
      }
      r.out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(outPipe_);
    outPipe_ = -1;
  }
  if (r.timedOut || r.truncated) kill();

  // A child that closed its output may still linger: it gets the rest of its
  // time, then it is killed.
  while (pid_ > 0) {
    if (unlimited) {
      int st = 0;
      if (waitBlocking(pid_, st))
        reap(st);
      else
        reap(0);
      break;
    }
    if (!running()) break;
    if (Clock::now() >= deadline) {
      r.timedOut = true;
      kill();
      int st = 0;
      waitBlocking(pid_, st);
      reap(st);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (exited_) {
    r.status = WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    r.signal = WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
  }
  return r;
}

std::chrono::seconds Subprocess::cpuLimitFor(std::chrono::milliseconds limit) {
  return std::chrono::duration_cast<std::chrono::seconds>(2 * limit) + std::chrono::seconds(1);
}

Subprocess::Result Subprocess::run(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                                   std::size_t maxOutput) {
  Options o;
  o.out = maxOutput > 0 ? Stream::capture : Stream::discard;  // nothing wanted: nothing to overflow
  o.searchPath = true;
  // A helper whose parent is killed is nobody's to stop: its processor time
  // ends it.
  if (limit < std::chrono::hours(1)) o.cpuLimit = cpuLimitFor(limit);
  Subprocess p(argv, o);
  if (!p.started()) return Result{};
  return p.wait(limit, maxOutput);
}

}  // namespace quorvel
