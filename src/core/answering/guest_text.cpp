#include "answering/guest_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace quorvel {

namespace {

// Lower case letter by letter where that keeps the byte length ("От:" as
// "от:", "Envoyé" as "envoyé"), so that a position found in it is the same in
// the message.
std::string lowerInPlace(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    UChar32 c;
    U8_NEXT(text.data(), i, text.size(), c);
    if (c < 0) continue;
    const UChar32 lower = u_tolower(c);
    if (lower == c || U8_LENGTH(lower) != static_cast<int>(i - start)) continue;
    std::size_t at = start;
    U8_APPEND_UNSAFE(out.data(), at, lower);
  }
  return out;
}

bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  // A no-break space, as mail programs put before French colons.
  while (s.starts_with("\xC2\xA0")) s.remove_prefix(2);
  while (s.ends_with("\xC2\xA0")) s.remove_suffix(2);
  return s;
}

bool asciiLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// A segment of the message: [begin, end) in both the message and its lower
// case form.
struct Segment {
  std::size_t begin, end;
};

// Lines, and the lines of a thread flattened into one: runs of two or more
// spaces, and a quote mark after the end of a sentence ("Prima! > Hi Sanne").
std::vector<Segment> segments(std::string_view text) {
  std::vector<Segment> out;
  std::size_t start = 0;
  auto cut = [&](std::size_t end, std::size_t next) {
    out.push_back({start, end});
    start = next;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      cut(i, i + 1);
    } else if ((c == ' ' || c == '\t') && i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t')) {
      std::size_t j = i;
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
      cut(i, j);
      i = j - 1;
    } else if (c == '>' && i >= 2 && text[i - 1] == ' ' && i > start) {
      const std::string_view before = trim(text.substr(start, i - start));
      if (!before.empty() &&
          (std::string_view(".!?)").find(before.back()) != std::string_view::npos || before.ends_with("\xE2\x80\xA6") ||
           before.ends_with("\xEF\xBC\x81") || before.ends_with("\xEF\xBC\x9F") || before.ends_with("\xE3\x80\x82")))
        cut(i, i);
    }
  }
  cut(text.size(), text.size());
  return out;
}

bool quoted(std::string_view line) { return line.starts_with('>') || line.starts_with("\xEF\xBC\x9E"); }

