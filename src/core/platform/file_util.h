// Small file helpers shared by the parts that keep files in the support folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Owns a file descriptor: closed when it goes, unless released.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);
  // Closes now; false when close reported an error (a late write failure).
  bool close();

 private:
  int fd_;
};

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& p);
// Writes `bytes` to `fd` completely, retrying short writes; false on error.
bool writeAll(int fd, std::string_view bytes);
// Replaces `p` as a whole: the bytes go to a temporary file beside it
// (mode 0600) that is renamed over `p` only once complete and on disk, so a
// failure or a power cut leaves the old file as it was. On failure returns
// false with errno saying why.
bool writeFileAtomically(const std::filesystem::path& p, std::string_view bytes);
// Moves a complete temporary file into place so that it survives a power
// cut: the file's data reaches the disk before the rename, the folder's entry
// after it. `fd` is the open temporary file; it is closed here.
bool commitFile(UniqueFd fd, const std::filesystem::path& tmp, const std::filesystem::path& target);

// Opens a file for reading only when it is a regular file (after following a
// symbolic link): a FIFO or a device would block or never end. The check is
// made on the opened descriptor, so nothing can be swapped in between.
UniqueFd openRegular(const std::filesystem::path& p);

// Why the file at `p` must never be read as a document, or nothing. Links
// followed, it lies under /proc, /sys or /dev (the process's own environment,
// a device), or outside the folder `within` when one is given: a folder
// unpacked from an archive may hold a link to /etc/passwd, and what is read
// can be quoted to guests.
std::optional<std::string> outsideReason(const std::filesystem::path& p, const std::filesystem::path& within = {});

// Removes the temporaries this system left in `folder` (names starting with
// `prefix`) that are older than a minute: a crash in the middle of a save or
// an import leaves them, and nobody else ever will.
void removeStaleTemporaries(const std::filesystem::path& folder, std::string_view prefix);

}  // namespace quorvel
