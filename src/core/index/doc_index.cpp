#include <quorvel/doc_index.h>

#include <sys/stat.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <numeric>
#include <optional>
#include <set>
#include <thread>
#include <unordered_set>

#include <quorvel/embedder.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "index/index_file.h"
#include "platform/file_util.h"
#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

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
  bool damaged = false;        // index.json was there but could not be read
};

namespace {

constexpr float kKeywordWeight = 0.12f;
constexpr std::size_t kShortestTerm = 3;

uint64_t wordHash(std::string_view w) { return std::hash<std::string_view>{}(w); }

// Calls f with each word of the text (see DocIndex::tokens).
template <class F>
void forEachToken(std::string_view text, F&& f) {
  std::string word;
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    for (char c : text) {
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        word.push_back(c);
      } else if (c >= 'A' && c <= 'Z') {
        word.push_back(static_cast<char>(c - 'A' + 'a'));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  } else if (text.find("\xC4\xB0") == std::string_view::npos && text.find("\xCE\xA3") == std::string_view::npos) {
    // Without U+0130 (İ, which lower-cases to two code points) and U+03A3
    // (Σ, whose lower case depends on its place in the word), full Unicode
    // lower-casing is the simple mapping of each code point: no need to
    // convert the whole text.
    std::size_t i = 0;
    while (i < text.size()) {
      UChar32 c;
      U8_NEXT(text.data(), i, text.size(), c);
      if (c < 0) c = 0xFFFD;
      c = u_tolower(c);
      if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0) {
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);
        word.append(buf, static_cast<std::size_t>(n));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  } else {
    // Unicode lower-casing, not tied to a locale; then letters, marks and
    // numbers make words.
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    u.toLower(icu::Locale::getRoot());
    for (int32_t i = 0; i < u.length();) {
      const UChar32 c = u.char32At(i);
      i += U16_LENGTH(c);
      if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0) {
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);  // c is a valid code point: at most 4 bytes
        word.append(buf, static_cast<std::size_t>(n));
      } else if (!word.empty()) {
        f(std::string_view(word));
        word.clear();
      }
    }
  }
  if (!word.empty()) f(std::string_view(word));
}

std::vector<uint64_t> wordSet(std::string_view text) {
  std::vector<uint64_t> out;
  forEachToken(text, [&out](std::string_view w) { out.push_back(wordHash(w)); });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

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

// A document read and cut, with its passages' words, ready to be embedded.
struct Prepared {
  std::string name;
  std::optional<std::vector<Chunk>> chunks;  // nothing: unreadable this time
  std::vector<std::vector<uint64_t>> words;
  std::vector<std::string> notes;  // what its reading left out, or why it failed
  std::exception_ptr error;        // what preparing it threw (a progress callback, memory)
};

// Prepares the documents of a list in order on a thread of its own, at most
// sixteen ahead of the consumer (memory stays bounded). Stops early when
// destroyed.
class Prefetcher {
 public:
  Prefetcher(const std::vector<std::string>& names, std::function<Prepared(const std::string&)> prepare)
      : names_(names), prepare_(std::move(prepare)), thread_([this] { run(); }) {}
  ~Prefetcher() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  // The next document; when it is not ready within a second (a slow scan),
  // `whileWaiting` is called once, without the lock, before waiting on.
  Prepared next(const std::function<void()>& whileWaiting) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!cv_.wait_for(lock, std::chrono::seconds(1), [this] { return !ready_.empty(); })) {
      lock.unlock();
      whileWaiting();
      lock.lock();
      cv_.wait(lock, [this] { return !ready_.empty(); });
    }
    Prepared p = std::move(ready_.front());
    ready_.pop_front();
    cv_.notify_all();
    if (p.error) std::rethrow_exception(p.error);
    return p;
  }

 private:
  static constexpr std::size_t kAhead = 16;
  void run() {
    for (const auto& name : names_) {
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
        if (stop_) return;
      }
      Prepared p;
      try {
        p = prepare_(name);
      } catch (...) {
        p.error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mu_);
      ready_.push_back(std::move(p));
      cv_.notify_all();
    }
  }
  const std::vector<std::string>& names_;
  std::function<Prepared(const std::string&)> prepare_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Prepared> ready_;
  bool stop_ = false;
  std::thread thread_;  // last: started once everything above exists
};

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

