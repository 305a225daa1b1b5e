#include "engine.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "local_http.h"
#include "models.h"
#include "paths.h"
#include "process.h"

extern char** environ;

namespace quorvel {

namespace {

constexpr const char* kNotFound = "engine not found";
constexpr const char* kNoModel = "model not downloaded";
constexpr const char* kNoSearchModel = "search model not downloaded";
constexpr const char* kDidNotStart = "model server did not start (see logs)";

// Waits for a terminated child in the background, so that it never lingers
// as a zombie in a long-running app.
void reapLater(pid_t pid) {
  std::thread([pid] {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

std::string Engine::chatURL() { return "http://127.0.0.1:" + std::to_string(chatPort); }
std::string Engine::embedURL() { return "http://127.0.0.1:" + std::to_string(embedPort); }

Engine& Engine::shared() {
  static Engine engine;
  return engine;
}

Engine::State Engine::state() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}

void Engine::setState(State s) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    state_ = s;
  }
  if (onState) onState(s);
}

bool Engine::Child::running() {
  if (!present || pid <= 0) return false;
  int st = 0;
  const pid_t r = ::waitpid(pid, &st, WNOHANG);
  if (r == 0) return true;
  if (r == pid || (r < 0 && errno == ECHILD)) pid = -1;  // exited and reaped
  return pid > 0;
}

bool Engine::healthy(const std::string& baseURL) {
  return LocalHTTP::getStatus(baseURL + "/health", std::chrono::seconds(1)) == 200;
}

Engine::Child Engine::launch(const std::string& exe, const std::string& name, const std::vector<std::string>& args) {
  Child child;
  const std::string log = (Paths::logs() / (name + ".log")).string();
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  // The server's output goes to its log; when the log cannot be made it goes
  // nowhere rather than into the tool's own output.
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    posix_spawn_file_actions_adddup2(&fa, fd, 1);
    posix_spawn_file_actions_adddup2(&fa, fd, 2);
  } else {
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A session of its own: the server outlives the tool and its terminal.
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
  flags |= POSIX_SPAWN_SETSID;
#endif
  posix_spawnattr_setflags(&attr, flags);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);

  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  child.present = true;  // a launch that failed counts as a server that exited
  if (::posix_spawn(&pid, exe.c_str(), &fa, &attr, argv.data(), environ) == 0) child.pid = pid;
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (fd >= 0) ::close(fd);
  return child;
}

void Engine::start() {
  {
    const State s = state();
    if (s.kind == State::Kind::starting || s.kind == State::Kind::ready) return;
  }
  setState(State::starting());
  Paths::ensure();
  const auto exe = Paths::llamaServer();
  if (!exe) return setState(State::failed(kNotFound));
  const auto chatModel = ModelCatalog::installedChat();
  if (!chatModel) return setState(State::failed(kNoModel));
  if (!ModelCatalog::isInstalled(ModelCatalog::embedding())) return setState(State::failed(kNoSearchModel));

  const bool chatUp = healthy(chatURL());
  const bool embedUp = healthy(embedURL());
  const std::string models = (Paths::support() / "models").string();
  if (!chatUp) {
    chatProc_ = launch(exe->string(), "chat",
                       {"-m", models + "/" + chatModel->file, "--host", "127.0.0.1", "--port", std::to_string(chatPort),
                        "-c", "8192", "-ngl", "99", "-np", "1", "--no-webui", "--offline", "--jinja"});
  }
  if (!embedUp) {
    embedProc_ = launch(exe->string(), "embed",
                        {"-m", models + "/" + ModelCatalog::embedding().file, "--host", "127.0.0.1", "--port",
                         std::to_string(embedPort), "--embedding", "--pooling", "last", "-c", "8192", "-b", "8192",
                         "-ub", "8192", "-ngl", "99", "--no-webui", "--offline"});
  }
  for (int poll = 0;; ++poll) {
    if (healthy(chatURL()) && healthy(embedURL())) return setState(State::ready());
    // A launched server that has exited will not come up (a bad model file,
    // a port taken by something else): its log says why.
    const bool died = (chatProc_.present && !chatProc_.running()) || (embedProc_.present && !embedProc_.running());
    if (!died) std::this_thread::sleep_for(std::chrono::milliseconds(pollMillis));
    if (died || poll >= maxPolls - 1) {
      stop();
      return setState(State::failed(kDidNotStart));
    }
  }
}

void Engine::stop() {
  for (Child* c : {&chatProc_, &embedProc_}) {
    if (c->running()) {
      ::kill(c->pid, SIGTERM);
      reapLater(c->pid);
    }
    *c = Child{};
  }
  if (state().kind != State::Kind::failed) setState(State::stopped());
}

void Engine::stopAll() {
  stop();
  // Its output is not wanted, and a failure to run it changes nothing.
  runCaptured({"/usr/bin/pkill", "-f", "llama-server.*--port 1843[12]"}, std::chrono::seconds(10), 0);
  setState(State::stopped());
}

std::string Engine::chatModelTitle() {
  const auto m = ModelCatalog::installedChat();
  return m ? m->title : "\u2014";
}

}  // namespace quorvel
