#include <quorvel/history.h>

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {

bool History::append(const Answer& answer) {
  Paths::ensure();
  std::string line;
  try {
    line = answer.toJson();
  } catch (const JsonError&) {
    return false;  // an answer that cannot be encoded is neither stored nor timed
  }
  line.push_back('\n');
  UniqueFd fd(::open(Paths::historyFile().c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
  if (!fd) return false;
  // The app and the tool may append at the same moment. The lock keeps the
  // length check, the write and a possible truncation together.
  while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat st {};
  const off_t before = ::fstat(fd.get(), &st) == 0 ? st.st_size : -1;
  if (before > 0) {
    // A line torn by an earlier crash must not swallow this one.
    char last = '\n';
    if (::pread(fd.get(), &last, 1, before - 1) == 1 && last != '\n') line.insert(line.begin(), '\n');
  }
  // One write: a reader never sees this line in two pieces.
  const ssize_t n = ::write(fd.get(), line.data(), line.size());
  const bool whole = n == static_cast<ssize_t>(line.size());
  // A short write (a full disk) leaves half a line: cut it off again.
  if (!whole && before >= 0) {
    [[maybe_unused]] const int rc = ::ftruncate(fd.get(), before);  // nothing more can be done if this fails too
  }
  ::flock(fd.get(), LOCK_UN);
  if (!whole) return false;
  Stats::record(answer);
  return true;
}

int64_t History::count() {
  // The tray asks at every opening, and a history grows for years: the file
  // is read in pieces (never held whole), and the count kept until the file
  // changes.
  static std::mutex mu;
  static std::string knownFile;
  static struct stat known {};
  static int64_t knownCount = 0;
  const std::string file = Paths::historyFile().string();
  UniqueFd fd = openRegular(file);
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) return 0;
  std::lock_guard<std::mutex> lock(mu);
  if (file == knownFile && st.st_ino == known.st_ino && st.st_size == known.st_size &&
      st.st_mtim.tv_sec == known.st_mtim.tv_sec && st.st_mtim.tv_nsec == known.st_mtim.tv_nsec)
    return knownCount;
  int64_t n = 0;
  bool inLine = false;
  std::string piece;  // a read, with the unfinished character of the one before in front
  std::vector<char> buf(1 << 20);
  for (;;) {
    const ssize_t got = ::read(fd.get(), buf.data(), buf.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return 0;
    piece.append(buf.data(), static_cast<std::size_t>(got));
    // A character cut by the end of this read is checked with the next.
    std::size_t whole = piece.size();
    if (got > 0) {
      std::size_t back = 0;
      while (back < 3 && back < whole && (static_cast<unsigned char>(piece[whole - 1 - back]) & 0xC0) == 0x80) ++back;
      if (back < whole && (static_cast<unsigned char>(piece[whole - 1 - back]) & 0x80) != 0) whole -= back + 1;
    }
    const std::string_view text(piece.data(), whole);
    if (!isValidUtf8(text)) return 0;  // not a history this system wrote
    for (char c : text) {
      if (c == '\n') {
        inLine = false;
      } else if (!inLine) {
        inLine = true;
        ++n;
      }
    }
    piece.erase(0, whole);
    if (got == 0) break;
  }
  knownFile = file;
  known = st;
  knownCount = n;
  return n;
}

void History::clear() {
  std::error_code ec;
  std::filesystem::remove(Paths::historyFile(), ec);
}

void Stats::record(const Answer& answer) {
  JsonWriter w;
  try {
    w.beginObject()
        .key("tps")
        .value(answer.tokensPerSecond)
        .key("seconds")
        .value(answer.seconds)
        .key("date")
        .value(isoDate(answer.date))
        .endObject();
  } catch (const JsonError&) {
    return;
  }
  writeFileAtomically(Paths::statsFile(), w.str());
}

double Stats::lastTPS() {
  auto text = readFile(Paths::statsFile());
  if (!text) return 0;
  auto j = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (!j.is_object()) return 0;
  auto it = j.find("tps");
  if (it == j.end() || !it->is_number()) return 0;
  return it->get<double>();
}

}  // namespace quorvel