double modificationTime(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

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

std::shared_ptr<DocIndex::Snapshot> load(const fs::path& file) {
  auto snap = std::make_shared<DocIndex::Snapshot>();
  std::map<std::string, double> files;
  std::vector<StoredPassage> passages;
  auto block = std::make_shared<std::vector<float>>();
  // A damaged file counts as no file: the next refresh rebuilds the index.
  if (!readIndexFile(file, files, passages, *block, snap->embeddingModel)) {
    std::error_code ec;
    snap->damaged = fs::exists(file, ec);
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

}  // namespace

DocIndex& DocIndex::shared() {
  static DocIndex index;
  return index;
}

DocIndex::DocIndex() : snap_(load(Paths::indexFile())) {}

void DocIndex::reload() {
  std::lock_guard<std::mutex> one(refreshMu_);
  publish(load(Paths::indexFile()));
  // What an earlier reading found wrong may be of another folder's files;
  // the next refresh finds it again.
  std::lock_guard<std::mutex> lock(mu_);
  problems_.clear();
}

std::shared_ptr<const DocIndex::Snapshot> DocIndex::snapshot() const {
  std::lock_guard<std::mutex> lock(mu_);
  return snap_;
}

void DocIndex::publish(std::shared_ptr<const Snapshot> s) {
  std::lock_guard<std::mutex> lock(mu_);
  snap_ = std::move(s);
}

std::vector<Chunk> DocIndex::chunks() const {
  const auto snap = snapshot();
  std::vector<Chunk> out;
  out.reserve(snap->entries.size());
  for (const auto& e : snap->entries) out.push_back(e->full());
  return out;
}

std::size_t DocIndex::chunkCount() const { return snapshot()->entries.size(); }

std::vector<std::string> DocIndex::fileNames() const {
  const auto snap = snapshot();
  std::set<std::string> distinct;
  for (const auto& e : snap->entries) distinct.insert(e->chunk.file);
  std::vector<std::string> names(distinct.begin(), distinct.end());
  sortNames(names);
  return names;
}

int64_t DocIndex::count(const std::string& file) const {
  const auto snap = snapshot();
  return std::count_if(snap->entries.begin(), snap->entries.end(),
                       [&](const auto& e) { return e->chunk.file == file; });
}

std::vector<std::string> DocIndex::tokens(std::string_view text) {
  std::vector<std::string> out;
  forEachToken(text, [&out](std::string_view w) { out.emplace_back(w); });
  return out;
}

namespace {

// Passages [from, to) as JSON objects, each preceded by a comma but the very
// first of the list. Throws JsonError for a non-finite component.
std::string passagesJson(const std::vector<std::shared_ptr<const DocIndex::Entry>>& entries, std::size_t from,
                         std::size_t to) {
  std::string out;
  std::size_t estimate = 0;
  for (std::size_t i = from; i < to; ++i) estimate += entries[i]->chunk.text.size() + entries[i]->dim * 12 + 128;
  out.reserve(estimate);
  for (std::size_t k = from; k < to; ++k) {
    const DocIndex::Entry& e = *entries[k];
    const Chunk& c = e.chunk;
    if (k > 0) out.push_back(',');
    out += "{\"id\":";
    appendJsonString(out, encodeName(c.id));
    out += ",\"file\":";
    appendJsonString(out, encodeName(c.file));
    out += ",\"section\":";
    appendJsonString(out, c.section);
    out += ",\"text\":";
    appendJsonString(out, c.text);
    out += ",\"vector\":[";
    const float* v = e.vector();
    for (std::size_t i = 0; i < e.dim; ++i) {
      if (i > 0) out.push_back(',');
      appendJsonNumber(out, v[i]);
    }
    out += "]}";
  }
  return out;
}

}  // namespace

void DocIndex::save() const {
  const auto snap = snapshot();
  const auto& entries = snap->entries;
  std::string out = "{";
  if (!snap->embeddingModel.empty()) {
    out += "\"embedding\":{\"model\":";
    appendJsonString(out, snap->embeddingModel);
    out += "},";
  }
  out += "\"files\":{";
  try {
    bool first = true;
    for (const auto& [name, time] : snap->files) {
      if (!first) out.push_back(',');
      first = false;
      appendJsonString(out, encodeName(name));
      out.push_back(':');
      appendJsonNumber(out, time);
    }
    out += "},\"chunks\":[";
    // Printing the numbers is most of the work: the second half of the
    // passages is printed on another core.
    const std::size_t half = entries.size() / 2;
    std::string second;
    std::exception_ptr failed;
    std::thread helper;
    if (entries.size() >= 64) {
      helper = std::thread([&] {
        try {
          second = passagesJson(entries, half, entries.size());
        } catch (...) {
          failed = std::current_exception();
        }
      });
    }
    std::string firstPart;
    try {
      firstPart = passagesJson(entries, 0, helper.joinable() ? half : entries.size());
    } catch (...) {
      if (helper.joinable()) helper.join();
      throw;
    }
    if (helper.joinable()) helper.join();
    if (failed) std::rethrow_exception(failed);
    out.reserve(out.size() + firstPart.size() + second.size() + 2);
    out += firstPart;
    out += second;
    out += "]}";
  } catch (const JsonError& e) {
    throw std::runtime_error("cannot save " + Paths::indexFile().string() + ": " + e.what());
  }
  removeStaleTemporaries(Paths::support(), ".index.json.");
  if (!writeFileAtomically(Paths::indexFile(), out))
    throw std::runtime_error("cannot save " + Paths::indexFile().string() + ": " + std::strerror(errno));
}

namespace {

// The documents of the folder (name and modification time) and the links
// among them that lead out of it, with the reason.
struct Listing {
  std::map<std::string, double> current;
  std::map<std::string, std::string> refused;
};

Listing list(const fs::path& folder) {
  Listing out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (!DocumentReader::isAllowed(p)) continue;
    if (auto why = outsideReason(p, folder)) {
      out.refused[p.filename().string()] = *why;
      continue;
    }
    // Only regular files are documents: a FIFO or a device is never read.
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    out.current[p.filename().string()] = modificationTime(p);
  }
  return out;
}

// New, changed, and passage-less files: those to read.
std::vector<std::string> dueFiles(const DocIndex::Snapshot& work, const std::vector<std::string>& names,
                                  const std::map<std::string, double>& current) {
  std::unordered_set<std::string> withPassages;
  for (const auto& e : work.entries) withPassages.insert(e->chunk.file);
  std::vector<std::string> due;
  for (const std::string& name : names) {
    auto known = work.files.find(name);
    if (known == work.files.end() || known->second != current.at(name) || withPassages.count(name) == 0)
      due.push_back(name);
  }
  return due;
}

// The dimension of the passages kept (not due), 0 when none is kept.
std::size_t keptDimension(const DocIndex::Snapshot& work, const std::set<std::string>& due) {
  for (const auto& e : work.entries)
    if (due.count(e->chunk.file) == 0 && e->dim > 0) return e->dim;
  return 0;
}

// The vectors of a document's passages, of the index's dimension `dim` (set
// from them when still 0). Nothing when the server's vectors have another
// dimension than the passages kept (`keptDim`): its model changed, and every
// passage is to be embedded again. Throws EmbedError.
std::optional<std::vector<std::vector<float>>> embedPassages(const std::vector<Chunk>& chunks, std::size_t& dim,
                                                             bool keptDim) {
  std::vector<std::string> texts;
  texts.reserve(chunks.size());
  for (const auto& c : chunks) texts.push_back(c.text);
  std::vector<std::vector<float>> vectors = Embedder::embed(texts, false);
  if (vectors.empty()) return vectors;
  if (dim == 0) dim = vectors[0].size();
  if (vectors[0].size() == dim) return vectors;
  if (keptDim) return std::nullopt;
  throw EmbedError("the embedding server returned vectors of " + std::to_string(vectors[0].size()) +
                   " dimensions; the index holds vectors of " + std::to_string(dim));
}

std::string joined(const std::vector<std::string>& notes) {
  std::string out;
  for (const auto& n : notes) out += (out.empty() ? "" : "; ") + n;
  return out;
}

// The passages of one document in place of its old ones, their vectors in
// one block of their own (a search streams through them in memory order).
void replacePassages(DocIndex::Snapshot& work, Prepared& p, const std::vector<std::vector<float>>& vectors) {
  std::erase_if(work.entries, [&](const auto& e) { return e->chunk.file == p.name; });
  auto block = std::make_shared<std::vector<float>>();
  std::size_t total = 0;
  for (const auto& v : vectors) total += v.size();
  block->reserve(total);
  std::vector<std::size_t> offsets;
  for (const auto& v : vectors) {
    offsets.push_back(block->size());
    block->insert(block->end(), v.begin(), v.end());
  }
  std::vector<Chunk>& chunks = *p.chunks;
  for (std::size_t i = 0; i < chunks.size(); ++i)
    work.entries.push_back(
        makeEntry(std::move(chunks[i]), block, offsets[i], vectors[i].size(), std::move(p.words[i])));
}

}  // namespace

// In one piece: its steps share the working copy of the index, the
// vectors' dimension, the saves on the way and the problems found; the steps
// that stand alone are above.
void DocIndex::refresh(const std::function<void(const std::string&)>& progress) {
  std::lock_guard<std::mutex> one(refreshMu_);
  Paths::ensure();
  const fs::path folder = Paths::documents();

  const Listing listing = list(folder);
  const std::map<std::string, double>& current = listing.current;

  auto work = std::make_shared<Snapshot>(*snapshot());
  work->damaged = false;  // what this refresh saves replaces the damaged file
  std::erase_if(work->entries, [&](const auto& e) { return current.count(e->chunk.file) == 0; });
  std::erase_if(work->files, [&](const auto& kv) { return current.count(kv.first) == 0; });

  std::vector<std::string> names;
  for (const auto& [name, time] : current) names.push_back(name);
  sortNames(names);

  // Vectors of another embedding model mean nothing beside the new ones:
  // every passage is embedded again (named as it goes, as any reading).
  const std::string model = ModelCatalog::embedding().file;
  if (!work->embeddingModel.empty() && work->embeddingModel != model) {
    work->entries.clear();
    work->files.clear();
  }
  work->embeddingModel = model;

  std::map<std::string, std::string> problems;
  auto publishProblems = [&] {
    std::lock_guard<std::mutex> lock(mu_);
    problems_ = problems;
  };
  for (bool again = true; again;) {
    again = false;
    const std::vector<std::string> due = dueFiles(*work, names, current);
    const std::set<std::string> dueSet(due.begin(), due.end());
    // Every vector of the index has one dimension: that of the passages this
    // run keeps, else that of the first file it embeds.
    std::size_t dim = keptDimension(*work, dueSet);
    const bool keptDim = dim > 0;

    // What was said of the documents not read this time still holds.
    problems = listing.refused;
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (const auto& [name, why] : problems_)
        if (current.count(name) != 0 && dueSet.count(name) == 0) problems[name] = why;
    }

    // Documents are read, cut and tokenised up to sixteen ahead on another
    // core while the passages of the current one are being embedded.
    Prefetcher ahead(due, [&](const std::string& name) {
      Prepared p{name, std::nullopt, {}, {}, nullptr};
      const auto text = DocumentReader::text(folder / name, &p.notes);
      if (!text) return p;
      p.chunks = DocumentReader::chunks(name, *text);
      for (const auto& c : *p.chunks) p.words.push_back(wordSet(c.text));
      return p;
    });
    auto lastSave = std::chrono::steady_clock::now();
    bool unsaved = false;
    // Progress is saved on the way, so that a reading stopped or killed
    // later keeps the documents done so far: while waiting for a document
    // that is slow to read (a scan), and every kSaveEvery.
    auto saveProgress = [&] {
      if (!unsaved) return;
      publish(std::make_shared<Snapshot>(*work));
      save();
      lastSave = std::chrono::steady_clock::now();
      unsaved = false;
    };
    for (std::size_t d = 0; d < due.size(); ++d) {
      // Named when its turn comes (it may still be being read), never ahead:
      // a refresh that stops at this file must not have named the next ones.
      if (progress) progress(due[d]);
      if (std::chrono::steady_clock::now() - lastSave >= kSaveEvery) saveProgress();
      Prepared p = ahead.next(saveProgress);
      if (!p.notes.empty()) problems[p.name] = joined(p.notes);
      if (!p.chunks) continue;  // unreadable this time: its old passages stay
      std::optional<std::vector<std::vector<float>>> vectors;
      try {
        vectors = embedPassages(*p.chunks, dim, keptDim);
        if (!vectors) {
          again = true;
          break;
        }
      } catch (...) {
        // What this run did so far stays in memory (and in index.json as far
        // as it was saved on the way).
        publish(work);
        publishProblems();
        throw;
      }
      replacePassages(*work, p, *vectors);
      work->files[p.name] = current.at(p.name);
      unsaved = true;
    }
    if (again) {
      work->entries.clear();
      work->files.clear();
    }
  }
  publish(work);
  publishProblems();
  save();
}