bool hasDigit(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int wordCount(std::string_view s) {
  int n = 0;
  bool in = false;
  for (char c : s) {
    if (space(c))
      in = false;
    else if (!in) {
      in = true;
      ++n;
    }
  }
  return n;
}

// Whether `word` stands at `at` as a word of its own (for Latin and Cyrillic
// words; characters of scripts without spaces always do).
bool wordAt(std::string_view s, std::size_t at, std::string_view word) {
  auto letter = [](UChar32 c) { return c >= 0 && u_isalpha(c); };
  const auto script = [](std::string_view w, bool last) {
    int32_t i = last ? static_cast<int32_t>(w.size()) : 0;
    UChar32 c;
    if (last)
      U8_PREV(w.data(), 0, i, c);
    else
      U8_NEXT(w.data(), i, static_cast<int32_t>(w.size()), c);
    return c < 0x2E80;  // below the scripts written without spaces
  };
  if (at > 0 && script(word, false)) {
    int32_t i = static_cast<int32_t>(at);
    UChar32 c;
    U8_PREV(s.data(), 0, i, c);
    if (letter(c)) return false;
  }
  const std::size_t end = at + word.size();
  if (end < s.size() && script(word, true)) {
    int32_t i = static_cast<int32_t>(end);
    UChar32 c;
    U8_NEXT(s.data(), i, static_cast<int32_t>(s.size()), c);
    if (letter(c)) return false;
  }
  return true;
}

// The verb of a reply header, in the reply languages, Russian and
// Portuguese. `tail`: a name, an address or the date may stand between it
// and the colon ("Am … schrieb Hotel <info@…>:", "Op … schreef …:");
// otherwise the colon follows it.
struct HeaderVerb {
  std::string_view text;
  bool tail;
};
constexpr HeaderVerb kHeaderVerbs[] = {
    {"wrote", false},
    {"geschrieben", false},  // "Am … hat … geschrieben:"
    {"geschreven", false},   // "Op … heeft … het volgende geschreven:"
    {"schrieb", true},
    {"a \xC3\xA9"
     "crit",
     false},  // a écrit
    {"a ecrit", false},
    {"escribi\xC3\xB3", false},  // escribió
    {"escribio", false},
    {"ha scritto", false},
    {"schreef", true},
    {"menulis", false},
    {"sumulat si", true},
    {"ay sumulat", false},
    {"escreveu", false},
    {"\xEB\x8B\x98\xEC\x9D\xB4 \xEC\x9E\x91\xEC\x84\xB1", false},                   // 님이 작성
    {"\xEC\x9E\x91\xEC\x84\xB1", false},                                            // 작성
    {"\xE5\xAF\xAB\xE9\x81\x93", false},                                            // 寫道
    {"\xE5\x86\x99\xE9\x81\x93", false},                                            // 写道
    {"\xD0\xBD\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB0\xD0\xBB(\xD0\xB0)", false},  // написал(а)
    {"\xD0\xBD\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB0\xD0\xBB\xD0\xB0", false},    // написала
    {"\xD0\xBD\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB0\xD0\xBB", false},            // написал
    {"\xE3\x81\xAE\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB", false},                    // のメール
    {"\xE6\x9B\xB8\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F", false},        // 書きました
    // Gmail's header in Japanese has no verb: "2026年5月5日(月) 10:00 Hotel <info@…>:".
    {">", false},
};

// Words a header begins with before its date ("On", "Am", "Le", "Pada",
// "Noong", "在"; "於" stands before the date after the name).
constexpr std::string_view kHeaderOpeners[] = {"on ",          "am ",          "le ",    "el ", "il ",
                                               "op ",          "pada ",        "noong ", "em ", "\xE5\x9C\xA8",
                                               "\xE6\x96\xBC", "\xE4\xBA\x8E", "den "};

bool colonAt(std::string_view s, std::size_t i) {
  if (s.substr(i).starts_with("\xEF\xBC\x9A")) return true;  // full-width colon
  if (s[i] != ':') return false;
  // Not the colon of a time ("10:00").
  return !(i > 0 && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i - 1])) &&
           std::isdigit(static_cast<unsigned char>(s[i + 1])));
}

struct Header {
  std::size_t begin = std::string_view::npos;  // where the header starts in the line
  std::size_t end = 0;                         // after its colon
};

// A reply header in a line (lower case), its opener and date or address
// included: a verb of writing and its colon, with a date or an address in the
// header or a quote right after it (`quoteNext`). "As I wrote: …" in the
// guest's own text has neither.
Header replyHeader(std::string_view line, bool quoteNext) {
  for (const HeaderVerb& verb : kHeaderVerbs) {
    for (std::size_t at = line.find(verb.text); at != std::string_view::npos; at = line.find(verb.text, at + 1)) {
      if (verb.text != ">" && !wordAt(line, at, verb.text)) continue;
      if (verb.text == ">" && at == 0) continue;
      // Its colon.
      std::size_t colon = std::string_view::npos;
      const std::size_t limit = std::min(line.size(), at + verb.text.size() + (verb.tail ? 160 : 4));
      for (std::size_t i = at + verb.text.size(); i < limit; ++i) {
        if (colonAt(line, i)) {
          colon = i;
          break;
        }
        if (!verb.tail && !space(line[i]) && line[i] != '\xC2' && line[i] != '\xA0') break;
        if (line[i] == '?' || line[i] == '!' || line[i] == '>' || line[i] == '<') {
          if (line[i] == '<') {  // an address: to its end
            const std::size_t close = line.find('>', i);
            if (close == std::string_view::npos || close >= limit) break;
            i = close;
            continue;
          }
          break;
        }
      }
      if (colon == std::string_view::npos) continue;
      const std::size_t end = colon + (line[colon] == ':' ? 1 : 3);
      // Where it starts: its opener, or the start of the line.
      std::size_t begin = 0;
      bool opened = hasDigit(trim(line).substr(0, 1));  // dates first: "5 мая 2026 г., …", "2026년 …"
      // Openers stand within 200 bytes before the verb (looked for there
      // alone: a pasted text may be long).
      const std::size_t from = at > 200 ? at - 200 : 0;
      for (std::string_view opener : kHeaderOpeners) {
        std::size_t o = line.substr(from, at - from).rfind(opener);
        if (o != std::string_view::npos) o += from;
        if (o != std::string_view::npos && wordAt(line, o, opener) && (!opened || o > begin)) {
          if (o >= begin) begin = o;
          opened = true;
        }
      }
      if (!opened && at > 200) continue;
      const std::string_view span = line.substr(begin, end - begin);
      const std::string_view rest = trim(line.substr(end));
      const bool addressed = span.find('@') != std::string_view::npos;
      if (verb.text == ">" && !addressed) continue;
      if (addressed || (opened && hasDigit(span)) || (rest.empty() ? quoteNext : quoted(rest))) return {begin, end};
    }
  }
  return {};
}

