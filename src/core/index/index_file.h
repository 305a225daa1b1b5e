// Reading index.json without holding the whole file in memory: the index of
// a large hotel is hundreds of megabytes of numbers, and the passages alone
// are all that needs to stay.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
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

// File names are bytes; JSON strings are Unicode. A name that is not UTF-8
// keeps each stray byte b as the private-use character U+10FF00 + b in the
// file, so that the entry still matches its file exactly after a reload.
std::string encodeName(std::string_view bytes);
std::string decodeName(std::string_view utf8);

// Reads {"files": {name: time}, "chunks": [passage…]} and, when present,
// "embedding": {"model": file name} (the model that made the vectors; an
// index of an older version has none and leaves `embeddingModel` empty) and
// "cutting": the version of the reading and cutting that made the passages
// (0 when absent).
// False when the file is missing, damaged or lacks a required key or field;
// the outputs are then unspecified.
bool readIndexFile(const std::filesystem::path& file, std::map<std::string, double>& files,
                   std::vector<StoredPassage>& passages, std::vector<float>& block, std::string& embeddingModel,
                   int& cutting);

}  // namespace quorvel
