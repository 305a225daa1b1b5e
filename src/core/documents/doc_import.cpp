#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include <quorvel/doc_import.h>
#include <quorvel/doc_index.h>
#include <quorvel/document_reader.h>
#include <quorvel/paths.h>

#include "platform/file_util.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

fs::path standardised(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  return (ec ? p : abs).lexically_normal();
}

// Copies `from` into a fresh temporary file in `folder` and renames it to
// `to`: a failed copy leaves an earlier document of that name untouched.
// At most `limit` bytes: a file that grows past it while being copied is
// not imported (`why` says so).
bool copyInto(const fs::path& from, const fs::path& folder, const fs::path& to, std::uint64_t limit,
              std::string& why) {
  UniqueFd in = openRegular(from);  // never a FIFO or a device: those would hang or never end
  if (!in) return false;
  std::string tmp = (folder / ".import-XXXXXX").string();
  UniqueFd out(::mkostemp(tmp.data(), O_CLOEXEC));  // mode 0600: the hotel's private documents
  if (!out) return false;
  char buf[1 << 16];
  std::uint64_t copied = 0;
  for (;;) {
    const ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return commitFile(std::move(out), tmp, to);
    copied += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
    if (copied > limit) {
      why = DocumentReader::tooLarge(copied, limit);
      break;
    }
    if (n < 0 || !writeAll(out.get(), std::string_view(buf, static_cast<std::size_t>(n)))) break;
  }
  out.close();
  ::unlink(tmp.c_str());
  return false;
}

}  // namespace

namespace {

// Copies one file found at `source` (directly named when `within` is empty,
// else an entry of that folder); false with `why` when it is not imported
// for a reason a person should hear of.
bool importOne(const fs::path& source, const fs::path& within, const fs::path& folder, std::string& why) {
  why.clear();
  if (!DocumentReader::isAllowed(source)) return false;
  const fs::path name = standardised(source).filename();
  if (name.empty()) return false;
  if (auto outside = outsideReason(source, within)) {
    why = *outside;
    return false;
  }
  // Neither a FIFO, socket, device or folder nor a file of gigabytes:
  // named, so that "imported: 0" never comes without a word why.
  if (auto refused = DocumentReader::refusal(source)) {
    why = *refused;
    return false;
  }
  const fs::path destination = folder / name;
  if (standardised(destination) == standardised(source)) return false;
  // The same file reached by another road (a symbolic link into the
  // documents folder, a hard link): it is already there, and replacing the
  // destination would destroy the only copy.
  std::error_code ec;
  if (fs::equivalent(source, destination, ec) && !ec) return false;
  return copyInto(source, folder, destination, DocumentReader::maxFileBytes(source), why);
}

}  // namespace

int64_t DocImport::files(const std::vector<fs::path>& files) {
  Paths::ensure();
  const fs::path folder = Paths::documents();
  removeStaleTemporaries(folder, ".import-");
  int64_t copied = 0;
  std::string why;
  for (const fs::path& source : files)
    if (importOne(source, {}, folder, why)) ++copied;
  return copied;
}

int64_t DocImport::paths(const std::vector<fs::path>& paths, std::vector<std::string>* skipped) {
  Paths::ensure();
  const fs::path folder = Paths::documents();
  removeStaleTemporaries(folder, ".import-");
  int64_t copied = 0;
  std::string why;
  auto one = [&](const fs::path& source, const fs::path& within) {
    if (importOne(source, within, folder, why))
      ++copied;
    else if (!why.empty() && skipped)
      skipped->push_back(source.string() + ": " + why);
  };
  for (const fs::path& p : paths) {
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      // The folder's own entries only, as the file system lists them.
      for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) one(it->path(), p);
    } else {
      one(p, {});
    }
  }
  return copied;
}

}  // namespace quorvel
