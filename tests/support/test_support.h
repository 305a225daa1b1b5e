// Helpers shared by the suites: a throw-away support folder, environment
// overrides that undo themselves, and running the built programs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {
namespace fs = std::filesystem;
}

namespace quorvel::test {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Sets (or with nullopt unsets) an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A temporary support folder named by QUORVEL_HOME.
class TempHome {
 public:
  TempHome() : env_("QUORVEL_HOME", dir_.path().string() + "/home") {}
  fs::path path() const { return dir_.path() / "home"; }
  const fs::path& root() const { return dir_.path(); }

 private:
  TempDir dir_;
  ScopedEnv env_;
};

// A small, separate file system (tmpfs) that fills up quickly, for the
// behaviour on a full disk. Needs root; ok() is false where it cannot be
// mounted, and the test then skips.
class SmallDisk {
 public:
  explicit SmallDisk(std::size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool ok() const { return mounted_; }
  const fs::path& path() const { return dir_.path(); }
  // Fills the disk up to `leave` free bytes with a file named "filler".
  void fill(std::size_t leave = 0);
  void unfill();

 private:
  TempDir dir_;
  bool mounted_ = false;
};

void writeText(const fs::path& p, const std::string& text);
std::string readText(const fs::path& p);
unsigned permissions(const fs::path& p);  // the mode bits, e.g. 0700

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// The current environment plus `env` (an empty value unsets the variable),
// as a child process's environment.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& env);

// Makes, in `dir`, files named as documents that are none: a FIFO
// (fifo.txt), a socket (socket.md), a folder (folder.pdf) and, as root, a
// device (device.rtf). Returns each name with the reason it is refused for.
std::map<std::string, std::string> makeSpecialFiles(const fs::path& dir);

// Runs a program with the current environment plus `env` (an empty value
// unsets the variable); `input` is its standard input (closed when nullopt).
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& env = {},
              const std::optional<std::string>& input = std::nullopt);

inline RunResult runCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                        const std::optional<std::string>& input = std::nullopt) {
  return run(QUORVEL_CLI, args, env, input);
}

}  // namespace quorvel::test

namespace quorvel::test {

// Ends every model server of the system (as `quorvel-cli stop` does) and
// waits until neither port answers.
void stopModelServers();
// Kills the chat server on its port, as a crash would.
void killChatServer();

// /proc/<pid>/cmdline as another user (nobody) reads it: what every user of
// the computer sees of a process's arguments. Needs root (nullopt without).
std::optional<std::string> commandLineSeenByAnotherUser(pid_t pid);

// Asks `condition` until it holds (true) or `limit` has passed (false): a
// guard against hanging, never a measure of speed.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::minutes(1));

// The smallest whole model file: a GGUF header without tensors.
std::string emptyGguf();

// Makes `home` a support folder with the stand-in as its llama-server and
// model files of plausible size (sparse, so they take no disk space).
void prepareStandInHome(const fs::path& home, bool chatModel = true, bool searchModel = true);

}  // namespace quorvel::test

#include <httplib.h>

#include <thread>

namespace quorvel::test {

// An HTTP server on 127.0.0.1 running on a thread of its own while it
// lives: on the given port, or on a free one when the port is 0. Routes are
// added to server() before start().
class LocalServer {
 public:
  LocalServer() = default;
  ~LocalServer() { stop(); }
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  httplib::Server& server() { return server_; }
  void start(int port = 0);
  void stop();
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// Serves `body` in chunks, without a length.
void serveChunked(httplib::Response& res, const std::string& body);

}  // namespace quorvel::test
