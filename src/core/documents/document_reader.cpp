#include <quorvel/document_reader.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <quorvel/debug.h>

#include "documents/readers.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

std::string DocumentReader::extensionOf(const fs::path& file) {
  const std::string name = file.filename().string();
  const auto dot = name.rfind('.');
  // A name that only starts with a dot (".txt") is a hidden file without an extension.
  if (dot == std::string::npos || dot == 0) return {};
  return asciiLower(std::string_view(name).substr(dot + 1));
}

bool DocumentReader::isAllowed(const fs::path& file) {
  const std::string ext = extensionOf(file);
  return std::find(allowed.begin(), allowed.end(), ext) != allowed.end();
}

std::uint64_t DocumentReader::maxFileBytes(const fs::path& file) {
  const std::string ext = extensionOf(file);
  const bool pictures = ext == "pdf" || ext == "docx" || ext == "doc" || ext == "rtf";
  return pictures ? kMaxPictureFileBytes : kMaxTextBytes;
}

std::string DocumentReader::tooLarge(std::uint64_t bytes, std::uint64_t limit, bool ofText) {
  // Rounded up: a file just over the limit must not read as the limit.
  return "too large: " + std::to_string((bytes + 999'999) / 1'000'000) + (ofText ? " MB of text" : " MB") +
         " (a document may have at most " + std::to_string(limit / 1'000'000) + " MB)";
}

std::optional<std::string> DocumentReader::refusal(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;  // gone, or a broken link: nothing to name
  if (S_ISFIFO(st.st_mode)) return "a FIFO (named pipe), not a document";
  if (S_ISSOCK(st.st_mode)) return "a socket, not a document";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device, not a document";
  if (S_ISDIR(st.st_mode)) return "a folder, not a document";
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const std::uint64_t limit = maxFileBytes(file);
  if (static_cast<std::uint64_t>(st.st_size) > limit) return tooLarge(static_cast<std::uint64_t>(st.st_size), limit);
  return std::nullopt;
}

namespace {
std::atomic<bool> stopped{false};
}  // namespace

void DocumentReader::stopReading(bool stop) { stopped.store(stop); }
bool DocumentReader::readingStopped() { return stopped.load(); }

namespace {

std::optional<std::string> readByKind(const fs::path& of, const std::string& ext, std::vector<std::string>* notes) {
  if (ext == "txt" || ext == "md" || ext == "markdown") return readers::plainText(of);
  if (ext == "pdf") return readers::pdf(of, notes);
  if (ext == "docx") return readers::docx(of);
  if (ext == "doc") return readers::legacyWord(of);
  if (ext == "rtf") return readers::rtf(of);
  if (ext == "html" || ext == "htm") return readers::html(of);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DocumentReader::text(const fs::path& of) { return text(of, nullptr); }

std::optional<std::string> DocumentReader::text(const fs::path& of, std::vector<std::string>* notes) {
  const std::string ext = extensionOf(of);
  if (!isAllowed(of)) return std::nullopt;
  auto note = [notes](std::string why) {
    if (notes) notes->push_back(std::move(why));
  };
  // Nothing of the system's (the process's environment in /proc) is ever
  // a document, whatever link leads there.
  if (auto why = outsideReason(of)) {
    debug::line("READ: " + of.string() + ": ", *why);
    note(*why);
    return std::nullopt;
  }
  // The readers open the file by name; a FIFO or a device there would hang
  // them or never end, and a file of gigabytes would take the memory.
  if (auto why = refusal(of)) {
    debug::line("READ: " + of.string() + ": ", *why);
    note(*why);
    return std::nullopt;
  }
  if (!openRegular(of)) {
    debug::line("READ: not a regular file: ", of.string());
    note("not a regular file that can be opened");
    return std::nullopt;
  }
  const std::size_t before = notes ? notes->size() : 0;
  try {
    auto text = readByKind(of, ext, notes);
    // A small file can unpack to much text (a compressed PDF or zip).
    if (text && text->size() > kMaxTextBytes) {
      note(tooLarge(text->size(), kMaxTextBytes, /*ofText=*/true));
      return std::nullopt;
    }
    if (!text) {
      debug::line("READ: no text from ", of.string());
      // The reader may have said why; otherwise the file is not what its
      // name says, or is damaged.
      if (notes && notes->size() == before) {
        std::error_code ec;
        note(std::filesystem::file_size(of, ec) == 0 && !ec ? "empty" : "damaged, or not a ." + ext + " document");
      }
    }
    return text;
  } catch (const std::exception& e) {
    // Out of memory on a hostile file, or a library throwing: the file is
    // simply unreadable this time.
    debug::line("READ: " + of.string() + ": ", e.what());
    note(std::string("could not be read: ") + e.what());
  } catch (...) {
    debug::line("READ: " + of.string() + ": ", "unknown failure");
    note("could not be read");
  }
  return std::nullopt;
}

namespace readers {

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::optional<std::string> plainText(const fs::path& file) {
  auto bytes = readFile(file);
  if (!bytes) return std::nullopt;
  if (isValidUtf8(*bytes)) {
    // A byte-order mark from a Windows editor is not part of the text; left
    // in, it would hide a heading on the first line.
    if (bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) bytes->erase(0, 3);
    return bytes;
  }
  return latin1ToUtf8(*bytes);
}

std::optional<std::string> legacyWord(const fs::path& file) {
  using namespace std::chrono_literals;
  // Word documents are OLE compound files; Word also saves RTF under .doc.
  // Anything else is not handed to the helpers, which would echo it back.
  char magic[8] = {};
  {
    std::ifstream in(file, std::ios::binary);
    if (!in.read(magic, sizeof magic)) return std::nullopt;
  }
  if (std::string_view(magic, 5) == "{\\rtf") return rtf(file);
  if (std::string_view(magic, 8) != std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) return std::nullopt;
  constexpr std::size_t kMaxText = 64u << 20;
  // antiword reads most Word 97-2003 files; catdoc takes some that it refuses
  // (Word 6/95, fast-saved files).
  for (auto argv : {std::vector<std::string>{"antiword", "-w", "0", "-m", "UTF-8.txt", file.string()},
                    std::vector<std::string>{"catdoc", "-w", "-d", "utf-8", file.string()}}) {
    const Subprocess::Result r = Subprocess::run(argv, 5s, kMaxText);
    if (r.started && !r.timedOut && r.status == 0) return toValidUtf8(r.out);
  }
  return std::nullopt;
}

}  // namespace readers
}  // namespace quorvel
