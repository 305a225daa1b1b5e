#include "index/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace quorvel {

namespace {

struct Bad {};

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

  // The characters of a number, checked to be one.
  std::string_view numberToken() {
    skipSpace();
    token_.clear();
    for (;;) {
      const int c = peek();
      if (c < 0 || !((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) break;
      token_.push_back(static_cast<char>(c));
      ++pos_;
    }
    if (token_.empty() || token_[0] == '+') throw Bad{};
    return token_;
  }
  template <class T>
  T number() {
    skipSpace();
    // Fast path: the number lies whole inside the buffer (a number is never
    // longer than 40 characters here), so parse it in place.
    if (len_ - pos_ > 64) {
      T v;
      const char* begin = buf_.data() + pos_;
      if (*begin == '+') throw Bad{};
      auto [p, ec] = std::from_chars(begin, buf_.data() + len_, v);
      if (ec != std::errc() || p == begin) throw Bad{};
      pos_ = static_cast<std::size_t>(p - buf_.data());
      return v;
    }
    const std::string_view t = numberToken();
    T v;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || p != t.data() + t.size()) throw Bad{};
    return v;
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
      if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
      else throw Bad{};
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
    if (key == "id") s.string(c.id), seen |= 1;
    else if (key == "file") s.string(c.file), seen |= 2;
    else if (key == "section") s.string(c.section), seen |= 4;
    else if (key == "text") s.string(c.text), seen |= 8;
    else if (key == "vector") {
      if (seen & 16) throw Bad{};
      s.expect('[');
      seen |= 16;
      p.offset = block.size();
      if (s.emptyContainer(']')) continue;
      // Straight from the decimal text to a 32-bit float, so that every
      // component reads back bit for bit as it was written.
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

bool readIndexFile(const std::filesystem::path& file, std::map<std::string, double>& files,
                   std::vector<StoredPassage>& passages, std::vector<float>& block) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // Every component takes at least two characters ("0,"), so this never
  // reallocates; pages never written stay virtual and cost no memory.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) block.reserve(static_cast<std::size_t>(st.st_size) / 2);
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
              files[name] = s.number<double>();
            } while (s.more('}'));
          }
        } else if (key == "chunks") {
          haveChunks = true;
          s.expect('[');
          if (!s.emptyContainer(']')) {
            do passages.push_back(readPassage(s, key, block));
            while (s.more(']'));
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
