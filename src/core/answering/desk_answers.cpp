#include <quorvel/desk_answers.h>

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <stdexcept>

#include <quorvel/embedder.h>
#include <quorvel/paths.h>

#include "platform/file_util.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kAdded = "Added: ";

// The level of an ATX heading line ("## Gym" is 2), 0 for any other line.
int headingLevel(std::string_view line) {
  const std::size_t hashes = line.find_first_not_of('#');
  const std::size_t n = hashes == std::string_view::npos ? line.size() : hashes;
  if (n == 0 || n > 6) return 0;
  return n == line.size() || line[n] == ' ' || line[n] == '\t' ? static_cast<int>(n) : 0;
}

std::string_view withoutHashes(std::string_view s) {
  const std::size_t b = s.find_first_not_of("# \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of("# \t") - b + 1);
}

// Lines of `text` without their line breaks (LF, CR LF or a lone CR).
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    out.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return out;
}

std::string minuteOf(TimePoint t) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
  localtime_r(&seconds, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
  return buf;
}

std::optional<TimePoint> dateLine(std::string_view line) {
  line = trimUtf8(line, isSpaceOrTab);
  if (!line.starts_with(kAdded)) return std::nullopt;
  const std::string rest(line.substr(kAdded.size()));
  std::tm tm{};
  int consumed = 0;
  if (std::sscanf(rest.c_str(), "%4d-%2d-%2d %2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                  &consumed) != 5 ||
      static_cast<std::size_t>(consumed) != rest.size())
    return std::nullopt;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == -1) return std::nullopt;
  return std::chrono::system_clock::from_time_t(t);
}

// One line, without the "#" marks a heading would take for its own.
std::string questionLine(std::string_view question) {
  std::string line;
  for (std::string_view l : linesOf(question)) {
    const std::string_view t = trimUtf8(l, isSpaceOrNewline);
    if (!t.empty()) line.append(line.empty() ? "" : " ").append(t);
  }
  std::string collapsed;
  for (char c : line) {
    if (c == '\t') c = ' ';
    if (c == ' ' && !collapsed.empty() && collapsed.back() == ' ') continue;
    collapsed.push_back(c);
  }
  return std::string(withoutHashes(collapsed));
}

// Whether a line, as it stands, would open something that outlives it: a
// heading (Markdown's or the cutter's "#"), a code fence or HTML block that
// swallows what follows, or a setext underline that makes the line above a
// heading.
bool opensBlock(std::string_view t) {
  if (t.empty()) return false;
  if (t.front() == '#' || t.front() == '<' || t.starts_with("```") || t.starts_with("~~~")) return true;
  return t.find_first_not_of('=') == std::string_view::npos || t.find_first_not_of("- \t") == std::string_view::npos;
}

// The answer's lines, blank ones dropped (a blank line would end the
// section's paragraph, and the cutter might read the next as a heading).
std::vector<std::string> answerLines(std::string_view answer) {
  std::vector<std::string> out;
  for (std::string_view l : linesOf(answer)) {
    std::string_view t = trimUtf8(l, isSpaceOrNewline);
    if (t.empty()) continue;
    std::string line = opensBlock(t) ? "\\" : "";
    line.append(t);
    out.push_back(std::move(line));
  }
  return out;
}

struct Span {
  std::size_t heading = 0;  // byte offset of the "## " line
  std::size_t body = 0;     // after its line break
  std::size_t end = 0;      // the next level-1 or level-2 heading, or the end
  std::string question;
};

// The level-2 sections of `document` with their byte ranges.
std::vector<Span> spansOf(std::string_view document) {
  std::vector<Span> out;
  std::size_t pos = 0;
  while (pos < document.size()) {
    std::size_t end = std::min(document.find_first_of("\r\n", pos), document.size());
    const std::string_view line = document.substr(pos, end - pos);
    const std::size_t next = end + (document.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    const int level = headingLevel(line);
    if (level == 1 || level == 2) {
      if (!out.empty() && out.back().end == 0) out.back().end = pos;
      if (level == 2) out.push_back({pos, std::min(next, document.size()), 0, std::string(withoutHashes(line))});
    }
    pos = next;
  }
  if (!out.empty() && out.back().end == 0) out.back().end = document.size();
  return out;
}

}  // namespace

fs::path DeskAnswers::file() { return Paths::documents() / std::string(kFileName); }

std::vector<DeskAnswers::Section> DeskAnswers::parse(std::string_view document) {
  std::vector<Section> out;
  for (const Span& s : spansOf(document)) {
    Section section;
    section.question = s.question;
    std::vector<std::string_view> lines = linesOf(document.substr(s.body, s.end - s.body));
    while (!lines.empty() && trimUtf8(lines.back(), isSpaceOrNewline).empty()) lines.pop_back();
    if (!lines.empty()) {
      if ((section.added = dateLine(lines.back()))) lines.pop_back();
    }
    for (std::string_view l : lines) section.answer.append(section.answer.empty() ? "" : "\n").append(l);
    section.answer = std::string(trimUtf8(section.answer, isSpaceOrNewline));
    out.push_back(std::move(section));
  }
  return out;
}

std::vector<DeskAnswers::Section> DeskAnswers::read(const fs::path& file) {
  const auto text = readFile(file);
  if (!text) return {};
  std::vector<Section> sections = parse(*text);
  std::error_code ec;
  const auto changed = fs::last_write_time(file, ec);
  if (!ec) {
    const TimePoint when = std::chrono::time_point_cast<TimePoint::duration>(std::chrono::file_clock::to_sys(changed));
    for (Section& s : sections)
      if (!s.added) s.added = when;
  }
  return sections;
}

