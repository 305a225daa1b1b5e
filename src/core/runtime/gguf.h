// A look at a model file's structure before a server is started on it: a
// truncated download or a file of something else is named as such, rather
// than found out as "the server did not start".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel {

// What is wrong with the GGUF file at `file` ("not a GGUF file", "cut off:
// its tensors need 1,084,000,000 bytes, the file has 600,000,000"), or
// nothing when its header, metadata and tensor table are whole and every
// tensor's data lies inside the file. Bytes after the last tensor are
// allowed (the server ignores them). Never throws.
std::optional<std::string> ggufDamage(const std::filesystem::path& file);

}  // namespace quorvel
