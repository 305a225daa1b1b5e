#include <quorvel/paths.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> env(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

fs::path homeFolder() {
  if (auto h = env("HOME")) return *h;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return fs::current_path();
}

bool hasEntry(const fs::path& folder, const char* name) {
  std::error_code ec;
  return fs::exists(folder / name, ec);
}

bool isExecutableFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

void makeFolder(const fs::path& p) {
  std::error_code ec;
  std::vector<fs::path> missing;
  for (fs::path q = p; !q.empty() && !fs::exists(q, ec); q = q.parent_path()) {
    missing.push_back(q);
    if (q == q.parent_path()) break;
  }
  // Create from the outermost missing folder inwards so that every folder
  // made here gets 0700 (guest messages and private documents live below).
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::mkdir(it->c_str(), 0700);
}

}  // namespace

fs::path Paths::support() {
  if (auto home = env("QUORVEL_HOME")) return fs::path(*home);
  fs::path base;
  if (auto xdg = env("XDG_DATA_HOME"); xdg && fs::path(*xdg).is_absolute())
    base = *xdg;
  else
    base = homeFolder() / ".local" / "share";
  return base / "Quorvel";
}

void Paths::ensure() {
  for (const fs::path& p : {support(), models(), documents(), logs()}) {
    makeFolder(p);
    // A folder made by hand (or by an older version) with the usual umask
    // is readable by everyone: guest messages and the hotel's documents
    // must not be. Only our own folders are changed.
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0)
      ::chmod(p.c_str(), (st.st_mode & 07700) | 0700);
  }
}

fs::path Paths::executable() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : p;
}

fs::path Paths::resourcesFor(const fs::path& exe) {
  std::error_code ec;
  fs::path resolved = exe.empty() ? exe : fs::weakly_canonical(exe, ec);
  if (ec) resolved = exe;
  const fs::path dir = resolved.parent_path();

  // An installed program: <prefix>/bin/quorvel-cli with <prefix>/share/quorvel.
  if (!dir.empty()) {
    fs::path installed = dir.parent_path() / "share" / "quorvel";
    if (hasEntry(installed, "templates")) return installed;
  }
  if (auto r = env("QUORVEL_RESOURCES")) return fs::path(*r);
  // The program's folder and up to four parents, nearest first.
  fs::path f = dir;
  for (int i = 0; i < 5 && !f.empty(); ++i) {
    if (hasEntry(f, "templates")) return f;
    if (f == f.parent_path()) break;
    f = f.parent_path();
  }
  return fs::current_path(ec);
}

fs::path Paths::resources() { return resourcesFor(executable()); }

fs::path Paths::bundledEngineFor(const fs::path& exe) {
  std::error_code ec;
  fs::path resolved = exe.empty() ? exe : fs::weakly_canonical(exe, ec);
  if (ec) resolved = exe;
  return resolved.parent_path().parent_path() / "lib" / "quorvel" / "llama";
}

fs::path Paths::bundledEngine() { return bundledEngineFor(executable()); }

bool Paths::engineIsBundled() {
#ifdef QUORVEL_BUNDLED_ENGINE
  return true;
#else
  return false;
#endif
}

std::optional<fs::path> Paths::llamaServer() { return llamaServerIn(resources(), bundledEngine()); }

std::string Paths::llamaServerPlaces() {
  const fs::path res = resources();
  return (res / "llama").string() + ", " + bundledEngine().string() + ", " + (res / "vendor" / "*").string() + ", " +
         (support() / "engine").string() + ", the folders of PATH and /home/linuxbrew/.linuxbrew/bin";
}

std::optional<fs::path> Paths::readme() {
  const fs::path file = resources().parent_path() / "doc" / "quorvel" / "README.md";
  std::error_code ec;
  if (fs::is_regular_file(file, ec)) return file;
  return std::nullopt;
}

std::optional<fs::path> Paths::llamaServerIn(const fs::path& res, const fs::path& bundled) {
  // The copy built with Quorvel comes right after the resources' own: it is
  // the one the package was tested with.
  std::vector<fs::path> candidates{res / "llama" / "llama-server", bundled / "llama-server"};
  std::error_code ec;
  for (fs::directory_iterator it(res / "vendor", ec), end; !ec && it != end; it.increment(ec))
    candidates.push_back(it->path() / "llama-server");
  candidates.push_back(support() / "engine" / "llama-server");
  if (auto path = env("PATH")) {
    std::string::size_type start = 0;
    while (start <= path->size()) {
      auto end = path->find(':', start);
      if (end == std::string::npos) end = path->size();
      // An empty entry would mean the working directory; never run a server
      // program from wherever the user happens to stand.
      std::string folder = path->substr(start, end - start);
      if (!folder.empty()) candidates.push_back(fs::path(folder) / "llama-server");
      start = end + 1;
    }
  }
  candidates.push_back("/home/linuxbrew/.linuxbrew/bin/llama-server");
  for (const auto& c : candidates)
    if (isExecutableFile(c)) return c;
  return std::nullopt;
}

}  // namespace quorvel
