#include <quorvel/gaps.h>

#include <nlohmann/json.hpp>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include <quorvel/answerer.h>
#include <quorvel/desk_answers.h>
#include <quorvel/embedder.h>
#include <quorvel/engine.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/paths.h>
#include <quorvel/reply_template.h>

#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

// The join threshold. The search model's card (huggingface.co/Qwen/
// Qwen3-Embedding-0.6B, its usage example, queries with the instruction)
// scores a question against the passage that answers it 0.76 and 0.60, and
// against an unrelated passage 0.14 and 0.14. Two wordings of one question,
// both embedded as queries with the same instruction, are at least as close
// as a question and its answer; two different questions about one hotel
// share its topic and sit between. 0.75 joins only what is as close as the
// card's best matching pair: a gym and a pool stay apart even though both are
// amenities, the same question in four languages joins.
static_assert(Gaps::kJoin > 0.6f && Gaps::kJoin < 0.9f);

namespace {

// A history line with each of its strings cut to kKeptString characters,
// made while the line streams past: an earlier version recorded messages
// whole, and a line of megabytes is no less an answer of ours. A character
// here is a byte or an escape (each gives at least one byte), so what is
// kept of a question is always more than asAnswered() uses, and an old
// record and a new one of one message group alike.
class ShortenedLine {
 public:
  static constexpr std::size_t kKeptString = 20 << 10;
  // Past this even with its strings cut, a line is none of ours.
  static constexpr std::size_t kLongest = 1 << 20;

  void add(std::string_view data) {
    std::size_t i = 0, quote = std::string_view::npos;
    while (i < data.size() && out_.size() <= kLongest) {
      if (!inString_) {
        const std::size_t found = data.find('"', i);
        const std::size_t end = found == std::string_view::npos ? data.size() : found + 1;
        out_.append(data.substr(i, end - i));
        i = end;
        if (found != std::string_view::npos) {
          inString_ = true;
          dropping_ = false;
          kept_ = 0;
          escape_ = std::string::npos;
        }
        continue;
      }
      if (escaped_) {  // the character after a backslash: part of its escape
        if (data[i] == 'u') hexLeft_ = 4;
        keep(data.substr(i, 1), 0);
        escaped_ = false;
        ++i;
        continue;
      }
      if (hexLeft_ > 0) {  // the digits of \uXXXX
        const std::size_t n = std::min(hexLeft_, data.size() - i);
        keep(data.substr(i, n), 0);
        hexLeft_ -= n;
        i += n;
        continue;
      }
      // The next quote or backslash, by memchr: a long message is most of
      // the history's bytes.
      if (quote == std::string_view::npos || quote < i) quote = data.find('"', i);
      const std::size_t end = quote == std::string_view::npos ? data.size() : quote;
      const void* slash = std::memchr(data.data() + i, '\\', end - i);
      const std::size_t j =
          slash != nullptr ? static_cast<std::size_t>(static_cast<const char*>(slash) - data.data()) : end;
      keep(data.substr(i, j - i), j - i);
      i = j;
      if (i == data.size()) break;
      if (data[i] == '"') {
        out_.push_back('"');
        inString_ = false;
      } else {
        const std::size_t at = out_.size();
        keep(data.substr(i, 1), 1);
        if (!dropping_) escape_ = at;
        escaped_ = true;
      }
      ++i;
    }
  }
  // The line so far: whole JSON when the line was.
  const std::string& text() const { return out_; }
  bool tooLong() const { return out_.size() > kLongest; }
  void clear() {
    out_.clear();
    inString_ = escaped_ = dropping_ = false;
    hexLeft_ = 0;
  }

 private:
  // Keeps `piece` (`characters` of the string) while there is room; the
  // first piece that has none starts the dropping, which ends with the string.
  void keep(std::string_view piece, std::size_t characters) {
    if (dropping_) return;
    if (kept_ + characters <= kKeptString) {
      out_.append(piece);
      kept_ += characters;
      return;
    }
    dropping_ = true;
    if (characters == piece.size()) {  // plain bytes: those that fit, never half a UTF-8 character
      std::size_t fits = kKeptString - kept_;
      while (fits > 0 && (static_cast<unsigned char>(piece[fits]) & 0xC0) == 0x80) --fits;
      out_.append(piece.substr(0, fits));
    }
    // An escape is kept whole or not at all (its backslash opens it), but a
    // surrogate pair is two escapes: a high half at the end loses its low one.
    const auto high = [&](std::size_t at) {
      return at != std::string::npos && at + 6 == out_.size() && out_[at + 1] == 'u' &&
             (out_[at + 2] | 0x20) == 'd' && std::string_view("89abAB").find(out_[at + 3]) != std::string_view::npos;
    };
    if (high(escape_)) out_.resize(escape_);
  }