// Where an original-message or forward marker begins in a line (lower case):
// "-----Original Message-----", "---------- Forwarded message ---------",
// "Begin forwarded message:" and theirs in the other languages; npos when
// there is none. The words alone count only in a short line ("I forwarded the
// message" is the guest's).
std::size_t forwardMarker(std::string_view line) {
  static constexpr std::string_view kMarkers[] = {
      "original message", "forwarded message", "begin forwarded message", "[forwarded]",
      "urspr\xC3\xBCngliche nachricht", "weitergeleitete nachricht", "anfang der weitergeleiteten", "message d'origine",
      "message transf\xC3\xA9r\xC3\xA9",
      "message r\xC3\xA9"
      "exp\xC3\xA9"
      "di\xC3\xA9",
      "mensaje original", "mensaje reenviado", "messaggio originale", "messaggio inoltrato", "oorspronkelijk bericht",
      "origineel bericht", "doorgestuurd bericht", "pesan asli", "pesan terusan", "pesan yang diteruskan",
      "orihinal na mensahe", "ipinasang mensahe", "ipinasa na mensahe", "mensagem original", "mensagem encaminhada",
      // 原始邮件, 原始郵件, 转发的邮件, 轉寄的郵件, 转发邮件, 轉寄郵件
      "\xE5\x8E\x9F\xE5\xA7\x8B\xE9\x82\xAE\xE4\xBB\xB6", "\xE5\x8E\x9F\xE5\xA7\x8B\xE9\x83\xB5\xE4\xBB\xB6",
      "\xE8\xBD\xAC\xE5\x8F\x91\xE7\x9A\x84\xE9\x82\xAE\xE4\xBB\xB6",
      "\xE8\xBD\x89\xE5\xAF\x84\xE7\x9A\x84\xE9\x83\xB5\xE4\xBB\xB6",
      "\xE8\xBD\xAC\xE5\x8F\x91\xE9\x82\xAE\xE4\xBB\xB6", "\xE8\xBD\x89\xE5\xAF\x84\xE9\x83\xB5\xE4\xBB\xB6",
      // 元のメッセージ, 転送されたメッセージ, 転送メッセージ
      "\xE5\x85\x83\xE3\x81\xAE\xE3\x83\xA1\xE3\x83\x83\xE3\x82\xBB\xE3\x83\xBC\xE3\x82\xB8",
      "\xE8\xBB\xA2\xE9\x80\x81\xE3\x81\x95\xE3\x82\x8C\xE3\x81\x9F\xE3\x83\xA1\xE3\x83\x83\xE3\x82\xBB\xE3\x83\xBC"
      "\xE3\x82\xB8",
      "\xE8\xBB\xA2\xE9\x80\x81\xE3\x83\xA1\xE3\x83\x83\xE3\x82\xBB\xE3\x83\xBC\xE3\x82\xB8",
      // 원본 메시지, 전달된 메시지
      "\xEC\x9B\x90\xEB\xB3\xB8 \xEB\xA9\x94\xEC\x8B\x9C\xEC\xA7\x80",
      "\xEC\xA0\x84\xEB\x8B\xAC\xEB\x90\x9C \xEB\xA9\x94\xEC\x8B\x9C\xEC\xA7\x80",
      // исходное сообщение, пересылаемое сообщение, переадресованного сообщения, пересланное сообщение
      "\xD0\xB8\xD1\x81\xD1\x85\xD0\xBE\xD0\xB4\xD0\xBD\xD0\xBE\xD0\xB5 \xD1\x81\xD0\xBE\xD0\xBE\xD0\xB1\xD1\x89\xD0"
      "\xB5\xD0\xBD\xD0\xB8\xD0\xB5",
      "\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB5\xD1\x81\xD1\x8B\xD0\xBB\xD0\xB0\xD0\xB5\xD0\xBC\xD0\xBE\xD0\xB5 \xD1\x81\xD0"
      "\xBE\xD0\xBE\xD0\xB1\xD1\x89\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5",
      "\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB0\xD0\xB4\xD1\x80\xD0\xB5\xD1\x81\xD0\xBE\xD0\xB2\xD0\xB0\xD0\xBD\xD0"
      "\xBD\xD0\xBE\xD0\xB3\xD0\xBE \xD1\x81\xD0\xBE\xD0\xBE\xD0\xB1\xD1\x89\xD0\xB5\xD0\xBD\xD0\xB8\xD1\x8F",
      "\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB5\xD1\x81\xD0\xBB\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xBE\xD0\xB5 \xD1\x81\xD0\xBE\xD0"
      "\xBE\xD0\xB1\xD1\x89\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5",
      "weitergeleitete e-mail", "original-nachricht", "message original",
      "\xEC\xA0\x84\xEB\x8B\xAC\xEB\x90\x9C \xEB\xA9\x94\xEC\x9D\xBC",  // 전달된 메일
      "\xEC\x9B\x90\xEB\xB3\xB8 \xEB\xA9\x94\xEC\x9D\xBC"};
  for (std::string_view marker : kMarkers) {
    const std::size_t at = line.find(marker);
    if (at == std::string_view::npos) continue;
    // Between dashes ("-----Original Message-----"): from the dashes on.
    const std::size_t dashes = line.rfind("--", at);
    if (dashes != std::string_view::npos &&
        trim(line.substr(dashes + 2, at - dashes - 2)).find_first_not_of('-') == std::string_view::npos)
      return line.find_last_not_of('-', dashes) == std::string_view::npos ? 0 : line.find_last_not_of('-', dashes) + 1;
    if (wordCount(line) <= 6) return 0;
  }
  return std::string_view::npos;
}

