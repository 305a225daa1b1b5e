// The document index. For now: bringing documents into the documents folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace quorvel {

class DocIndex {
 public:
  // Copies the files of accepted kinds into the documents folder, replacing a
  // document of the same name; returns how many were copied. Never throws.
  static int64_t importFiles(const std::vector<std::filesystem::path>& files);
};

}  // namespace quorvel
