#include "runtime/servers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/tcp_owner.h"

namespace quorvel::servers {

namespace fs = std::filesystem;

namespace {

fs::path recordFile() { return Paths::support() / "servers.pid"; }

uid_t ownerOf(pid_t pid) {
  struct stat st {};
  const std::string dir = "/proc/" + std::to_string(pid);
  return ::stat(dir.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

std::vector<std::string> commandLine(pid_t pid) {
  std::vector<std::string> argv;
  const auto bytes = readFile("/proc/" + std::to_string(pid) + "/cmdline");
  if (!bytes) return argv;
  std::string arg;
  for (char c : *bytes) {
    if (c == '\0') {
      argv.push_back(arg);
      arg.clear();
    } else {
      arg.push_back(c);
    }
  }
  return argv;
}

}  // namespace

unsigned long long startTime(pid_t pid) {
  const auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return 0;
  // The name in parentheses may hold spaces and parentheses itself: the
  // fields are counted from after the last ')'.
  const auto close = stat->rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat->substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 3 && field == "Z") return 0;  // ended, not yet reaped
    if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
  }
  return 0;
}

bool servesFrom(const std::vector<std::string>& argv, const fs::path& models) {
  // The program itself, or the script that runs it.
  const bool server = std::any_of(argv.begin(), argv.begin() + std::min<std::size_t>(argv.size(), 2),
                                  [](const std::string& a) { return fs::path(a).filename() == "llama-server"; });
  if (!server) return false;
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(models, ec);
  for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
    if (argv[i] != "-m") continue;
    const fs::path model = fs::weakly_canonical(argv[i + 1], ec).parent_path();
    return !ec && model == folder;
  }
  return false;
}

void remember(pid_t pid) {
  const unsigned long long started = startTime(pid);
  if (started == 0) return;
  Paths::ensure();
  const std::string file = recordFile().string();
  UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd) writeAll(fd.get(), std::to_string(pid) + " " + std::to_string(started) + "\n");
}

std::vector<pid_t> ours() {
  const uid_t me = ::geteuid();
  std::set<pid_t> found;
  if (const auto record = readFile(recordFile())) {
    std::istringstream in(*record);
    long long pid = 0;
    unsigned long long started = 0;
    while (in >> pid >> started)
      if (pid > 1 && startTime(static_cast<pid_t>(pid)) == started && ownerOf(static_cast<pid_t>(pid)) == me)
        found.insert(static_cast<pid_t>(pid));
  }
  const fs::path models = Paths::models();
  if (DIR* proc = ::opendir("/proc")) {
    while (const dirent* e = ::readdir(proc)) {
      char* end = nullptr;
      const long pid = std::strtol(e->d_name, &end, 10);
      if (pid <= 1 || *end != '\0' || pid == ::getpid()) continue;
      if (ownerOf(static_cast<pid_t>(pid)) != me || startTime(static_cast<pid_t>(pid)) == 0) continue;
      if (servesFrom(commandLine(static_cast<pid_t>(pid)), models)) found.insert(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
  }
  return {found.begin(), found.end()};
}

bool listenerIsOurs(int port) { return tcp::listener(port) == tcp::Owner::us; }

std::optional<pid_t> listenerProcess(int port) {
  const auto inode = tcp::listenerInode(port);
  if (!inode) return std::nullopt;
  const std::string socket = "socket:[" + std::to_string(*inode) + "]";
  std::optional<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return std::nullopt;
  while (const dirent* e = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 1 || *end != '\0') continue;
    // Another user's descriptors cannot be read anyway (unless we are root).
    std::error_code ec;
    for (fs::directory_iterator fd("/proc/" + std::string(e->d_name) + "/fd", ec), stop; !ec && fd != stop;
         fd.increment(ec)) {
      std::error_code lec;
      if (fs::read_symlink(fd->path(), lec).string() == socket && !lec) found = static_cast<pid_t>(pid);
    }
    if (found) break;
  }
  ::closedir(proc);
  return found;
}

void forget() {
  std::error_code ec;
  fs::remove(recordFile(), ec);
}

}  // namespace quorvel::servers
