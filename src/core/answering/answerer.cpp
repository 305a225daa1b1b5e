#include <quorvel/answerer.h>

#include <unicode/brkiter.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <quorvel/debug.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>

#include "platform/text.h"

namespace quorvel {

namespace {

using icu::RegexPattern;
using icu::UnicodeString;

UnicodeString u(std::string_view s) {
  return UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}
std::string utf8(const UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

// The patterns are constants: compiled once, they cannot fail at run time.
const RegexPattern& pattern(const char* source, uint32_t flags = 0) {
  static std::mutex mu;
  static std::map<std::string, std::unique_ptr<RegexPattern>> cache;
  std::lock_guard<std::mutex> lock(mu);
  auto& slot = cache[std::string(source) + char('0' + flags % 10)];
  if (!slot) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError pe;
    slot.reset(RegexPattern::compile(u(source), flags, pe, status));
    if (U_FAILURE(status)) std::abort();  // a programming error in a constant pattern
  }
  return *slot;
}

constexpr const char* kMoveCitations = R"(([.!?。])\s*((?:\[\d+\]\s*)+))";
constexpr const char* kSpaceBeforeEnd = R"(\s+([.!?。]))";
constexpr const char* kCitationBrackets = R"(\[[\d,\s]*\])";
constexpr const char* kVerdict = R"((\d+)\s*[:.)\-]\s*\**\s*(YES|NO|META))";
constexpr const char* kApology = "sorry|apolog|извин|сожале|maaf";
constexpr const char* kCites = R"(\[\d+\])";
constexpr const char* kEmptyBrackets = R"(\s*\[\s*\])";
constexpr const char* kCitedNumber = R"(\[(\d+)\])";
constexpr const char* kCitationGroup = R"(\[(\d+)(?:\s*[,،、]\s*(\d+))*\])";

UnicodeString replaceAll(const UnicodeString& text, const char* regex, const char* replacement, uint32_t flags = 0) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(pattern(regex, flags).matcher(text, status));
  return m->replaceAll(u(replacement), status);
}

bool matches(const UnicodeString& text, const char* regex, uint32_t flags = 0) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(pattern(regex, flags).matcher(text, status));
  return m->find();
}

// A decimal integer from ASCII digits; nothing for other digits or overflow.
std::optional<int64_t> readInteger(const UnicodeString& digits) {
  if (digits.isEmpty() || digits.length() > 18) return std::nullopt;
  int64_t v = 0;
  for (int32_t i = 0; i < digits.length(); ++i) {
    const char16_t c = digits[i];
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

bool hasLetter(const UnicodeString& s) {
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1))
    if ((U_GET_GC_MASK(s.char32At(i)) & (U_GC_L_MASK | U_GC_M_MASK)) != 0) return true;
  return false;
}

bool hasDigit(const UnicodeString& s) {
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1))
    if (u_isdigit(s.char32At(i))) return true;
  return false;
}

std::string join(const std::vector<std::string>& parts, const std::string& sep) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

constexpr const char* kVerifySystem =
    "You check a hotel reply against its SOURCES. For each numbered STATEMENT answer on its own line:\n"
    "<n>: YES  \u2014 the SOURCES clearly say this (translation into another language is fine);\n"
    "<n>: NO   \u2014 the SOURCES do not say this. A claim that something does not exist, is not offered or is not "
    "allowed is YES only if a source says so;\n"
    "<n>: META \u2014 a greeting, a thank-you, or a promise to check with the manager.\n"
    "Output only the lines.";

constexpr const char* kRecheckSystem =
    "The STATEMENT may be written in a different language than the SOURCES. Translate it to English in your head and "
    "compare the meaning.\n"
    "Answer YES if the SOURCES state the same facts (numbers, times, prices must match). Answer NO if any fact is "
    "missing from the SOURCES.\n"
    "Answer with one word: YES or NO.";

// The verifier's user message; everything but the statements is known as
// soon as the SOURCES are, so it can be read ahead up to them.
std::string verifyUser(const std::string& sources, const std::string& statements) {
  return "SOURCES:\n" + sources + "\nSTATEMENTS:\n" + statements;
}