// Outlook's block before the quoted message ("From: … Sent: … To: …
// Subject: …") in the reply languages and Russian: a sender field and a
// second field in the same line or the next four. Where it starts in line
// `i`, npos when it does not.
std::size_t outlookBlock(const std::vector<std::string_view>& lines, std::size_t i) {
  static constexpr std::string_view kFrom[] = {"from:",
                                               "von:",
                                               "de :",
                                               "de:",
                                               "da:",
                                               "van:",
                                               "dari:",
                                               "mula kay:",
                                               "mula:",
                                               "\xE5\x8F\x91\xE4\xBB\xB6\xE4\xBA\xBA",               // 发件人
                                               "\xE5\xAF\x84\xE4\xBB\xB6\xE8\x80\x85",               // 寄件者
                                               "\xE5\xB7\xAE\xE5\x87\xBA\xE4\xBA\xBA",               // 差出人
                                               "\xEB\xB3\xB4\xEB\x82\xB8 \xEC\x82\xAC\xEB\x9E\x8C",  // 보낸 사람
                                               "\xD0\xBE\xD1\x82:",                                  // от:
                                               "\xD0\xBE\xD1\x82 :",
                                               "de\xC2\xA0:"};
  static constexpr std::string_view kFields[] = {
      "sent:", "subject:", "to:", "date:", "gesendet:", "betreff:", "an:", "datum:", "envoy\xC3\xA9", "objet",
      "\xC3\xA0 :", "enviado:", "asunto:", "para:", "inviato:", "oggetto:", "verzonden:", "onderwerp:", "aan:",
      "dikirim:", "subjek:", "kepada:", "perihal:", "ipinadala:", "paksa:",
      // 主题 主旨 件名 (the CJK fields share these), 제목, тема:
      "\xE4\xB8\xBB\xE9\xA2\x98", "\xE4\xB8\xBB\xE6\x97\xA8", "\xE4\xBB\xB6\xE5\x90\x8D"};
  static constexpr std::string_view kMoreFields[] = {"\xEC\xA0\x9C\xEB\xAA\xA9",
                                                     "\xD1\x82\xD0\xB5\xD0\xBC\xD0\xB0:",
                                                     "\xD0\xBA\xD0\xBE\xD0\xBC\xD1\x83:",                   // кому:
                                                     "\xE6\x94\xB6\xE4\xBB\xB6\xE4\xBA\xBA",                // 收件人
                                                     "\xE5\xAE\x9B\xE5\x85\x88",                            // 宛先
                                                     "\xEB\xB0\x9B\xEB\x8A\x94 \xEC\x82\xAC\xEB\x9E\x8C"};  // 받는 사람
  const std::string_view line = lines[i];
  std::size_t from = std::string_view::npos;
  for (std::string_view f : kFrom) {
    const std::size_t at = line.find(f);
    if (at != std::string_view::npos && wordAt(line, at, f) && at < from) from = at;
  }
  if (from == std::string_view::npos) return from;
  auto field = [](std::string_view s) {
    for (std::string_view f : kFields)
      if (s.find(f) != std::string_view::npos) return true;
    for (std::string_view f : kMoreFields)
      if (s.find(f) != std::string_view::npos) return true;
    return false;
  };
  if (field(line.substr(from + 3))) return from;
  for (std::size_t j = i + 1; j < lines.size() && j <= i + 4; ++j)
    if (field(lines[j])) return from;
  return std::string_view::npos;
}