std::string DeskAnswers::withAnswer(std::string_view document, std::string_view question, std::string_view answer,
                                    TimePoint added) {
  const std::string heading = questionLine(question);
  if (heading.empty()) throw std::invalid_argument("the question is empty");
  const std::vector<std::string> lines = answerLines(answer);
  if (lines.empty()) throw std::invalid_argument("the answer is empty");
  std::string section = "## " + heading + "\n";
  for (const std::string& l : lines) section += l + "\n";
  section += std::string(kAdded) + minuteOf(added) + "\n";

  const std::string key = foldedKey(heading);
  for (const Span& s : spansOf(document)) {
    if (foldedKey(s.question) != key) continue;
    // The section's own range; a blank line still parts it from the next.
    std::string out(document.substr(0, s.heading));
    out += section;
    if (s.end < document.size()) out += "\n";
    out.append(document.substr(s.end));
    return out;
  }
  std::string out(document);
  if (!out.empty() && out.back() != '\n') out += "\n";
  if (!out.empty() && !out.ends_with("\n\n")) out += "\n";
  return out + section;
}

namespace {

// Runs `change` on the file's text under the desk file's lock and writes
// what it returns (when it differs) atomically: two saves, from this process
// or another, each read what the other wrote.
void rewriteLocked(const fs::path& file, bool mustExist,
                   const std::function<std::string(const std::string& current)>& change) {
  Paths::ensure();
  const fs::path folder = file.parent_path();
  // Beside the file, with a name no reader takes for a document.
  const fs::path lockFile = folder / ("." + file.filename().string() + "-lock");
  UniqueFd lock(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock) throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
  while (::flock(lock.get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  removeStaleTemporaries(folder, "." + file.filename().string() + ".");
  // Read again now: whatever was written or edited by hand since is kept.
  std::error_code ec;
  const bool exists = fs::exists(file, ec);
  if (!exists && mustExist) return;
  const std::optional<std::string> current = exists ? readFile(file) : std::string();
  if (!current) throw std::runtime_error("cannot read " + file.string() + ": " + std::strerror(errno));
  const std::string next = change(*current);
  if (exists && next == *current) return;
  if (!writeFileAtomically(file, next))
    throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
}

}  // namespace

void DeskAnswers::save(std::string_view question, std::string_view answer, TimePoint added, const fs::path& file) {
  rewriteLocked(file, /*mustExist=*/false,
                [&](const std::string& current) { return withAnswer(current, question, answer, added); });
}

std::string DeskAnswers::without(std::string_view document, std::string_view text, int64_t& removed) {
  removed = 0;
  const std::string folded = searchNeedle(text);
  if (folded.empty()) return std::string(document);
  std::string out;
  std::size_t kept = 0;  // the first byte not yet copied
  for (const Span& s : spansOf(document)) {
    const std::string_view section = document.substr(s.heading, s.end - s.heading);
    if (!holdsNeedle(section, folded)) continue;
    out.append(document.substr(kept, s.heading - kept));
    kept = s.end;
    ++removed;
  }
  out.append(document.substr(kept));
  return out;
}

int64_t DeskAnswers::forget(std::string_view text, const fs::path& file) {
  int64_t removed = 0;
  rewriteLocked(file, /*mustExist=*/true, [&](const std::string& current) { return without(current, text, removed); });
  return removed;
}

void DeskAnswers::markAnswered(std::vector<Gaps::Group>& groups, const std::vector<Section>& sections,
                               const SameMeaning& same) {
  std::map<std::string, TimePoint> added;  // the latest answer of each question
  for (const Section& s : sections) {
    if (!s.added) continue;
    auto [it, fresh] = added.emplace(foldedKey(s.question), *s.added);
    if (!fresh) it->second = std::max(it->second, *s.added);
  }
  for (Gaps::Group& g : groups) {
    g.answered.reset();
    std::optional<TimePoint> when;
    auto answeredAt = [&when](TimePoint t) {
      if (!when || t > *when) when = t;
    };
    for (const std::string& text : g.examples) {
      if (auto it = added.find(foldedKey(text)); it != added.end()) answeredAt(it->second);
      if (!same) continue;
      for (std::size_t i = 0; i < sections.size(); ++i)
        if (sections[i].added && same(text, i)) answeredAt(*sections[i].added);
    }
    // The date line keeps minutes: an ask within the minute the answer was
    // added came before it.
    if (when && g.last < *when + std::chrono::minutes(1)) g.answered = when;
  }
  std::stable_partition(groups.begin(), groups.end(), [](const Gaps::Group& g) { return !g.answered; });
}

void DeskAnswers::markAnswered(std::vector<Gaps::Group>& groups, const std::vector<Section>& sections,
                               const std::vector<Gaps::Message>& messages,
                               const std::vector<std::vector<float>>& vectors) {
  std::vector<std::vector<float>> questions;
  if (!sections.empty() && !vectors.empty() && vectors.size() == messages.size()) {
    std::vector<std::string> texts;
    for (const Section& s : sections) texts.push_back(s.question);
    try {
      questions = Embedder::embed(texts, true);
    } catch (const std::exception&) {
      questions.clear();  // by text alone
    }
  }
  if (questions.size() != sections.size()) return markAnswered(groups, sections);
  std::map<std::string, const std::vector<float>*> byText;
  for (std::size_t i = 0; i < messages.size(); ++i) byText[messages[i].text] = &vectors[i];
  markAnswered(groups, sections, [&](const std::string& message, std::size_t section) {
    const auto it = byText.find(message);
    if (it == byText.end() || it->second->size() != questions[section].size()) return false;
    // Both are of unit length: the dot product is the cosine.
    double dot = 0;
    for (std::size_t d = 0; d < questions[section].size(); ++d)
      dot += static_cast<double>((*it->second)[d]) * questions[section][d];
    return dot >= Gaps::kJoin;
  });
}

}  // namespace quorvel
