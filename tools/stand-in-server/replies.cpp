#include "replies.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <sstream>

namespace standin {

namespace {

const std::set<std::string>& stopWords() {
  static const std::set<std::string> s{"the",  "and",   "for",  "are",   "you",    "your",  "what",  "when",   "where",
                                       "how",  "can",   "does", "with",  "our",    "this",  "that",  "have",   "there",
                                       "from", "which", "will", "would", "please", "hotel", "guest", "guests", "is",
                                       "any",  "get",   "into", "about", "write",  "reply"};
  return s;
}

std::set<std::string> contentWords(const std::string& text) {
  std::set<std::string> out;
  for (auto& w : words(text)) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(w);
    if (u.countChar32() >= 3 && stopWords().count(w) == 0) out.insert(w);
  }
  return out;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

struct Passage {
  int n;
  std::string section;  // from the label "(file — section)"
  std::string text;
};

// The numbered passages of a SOURCES block: "[n] (label)\ntext\n\n".
std::vector<Passage> passages(const std::string& sources) {
  std::vector<Passage> out;
  std::size_t pos = 0;
  while (pos < sources.size()) {
    std::size_t end = sources.find("\n\n", pos);
    if (end == std::string::npos) end = sources.size();
    const std::string block = sources.substr(pos, end - pos);
    pos = end + 2;
    int n = 0;
    if (block.size() > 2 && block[0] == '[' && std::sscanf(block.c_str(), "[%d]", &n) == 1) {
      const auto nl = block.find('\n');
      const std::string label = block.substr(0, nl);
      const auto dash = label.find(" \xE2\x80\x94 ");
      const std::string section = dash == std::string::npos ? "" : label.substr(dash + 5, label.size() - dash - 6);
      out.push_back({n, section, nl == std::string::npos ? "" : block.substr(nl + 1)});
    } else if (!out.empty()) {
      out.back().text += "\n\n" + block;
    }
  }
  return out;
}

// Sentences of a passage; a single line break (a wrapped line of a PDF) is a
// space, a blank line or a heading line ends a sentence.
std::vector<std::string> sentences(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    // A wrapped line goes on; a short line without a full stop is a heading.
    if (c == '\n' && i + 1 < text.size() && text[i + 1] != '\n') {
      const std::string line = trim(cur);
      const bool heading =
          line.empty() || line[0] == '#' || (line.size() <= 40 && line.find_last_of(".!?:") != line.size() - 1);
      if (!heading) c = ' ';
    }
    cur.push_back(c);
    const bool stop =
        (c == '.' || c == '!' || c == '?') && (i + 1 == text.size() || text[i + 1] == ' ' || text[i + 1] == '\n');
    const bool ideographic = text.compare(i, 3, "\xE3\x80\x82") == 0;
    if (ideographic) {
      cur += text.substr(i + 1, 2);
      i += 2;
    }
    if (stop || ideographic || c == '\n') {
      if (!trim(cur).empty()) out.push_back(trim(cur));
      cur.clear();
    }
  }
  if (!trim(cur).empty()) out.push_back(trim(cur));
  return out;
}

std::string between(const std::string& s, const std::string& from, const std::string& to) {
  const auto a = s.find(from);
  if (a == std::string::npos) return {};
  const auto b = s.find(to, a + from.size());
  return s.substr(a + from.size(), b == std::string::npos ? std::string::npos : b - a - from.size());
}

std::string withoutCitations(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '[') {
      const auto close = s.find(']', i);
      if (close != std::string::npos && s.find_first_not_of("0123456789, ", i + 1) == close) {
        i = close;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// Whether the sources say what the statement says: most of its words are there.
bool supported(const std::string& statement, const std::set<std::string>& sourceWords) {
  const auto w = contentWords(withoutCitations(statement));
  if (w.empty()) return false;
  std::size_t found = 0;
  for (const auto& x : w) found += sourceWords.count(x);
  return found * 10 >= w.size() * 6;
}

bool isMeta(const std::string& statement) {
  for (const auto& w : words(statement))
    if (w == "manager" || w == "thank" || w == "thanks" || w == "dear" || w == "hello") return true;
  return false;
}

std::string answer(const std::string& user) {
  std::string sources = between(user, "SOURCES:\n", "GUEST MESSAGE:\n");
  if (const auto task = sources.find("TASK FOR THE REPLY: "); task != std::string::npos) sources.resize(task);
  std::string question = between(user, "GUEST MESSAGE:\n", "\n\nWrite the reply in ");
  if (question == "(none)") question.clear();
  question += " " + between(user, "TASK FOR THE REPLY: ", "\n");
  const auto wanted = contentWords(question);
  int bestN = 0;
  std::size_t bestScore = 0;
  std::string best;
  for (const auto& p : passages(sources)) {
    // A sentence under a heading that names what was asked counts more.
    std::size_t sectionScore = 0;
    for (const auto& w : contentWords(p.section)) sectionScore += wanted.count(w);
    for (const auto& s : sentences(p.text)) {
      // Headings and fragments are no reply.
      if (s.empty() || s[0] == '#' || words(s).size() < 4 || s.find_last_of(".!?") == std::string::npos) continue;
      std::size_t score = 0;
      for (const auto& w : contentWords(s)) score += wanted.count(w);
      if (score > 0) score += sectionScore;
      if (score > bestScore) {
        bestScore = score;
        bestN = p.n;
        best = s;
      }
    }
  }
  if (bestScore == 0) return "NOT_IN_DOCS";
  // Cite inside the sentence: "Breakfast is at 7 [1]."
  std::string end;
  if (!best.empty() && (best.back() == '.' || best.back() == '!' || best.back() == '?')) {
    end = best.substr(best.size() - 1);
    best.pop_back();
  } else if (best.size() >= 3 && best.compare(best.size() - 3, 3, "\xE3\x80\x82") == 0) {
    end = best.substr(best.size() - 3);
    best.resize(best.size() - 3);
  } else {
    end = ".";
  }
  return trim(best) + " [" + std::to_string(bestN) + "]" + end;
}

std::string verify(const std::string& user) {
  const std::string sources = between(user, "SOURCES:\n", "\nSTATEMENTS:\n");
  const auto sourceWords = contentWords(sources);
  std::istringstream lines(user.substr(user.find("\nSTATEMENTS:\n") + 13));
  std::string line, out;
  while (std::getline(lines, line)) {
    int n = 0;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "%d. %n", &n, &consumed) < 1 || consumed == 0) continue;
    const std::string statement = line.substr(static_cast<std::size_t>(consumed));
    const char* verdict = isMeta(statement) ? "META" : supported(statement, sourceWords) ? "YES" : "NO";
    out += std::to_string(n) + ": " + verdict + "\n";
  }
  return trim(out);
}

std::string recheck(const std::string& user) {
  const std::string sources = between(user, "SOURCES:\n", "\nSTATEMENT: ");
  const std::string statement = user.substr(user.find("\nSTATEMENT: ") + 12);
  return supported(statement, contentWords(sources)) ? "YES" : "NO";
}

}  // namespace