bool DocIndex::damagedOnLoad() const { return snapshot()->damaged; }

std::vector<DocIndex::Problem> DocIndex::problems() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Problem> out;
  for (const auto& [file, why] : problems_) out.push_back({file, why});
  return out;
}

std::vector<DocIndex::Hit> DocIndex::search(const std::string& message, int64_t k) const {
  const auto snap = snapshot();
  const auto& entries = snap->entries;
  if (entries.empty()) return {};  // nothing to rank: no embedding request
  const std::vector<float> query = Embedder::embed({message}, true).at(0);

  // Keyword part: rare words shared with the message count most.
  std::vector<uint64_t> terms;
  for (const auto& w : tokens(message))
    if (graphemeCount(w) >= kShortestTerm) terms.push_back(wordHash(w));
  std::sort(terms.begin(), terms.end());
  terms.erase(std::unique(terms.begin(), terms.end()), terms.end());

  const std::size_t n = entries.size();
  std::vector<float> keyword(n, 0.0f);
  if (!terms.empty()) {
    std::vector<uint32_t> df(terms.size(), 0);
    std::vector<uint8_t> has(n * terms.size(), 0);
    for (std::size_t i = 0; i < n; ++i) {
      const auto& words = entries[i]->words;
      for (std::size_t t = 0; t < terms.size(); ++t) {
        if (entries[i]->mayHave(terms[t]) && std::binary_search(words.begin(), words.end(), terms[t])) {
          has[i * terms.size() + t] = 1;
          ++df[t];
        }
      }
    }
    std::vector<float> idf(terms.size());
    for (std::size_t t = 0; t < terms.size(); ++t)
      idf[t] = std::log(static_cast<float>(n) / static_cast<float>(std::max<uint32_t>(df[t], 1)) + 1.0f);
    float max = 0;
    for (std::size_t i = 0; i < n; ++i) {
      float raw = 0;
      for (std::size_t t = 0; t < terms.size(); ++t)
        if (has[i * terms.size() + t]) raw += idf[t];
      keyword[i] = raw;
      max = std::max(max, raw);
    }
    for (float& x : keyword) x = max > 0 ? x / max : 0.0f;
  }

  std::vector<float> score(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Entry& e = *entries[i];
    const float cosine = (!query.empty() && e.dim == query.size()) ? dot(query.data(), e.vector(), e.dim) : 0.0f;
    score[i] = cosine + keyword[i] * kKeywordWeight;
  }
  // Best first; equal scores keep the passages' order (a stable ranking).
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  const std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(std::max<int64_t>(k, 0)));
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(take), order.end(),
                    [&](uint32_t a, uint32_t b) { return score[a] > score[b] || (score[a] == score[b] && a < b); });
  std::vector<Hit> hits;
  hits.reserve(take);
  for (std::size_t i = 0; i < take; ++i) hits.push_back({entries[order[i]]->full(), score[order[i]]});
  return hits;
}

}  // namespace quorvel