// The re-check's user message: the passages the sentence cites, then the
// sentence.
std::string recheckUser(const std::string& picked, const std::string& sentence) {
  return "SOURCES:\n" + picked + "\nSTATEMENT: " + sentence;
}

// Requests must stay inside the servers' context of 8,192 tokens.
constexpr std::size_t kPassageCharacters = 2400;
constexpr std::size_t kSourcesTokenBudget = 6000;

// One token per CJK, kana or Hangul character, one per three others.
std::size_t estimatedTokens(std::string_view text) {
  std::size_t wide = 0, other = 0, i = 0;
  while (i < text.size()) {
    UChar32 c;
    U8_NEXT(text.data(), i, text.size(), c);
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode script = c < 0x2E80 ? USCRIPT_COMMON : uscript_getScript(c, &status);
    if (script == USCRIPT_HAN || script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA || script == USCRIPT_HANGUL)
      ++wide;
    else
      ++other;
  }
  return wide + (other + 2) / 3;
}

}  // namespace

Answerer& Answerer::shared() {
  static Answerer answerer(DocIndex::shared());
  return answerer;
}

std::vector<std::string> Answerer::sentences(const std::string& text) {
  UnicodeString t = replaceAll(u(text), kMoveCitations, " $2$1 ");
  t = replaceAll(t, kSpaceBeforeEnd, "$1");

  std::vector<std::string> out;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status));
  if (U_SUCCESS(status)) {
    it->setText(t);
    for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
      const UnicodeString sentence = u(trimUtf8(utf8(UnicodeString(t, start, end - start)), isSpaceOrNewline));
      if (sentence.isEmpty()) continue;
      // A stray "[3]." or "2." is not a sentence.
      if (!hasLetter(replaceAll(sentence, kCitationBrackets, ""))) continue;
      out.push_back(utf8(sentence));
    }
  }
  if (out.empty()) out.push_back(utf8(t));
  return out;
}

namespace {

// The SOURCES blocks ("[n] (file — section)\n…") that cite one of `cited`,
// in their order, each followed by a blank line; all of them when none does.
std::string citedBlocks(const std::set<int64_t>& cited, const std::string& sources) {
  std::vector<std::string> blocks;
  for (std::size_t pos = 0; pos <= sources.size();) {
    std::size_t end = sources.find("\n\n", pos);
    if (end == std::string::npos) end = sources.size();
    if (end > pos) blocks.push_back(sources.substr(pos, end - pos));
    pos = end + 2;
  }
  std::string picked;
  for (const auto& b : blocks)
    for (int64_t n : cited)
      if (b.rfind("[" + std::to_string(n) + "]", 0) == 0) {
        picked += b + "\n\n";
        break;
      }
  return picked.empty() ? sources : picked;
}

// `text` up to its last letter or digit. What follows there in a longer
// prompt (the full stop, the line breaks and the next line) may be one
// token with it; a letter or digit never is, so a reading of the shorter
// text is token for token the longer one's beginning.
std::string toLastWord(const std::string& text) {
  const UnicodeString t = u(text);
  int32_t end = t.length();
  while (end > 0) {
    const UChar32 c = t.char32At(t.moveIndex32(end, -1));
    if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_N_MASK)) != 0) break;
    end = t.moveIndex32(end, -1);
  }
  return utf8(UnicodeString(t, 0, end));
}

}  // namespace

bool Answerer::recheck(const std::string& sentence, const std::string& sources) {
  std::set<int64_t> cited;
  {
    UErrorCode status = U_ZERO_ERROR;
    const UnicodeString s = u(sentence);
    std::unique_ptr<icu::RegexMatcher> m(pattern(kCitedNumber).matcher(s, status));
    while (m->find()) {
      if (auto n = readInteger(m->group(1, status))) cited.insert(*n);
    }
  }
  const std::string picked = citedBlocks(cited, sources);
  std::string reply;
  try {
    reply = Chat::complete(kRecheckSystem, recheckUser(picked, sentence), {}, kRecheckTokens).first;
  } catch (const std::exception&) {
    return false;  // unchecked is unsupported
  }
  debug::line("RECHECK: ", reply);
  return utf8(u(reply).toUpper(icu::Locale::getRoot())).find("YES") != std::string::npos;
}

