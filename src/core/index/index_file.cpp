#include "index/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace quorvel {

namespace {

struct Bad {};

// The length of the JSON number at the start of s (the grammar's, no more:
// no "inf", "nan", "+1", "00" or "1."), or 0 when there is none.
std::size_t jsonNumberLength(const char* s, std::size_t n) {
  std::size_t i = 0;
  auto digit = [&](std::size_t k) { return k < n && s[k] >= '0' && s[k] <= '9'; };
  if (i < n && s[i] == '-') ++i;
  if (!digit(i)) return 0;
  if (s[i] == '0')
    ++i;
  else
    while (digit(i)) ++i;
  if (i < n && s[i] == '.') {
    if (!digit(++i)) return 0;
    while (digit(i)) ++i;
  }
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digit(i)) return 0;
    while (digit(i)) ++i;
  }
  return i;
}

// A number already checked against the grammar. Straight from the decimal
// text to the type, so that a float component reads back bit for bit as it
// was written. Beyond the type's range it becomes infinite (or zero), which
// the index treats as a damaged vector rather than a damaged file.
template <class T>
T parseNumber(const char* begin, const char* end) {
  T v{};
  const auto [p, ec] = std::from_chars(begin, end, v);
  if (ec == std::errc::result_out_of_range) {
    const bool negative = *begin == '-';
    const T inf = negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
    double d{};
    if (std::from_chars(begin, end, d).ec == std::errc())
      return std::fabs(d) > static_cast<double>(std::numeric_limits<T>::max()) ? inf : static_cast<T>(d);
    // Beyond even a double: infinite unless the exponent is negative.
    const char* e = std::find_if(begin, end, [](char c) { return c == 'e' || c == 'E'; });
    const bool tiny = e != end && e + 1 != end && e[1] == '-';
    return tiny ? T(0) : inf;
  }
  if (ec != std::errc() || p != end) throw Bad{};
  return v;
}

// A forward-only JSON reader over a file, one buffer at a time.
class Scanner {
 public:
  explicit Scanner(int fd) : fd_(fd), buf_(1 << 20) {}

  int peek() {
    if (pos_ == len_ && !fill()) return -1;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  char next() {
    const int c = peek();
    if (c < 0) throw Bad{};
    ++pos_;
    return static_cast<char>(c);
  }
  void skipSpace() {
    for (;;) {
      const int c = peek();
      if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
      ++pos_;
    }
  }
  void expect(char c) {
    skipSpace();
    if (next() != c) throw Bad{};
  }
  // After a value inside an object or array: true for ',', false for the close.
  bool more(char close) {
    skipSpace();
    const char c = next();
    if (c == ',') return true;
    if (c == close) return false;
    throw Bad{};
  }
  // True when the container is empty (its close consumed).
  bool emptyContainer(char close) {
    skipSpace();
    if (peek() == close) {
      ++pos_;
      return true;
    }
    return false;
  }

  void string(std::string& out) {
    out.clear();
    expect('"');
    for (;;) {
      // Copy the run up to the next quote or backslash in one go.
      if (pos_ == len_ && !fill()) throw Bad{};
      std::size_t end = pos_;
      while (end < len_ && buf_[end] != '"' && buf_[end] != '\\') {
        if (static_cast<unsigned char>(buf_[end]) < 0x20) throw Bad{};
        ++end;
      }
      out.append(buf_.data() + pos_, end - pos_);
      pos_ = end;
      if (pos_ == len_) continue;
      const char c = buf_[pos_++];
      if (c == '"') return;
      escape(out);
    }
  }

  // The characters of a number as far as they go, across buffer refills.
  std::string_view numberToken() {
    skipSpace();
    token_.clear();
    for (;;) {
      const int c = peek();
      if (c < 0 || !((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) break;
      token_.push_back(static_cast<char>(c));
      ++pos_;
    }
    if (token_.empty() || jsonNumberLength(token_.data(), token_.size()) != token_.size()) throw Bad{};
    return token_;
  }
  template <class T>
  T number() {
    skipSpace();
    // Fast path: the number ends inside the buffer, so it is read in place.
    if (pos_ < len_) {
      const char* begin = buf_.data() + pos_;
      const std::size_t n = jsonNumberLength(begin, len_ - pos_);
      if (n > 0 && n < len_ - pos_) {
        pos_ += n;
        return parseNumber<T>(begin, begin + n);
      }
    }
    const std::string_view t = numberToken();
    return parseNumber<T>(t.data(), t.data() + t.size());
  }

  // Any value, for keys this reader does not use.
  void skipValue(int depth = 0) {
    if (depth > 512) throw Bad{};
    skipSpace();
    const int c = peek();
    if (c == '"') {
      string(scratch_);
    } else if (c == '{') {
      ++pos_;
      if (emptyContainer('}')) return;
      do {
        string(scratch_);
        expect(':');
        skipValue(depth + 1);
      } while (more('}'));
    } else if (c == '[') {
      ++pos_;
      if (emptyContainer(']')) return;
      do skipValue(depth + 1);
      while (more(']'));
    } else if (c == 't' || c == 'f' || c == 'n') {
      const char* word = c == 't' ? "true" : c == 'f' ? "false" : "null";
      for (const char* w = word; *w; ++w)
        if (next() != *w) throw Bad{};
    } else {
      numberToken();
    }
  }

  bool atEnd() {
    skipSpace();
    return peek() < 0;
  }

 private:
  bool fill() {
    for (;;) {
      const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Bad{};
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      return n > 0;
    }
  }

  unsigned hex4() {
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = next();
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<unsigned>(c - 'A' + 10);
      else
        throw Bad{};
    }
    return v;
  }

  static void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  void escape(std::string& out) {
    const char e = next();
    switch (e) {
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      case '/': out.push_back('/'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        unsigned cp = hex4();
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          // A surrogate pair; a lone half becomes U+FFFD.
          if (peek() == '\\') {
            next();
            if (next() != 'u') throw Bad{};
            const unsigned low = hex4();
            cp = (low >= 0xDC00 && low <= 0xDFFF) ? 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00) : 0xFFFD;
          } else {
            cp = 0xFFFD;
          }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
          cp = 0xFFFD;
        }
        appendUtf8(out, cp);
        break;
      }
      default: throw Bad{};
    }
  }

