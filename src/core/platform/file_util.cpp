#include "platform/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace quorvel {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool UniqueFd::close() {
  if (fd_ < 0) return true;
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0;
}

UniqueFd openRegular(const std::filesystem::path& p) {
  UniqueFd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  // Back to ordinary reads (a regular file never blocks anyway).
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void removeStaleTemporaries(const std::filesystem::path& folder, std::string_view prefix) {
  const auto cutoff = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code e;
    if (it->is_regular_file(e) && !e && it->last_write_time(e) < cutoff && !e) std::filesystem::remove(it->path(), e);
  }
}

std::optional<std::string> readFile(const std::filesystem::path& p) {
  UniqueFd fd = openRegular(p);
  if (!fd) return std::nullopt;
  std::string out;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool commitFile(UniqueFd fd, const std::filesystem::path& tmp, const std::filesystem::path& target) {
  int err = 0;
  if (::fsync(fd.get()) != 0) err = errno;
  if (!fd.close() && err == 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    errno = err;
    return false;
  }
  // The new entry itself: without this a power cut can bring the old name
  // back, or none.
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return true;
}

bool writeFileAtomically(const std::filesystem::path& p, std::string_view bytes) {
  std::string tmpl = (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
  UniqueFd fd(::mkostemp(tmpl.data(), O_CLOEXEC));  // mkostemp creates it with mode 0600
  if (!fd) return false;
  if (!writeAll(fd.get(), bytes)) {
    const int err = errno;
    fd.close();
    ::unlink(tmpl.c_str());
    errno = err;
    return false;
  }
  return commitFile(std::move(fd), tmpl, p);
}

namespace {

bool under(const std::filesystem::path& p, const std::filesystem::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), p.begin(), p.end()).first == folder.end();
}

}  // namespace

std::optional<std::string> outsideReason(const std::filesystem::path& p, const std::filesystem::path& within) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::canonical(p, ec);
  if (ec) return std::nullopt;  // a broken link: nothing there to read
  for (const char* system : {"/proc", "/sys", "/dev"})
    if (under(target, system)) return "a system file (" + target.string() + "), never read";
  if (!within.empty()) {
    const fs::path folder = fs::canonical(within, ec);
    if (!ec && !under(target, folder)) return "a link to " + target.string() + ", outside " + folder.string();
  }
  return std::nullopt;
}

}  // namespace quorvel