int Answerer::verifyTokens(std::size_t statements) {
  // "12: META" and its line break are 5 tokens of the reply model's
  // vocabulary (digits one by one); one more for a bold "**", and a few for
  // a lead-in. A verifier that rambles on is cut there, and the verdicts it
  // did not reach count as missing ones do.
  return static_cast<int>(std::min<std::size_t>(statements, 60)) * 6 + 10;
}

Answerer::Verified Answerer::verify(const std::string& text, const std::string& sources) {
  const std::vector<std::string> list = sentences(text);
  std::vector<std::string> statements;
  for (std::size_t i = 0; i < list.size(); ++i) statements.push_back(std::to_string(i + 1) + ". " + list[i]);
  std::string reply;
  try {
    reply =
        Chat::complete(kVerifySystem, verifyUser(sources, join(statements, "\n")), {}, verifyTokens(statements.size()))
            .first;
  } catch (const std::exception&) {
    return {text, false, false};  // the reply stays unchecked
  }
  debug::line("VERIFY: ", reply);

  std::map<int64_t, std::string> verdicts;
  {
    UErrorCode status = U_ZERO_ERROR;
    const UnicodeString r = u(reply);
    std::unique_ptr<icu::RegexMatcher> m(pattern(kVerdict, UREGEX_CASE_INSENSITIVE).matcher(r, status));
    while (m->find()) {
      const auto n = readInteger(m->group(1, status));
      if (!n) continue;
      UnicodeString v = m->group(2, status);
      verdicts[*n] = utf8(v.toUpper(icu::Locale::getRoot()));
    }
  }

  Verified result;
  std::vector<std::string> kept;
  int yes = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const UnicodeString sentence = u(list[i]);
    auto found = verdicts.find(static_cast<int64_t>(i + 1));
    std::string verdict = found == verdicts.end() ? "YES" : found->second;
    if (verdict == "NO" && !hasDigit(sentence) && matches(sentence, kApology, UREGEX_CASE_INSENSITIVE))
      verdict = "META";
    if (verdict == "NO") {
      if (matches(sentence, kCites) && recheck(list[i], sources)) {
        kept.push_back(list[i]);
        ++yes;
      } else {
        result.dropped = true;
      }
      continue;
    }
    kept.push_back(utf8(replaceAll(sentence, kEmptyBrackets, "")));
    if (verdict == "META")
      result.meta = true;
    else
      ++yes;
  }
  if (yes > 0) result.text = join(kept, " ");
  return result;
}

std::string Answerer::sourcesText(const std::vector<DocIndex::Hit>& hits, std::size_t* included) {
  std::string out;
  std::size_t n = 0;
  for (const auto& hit : hits) {
    std::string label = hit.chunk.file;
    if (!hit.chunk.section.empty()) label += " \u2014 " + hit.chunk.section;
    const std::string block = "[" + std::to_string(n + 1) + "] (" + label + ")\n" +
                              graphemePrefix(hit.chunk.text, kPassageCharacters) + "\n\n";
    // Passages are added in rank order while the whole stays inside the
    // model's context.
    if (estimatedTokens(out) + estimatedTokens(block) >= kSourcesTokenBudget) break;
    out += block;
    ++n;
  }
  if (included) *included = n;
  return out;
}

std::string Answerer::systemPrompt(const std::string& languageName) {
  return "You are the front-desk assistant of a small hotel. You write replies to guests.\nRules:\n1. Use ONLY facts "
         "from the SOURCES. Never invent prices, times, phone numbers, services or policies.\n2. Write the reply in " +
         languageName +
         " only, even if the SOURCES are in another language (translate the facts).\n3. After each fact put the number "
         "of its source in square brackets, for example [2].\n4. If the SOURCES do not contain the answer to the "
         "guest's question, reply with exactly " +
         std::string(notFoundMarker) +
         " and nothing else.\n5. If the guest asks several things and the SOURCES answer only some of them: answer "
         "those, and for every other thing write that you will check with the manager. Never say that something exists "
         "or does not exist unless a source says so.\n6. Be warm, polite and short: 1\u20134 sentences. No greetings "
         "like \"Dear guest\" unless natural.";
}

