#include "doc_index.h"

#include <sys/stat.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <set>
#include <simdjson.h>
#include <unordered_set>

#include "embedder.h"
#include "file_util.h"
#include "json_writer.h"
#include "paths.h"
#include "text.h"

namespace quorvel {

namespace fs = std::filesystem;

// One passage with the distinct words of its text, kept as sorted 64-bit
// hashes: the keyword score needs only "does this passage contain the word",
// and re-tokenising every passage at every search would cost more than the
// vector part.
struct DocIndex::Entry {
  Chunk chunk;
  std::vector<uint64_t> words;
};

// What a search sees: replaced whole by a refresh, never changed in place.
struct DocIndex::Snapshot {
  std::vector<std::shared_ptr<const Entry>> entries;
  std::map<std::string, double> files;
};

namespace {

constexpr float kKeywordWeight = 0.12f;
constexpr std::size_t kShortestTerm = 3;

uint64_t wordHash(std::string_view w) { return std::hash<std::string_view>{}(w); }

std::vector<uint64_t> wordSet(std::string_view text) {
  std::vector<uint64_t> out;
  for (const auto& w : DocIndex::tokens(text)) out.push_back(wordHash(w));
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::shared_ptr<const DocIndex::Entry> makeEntry(Chunk c) {
  auto e = std::make_shared<DocIndex::Entry>();
  e->words = wordSet(c.text);
  e->chunk = std::move(c);
  return e;
}

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

// Eight independent sums, so that the compiler can keep them in vector
// registers; the order of addition differs from a plain loop only in the
// last bits.
__attribute__((target_clones("avx2", "default"))) float dot(const float* a, const float* b, std::size_t n) {
  float s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int j = 0; j < 8; ++j) s[j] += a[i + j] * b[i + j];
  float tail = 0;
  for (; i < n; ++i) tail += a[i] * b[i];
  return ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7])) + tail;
}

double modificationTime(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

// Reading index.json. Any missing key or wrong type makes the whole file
// unusable (the index then starts empty and the next refresh rebuilds it).
struct LoadError {};

std::string readString(simdjson::ondemand::value v) {
  std::string_view s;
  if (v.get_string().get(s)) throw LoadError{};
  return std::string(s);
}

std::vector<float> readVector(simdjson::ondemand::value v) {
  simdjson::ondemand::array a;
  if (v.get_array().get(a)) throw LoadError{};
  std::vector<float> out;
  for (auto element : a) {
    simdjson::ondemand::value x;
    if (element.get(x)) throw LoadError{};
    simdjson::ondemand::json_type type;
    if (x.type().get(type) || type != simdjson::ondemand::json_type::number) throw LoadError{};
    // Straight from the decimal text to a 32-bit float: through a double
    // first, a component could round twice and not read back bit for bit.
    const std::string_view raw = x.raw_json_token();
    float f;
    auto [ptr, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), f);
    if (ec != std::errc()) throw LoadError{};
    out.push_back(f);
  }
  return out;
}

std::shared_ptr<DocIndex::Snapshot> load(const fs::path& file) {
  auto snap = std::make_shared<DocIndex::Snapshot>();
  auto bytes = readFile(file);
  if (!bytes) return snap;
  try {
    simdjson::ondemand::parser parser;
    const simdjson::padded_string padded(*bytes);
    simdjson::ondemand::document doc = parser.iterate(padded);
    simdjson::ondemand::object top;
    if (doc.get_object().get(top)) throw LoadError{};
    bool haveFiles = false, haveChunks = false;
    std::vector<Chunk> chunks;
    std::map<std::string, double> files;
    for (auto field : top) {
      std::string_view key;
      if (field.unescaped_key().get(key)) throw LoadError{};
      if (key == "files") {
        simdjson::ondemand::object o;
        if (field.value().get_object().get(o)) throw LoadError{};
        for (auto f : o) {
          std::string_view name;
          double t;
          if (f.unescaped_key().get(name)) throw LoadError{};
          const std::string n(name);
          if (f.value().get_double().get(t)) throw LoadError{};
          files[n] = t;
        }
        haveFiles = true;
      } else if (key == "chunks") {
        simdjson::ondemand::array a;
        if (field.value().get_array().get(a)) throw LoadError{};
        for (auto element : a) {
          simdjson::ondemand::object o;
          if (element.get_object().get(o)) throw LoadError{};
          Chunk c;
          int seen = 0;
          for (auto cf : o) {
            std::string_view k;
            if (cf.unescaped_key().get(k)) throw LoadError{};
            simdjson::ondemand::value v = cf.value();
            if (k == "id") c.id = readString(v), seen |= 1;
            else if (k == "file") c.file = readString(v), seen |= 2;
            else if (k == "section") c.section = readString(v), seen |= 4;
            else if (k == "text") c.text = readString(v), seen |= 8;
            else if (k == "vector") c.vector = readVector(v), seen |= 16;
          }
          if (seen != 31) throw LoadError{};
          chunks.push_back(std::move(c));
        }
        haveChunks = true;
      }
    }
    if (!haveFiles || !haveChunks) throw LoadError{};
    snap->files = std::move(files);
    snap->entries.reserve(chunks.size());
    for (auto& c : chunks) snap->entries.push_back(makeEntry(std::move(c)));
  } catch (const LoadError&) {
    return std::make_shared<DocIndex::Snapshot>();
  } catch (const simdjson::simdjson_error&) {
    return std::make_shared<DocIndex::Snapshot>();
  }
  return snap;
}

}  // namespace

