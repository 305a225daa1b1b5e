#include "test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/process.h"

extern char** environ;

namespace quorvel::test {

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests take permissions away; give them back so that everything goes.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* v = std::getenv(name)) old_ = v;
  if (value)
    ::setenv(name, value->c_str(), 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    ::setenv(name_.c_str(), old_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

SmallDisk::SmallDisk(std::size_t bytes) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  mounted_ = ::geteuid() == 0 && ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

void SmallDisk::fill(std::size_t leave) {
  const int fd = ::open((path() / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  const std::string block(4096, 'f');
  for (;;) {
    struct statvfs vfs {};
    ::fstatvfs(fd, &vfs);
    const std::size_t free = static_cast<std::size_t>(vfs.f_bavail) * vfs.f_bsize;
    if (free <= leave) break;
    const std::size_t chunk = std::min(block.size(), free - leave);
    if (::write(fd, block.data(), chunk) <= 0) break;
  }
  ::close(fd);
}

void SmallDisk::unfill() { fs::remove(path() / "filler"); }

void writeText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << text;
}

std::string readText(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

unsigned permissions(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& env) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string kv(*e);
    if (env.count(kv.substr(0, kv.find('='))) == 0) environment.push_back(kv);
  }
  for (const auto& [k, v] : env)
    if (!v.empty()) environment.push_back(k + "=" + v);
  return environment;
}

std::map<std::string, std::string> makeSpecialFiles(const fs::path& dir) {
  std::map<std::string, std::string> made;
  if (::mkfifo((dir / "fifo.txt").c_str(), 0600) == 0) made["fifo.txt"] = "a FIFO (named pipe), not a document";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  const std::string path = (dir / "socket.md").string();
  if (path.size() < sizeof a.sun_path) {
    std::copy(path.begin(), path.end(), a.sun_path);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) made["socket.md"] = "a socket, not a document";
  }
  ::close(fd);
  fs::create_directories(dir / "folder.pdf");
  made["folder.pdf"] = "a folder, not a document";
  if (::mknod((dir / "device.rtf").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
    made["device.rtf"] = "a device, not a document";
  return made;
}

RunResult run(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& env, const std::optional<std::string>& input) {
  TempDir io;
  Subprocess::Options o;
  o.out = o.err = Subprocess::Stream::toFile;
  o.outFile = io / "out";
  o.errFile = io / "err";
  if (input) {
    writeText(io / "in", *input);
    o.input = io / "in";
  }
  o.environment = environmentWith(env);

  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  Subprocess child(argv, o);
  RunResult r;
  if (!child.started()) return r;
  // No test waits for ever: a program that hangs is killed and fails.
  const Subprocess::Result done = child.wait(std::chrono::minutes(2));
  r.status = done.signal != 0 ? 128 + done.signal : done.status;
  r.out = readText(o.outFile);
  r.err = readText(o.errFile);
  return r;
}

}  // namespace quorvel::test

#include <thread>

#include <signal.h>

#include "platform/local_http.h"
#include "runtime/servers.h"
#include <quorvel/engine.h>
#include <quorvel/models.h>

namespace quorvel::test {

namespace {

// Whether a listening socket could be made on 127.0.0.1:port now (past
// connections in TIME_WAIT do not count).
bool portFree(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

void stopModelServers() {
  Engine().stopAll();
  // Servers of the earlier tests' support folders are not this one's: the
  // tests end whatever listens on the ports (the tool itself never does).
  // By the port's listener, never by a name: a run of the tests in another
  // network namespace has servers of the same name on the same ports.
  for (int port : {Engine::chatPort, Engine::embedPort})
    if (const auto pid = servers::listenerProcess(port); pid && *pid != ::getpid()) ::kill(*pid, SIGTERM);
  // Every server of ours is gone; the next test may need the ports at once.
  for (int i = 0; i < 500; ++i) {
    if (portFree(Engine::chatPort) && portFree(Engine::embedPort)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto who = Subprocess::run({"/usr/bin/ss", "-ltnp"}, std::chrono::seconds(5), 1 << 16);
  std::fprintf(stderr, "the model ports are still taken after stopping every server:\n%s", who.out.c_str());
}

void killChatServer() {
  // SIGKILL: a crash, with no shutdown of its own.
  if (const auto pid = servers::listenerProcess(Engine::chatPort); pid && *pid != ::getpid()) ::kill(*pid, SIGKILL);
  for (int i = 0; i < 500 && !portFree(Engine::chatPort); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string emptyGguf() {
  // "GGUF", version 3, no tensors, no metadata: a whole file, though one
  // that no real server would load.
  return std::string("GGUF\x03\0\0\0", 8) + std::string(16, '\0');
}

void prepareStandInHome(const fs::path& home, bool chatModel, bool searchModel) {
  fs::create_directories(home / "engine");
  fs::create_directories(home / "models");
  if (!fs::exists(home / "engine/llama-server")) fs::create_symlink(QUORVEL_STANDIN, home / "engine/llama-server");
  auto model = [&](const ModelSpec& m) {
    writeText(home / "models" / m.file, emptyGguf());
    fs::resize_file(home / "models" / m.file, static_cast<std::uintmax_t>(m.sizeMB) * 1000000);
  };
  if (searchModel) model(ModelCatalog::embedding());
  if (chatModel) model(ModelCatalog::chat()[0]);
}

}  // namespace quorvel::test

namespace quorvel::test {

void LocalServer::start(int port) {
  if (port == 0) {
    port_ = server_.bind_to_any_port("127.0.0.1");
  } else {
    port_ = port;
    // A model server that closed its connections itself leaves them in
    // TIME_WAIT on its port for a minute: bind beside them.
    server_.set_socket_options([](socket_t sock) {
      int yes = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (!server_.bind_to_port("127.0.0.1", port))
      throw std::runtime_error("port " + std::to_string(port) + " is taken");
  }
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LocalServer::stop() {
  if (!thread_.joinable()) return;
  server_.stop();
  thread_.join();
}

void serveChunked(httplib::Response& res, const std::string& body) {
  res.set_chunked_content_provider("application/octet-stream", [&body](size_t offset, httplib::DataSink& sink) {
    if (offset >= body.size()) {
      sink.done();
      return true;
    }
    sink.write(body.data() + offset, std::min<size_t>(65536, body.size() - offset));
    return true;
  });
}

}  // namespace quorvel::test

namespace quorvel::test {

std::optional<std::string> commandLineSeenByAnotherUser(pid_t pid) {
  if (::geteuid() != 0) return std::nullopt;
  const auto r = Subprocess::run({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/bin/cat",
                                  "/proc/" + std::to_string(pid) + "/cmdline"},
                                 std::chrono::seconds(10), 1 << 20);
  return r.out;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace quorvel::test
