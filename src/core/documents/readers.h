// One reader per document kind. Each returns the document's plain text, or
// nothing when the file cannot be read; none of them throws or prints.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::readers {

std::optional<std::string> plainText(const std::filesystem::path& file);
// What a PDF's reading left out (pages not drawn in time, past the limits)
// or why it failed is added to `notes` when given.
std::optional<std::string> pdf(const std::filesystem::path& file, std::vector<std::string>* notes = nullptr);
std::optional<std::string> docx(const std::filesystem::path& file);
std::optional<std::string> legacyWord(const std::filesystem::path& file);
std::optional<std::string> html(const std::filesystem::path& file);
std::optional<std::string> rtf(const std::filesystem::path& file);

// The text of an RTF document held in memory (exposed for the tests of
// damaged and hostile input).
std::optional<std::string> rtfText(std::string_view rtf);
std::optional<std::string> htmlText(std::string_view html);
std::optional<std::string> docxText(std::string_view zipBytes);

// Silences libxml2's error printing on the calling thread (its handlers are
// per thread): damaged documents must never write to the tool's output.
void silenceXmlErrors();

// ISO Latin-1 bytes as UTF-8, one character per byte.
std::string latin1ToUtf8(std::string_view bytes);

}  // namespace quorvel::readers
