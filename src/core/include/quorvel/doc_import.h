// Bringing the hotel's files into the documents folder, where the index
// reads them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel {

struct DocImport {
  // Copies the files of accepted kinds into the documents folder, replacing a
  // document of the same name; returns how many were copied. Never throws.
  static int64_t files(const std::vector<std::filesystem::path>& files);
  // The same for files and folders (a folder gives its own entries, not its
  // subfolders'). An entry of a folder that is a link to a file outside that
  // folder is not imported, nor is anything under /proc, /sys or /dev, nor
  // what is no regular file (a FIFO, a socket, a device, a folder named
  // like a document) or is over DocumentReader::maxFileBytes; `skipped` gets
  // "<path>: <reason>" for each.
  static int64_t paths(const std::vector<std::filesystem::path>& paths, std::vector<std::string>* skipped = nullptr);
};

}  // namespace quorvel