  std::string out_;
  bool inString_ = false, escaped_ = false, dropping_ = false;
  std::size_t hexLeft_ = 0;  // digits of a \uXXXX escape still to come
  std::size_t kept_ = 0;     // characters of the current string kept
  std::size_t escape_ = std::string::npos;  // where the current string's last escape begins in out_
};

bool endsWith(std::string_view text, std::string_view end) {
  return !end.empty() && text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The template used most often; "" for none.
std::string mostUsed(const std::map<std::string, int64_t>& templates) {
  std::string id;
  int64_t most = 0;
  for (const auto& [t, n] : templates)
    if (n > most) most = n, id = t;
  return id;
}

struct Merged {
  Gaps::Message message;
  std::map<std::string, int64_t> templates;
};

// Keeps the most recently asked messages once there are far more than are
// grouped: the rest only count as left out.
void dropOldest(std::unordered_map<std::string, Merged>& byKey, std::size_t keep, int64_t& leftOut) {
  if (byKey.size() <= keep) return;
  std::vector<std::pair<TimePoint, std::string>> order;
  order.reserve(byKey.size());
  for (const auto& [key, m] : byKey) order.emplace_back(m.message.last, key);
  std::sort(order.begin(), order.end());
  for (std::size_t i = 0; i + keep < order.size(); ++i) {
    auto it = byKey.find(order[i].second);
    leftOut += it->second.message.count;
    byKey.erase(it);
  }
}

// A reply task run without a message is recorded with the task's title as
// its question ("Complaint"): no guest asked that.
bool templateOnly(const nlohmann::json& j, const std::string& asked) {
  const auto t = j.find("template");
  if (t == j.end() || !t->is_string()) return false;
  for (const ReplyTemplate& r : ReplyTemplate::hotel())
    if (r.id == t->get_ref<const std::string&>()) return r.en == asked;
  return false;
}

void add(std::unordered_map<std::string, Merged>& byKey, const nlohmann::json& j, Gaps::Reading& out, TimePoint since,
         TimePoint until) {
  const auto question = j.find("question"), text = j.find("text"), notInDocs = j.find("notInDocs"),
             language = j.find("language"), date = j.find("date");
  if (question == j.end() || !question->is_string() || text == j.end() || !text->is_string() || notInDocs == j.end() ||
      !notInDocs->is_boolean() || language == j.end() || !language->is_string() || date == j.end() ||
      !date->is_string()) {
    ++out.damagedLines;
    return;
  }
  // A date that cannot be right (none, or in the future: it would count in
  // every period for years) is named among the damaged lines, not counted.
  const auto when = parseIsoDate(date->get<std::string>());
  if (!when || *when > until) {
    ++out.damagedLines;
    return;
  }
  if (*when < since) return;
  ++out.answers;
  const std::string code = language->get<std::string>();
  // Half-answered: the reply ends with the sentence that the rest is not in
  // the documents.
  const bool gap = notInDocs->get<bool>() || endsWith(text->get_ref<const std::string&>(), Lang::partial(code));
  // As the answering used it (what newer records hold anyway): an old
  // record's message of megabytes groups as its newer copies do.
  const std::string asked = Answerer::asAnswered(question->get_ref<const std::string&>());
  if (!gap || trimUtf8(asked, isSpaceOrNewline).empty() || templateOnly(j, asked)) return;
  Merged& m = byKey[foldedKey(asked)];
  Gaps::Message& msg = m.message;
  if (msg.count == 0) {
    msg.text = std::string(trimUtf8(asked, isSpaceOrNewline));
    msg.first = msg.last = *when;
  }
  ++msg.count;
  msg.first = std::min(msg.first, *when);
  msg.last = std::max(msg.last, *when);
  if (std::find(msg.languages.begin(), msg.languages.end(), code) == msg.languages.end()) {
    msg.languages.push_back(code);
    std::sort(msg.languages.begin(), msg.languages.end());
  }
  if (const auto t = j.find("template"); t != j.end() && t->is_string() && !t->get<std::string>().empty())
    ++m.templates[t->get<std::string>()];
}

float cosine(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return 0;
  double dot = 0, na = 0, nb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    dot += static_cast<double>(a[i]) * b[i];
    na += static_cast<double>(a[i]) * a[i];
    nb += static_cast<double>(b[i]) * b[i];
  }
  return na > 0 && nb > 0 ? static_cast<float>(dot / std::sqrt(na * nb)) : 0.0f;
}

// A group's figures from its members (indexes into `messages`).
Gaps::Group summarise(const std::vector<Gaps::Message>& messages, std::vector<std::size_t> members) {
  std::stable_sort(members.begin(), members.end(),
                   [&](std::size_t a, std::size_t b) { return messages[a].count > messages[b].count; });
  Gaps::Group g;
  g.first = messages[members.front()].first;
  g.last = messages[members.front()].last;
  std::set<std::string> languages;
  std::map<std::string, int64_t> templates;
  for (std::size_t i : members) {
    const Gaps::Message& m = messages[i];
    g.count += m.count;
    g.first = std::min(g.first, m.first);
    g.last = std::max(g.last, m.last);
    languages.insert(m.languages.begin(), m.languages.end());
    if (!m.templateId.empty()) templates[m.templateId] += m.count;
    g.examples.push_back(m.text);
  }
  g.languages.assign(languages.begin(), languages.end());
  g.templateId = mostUsed(templates);
  g.representative = messages[members.front()].text;
  return g;
}

void largestFirst(std::vector<Gaps::Group>& groups) {
  std::stable_sort(groups.begin(), groups.end(), [](const Gaps::Group& a, const Gaps::Group& b) {
    return a.count != b.count ? a.count > b.count : a.last > b.last;
  });
}

}  // namespace

