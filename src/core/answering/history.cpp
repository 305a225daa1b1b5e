#include <quorvel/history.h>

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

// history.jsonl opened and locked. Appends and rewrites all lock the file
// itself (earlier versions' appends lock it too); a rewrite renames a new
// file over it, so the one locked is checked to be the one under the name
// still, else the name's file is opened again. Nothing when there is no
// file and `create` is false, or it cannot be opened.
UniqueFd lockedHistory(bool create) {
  const fs::path file = Paths::historyFile();
  for (;;) {
    // O_NOFOLLOW: guests' words never go through a link to another file.
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600));
    if (!fd) return fd;
    while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat held {}, named {};
    if (::fstat(fd.get(), &held) != 0) return UniqueFd();
    if (::stat(file.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev) return fd;
    // Replaced or removed while this waited: the entry goes to the file there now.
  }
}

// The lines of a file read in pieces from its start, each without its line
// feed; the last one may lack it (a torn line). A history grows for years:
// only one line is held at a time.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd), buf_(1 << 20) {}
  // False at the end; `failed()` tells an end from a read error.
  bool next(std::string& line) {
    line.clear();
    for (;;) {
      if (pos_ < len_) {
        const char* start = buf_.data() + pos_;
        const void* nl = std::memchr(start, '\n', len_ - pos_);
        if (nl != nullptr) {
          const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
          line.append(start, n);
          pos_ += n + 1;
          return true;
        }
        line.append(start, len_ - pos_);
        pos_ = len_;
      }
      const ssize_t got = ::pread(fd_, buf_.data(), buf_.size(), offset_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        failed_ = got < 0;
        return !failed_ && !line.empty();
      }
      offset_ += got;
      pos_ = 0;
      len_ = static_cast<std::size_t>(got);
    }
  }
  bool failed() const { return failed_; }

 private:
  int fd_;
  std::vector<char> buf_;
  std::size_t pos_ = 0, len_ = 0;
  off_t offset_ = 0;
  bool failed_ = false;
};

// What a removal needs of a line: its date and the guest's and the reply's
// words, or that it is no whole entry.
struct Entry {
  bool whole = false;
  TimePoint date{};
  std::string question, text;
};

Entry entryOf(std::string_view line) {
  Entry e;
  const auto j = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!j.is_object()) return e;
  const auto date = j.find("date"), question = j.find("question"), text = j.find("text");
  if (date == j.end() || !date->is_string() || question == j.end() || !question->is_string() || text == j.end() ||
      !text->is_string())
    return e;
  const auto when = parseIsoDate(date->get_ref<const std::string&>());
  if (!when) return e;
  e.whole = true;
  e.date = *when;
  e.question = question->get<std::string>();
  e.text = text->get<std::string>();
  return e;
}

// Whether a line holds the folded text in the guest's message or the reply;
// a damaged line anywhere.
bool mentions(std::string_view line, const std::string& folded) {
  const Entry e = entryOf(line);
  if (!e.whole) return holdsNeedle(line, folded);
  return holdsNeedle(e.question, folded) || holdsNeedle(e.text, folded);
}

// Whether a line goes: true, false, or nothing for "as the next whole entry".
using Verdict = std::function<std::optional<bool>(std::string_view line)>;

// Writes history.jsonl again without the lines `drop` picks, under the lock:
// the kept lines, byte for byte, go to a new file beside it, which is synced
// and renamed over it. Blank lines are left out and count for nothing.
std::optional<int64_t> rewrite(const Verdict& drop) {
  UniqueFd fd = lockedHistory(/*create=*/false);
  if (!fd) return errno == ENOENT ? std::optional<int64_t>(0) : std::nullopt;
  const fs::path file = Paths::historyFile();
  // Only the lock's holder writes these: any there now a crash left behind,
  // with guests' words in them.
  const std::string prefix = "." + file.filename().string() + ".";
  std::error_code ec;
  for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().starts_with(prefix)) fs::remove(it->path(), ec);

  std::string tmp = (file.parent_path() / (prefix + "XXXXXX")).string();
  UniqueFd out(::mkostemp(tmp.data(), O_CLOEXEC));  // mode 0600
  if (!out) return std::nullopt;
  auto fail = [&]() -> std::optional<int64_t> {
    const int why = errno;  // what the caller tells the user
    out.close();
    ::unlink(tmp.c_str());
    errno = why;
    return std::nullopt;
  };
  std::string pending;  // kept lines not yet written
  std::vector<std::string> undecided;
  int64_t removed = 0;
  auto keep = [&](const std::string& line) {
    pending.append(line).push_back('\n');
    if (pending.size() < (1u << 20)) return true;
    const bool written = writeAll(out.get(), pending);
    pending.clear();
    return written;
  };
  LineReader in(fd.get());
  for (std::string line; in.next(line);) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::optional<bool> goes = drop(line);
    if (!goes) {
      undecided.push_back(std::move(line));
      continue;
    }
    for (const std::string& u : undecided) {
      if (*goes) {
        ++removed;
      } else if (!keep(u)) {
        return fail();
      }
    }
    undecided.clear();
    if (*goes) {
      ++removed;
    } else if (!keep(line)) {
      return fail();
    }
  }
  if (in.failed()) return fail();
  for (const std::string& u : undecided)
    if (!keep(u)) return fail();
  if (removed == 0) {
    out.close();
    ::unlink(tmp.c_str());
    return 0;
  }
  if (!writeAll(out.get(), pending)) return fail();
  if (!commitFile(std::move(out), tmp, file)) return std::nullopt;
  return removed;
}

}  // namespace

