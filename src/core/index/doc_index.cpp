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
#include "index/passages.h"
#include "index/prefetch.h"
#include "index/words.h"
#include "platform/file_util.h"
#include "platform/json_writer.h"
#include "platform/text.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr float kKeywordWeight = 0.12f;
constexpr std::size_t kShortestTerm = 3;

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

namespace {

// The documents of the folder (name and modification time), and those of
// its entries named as documents that are not read, with the reason.
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
    // Only regular files of a document's size are documents: a FIFO, a
    // socket or a device is never opened, a file of gigabytes never read.
    // Each is named, so that the hotel knows why its answers lack it.
    if (auto why = DocumentReader::refusal(p)) {
      out.refused[p.filename().string()] = *why;
      continue;
    }
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;  // a link to nothing
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

namespace {

// The index as this refresh starts from: without the passages of files that
// are gone, emptied when another embedding model made its vectors, and with
// every document due when an earlier version cut its passages (`recut`).
std::shared_ptr<DocIndex::Snapshot> workingCopy(const DocIndex::Snapshot& published,
                                                const std::map<std::string, double>& current, bool& recut) {
  auto work = std::make_shared<DocIndex::Snapshot>(published);
  work->damaged = false;  // what this refresh saves replaces the damaged file
  std::erase_if(work->entries, [&](const auto& e) { return current.count(e->chunk.file) == 0; });
  std::erase_if(work->files, [&](const auto& kv) { return current.count(kv.first) == 0; });
  // Vectors of another embedding model mean nothing beside the new ones:
  // every passage is embedded again (named as it goes, as any reading).
  const std::string model = ModelCatalog::embedding().file;
  if (!work->embeddingModel.empty() && work->embeddingModel != model) {
    work->entries.clear();
    work->files.clear();
  }
  work->embeddingModel = model;
  recut = work->cutting < DocumentReader::cuttingVersion;
  if (recut) work->files.clear();
  return work;
}

}  // namespace

void DocIndex::refresh(const std::function<void(const std::string&)>& progress) {
  std::lock_guard<std::mutex> one(refreshMu_);
  {
    // The embedding model may have changed since (a new installation).
    std::lock_guard<std::mutex> lock(recentMu_);
    recent_.clear();
  }
  Paths::ensure();
  const Listing listing = list(Paths::documents());
  bool recut = false;
  const auto work = workingCopy(*snapshot(), listing.current, recut);
  std::vector<std::string> names;
  for (const auto& [name, time] : listing.current) names.push_back(name);
  sortNames(names);

  std::map<std::string, std::string> problems;
  for (bool again = true; again;) {
    const std::vector<std::string> due = dueFiles(*work, names, listing.current);
    // What was said of the documents not read this time still holds.
    problems = listing.refused;
    {
      const std::set<std::string> dueSet(due.begin(), due.end());
      std::lock_guard<std::mutex> lock(mu_);
      for (const auto& [name, why] : problems_)
        if (listing.current.count(name) != 0 && dueSet.count(name) == 0) problems[name] = why;
    }
    again = !readAndEmbed(work, due, listing.current, problems, progress);
    if (again) {
      work->entries.clear();
      work->files.clear();
    }
  }
  if (recut) work->cutting = DocumentReader::cuttingVersion;
  publish(work);
  publishProblems(problems);
  save();
}

void DocIndex::publishProblems(const std::map<std::string, std::string>& problems) {
  std::lock_guard<std::mutex> lock(mu_);
  problems_ = problems;
}

bool DocIndex::readAndEmbed(const std::shared_ptr<Snapshot>& work, const std::vector<std::string>& due,
                            const std::map<std::string, double>& current, std::map<std::string, std::string>& problems,
                            const std::function<void(const std::string&)>& progress) {
  const fs::path folder = Paths::documents();
  // Every vector of the index has one dimension: that of the passages this
  // run keeps, else that of the first file it embeds.
  std::size_t dim = keptDimension(*work, std::set<std::string>(due.begin(), due.end()));
  const bool keptDim = dim > 0;

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
  for (const std::string& name : due) {
    // Named when its turn comes (it may still be being read), never ahead:
    // a refresh that stops at this file must not have named the next ones.
    if (progress) progress(name);
    if (std::chrono::steady_clock::now() - lastSave >= kSaveEvery) saveProgress();
    Prepared p = ahead.next(saveProgress);
    if (!p.notes.empty()) problems[p.name] = joined(p.notes);
    if (!p.chunks) continue;  // unreadable this time: its old passages stay
    std::optional<std::vector<std::vector<float>>> vectors;
    try {
      vectors = embedPassages(*p.chunks, dim, keptDim);
    } catch (...) {
      // What this run did so far stays in memory (and in index.json as far
      // as it was saved on the way).
      publish(work);
      publishProblems(problems);
      throw;
    }
    if (!vectors) return false;  // the embedding model's dimension changed
    replacePassages(*work, p, *vectors);
    work->files[p.name] = current.at(p.name);
    unsaved = true;
  }
  return true;
}

bool DocIndex::damagedOnLoad() const { return snapshot()->damaged; }

bool DocIndex::cutByEarlierVersion() const {
  const auto snap = snapshot();
  return snap->cutting < DocumentReader::cuttingVersion && !snap->entries.empty();
}

std::vector<DocIndex::Problem> DocIndex::problems() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Problem> out;
  for (const auto& [file, why] : problems_) out.push_back({file, why});
  return out;
}