Gaps::Reading Gaps::read(const fs::path& file, TimePoint since) {
  Reading out;
  std::ifstream in(file, std::ios::binary);
  if (!in) return out;
  std::unordered_map<std::string, Merged> byKey;
  // A day's grace: a clock set back a little leaves recent answers a little
  // ahead of it.
  const TimePoint until = std::chrono::system_clock::now() + std::chrono::hours(24);
  // By blocks, never a whole line of any length in memory.
  ShortenedLine line;
  bool seen = false;  // a byte of the current line, even a line break's absence
  auto finishLine = [&] {
    if (line.tooLong()) {
      ++out.damagedLines;
    } else if (!trimUtf8(line.text(), isSpaceOrNewline).empty()) {
      const auto j = nlohmann::json::parse(line.text(), nullptr, /*allow_exceptions=*/false);
      if (j.is_object())
        add(byKey, j, out, since, until);
      else
        ++out.damagedLines;
    }
    line.clear();
    seen = false;
    if (byKey.size() > 4 * kMaxMessages) dropOldest(byKey, 2 * kMaxMessages, out.leftOut);
  };
  std::vector<char> block(1 << 16);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    const std::string_view data(block.data(), static_cast<std::size_t>(in.gcount()));
    std::size_t start = 0;
    for (std::size_t nl; (nl = data.find('\n', start)) != std::string_view::npos; start = nl + 1) {
      line.add(data.substr(start, nl - start));
      finishLine();
    }
    line.add(data.substr(start));
    seen = seen || start < data.size();
  }
  if (seen) finishLine();  // a last line without its line break
  dropOldest(byKey, kMaxMessages, out.leftOut);
  for (auto& [key, m] : byKey) {
    m.message.templateId = mostUsed(m.templates);
    out.messages.push_back(std::move(m.message));
  }
  std::sort(out.messages.begin(), out.messages.end(),
            [](const Message& a, const Message& b) { return a.last != b.last ? a.last > b.last : a.text < b.text; });
  return out;
}

