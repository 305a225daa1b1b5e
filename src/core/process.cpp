#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace quorvel {

CapturedRun runCaptured(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                        std::size_t maxOutput) {
  CapturedRun r;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return r;

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A fresh process group, so that a helper's own children die with it.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return r;
  }
  r.started = true;

  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buf[1 << 16];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      r.timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int pr = ::poll(&p, 1, static_cast<int>(left.count()));
    if (pr < 0 && errno == EINTR) continue;
    if (pr <= 0) {
      r.timedOut = pr == 0;
      if (pr < 0) r.timedOut = true;
      break;
    }
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (r.out.size() + static_cast<std::size_t>(n) > maxOutput) {
      r.truncated = true;
      r.out.append(buf, maxOutput - r.out.size());
      break;
    }
    r.out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  if (r.timedOut || r.truncated) ::kill(-pid, SIGKILL);
  int st = 0;
  // A helper that closed its output may still linger: it gets the rest of
  // its time, then it is killed.
  for (;;) {
    const pid_t w = ::waitpid(pid, &st, WNOHANG);
    if (w == pid || (w < 0 && errno != EINTR)) break;
    if (w == 0 && std::chrono::steady_clock::now() >= deadline) {
      r.timedOut = true;
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    if (w == 0) ::usleep(2000);
  }
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace quorvel