std::string Answerer::userMessage(const std::string& sources, const ReplyTemplate* tmpl, const std::string& message,
                                  const std::string& languageName) {
  std::string out = "SOURCES:\n";
  out += sources.empty() ? "(no documents)\n" : sources;
  if (tmpl) out += "TASK FOR THE REPLY: " + tmpl->task + "\n";
  out += "GUEST MESSAGE:\n";
  out += message.empty() ? "(none)" : message;
  out += "\n\nWrite the reply in " + languageName + ".";
  return out;
}

std::vector<int64_t> Answerer::citedNumbers(const std::string& text, std::size_t count) {
  std::vector<int64_t> out;
  std::set<int64_t> seen;
  UErrorCode status = U_ZERO_ERROR;
  const UnicodeString t = u(text);
  std::unique_ptr<icu::RegexMatcher> m(pattern(kCitationGroup).matcher(t, status));
  while (m->find()) {
    // Every run of digits inside the brackets: [1, 3] gives 1 and 3.
    const UnicodeString group = m->group(status);
    for (int32_t i = 0; i < group.length();) {
      if (!u_isdigit(group.char32At(i))) {
        i = group.moveIndex32(i, 1);
        continue;
      }
      int32_t end = i;
      while (end < group.length() && u_isdigit(group.char32At(end))) end = group.moveIndex32(end, 1);
      const auto n = readInteger(UnicodeString(group, i, end - i));
      i = end;
      if (!n || *n < 1 || *n > static_cast<int64_t>(count) || !seen.insert(*n).second) continue;
      out.push_back(*n);
    }
  }
  return out;
}

std::string Answerer::asAnswered(const std::string& message) {
  // A pasted letter still fits beside the SOURCES. Room is left for the
  // ellipsis, so that a message already cut is cut again to itself.
  std::string kept = graphemePrefix(message, kMessageCharacters);
  if (kept.size() > kMessageBytes - 3) kept = graphemePrefixBytes(kept, kMessageBytes - 3);
  return kept.size() < message.size() ? kept + "\u2026" : message;
}

Answerer::Prepared Answerer::prepare(const std::string& fullMessage, const ReplyTemplate* tmpl,
                                     const std::optional<std::string>& replyLanguage) {
  Prepared p;
  p.message = asAnswered(fullMessage);
  const std::string& message = p.message;
  if (replyLanguage)
    p.code = *replyLanguage;
  else if (trimUtf8(message, isSpaceOrTab).empty())
    p.code = "en";
  else
    p.code = Lang::detect(message);
  const std::string languageName = Lang::name(p.code);

  std::string searchText;
  if (tmpl && !tmpl->query.empty()) searchText = tmpl->query;
  if (!message.empty()) searchText += (searchText.empty() ? "" : " ") + message;
  // A message that asks several things: each part brings passages of its
  // own. The whole and its parts are embedded in one request.
  std::vector<DocIndex::Query> queries{{searchText, 6}};
  for (const auto& s : sentences(message))
    if (graphemeCount(s) > 8) queries.push_back({s, 2});
  if (queries.size() == 2) queries.pop_back();  // a single part adds nothing
  std::vector<std::vector<DocIndex::Hit>> found = index_.searchAll(queries);
  std::vector<DocIndex::Hit> hits = std::move(found.at(0));
  if (found.size() >= 3) {
    std::vector<DocIndex::Hit> selection(
        hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(4, hits.size())));
    std::set<std::string> seen;
    for (const auto& h : selection) seen.insert(h.chunk.text);
    for (std::size_t q = 1; q < found.size(); ++q)
      for (auto& h : found[q])
        if (seen.insert(h.chunk.text).second) selection.push_back(std::move(h));
    if (selection.size() > 8) selection.resize(8);
    hits = std::move(selection);
  }

  std::size_t included = 0;
  p.sources = sourcesText(hits, &included);
  hits.resize(included);
  p.hits = std::move(hits);
  p.system = systemPrompt(languageName);
  p.user = userMessage(p.sources, tmpl, message, languageName);
  return p;
}