std::vector<Gaps::Group> Gaps::byMeaning(const std::vector<Message>& messages,
                                         const std::vector<std::vector<float>>& vectors) {
  // The most asked messages found the groups; each other joins the group
  // whose centre is closest, if close enough.
  std::vector<std::size_t> order(messages.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return messages[a].count > messages[b].count; });
  std::vector<std::vector<std::size_t>> members;
  std::vector<std::vector<float>> sums;  // the members' vectors, weighted by how often asked
  for (std::size_t i : order) {
    const std::vector<float>& v = vectors.at(i);
    int best = -1;
    float bestScore = kJoin;
    for (std::size_t g = 0; g < sums.size(); ++g) {
      const float score = cosine(v, sums[g]);
      if (score >= bestScore) best = static_cast<int>(g), bestScore = score;
    }
    if (best < 0) {
      members.push_back({});
      sums.emplace_back(v.size(), 0.0f);
      best = static_cast<int>(sums.size() - 1);
    }
    members[best].push_back(i);
    auto& sum = sums[best];
    if (sum.size() == v.size())
      for (std::size_t d = 0; d < v.size(); ++d) sum[d] += v[d] * static_cast<float>(messages[i].count);
  }
  std::vector<Group> groups;
  for (std::size_t g = 0; g < members.size(); ++g) {
    Group group = summarise(messages, members[g]);
    float closest = -2;
    for (std::size_t i : members[g])
      if (const float c = cosine(vectors[i], sums[g]); c > closest)
        closest = c, group.representative = messages[i].text;
    groups.push_back(std::move(group));
  }
  largestFirst(groups);
  return groups;
}

std::vector<Gaps::Group> Gaps::byText(const std::vector<Message>& messages) {
  std::vector<Group> groups;
  for (std::size_t i = 0; i < messages.size(); ++i) groups.push_back(summarise(messages, {i}));
  largestFirst(groups);
  return groups;
}

Gaps::Result Gaps::find(int days, bool start) {
  Result r;
  const TimePoint now = std::chrono::system_clock::now();
  TimePoint since = now - std::chrono::hours(24) * std::max(days, 0);
  // Within what is kept, even before the next removal has run.
  if (const auto kept = Retention::cutoff(now); kept && *kept > since) since = *kept;
  Reading reading = read(Paths::historyFile(), since);
  r.damagedLines = reading.damagedLines;
  r.leftOut = reading.leftOut;
  r.answers = reading.answers;
  if (reading.messages.empty()) return r;
  std::vector<std::vector<float>> vectors;
  try {
    if (start && Engine::shared().state() != Engine::State::ready()) Engine::shared().start();
    const Engine::State state = Engine::shared().state();
    if (state != Engine::State::ready()) throw std::runtime_error(state.message);
    std::vector<std::string> texts;
    for (const Message& m : reading.messages) texts.push_back(m.text);
    vectors = Embedder::embed(texts, true);
    r.groups = byMeaning(reading.messages, vectors);
    r.byMeaning = true;
  } catch (const std::exception& e) {
    r.whyByText = e.what();
    r.groups = byText(reading.messages);
  }
  // A group asked before a document changed may be answered now.
  std::error_code ec;
  std::optional<fs::file_time_type> newest;
  for (const auto& f : fs::directory_iterator(Paths::documents(), ec)) {
    const auto t = f.last_write_time(ec);
    if (!ec && (!newest || t > *newest)) newest = t;
  }
  if (newest) {
    const TimePoint changed =
        std::chrono::time_point_cast<TimePoint::duration>(std::chrono::file_clock::to_sys(*newest));
    for (Group& g : r.groups) g.documentsChangedSince = changed > g.last;
  }
  DeskAnswers::markAnswered(r.groups, DeskAnswers::read(), reading.messages, vectors);
  return r;
}

std::string Gaps::toJson(const Result& result, int days) {
  nlohmann::json groups = nlohmann::json::array();
  for (const Group& g : result.groups)
    groups.push_back({{"representative", g.representative},
                      {"count", g.count},
                      {"languages", g.languages},
                      {"first", isoDate(g.first)},
                      {"last", isoDate(g.last)},
                      {"template", g.templateId.empty() ? nlohmann::json() : nlohmann::json(g.templateId)},
                      {"examples", g.examples},
                      {"documentsChangedSince", g.documentsChangedSince},
                      {"answered", g.answered ? nlohmann::json(isoDate(*g.answered)) : nlohmann::json()}});
  return nlohmann::json{{"days", days},
                        {"groupedBy", result.byMeaning ? "meaning" : "text"},
                        {"whyByText", result.whyByText},
                        {"answers", result.answers},
                        {"damagedLines", result.damagedLines},
                        {"leftOut", result.leftOut},
                        {"groups", groups}}
      .dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quorvel