bool History::append(const Answer& answer) {
  Paths::ensure();
  std::string line;
  try {
    line = answer.toJson();
  } catch (const JsonError&) {
    return false;  // an answer that cannot be encoded is neither stored nor timed
  }
  line.push_back('\n');
  // The app and the tool may append at the same moment, and a removal may
  // be rewriting the file. The lock keeps the length check, the write and a
  // possible truncation together, and out of a rewrite.
  UniqueFd fd = lockedHistory(/*create=*/true);
  if (!fd) return false;
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
  // Under the lock: an append waiting for it then starts a new file. One
  // that cannot be opened (made read-only by hand) goes all the same.
  const UniqueFd held = lockedHistory(/*create=*/false);
  ::unlink(Paths::historyFile().c_str());
}

std::optional<int64_t> History::removeOlderThan(TimePoint cutoff) {
  return rewrite([cutoff](std::string_view line) -> std::optional<bool> {
    const Entry e = entryOf(line);
    if (!e.whole) return std::nullopt;
    return e.date < cutoff;
  });
}

std::optional<int64_t> History::forget(std::string_view text) {
  const std::string folded = searchNeedle(text);
  if (folded.empty()) return 0;
  return rewrite([&folded](std::string_view line) -> std::optional<bool> { return mentions(line, folded); });
}

int64_t History::countContaining(std::string_view text) {
  const std::string folded = searchNeedle(text);
  UniqueFd fd = openRegular(Paths::historyFile());
  if (folded.empty() || !fd) return 0;
  int64_t n = 0;
  LineReader in(fd.get());
  for (std::string line; in.next(line);)
    if (mentions(line, folded)) ++n;
  return n;
}

std::optional<int64_t> History::applyRetention(TimePoint now) {
  const auto cutoff = Retention::cutoff(now);
  if (!cutoff) return 0;
  return removeOlderThan(*cutoff);
}

namespace {

constexpr const char* kRetentionKey = "keepHistoryDays";

nlohmann::json settings() {
  const auto text = readFile(Paths::settingsFile());
  if (!text) return nlohmann::json::object();
  auto j = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
  return j.is_object() ? j : nlohmann::json::object();
}

}  // namespace

int Retention::days() {
  const nlohmann::json j = settings();
  const auto it = j.find(kRetentionKey);
  if (it == j.end()) return kDefaultDays;
  if (it->is_string() && it->get_ref<const std::string&>() == "all") return 0;
  // Beyond a century is no period anyone means: kept as the default rather
  // than overflowing the date arithmetic.
  if (it->is_number_integer() && it->get<int64_t>() >= 1 && it->get<int64_t>() <= 36500)
    return static_cast<int>(it->get<int64_t>());
  return kDefaultDays;
}

bool Retention::setDays(int days) {
  if (days < 0) return false;
  Paths::ensure();
  nlohmann::json j = settings();
  j[kRetentionKey] = days == 0 ? nlohmann::json("all") : nlohmann::json(days);
  return writeFileAtomically(Paths::settingsFile(), j.dump(2) + "\n");
}

std::optional<TimePoint> Retention::cutoff(TimePoint now) {
  const int d = days();
  if (d == 0) return std::nullopt;
  return now - std::chrono::hours(24) * d;
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