DocIndex& DocIndex::shared() {
  static DocIndex index;
  return index;
}

DocIndex::DocIndex() : snap_(load(Paths::indexFile())) {}

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
  for (const auto& e : snap->entries) out.push_back(e->chunk);
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
  return std::count_if(snap->entries.begin(), snap->entries.end(), [&](const auto& e) { return e->chunk.file == file; });
}

std::vector<std::string> DocIndex::tokens(std::string_view text) {
  std::vector<std::string> out;
  std::string word;
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    for (char c : text) {
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        word.push_back(c);
      } else if (c >= 'A' && c <= 'Z') {
        word.push_back(static_cast<char>(c - 'A' + 'a'));
      } else if (!word.empty()) {
        out.push_back(std::move(word));
        word.clear();
      }
    }
  } else {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
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
        out.push_back(std::move(word));
        word.clear();
      }
    }
  }
  if (!word.empty()) out.push_back(std::move(word));
  return out;
}

void DocIndex::save() const {
  const auto snap = snapshot();
  std::string out;
  std::size_t estimate = 64;
  for (const auto& e : snap->entries) estimate += e->chunk.text.size() + e->chunk.vector.size() * 12 + 128;
  out.reserve(estimate);
  try {
    out += "{\"files\":{";
    bool first = true;
    for (const auto& [name, time] : snap->files) {
      if (!first) out.push_back(',');
      first = false;
      appendJsonString(out, name);
      out.push_back(':');
      appendJsonNumber(out, time);
    }
    out += "},\"chunks\":[";
    first = true;
    for (const auto& e : snap->entries) {
      const Chunk& c = e->chunk;
      if (!first) out.push_back(',');
      first = false;
      out += "{\"id\":";
      appendJsonString(out, c.id);
      out += ",\"file\":";
      appendJsonString(out, c.file);
      out += ",\"section\":";
      appendJsonString(out, c.section);
      out += ",\"text\":";
      appendJsonString(out, c.text);
      out += ",\"vector\":[";
      for (std::size_t i = 0; i < c.vector.size(); ++i) {
        if (i > 0) out.push_back(',');
        appendJsonNumber(out, c.vector[i]);
      }
      out += "]}";
    }
    out += "]}";
  } catch (const JsonError&) {
    return;  // a vector with a non-finite component: keep the old file
  }
  writeFileAtomically(Paths::indexFile(), out);
}

void DocIndex::refresh(const std::function<void(const std::string&)>& progress) {
  std::lock_guard<std::mutex> one(refreshMu_);
  Paths::ensure();
  const fs::path folder = Paths::documents();

  std::map<std::string, double> current;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (!DocumentReader::isAllowed(p)) continue;
    current[p.filename().string()] = modificationTime(p);
  }

  auto work = std::make_shared<Snapshot>(*snapshot());
  std::erase_if(work->entries, [&](const auto& e) { return current.count(e->chunk.file) == 0; });
  std::erase_if(work->files, [&](const auto& kv) { return current.count(kv.first) == 0; });

  std::vector<std::string> names;
  for (const auto& [name, time] : current) names.push_back(name);
  sortNames(names);

  std::unordered_set<std::string> withPassages;
  for (const auto& e : work->entries) withPassages.insert(e->chunk.file);

  for (const std::string& name : names) {
    const double time = current[name];
    auto known = work->files.find(name);
    if (known != work->files.end() && known->second == time && withPassages.count(name) != 0) continue;
    if (progress) progress(name);
    const auto text = DocumentReader::text(folder / name);
    if (!text) continue;  // unreadable this time: its old passages stay
    std::vector<Chunk> chunks = DocumentReader::chunks(name, *text);
    std::vector<std::string> texts;
    texts.reserve(chunks.size());
    for (const auto& c : chunks) texts.push_back(c.text);
    std::vector<std::vector<float>> vectors;
    try {
      vectors = Embedder::embed(texts, false);
    } catch (...) {
      // What this run did so far stays in memory; index.json keeps its old
      // content until a refresh succeeds.
      publish(work);
      throw;
    }
    std::erase_if(work->entries, [&](const auto& e) { return e->chunk.file == name; });
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      chunks[i].vector = std::move(vectors[i]);
      work->entries.push_back(makeEntry(std::move(chunks[i])));
    }
    if (chunks.empty()) withPassages.erase(name);
    else withPassages.insert(name);
    work->files[name] = time;
  }
  publish(work);
  save();
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
        if (std::binary_search(words.begin(), words.end(), terms[t])) {
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
    const auto& v = entries[i]->chunk.vector;
    const float cosine = (!query.empty() && v.size() == query.size()) ? dot(query.data(), v.data(), v.size()) : 0.0f;
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
  for (std::size_t i = 0; i < take; ++i) hits.push_back({entries[order[i]]->chunk, score[order[i]]});
  return hits;
}

}  // namespace quorvel
