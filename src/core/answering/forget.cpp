#include <quorvel/forget.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include <quorvel/desk_answers.h>
#include <quorvel/doc_index.h>
#include <quorvel/history.h>
#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

// Rewrites a log without its lines that hold `folded`; true when some went.
// A server still writing to the old file goes on writing there, unseen:
// its diagnostics matter less than the guest's words.
bool scrubLog(const fs::path& file, const std::string& folded) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string kept;
  bool found = false;
  for (std::string line; std::getline(in, line);) {
    if (holdsNeedle(line, folded)) {
      found = true;
      continue;
    }
    kept.append(line).push_back('\n');
  }
  if (!found) return false;
  if (!writeFileAtomically(file, kept))
    throw std::runtime_error(file.filename().string() + ": " + std::strerror(errno));
  return true;
}

}  // namespace

Forget::Result Forget::guest(std::string_view text) {
  Result r;
  const std::string folded = searchNeedle(text);
  if (folded.empty()) return r;
  if (const auto n = History::forget(text)) {
    r.entries = *n;
  } else {
    r.failures.push_back(Paths::historyFile().filename().string() + ": " + std::strerror(errno));
  }
  try {
    r.deskAnswers = DeskAnswers::forget(text);
  } catch (const std::exception& e) {
    r.failures.push_back(e.what());
  }
  try {
    r.passages = DocIndex::shared().forget(text, std::string(DeskAnswers::kFileName));
  } catch (const std::exception& e) {
    r.failures.push_back(e.what());
  }
  std::error_code ec;
  for (fs::directory_iterator it(Paths::logs(), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    try {
      if (scrubLog(it->path(), folded)) r.logs.push_back(it->path().filename().string());
    } catch (const std::exception& e) {
      r.failures.push_back(e.what());
    }
  }
  return r;
}

}  // namespace quorvel
