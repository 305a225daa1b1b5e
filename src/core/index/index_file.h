// Reading index.json without holding the whole file in memory: the index of
// a large hotel is hundreds of megabytes of numbers, and the passages alone
// are all that needs to stay.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <quorvel/document_reader.h>

namespace quorvel {

// A passage as read: its vector is the `dim` components at `offset` of the
// shared block, so that all vectors lie one after another in memory.
struct StoredPassage {
  Chunk chunk;  // vector left empty
  std::size_t offset = 0;
  std::size_t dim = 0;
};

// Reads {"files": {name: time}, "chunks": [passage…]}. False when the file is
// missing, damaged or lacks a required key or field; the outputs are then
// unspecified.
bool readIndexFile(const std::filesystem::path& file, std::map<std::string, double>& files,
                   std::vector<StoredPassage>& passages, std::vector<float>& block);

}  // namespace quorvel