namespace {

// The k best passages for one message, given its vector: cosine similarity
// plus the weighted keyword score.
std::vector<DocIndex::Hit> rank(const std::vector<std::shared_ptr<const DocIndex::Entry>>& entries,
                                const std::string& message, const std::vector<float>& query, int64_t k) {
  // Keyword part: rare words shared with the message count most.
  std::vector<uint64_t> terms;
  for (const auto& w : DocIndex::tokens(message))
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
    const DocIndex::Entry& e = *entries[i];
    const float cosine = (!query.empty() && e.dim == query.size()) ? dot(query.data(), e.vector(), e.dim) : 0.0f;
    score[i] = cosine + keyword[i] * kKeywordWeight;
  }
  // Best first; equal scores keep the passages' order (a stable ranking).
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  const std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(std::max<int64_t>(k, 0)));
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(take), order.end(),
                    [&](uint32_t a, uint32_t b) { return score[a] > score[b] || (score[a] == score[b] && a < b); });
  std::vector<DocIndex::Hit> hits;
  hits.reserve(take);
  for (std::size_t i = 0; i < take; ++i) hits.push_back({entries[order[i]]->full(), score[order[i]]});
  return hits;
}

}  // namespace

std::vector<DocIndex::Hit> DocIndex::search(const std::string& message, int64_t k) const {
  return searchAll({{message, k}}).at(0);
}

std::vector<std::vector<float>> DocIndex::queryVectors(const std::vector<Query>& queries) const {
  constexpr std::size_t kRemembered = 8;
  std::vector<std::vector<float>> out(queries.size());
  std::vector<std::string> missing;
  {
    std::lock_guard<std::mutex> lock(recentMu_);
    for (std::size_t i = 0; i < queries.size(); ++i) {
      auto it = std::find_if(recent_.begin(), recent_.end(), [&](const auto& r) { return r.first == queries[i].text; });
      if (it != recent_.end())
        out[i] = it->second;
      else
        missing.push_back(queries[i].text);
    }
  }
  if (missing.empty()) return out;
  std::vector<std::vector<float>> fresh = Embedder::embed(missing, true);
  std::lock_guard<std::mutex> lock(recentMu_);
  std::size_t next = 0;
  for (std::size_t i = 0; i < queries.size(); ++i) {
    if (!out[i].empty()) continue;
    out[i] = fresh.at(next++);
    recent_.emplace_back(queries[i].text, out[i]);
    if (recent_.size() > kRemembered) recent_.pop_front();
  }
  return out;
}

int64_t DocIndex::forget(std::string_view text, const std::string& file) {
  const std::string folded = searchNeedle(text);
  if (folded.empty()) return 0;
  auto has = [&folded](std::string_view s) { return holdsNeedle(s, folded); };
  {
    std::lock_guard<std::mutex> lock(recentMu_);
    std::erase_if(recent_, [&](const auto& r) { return has(r.first); });
  }
  std::lock_guard<std::mutex> one(refreshMu_);
  const auto snap = snapshot();
  auto next = std::make_shared<Snapshot>(*snap);
  const std::size_t before = next->entries.size();
  std::erase_if(next->entries,
                [&](const auto& e) { return e->chunk.file == file && (has(e->chunk.text) || has(e->chunk.section)); });
  const auto gone = static_cast<int64_t>(before - next->entries.size());
  if (gone == 0) return 0;
  next->files[file] = 0;  // never the file's time: read again
  publish(next);
  save();
  return gone;
}

std::vector<std::vector<DocIndex::Hit>> DocIndex::searchAll(const std::vector<Query>& queries) const {
  const auto snap = snapshot();
  const auto& entries = snap->entries;
  std::vector<std::vector<Hit>> out(queries.size());
  if (entries.empty() || queries.empty()) return out;  // nothing to rank: no embedding request
  const std::vector<std::vector<float>> vectors = queryVectors(queries);
  for (std::size_t q = 0; q < queries.size(); ++q) out[q] = rank(entries, queries[q].text, vectors[q], queries[q].k);
  return out;
}

}  // namespace quorvel
