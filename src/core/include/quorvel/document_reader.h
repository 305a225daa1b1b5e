// The document kinds Quorvel accepts, the text of a document file, and its
// passages.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// One passage of one document.
struct Chunk {
  std::string id;             // "<file>#<n>", n counting from 1 within the file
  std::string file;           // the document's file name
  std::string section;        // the heading in force, without "#" marks; may be empty
  std::string text;           // trimmed, with the section heading in front
  std::vector<float> vector;  // unit-length embedding; empty until indexed

  bool operator==(const Chunk&) const = default;
};

struct DocumentReader {
  // Accepted file-name extensions, lower case.
  static constexpr std::array<std::string_view, 9> allowed{"txt", "md",  "markdown", "pdf", "docx",
                                                           "doc", "rtf", "html",     "htm"};

  // The lower-cased extension of the last path component, without the dot
  // ("" when there is none).
  static std::string extensionOf(const std::filesystem::path& file);
  static bool isAllowed(const std::filesystem::path& file);

  // The most a document may hold, in bytes of its file and of its text. A
  // hotel's longest document (house rules, a price list, a brochure) has
  // well under 1 MB of text; 50 MB is some 25,000 pages, so a file over it
  // is a log, an export or a mistake, and reading it would take the
  // computer's memory (a document's text is held a few times over while it
  // is cut and embedded). PDF and Office files also carry pictures and
  // scans, which take room but give little text: their files may have
  // 200 MB, their text the same 50 MB.
  static constexpr std::uint64_t kMaxTextBytes = 50'000'000;
  static constexpr std::uint64_t kMaxPictureFileBytes = 200'000'000;
  static std::uint64_t maxFileBytes(const std::filesystem::path& file);
  // "too large: 2148 MB (a document may have at most 50 MB)", for a size over
  // the limit; "… MB of text (…)" with `ofText`.
  static std::string tooLarge(std::uint64_t bytes, std::uint64_t limit, bool ofText = false);
  // Why the file at `file` (links followed) is no document to import or
  // read: not a regular file ("a FIFO, not a document", a socket, a device,
  // a folder), or a file over maxFileBytes. Nothing when it may be read.
  static std::optional<std::string> refusal(const std::filesystem::path& file);

  // The plain text of a document, or nothing when its kind is not accepted
  // (the file is then not opened) or it cannot be read. Never throws.
  static std::optional<std::string> text(const std::filesystem::path& of);
  // The same, adding to `notes` what a person should know: why a document
  // gave no text ("the PDF is damaged"), or what of it was left out
  // ("page 3 could not be drawn within 30 s").
  static std::optional<std::string> text(const std::filesystem::path& of, std::vector<std::string>* notes);

  // Cuts a document's text into passages of about 700 characters at blank
  // lines, starting a new passage at every heading; a paragraph over 1,000
  // characters is cut below the paragraph into passages of at most 700.
  // `cuttingVersion` names how documents are read and cut: an index made
  // with an earlier one is cut again on its next refresh.
  static constexpr int cuttingVersion = 2;
  static std::vector<Chunk> chunks(const std::string& file, std::string_view text);
  // While set, readings under way end as soon as they can (a scanned page
  // being drawn or read is given up at once) and give what they have: for a
  // program that is quitting. Cleared again by stopReading(false).
  static void stopReading(bool stop);
  static bool readingStopped();

  // Whether a line (trimmed of spaces and tabs) opens a section.
  static bool isHeading(std::string_view line);
};

}  // namespace quorvel
