#include "history.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "file_util.h"
#include "json_writer.h"
#include "paths.h"

namespace quorvel {

void History::append(const Answer& answer) {
  Paths::ensure();
  std::string line;
  try {
    line = answer.toJson();
  } catch (const JsonError&) {
    return;  // an answer that cannot be encoded is neither stored nor timed
  }
  line.push_back('\n');
  // One write on an O_APPEND descriptor: the app and the tool may append at
  // the same moment, and neither may leave half a line in the other's.
  int fd = ::open(Paths::historyFile().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    writeAll(fd, line);
    ::close(fd);
  }
  Stats::record(answer);
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