// Where a phone's or a mail program's footer begins in a line (lower case):
// "Sent from my iPhone", "Von meinem iPhone gesendet", "iPhoneから送信";
// npos when there is none. Only a few words may follow the footer's start.
std::size_t phoneFooter(std::string_view line) {
  static constexpr std::string_view kStarts[] = {
      "sent from ",
      "sent via ",
      "sent with ",
      "get outlook for",
      "von meinem",
      "gesendet von",
      "gesendet mit",
      "envoy\xC3\xA9 de mon",
      "envoy\xC3\xA9 depuis",
      "envoy\xC3\xA9 \xC3\xA0 partir",
      "enviado desde",
      "enviado do meu",
      "enviado de mi",
      "inviato da",
      "inviato dal",
      "verzonden vanaf",
      "verstuurd vanaf",
      "verzonden met",
      "verzonden van",
      "dikirim dari",
      "ipinadala mula",
      "ipinadala gamit",
      "\xE5\x8F\x91\xE8\x87\xAA\xE6\x88\x91\xE7\x9A\x84",                                           // 发自我的
      "\xE4\xBB\x8E\xE6\x88\x91\xE7\x9A\x84",                                                       // 从我的
      "\xE5\xBE\x9E\xE6\x88\x91\xE7\x9A\x84",                                                       // 從我的
      "\xE6\x9D\xA5\xE8\x87\xAA\xE6\x88\x91\xE7\x9A\x84",                                           // 来自我的
      "\xD0\xBE\xD1\x82\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xBE \xD1\x81",  // отправлено с
      "\xD0\xBE\xD1\x82\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xBE \xD0\xB8\xD0\xB7",  // из
      "\xD0\xBE\xD1\x82\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xBE \xD1\x87\xD0\xB5\xD1\x80\xD0"
      "\xB5\xD0\xB7",  // отправлено через
      "enviado a partir",
      "download outlook"};
  // Ends that follow the device's name: から送信, 에서 보냄, 에서 보냈습니다.
  static constexpr std::string_view kEnds[] = {
      "\xE3\x81\x8B\xE3\x82\x89\xE9\x80\x81\xE4\xBF\xA1", "\xEC\x97\x90\xEC\x84\x9C \xEB\xB3\xB4\xEB\x83\x84",
      "\xEC\x97\x90\xEC\x84\x9C \xEB\xB3\xB4\xEB\x83\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4"};
  for (std::string_view start : kStarts)
    for (std::size_t at = line.find(start); at != std::string_view::npos; at = line.find(start, at + 1)) {
      const bool atWordStart = at == 0 || !asciiLetter(line[at - 1]);
      if (atWordStart && line.size() - at <= 70 && wordCount(line.substr(at)) <= 7) return at;
    }
  const std::string_view t = trim(line);
  for (std::string_view end : kEnds)
    if (t.ends_with(end) && t.size() - end.size() <= 30) {
      // Back to the start of the device's name ("iPhone", "Galaxy S21"): the
      // line's start or the end of a sentence.
      std::size_t at = static_cast<std::size_t>(t.data() - line.data()) + t.size() - end.size();
      const std::size_t lineStart = static_cast<std::size_t>(t.data() - line.data());
      while (at > lineStart && std::string_view(".!?").find(line[at - 1]) == std::string_view::npos &&
             static_cast<unsigned char>(line[at - 1]) < 0xE0)
        --at;
      return at;
    }
  return std::string_view::npos;
}