  int fd_;
  std::vector<char> buf_;
  std::size_t pos_ = 0, len_ = 0;
  std::string token_, scratch_;
};

StoredPassage readPassage(Scanner& s, std::string& key, std::vector<float>& block) {
  StoredPassage p;
  Chunk& c = p.chunk;
  int seen = 0;
  s.expect('{');
  if (s.emptyContainer('}')) throw Bad{};
  do {
    s.string(key);
    s.expect(':');
    s.skipSpace();
    if (key == "id")
      s.string(c.id), c.id = decodeName(c.id), seen |= 1;
    else if (key == "file")
      s.string(c.file), c.file = decodeName(c.file), seen |= 2;
    else if (key == "section")
      s.string(c.section), seen |= 4;
    else if (key == "text")
      s.string(c.text), seen |= 8;
    else if (key == "vector") {
      if (seen & 16) throw Bad{};
      s.expect('[');
      seen |= 16;
      p.offset = block.size();
      if (s.emptyContainer(']')) continue;
      do block.push_back(s.number<float>());
      while (s.more(']'));
      p.dim = block.size() - p.offset;
    } else {
      s.skipValue();
    }
  } while (s.more('}'));
  if (seen != 31) throw Bad{};
  return p;
}

}  // namespace

std::string encodeName(std::string_view bytes) {
  std::string out;
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const int32_t n = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < n;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c >= 0) {
      out.append(bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
      continue;
    }
    for (int32_t k = start; k < i; ++k) {
      uint8_t buf[4];
      int32_t len = 0;
      U8_APPEND_UNSAFE(buf, len, 0x10FF00 + s[k]);
      out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(len));
    }
  }
  return out;
}

std::string decodeName(std::string_view utf8) {
  if (utf8.find('\xF4') == std::string_view::npos) return std::string(utf8);  // the common case: nothing encoded
  std::string out;
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const int32_t n = static_cast<int32_t>(utf8.size());
  for (int32_t i = 0; i < n;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c >= 0x10FF80 && c <= 0x10FFFF)
      out.push_back(static_cast<char>(c - 0x10FF00));
    else
      out.append(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
  }
  return out;
}

bool readIndexFile(const std::filesystem::path& file, std::map<std::string, double>& files,
                   std::vector<StoredPassage>& passages, std::vector<float>& block, std::string& embeddingModel,
                   int& cutting) {
  cutting = 0;
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  // Every component takes at least two characters ("0,"), so this never
  // reallocates; pages never written stay virtual and cost no memory.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (st.st_size > 0) block.reserve(static_cast<std::size_t>(st.st_size) / 2);
  bool ok = false;
  try {
    Scanner s(fd);
    std::string key;
    bool haveFiles = false, haveChunks = false;
    s.expect('{');
    if (!s.emptyContainer('}')) {
      do {
        s.string(key);
        s.expect(':');
        if (key == "files") {
          haveFiles = true;
          s.expect('{');
          if (!s.emptyContainer('}')) {
            do {
              std::string name;
              s.string(name);
              s.expect(':');
              files[decodeName(name)] = s.number<double>();
            } while (s.more('}'));
          }
        } else if (key == "chunks") {
          haveChunks = true;
          s.expect('[');
          if (!s.emptyContainer(']')) {
            do passages.push_back(readPassage(s, key, block));
            while (s.more(']'));
          }
        } else if (key == "cutting") {
          const double v = s.number<double>();
          cutting = v >= 0 && v < 1000 ? static_cast<int>(v) : 0;
        } else if (key == "embedding") {
          s.expect('{');
          if (!s.emptyContainer('}')) {
            do {
              std::string field;
              s.string(field);
              s.expect(':');
              if (field == "model")
                s.string(embeddingModel);
              else
                s.skipValue();
            } while (s.more('}'));
          }
        } else {
          s.skipValue();
        }
      } while (s.more('}'));
    }
    ok = haveFiles && haveChunks && s.atEnd();
  } catch (const Bad&) {
    ok = false;
  }
  ::close(fd);
  return ok;
}

}  // namespace quorvel
