#include <quorvel/history.h>

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
  auto text = readFile(Paths::historyFile());
  if (!text || !isValidUtf8(*text)) return 0;
  int64_t n = 0;
  bool inLine = false;
  for (char c : *text) {
    if (c == '\n') {
      inLine = false;
    } else if (!inLine) {
      inLine = true;
      ++n;
    }
  }
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
        .key("tps").value(answer.tokensPerSecond)
        .key("seconds").value(answer.seconds)
        .key("date").value(isoDate(answer.date))
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