// A line of a signature's contact block: a phone number, an e-mail or web
// address, a booking number, a street address.
bool contactLine(std::string_view line) {
  if (line.find('?') != std::string_view::npos || line.find('!') != std::string_view::npos) return false;
  // Words with a letter; digits outside dates and times ("12.05.2026",
  // "22:30" are what the guest writes about), and their longest run.
  int words = 0, digits = 0, run = 0, longestRun = 0;
  for (std::size_t i = 0; i < line.size();) {
    while (i < line.size() && space(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !space(line[i])) ++i;
    const std::string_view token = line.substr(start, i - start);
    if (token.empty()) continue;
    const bool letters = std::any_of(token.begin(), token.end(),
                                     [](char c) { return asciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; });
    bool dateOrTime = token.find_first_of(":/") != std::string_view::npos;
    for (std::size_t k = 1; k + 1 < token.size(); ++k)
      dateOrTime = dateOrTime || (token[k] == '.' && std::isdigit(static_cast<unsigned char>(token[k - 1])) &&
                                  std::isdigit(static_cast<unsigned char>(token[k + 1])));
    words += letters;
    if (dateOrTime) continue;
    for (char c : token) {
      run = std::isdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
      digits += run > 0;
      longestRun = std::max(longestRun, run);
    }
    run = 0;
  }
  const bool address = line.find('@') != std::string_view::npos || line.find("www.") != std::string_view::npos ||
                       line.find("http") != std::string_view::npos;
  if (address) return words <= 6;
  // "+49 170 1234567", "Booking no. 4827361029", "Hauptstraße 12, 10115 Berlin"
  if (digits >= 7 || longestRun >= 6) return words <= 4;
  // "Calle Mayor 5, 28013 Madrid": a postcode after a comma
  return longestRun >= 4 && words <= 5 && line.find(',') != std::string_view::npos;
}

// A chat message as WhatsApp copies or exports it: "[10:41, 05/05/2026] Sanne:
// text" or "05/05/2026, 10:41 - Sanne: text". The sender and where the text
// begins; no sender when the line is not one.
struct ChatLine {
  std::string_view sender;
  std::size_t text = 0;
};

ChatLine chatLine(std::string_view line) {
  std::size_t nameStart = std::string_view::npos;
  if (line.starts_with('[')) {
    const std::size_t close = line.find(']');
    if (close != std::string_view::npos && close <= 30 && hasDigit(line.substr(0, close)) &&
        line.substr(0, close).find(':') != std::string_view::npos && line.substr(close + 1).starts_with(' '))
      nameStart = close + 2;
  } else if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
    const std::size_t dash = line.find(" - ");
    if (dash != std::string_view::npos && dash <= 25 && line.substr(0, dash).find(',') != std::string_view::npos &&
        line.substr(0, dash).find(':') != std::string_view::npos)
      nameStart = dash + 3;
  }
  if (nameStart == std::string_view::npos) return {};
  const std::size_t colon = line.find(": ", nameStart);
  if (colon == std::string_view::npos || colon == nameStart || colon - nameStart > 40) return {};
  return {line.substr(nameStart, colon - nameStart), colon + 2};
}

