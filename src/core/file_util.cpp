#include "file_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quorvel {

std::optional<std::string> readFile(const std::filesystem::path& p) {
  int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool writeFileAtomically(const std::filesystem::path& p, std::string_view bytes) {
  std::string tmpl = (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);  // mkostemp creates it with mode 0600
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmpl.c_str(), p.c_str()) == 0;
  if (!ok) ::unlink(tmpl.c_str());
  return ok;
}

}  // namespace quorvel
