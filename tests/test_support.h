// Helpers shared by the suites: a throw-away support folder, environment
// overrides that undo themselves, and running the built programs.
#pragma once

#include <filesystem>
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

void writeText(const fs::path& p, const std::string& text);
std::string readText(const fs::path& p);
unsigned permissions(const fs::path& p);  // the mode bits, e.g. 0700

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

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

// Makes `home` a support folder with the stand-in as its llama-server and
// model files of plausible size (sparse, so they take no disk space).
void prepareStandInHome(const fs::path& home, bool chatModel = true, bool searchModel = true);

}  // namespace quorvel::test
