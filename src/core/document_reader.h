// The document kinds Quorvel accepts, and (later) their text and passages.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

struct DocumentReader {
  // Accepted file-name extensions, lower case.
  static constexpr std::array<std::string_view, 9> allowed{"txt", "md",  "markdown", "pdf", "docx",
                                                           "doc", "rtf", "html",     "htm"};

  // The lower-cased extension of the last path component, without the dot
  // ("" when there is none).
  static std::string extensionOf(const std::filesystem::path& file);
  static bool isAllowed(const std::filesystem::path& file);
};

}  // namespace quorvel
