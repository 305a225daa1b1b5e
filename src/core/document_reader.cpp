#include "document_reader.h"

#include <algorithm>

#include "text.h"

namespace quorvel {

std::string DocumentReader::extensionOf(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  const auto dot = name.rfind('.');
  // A name that only starts with a dot (".txt") is a hidden file without an extension.
  if (dot == std::string::npos || dot == 0) return {};
  return asciiLower(std::string_view(name).substr(dot + 1));
}

bool DocumentReader::isAllowed(const std::filesystem::path& file) {
  const std::string ext = extensionOf(file);
  return std::find(allowed.begin(), allowed.end(), ext) != allowed.end();
}

}  // namespace quorvel