void Answerer::readAhead(const std::string& message, const ReplyTemplate* tmpl,
                         const std::optional<std::string>& replyLanguage, const std::function<bool()>& stopped,
                         const std::function<bool()>& pressed) {
  const Prepared p = prepare(message, tmpl, replyLanguage);
  if (stopped && stopped()) throw Chat::Stopped{};
  Chat::read(p.system, p.user, stopped);
  // Then the verifier's prompt up to its statements. The server keeps the
  // reply's prompt in its host-memory cache meanwhile and takes it back for
  // the reply; the verification then evaluates only the statements. Ending
  // the user message after "STATEMENTS:\n" keeps the tokens up to there the
  // same as in the full prompt: a statement begins with its number, and the
  // tokenizer never joins a digit to what comes before.
  if (p.hits.empty()) return;  // no reply of such a prompt is ever checked
  Chat::read(kVerifySystem, verifyUser(p.sources, ""), stopped);
  // Then, while the desk has not pressed "Write reply", the re-check of a
  // sentence citing the best passage, up to the sentence: a re-check reads
  // only the passages its sentence cites, and a sentence citing another one
  // still finds the re-check's fixed opening read. One reading only: the
  // server keeps a reading when the next prompt shares little with it, so
  // readings for several passages would only replace one another. It is a
  // bonus: the press gives it up, so that the reply never waits for it.
  const auto givenUp = [&] { return (stopped && stopped()) || (pressed && pressed()); };
  if (givenUp()) return;
  try {
    Chat::read(kRecheckSystem, toLastWord(recheckUser(citedBlocks({1}, p.sources), "")), givenUp);
  } catch (const Chat::Stopped&) {
    if (stopped && stopped()) throw;
  }
}

Answer Answerer::answer(const std::string& fullMessage, const ReplyTemplate* tmpl,
                        const std::optional<std::string>& replyLanguage, const Chat::TokenCallback& onToken) {
  const auto start = std::chrono::steady_clock::now();
  const Prepared p = prepare(fullMessage, tmpl, replyLanguage);
  const std::string& code = p.code;
  const std::string& sources = p.sources;
  const std::vector<DocIndex::Hit>& hits = p.hits;

  const auto [raw, count] = Chat::complete(p.system, p.user, onToken);
  const std::string reply(trimUtf8(raw, isSpaceOrNewline));
  debug::line("RAW: ", reply);

  Answer a;
  bool notFound = reply.empty() || hits.empty() || reply.rfind(notFoundMarker, 0) == 0;
  if (!notFound) {
    const std::vector<std::string> all = sentences(reply);
    std::vector<std::string> kept;
    for (const auto& s : all)
      if (s.find(notFoundMarker) == std::string::npos) kept.push_back(s);
    const std::string joined = join(kept, " ");
    if (joined.empty()) {
      notFound = true;
    } else {
      const Verified v = verify(joined, sources);
      if (v.text.empty()) {
        notFound = true;
      } else {
        a.text = v.text;
        if (!v.meta && (kept.size() < all.size() || v.dropped)) a.text += " " + Lang::partial(code);
      }
    }
  }
  if (notFound) {
    a.text = Lang::notInDocs(code);
    a.notInDocs = true;
  } else {
    for (int64_t n : citedNumbers(a.text, hits.size())) {
      const Chunk& c = hits[static_cast<std::size_t>(n - 1)].chunk;
      a.sources.push_back(Source{n, c.file, c.section, Source::snippetOf(c.text)});
    }
  }
  a.question = !fullMessage.empty() ? p.message : (tmpl ? tmpl->en : std::string());
  a.language = code;
  if (tmpl) a.templateId = tmpl->id;
  a.tokens = count.tokens;
  a.tokensPerSecond = count.perSecond;
  a.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  a.date = std::chrono::system_clock::now();
  a.recorded = History::append(a);
  return a;
}

}  // namespace quorvel
