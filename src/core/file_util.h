// Small file helpers shared by the parts that keep files in the support folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& p);
// Writes `bytes` to `fd` completely, retrying short writes; false on error.
bool writeAll(int fd, std::string_view bytes);
// Replaces `p` as a whole: the bytes go to a temporary file beside it
// (mode 0600) that is renamed over `p` only once complete, so a failure leaves
// the old file as it was. False on any failure.
bool writeFileAtomically(const std::filesystem::path& p, std::string_view bytes);

}  // namespace quorvel
