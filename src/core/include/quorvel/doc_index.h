// The document index: every passage of the documents folder with its
// embedding, kept in memory, saved as index.json, refreshed against the
// folder, and searched by meaning and keywords.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <quorvel/document_reader.h>

namespace quorvel {

class DocIndex {
 public:
  struct Hit {
    Chunk chunk;
    float score = 0;
  };

  // The process's index, loaded from index.json at first use.
  static DocIndex& shared();
  // Loads index.json; a missing or damaged file gives an empty index.
  DocIndex();

  // Loads index.json again, replacing what is in memory (after another
  // program re-read the documents, or the support folder changed). Waits
  // for a refresh under way. The problems() of the last refresh are
  // forgotten until the next one.
  void reload();

  std::vector<Chunk> chunks() const;
  std::size_t chunkCount() const;
  // Distinct file names of the passages, in code point order after NFC.
  std::vector<std::string> fileNames() const;
  int64_t count(const std::string& file) const;

  // Brings the index in line with the documents folder: new, changed and
  // passage-less files are read, cut and embedded, removed files are dropped,
  // then index.json is saved. Each file's name is passed to `progress` when
  // its turn comes, in order, on the calling thread. Throws the embedding
  // error, or the save error; index.json then stays as it was. Two
  // refreshes never run at once; searches meanwhile see the old passages.
  // A long refresh also saves index.json on the way: every kSaveEvery, and
  // whenever it waits for a document still being read.
  void refresh(const std::function<void(const std::string&)>& progress = {});
  static constexpr std::chrono::seconds kSaveEvery{10};

  // A document that the last refreshes could not read, or read only in
  // part, with the reason ("page 1 could not be drawn within 30 s"), in
  // name order. Kept until the file is read whole or removed.
  struct Problem {
    std::string file;
    std::string reason;
    bool operator==(const Problem&) const = default;
  };
  std::vector<Problem> problems() const;

  // Whether index.json was there but could not be read (damaged, cut off,
  // absurdly nested), so that the passages are missing until the next
  // refresh reads the documents again.
  bool damagedOnLoad() const;

  // Whether the passages were read and cut by an earlier version: the next
  // refresh reads every document again (once).
  bool cutByEarlierVersion() const;

  // The k best passages for a guest message: cosine similarity plus 0.12
  // times the keyword score. Throws the embedding error.
  std::vector<Hit> search(const std::string& message, int64_t k) const;
  // Several searches with one embedding request: the k best for each text.
  struct Query {
    std::string text;
    int64_t k = 0;
  };
  std::vector<std::vector<Hit>> searchAll(const std::vector<Query>& queries) const;

  // Drops what holds a guest's words, `text` matched case and width aside:
  // the kept vectors of the messages that contain it, and the passages of
  // `file` (the desk's answers, whose questions are guests' messages) that
  // do. When passages went, `file` is read again at the next refresh and
  // index.json is saved now. Returns how many passages went; throws the
  // save error. Other documents are the hotel's own and are not touched.
  int64_t forget(std::string_view text, const std::string& file);

  // Writes index.json whole and atomically. Throws std::runtime_error
  // naming the reason (a full disk) when it could not; the old file stays.
  void save() const;

  // The words of a text as the keyword score sees them: lower-cased, split at
  // anything that is not a letter, mark or number.
  static std::vector<std::string> tokens(std::string_view text);

  struct Entry;
  struct Snapshot;

 private:
  std::shared_ptr<const Snapshot> snapshot() const;
  void publish(std::shared_ptr<const Snapshot> s);
  void publishProblems(const std::map<std::string, std::string>& problems);
  // One pass of a refresh over the due documents: each is read, cut and
  // embedded into `work`, what goes wrong added to `problems`. False when
  // the embedding model's dimension changed under the passages kept, so
  // that every passage is to be embedded again. Throws the embedding error.
  bool readAndEmbed(const std::shared_ptr<Snapshot>& work, const std::vector<std::string>& due,
                    const std::map<std::string, double>& current, std::map<std::string, std::string>& problems,
                    const std::function<void(const std::string&)>& progress);

  mutable std::mutex mu_;  // guards snap_ (the pointer, not what it points to) and problems_
  std::mutex refreshMu_;   // one refresh at a time
  std::shared_ptr<const Snapshot> snap_;
  std::map<std::string, std::string> problems_;
  // The last few messages' vectors: a message read ahead is not embedded
  // again when its reply is written. Forgotten at every refresh.
  std::vector<std::vector<float>> queryVectors(const std::vector<Query>& queries) const;
  mutable std::mutex recentMu_;
  mutable std::deque<std::pair<std::string, std::vector<float>>> recent_;
};

}  // namespace quorvel
