// The index's passages in memory: what a search reads, and what a refresh
// builds anew and swaps in whole.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <quorvel/doc_index.h>
#include <quorvel/records.h>

namespace quorvel {

// One passage with the distinct words of its text, kept as sorted 64-bit
// hashes: the keyword score needs only "does this passage contain the word",
// and re-tokenising every passage at every search would cost more than the
// vector part.
// Its vector lives in a block shared with the other passages read at the
// same time (all of index.json, or one refreshed file), so that a search
// streams through the vectors in memory order.
struct DocIndex::Entry {
  Chunk chunk;  // vector kept in `block`, not here
  std::shared_ptr<const std::vector<float>> block;
  std::size_t offset = 0;
  std::size_t dim = 0;
  std::vector<uint64_t> words;
  // One bit per word (by its hash): most query words are in few passages,
  // and this rules most passages out without a search of `words`.
  uint64_t bloom[4] = {0, 0, 0, 0};

  const float* vector() const { return block ? block->data() + offset : nullptr; }
  Chunk full() const {
    Chunk c = chunk;
    if (dim > 0) c.vector.assign(vector(), vector() + dim);
    return c;
  }
  bool mayHave(uint64_t h) const { return (bloom[(h >> 62) & 3] >> ((h >> 56) & 63)) & 1; }
};

// What a search sees: replaced whole by a refresh, never changed in place.
struct DocIndex::Snapshot {
  std::vector<std::shared_ptr<const Entry>> entries;
  std::map<std::string, double> files;
  std::string embeddingModel;  // the model file that made the vectors; empty: not known
  int cutting = DocumentReader::cuttingVersion;  // how the passages were read and cut
  bool damaged = false;        // index.json was there but could not be read
};

// A passage over its vector in `block` (its words found from its text, or
// given).
std::shared_ptr<const DocIndex::Entry> makeEntry(Chunk c, std::shared_ptr<const std::vector<float>> block,
                                                 std::size_t offset, std::size_t dim, std::vector<uint64_t> words);
std::shared_ptr<const DocIndex::Entry> makeEntry(Chunk c, std::shared_ptr<const std::vector<float>> block,
                                                 std::size_t offset, std::size_t dim);

// index.json as a snapshot; an empty one (marked damaged when the file was
// there) when it cannot be read.
std::shared_ptr<DocIndex::Snapshot> load(const std::filesystem::path& file);

// File names in code point order after canonical composition.
void sortNames(std::vector<std::string>& names);

// A file's modification time in seconds (0 when it cannot be read).
double modificationTime(const std::filesystem::path& p);

// The dot product of two vectors of n floats.
float dot(const float* a, const float* b, std::size_t n);

}  // namespace quorvel