// A pasted chat thread: the lines of the one who wrote last (the guest the
// receptionist answers), without the senders' prefixes. "" when the message
// is no thread.
std::string lastSendersLines(std::string_view message) {
  std::vector<std::pair<ChatLine, std::string_view>> lines;
  std::string_view last;
  for (std::size_t start = 0; start <= message.size();) {
    const std::size_t end = std::min(message.find('\n', start), message.size());
    const std::string_view line = message.substr(start, end - start);
    const ChatLine chat = chatLine(line);
    if (!chat.sender.empty()) last = chat.sender;
    lines.emplace_back(chat, line);
    start = end + 1;
  }
  if (last.empty()) return "";
  std::string out;
  std::string_view sender;  // a line without a prefix goes on the one before
  for (const auto& [chat, line] : lines) {
    if (!chat.sender.empty()) sender = chat.sender;
    if (sender != last) continue;
    if (!out.empty()) out += '\n';
    out += line.substr(chat.text);
  }
  return out;
}

}  // namespace

std::string guestOwnText(std::string_view pasted) {
  const std::string thread = lastSendersLines(pasted);
  const std::string_view message = thread.empty() ? pasted : std::string_view(thread);
  const std::string lower = lowerInPlace(message);
  const std::vector<Segment> segs = segments(message);
  std::vector<std::string_view> lowLines;
  for (const Segment& s : segs) lowLines.push_back(std::string_view(lower).substr(s.begin, s.end - s.begin));

  std::vector<std::string_view> kept;  // parts of the message
  auto keep = [&](std::size_t segment, std::size_t from, std::size_t to) {
    const std::string_view part = trim(message.substr(segs[segment].begin + from, to - from));
    if (!part.empty()) kept.push_back(part);
  };
  auto nextQuoted = [&](std::size_t i) {
    for (std::size_t j = i + 1; j < lowLines.size(); ++j)
      if (!trim(lowLines[j]).empty()) return quoted(trim(lowLines[j]));
    return false;
  };
  bool afterForward = false;  // a "[Forwarded]" message runs to the next empty line
  for (std::size_t i = 0; i < lowLines.size(); ++i) {
    const std::string_view raw = message.substr(segs[i].begin, segs[i].end - segs[i].begin);
    const std::string_view low = lowLines[i];
    const std::string_view t = trim(low);
    if (t.empty()) {
      afterForward = false;
      continue;
    }
    if (afterForward || quoted(t)) continue;
    // The signature separator ("-- "), Outlook's rule before its header.
    if (t == "--" || t == "\xE2\x80\x94" || (t.size() >= 10 && t.find_first_not_of('_') == std::string_view::npos))
      break;
    if (const std::size_t at = low.find("[forwarded]"); at != std::string_view::npos) {
      keep(i, 0, at);
      afterForward = trim(low.substr(at + 11)).empty();
      continue;
    }
    std::size_t cut = std::min(forwardMarker(low), outlookBlock(lowLines, i));
    if (const Header h = replyHeader(low, nextQuoted(i)); h.begin != std::string_view::npos && h.begin < cut) {
      keep(i, 0, h.begin);
      const std::string_view rest = trim(low.substr(h.end));
      // The guest may write below a quote: the header ends only itself and
      // the quoted lines after it.
      if ((rest.empty() && nextQuoted(i)) || quoted(rest)) continue;
      break;
    }
    if (cut != std::string_view::npos) {
      keep(i, 0, cut);
      break;
    }
    keep(i, 0, std::min(phoneFooter(low), raw.size()));
  }
  // A trailing block of contact lines, when something is left above it.
  std::size_t end = kept.size();
  while (end > 1 && contactLine(kept[end - 1])) --end;
  if (end == 1 && contactLine(kept[0])) end = 0;
  std::string out;
  for (std::size_t i = 0; i < end; ++i) {
    if (!out.empty()) out += '\n';
    out += kept[i];
  }
  return out;
}

}  // namespace quorvel
