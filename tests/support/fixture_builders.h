// Makers of small documents for the reader tests, so that each test shows
// exactly what it reads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

// A PDF with one page per entry: the lines of text on that page (written
// with Helvetica; octal escapes such as \256 reach the font's own glyphs), or
// nothing for a page that only draws a rectangle and has no text object.
void makePdf(const std::filesystem::path& file, const std::vector<std::optional<std::vector<std::string>>>& pages);

// A zip archive of the given (name, content) entries, deflated.
void makeZip(const std::filesystem::path& file, const std::vector<std::pair<std::string, std::string>>& entries);

// A docx whose word/document.xml has the given body XML (w: prefix bound).
void makeDocx(const std::filesystem::path& file, const std::string& bodyXml);

}  // namespace quorvel::test