std::vector<std::string> words(const std::string& text) {
  icu::UnicodeString lower = icu::UnicodeString::fromUTF8(text);
  lower.toLower(icu::Locale::getRoot());
  std::string utf8;
  lower.toUTF8String(utf8);
  std::vector<std::string> out;
  std::string cur;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    UChar32 c;
    U8_NEXT(utf8.data(), i, utf8.size(), c);
    const bool wordChar = c >= 0 && (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
    if (wordChar) {
      cur.append(utf8, start, i - start);
    } else if (!cur.empty()) {
      out.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

std::vector<float> embed(const std::string& input, int dim) {
  // A query carries an instruction in front; its words would make every
  // query look alike. Only content words count.
  const auto q = input.find("\nQuery: ");
  const std::string text = q == std::string::npos ? input : input.substr(q + 8);
  std::vector<float> v(static_cast<std::size_t>(dim), 0.0f);
  for (const auto& w : contentWords(text)) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : w) h = (h ^ c) * 1099511628211ull;
    v[h % static_cast<uint64_t>(dim)] += ((h >> 40) & 1) ? 1.0f : -1.0f;
  }
  double norm = 0;
  for (float x : v) norm += double(x) * x;
  if (norm == 0) {
    v[0] = 1;
    return v;
  }
  const float inv = static_cast<float>(1.0 / std::sqrt(norm));
  for (float& x : v) x *= inv;
  return v;
}

std::string chatReply(const std::string& system, const std::string& user) {
  (void)system;
  if (user.find("\nSTATEMENTS:\n") != std::string::npos) return verify(user);
  if (user.find("\nSTATEMENT: ") != std::string::npos) return recheck(user);
  if (user.rfind("SOURCES:\n", 0) == 0 && user.find("GUEST MESSAGE:\n") != std::string::npos) return answer(user);
  return "OK.";
}

}  // namespace standin
