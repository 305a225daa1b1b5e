#include "index/passages.h"

#include <sys/stat.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "index/index_file.h"
#include "index/words.h"

namespace quorvel {

namespace fs = std::filesystem;

std::shared_ptr<const DocIndex::Entry> makeEntry(Chunk c, std::shared_ptr<const std::vector<float>> block,
                                                 std::size_t offset, std::size_t dim, std::vector<uint64_t> words) {
  auto e = std::make_shared<DocIndex::Entry>();
  e->words = std::move(words);
  for (uint64_t h : e->words) e->bloom[(h >> 62) & 3] |= uint64_t{1} << ((h >> 56) & 63);
  c.vector.clear();
  e->chunk = std::move(c);
  e->block = std::move(block);
  e->offset = offset;
  e->dim = dim;
  return e;
}

std::shared_ptr<const DocIndex::Entry> makeEntry(Chunk c, std::shared_ptr<const std::vector<float>> block,
                                                 std::size_t offset, std::size_t dim) {
  std::vector<uint64_t> words = wordSet(c.text);
  return makeEntry(std::move(c), std::move(block), offset, dim, std::move(words));
}

double modificationTime(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

namespace {

// File names compare by code point after canonical composition.
std::string sortKey(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return name;
  icu::UnicodeString normal = nfc->normalize(icu::UnicodeString::fromUTF8(name), status);
  if (U_FAILURE(status)) return name;
  std::string out;
  normal.toUTF8String(out);
  return out;  // UTF-8 byte order is code point order
}

}  // namespace

void sortNames(std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> keyed;
  for (auto& n : names) keyed.emplace_back(sortKey(n), std::move(n));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  names.clear();
  for (auto& [k, n] : keyed) names.push_back(std::move(n));
}

// Sixteen independent sums in two 8-wide vector registers; the order of
// addition differs from a plain loop only in the last bits. Built for AVX2
// where the processor has it, plain SSE otherwise.
typedef float Lane8 __attribute__((vector_size(32)));

// (A sanitizer's runtime starts after the resolvers of target clones would
// run, so sanitized builds keep the plain version.)
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define QUORVEL_CLONES
#else
#define QUORVEL_CLONES __attribute__((target_clones("avx2", "default")))
#endif
QUORVEL_CLONES float dot(const float* a, const float* b, std::size_t n) {
  Lane8 s0 = {}, s1 = {};
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    Lane8 a0, a1, b0, b1;
    std::memcpy(&a0, a + i, sizeof a0);
    std::memcpy(&a1, a + i + 8, sizeof a1);
    std::memcpy(&b0, b + i, sizeof b0);
    std::memcpy(&b1, b + i + 8, sizeof b1);
    s0 += a0 * b0;
    s1 += a1 * b1;
  }
  const Lane8 s = s0 + s1;
  float sum = ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
  for (; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

namespace {

// The dimension most stored vectors have (0 when there are none).
std::size_t commonDimension(const std::vector<StoredPassage>& passages) {
  std::map<std::size_t, std::size_t> counts;
  for (const auto& p : passages)
    if (p.dim > 0) ++counts[p.dim];
  std::size_t best = 0, most = 0;
  for (const auto& [dim, n] : counts)
    if (n > most) best = dim, most = n;
  return best;
}

}  // namespace

std::shared_ptr<DocIndex::Snapshot> load(const fs::path& file) {
  auto snap = std::make_shared<DocIndex::Snapshot>();
  std::map<std::string, double> files;
  std::vector<StoredPassage> passages;
  auto block = std::make_shared<std::vector<float>>();
  // A damaged file counts as no file: the next refresh rebuilds the index.
  if (!readIndexFile(file, files, passages, *block, snap->embeddingModel, snap->cutting)) {
    std::error_code ec;
    snap->damaged = fs::exists(file, ec);
    snap->cutting = DocumentReader::cuttingVersion;  // nothing is cut yet
    return snap;
  }
  // A passage whose vector is missing, not finite or of another dimension
  // than the rest was stored by a faulty run: it is dropped and its file
  // counts as changed, so the next refresh embeds it again.
  const std::size_t dim = commonDimension(passages);
  std::erase_if(passages, [&](const StoredPassage& p) {
    const bool damaged = p.dim == 0 || p.dim != dim ||
                         !std::all_of(block->begin() + static_cast<std::ptrdiff_t>(p.offset),
                                      block->begin() + static_cast<std::ptrdiff_t>(p.offset + p.dim),
                                      [](float x) { return std::isfinite(x); });
    if (damaged) files.erase(p.chunk.file);
    return damaged;
  });
  std::erase_if(files, [](const auto& kv) { return !std::isfinite(kv.second); });
  snap->files = std::move(files);
  // Finding each passage's words is a fifth of the load: the second half of
  // the passages is done on another core meanwhile.
  const std::size_t n = passages.size(), half = n / 2;
  snap->entries.resize(n);
  auto build = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      snap->entries[i] = makeEntry(std::move(passages[i].chunk), block, passages[i].offset, passages[i].dim);
  };
  if (n >= 256) {
    std::thread helper(build, half, n);
    build(0, half);
    helper.join();
  } else {
    build(0, n);
  }
  return snap;
}

}  // namespace quorvel
