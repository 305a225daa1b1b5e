// Writing index.json.
#include <quorvel/doc_index.h>

#include <cmath>
#include <cerrno>
#include <cstring>
#include <thread>

#include <quorvel/paths.h>

#include "index/index_file.h"
#include "index/passages.h"
#include "platform/file_util.h"
#include "platform/json_writer.h"

namespace quorvel {

namespace fs = std::filesystem;

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
  out += "\"cutting\":" + std::to_string(snap->cutting) + ",\"files\":{";
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

}  // namespace quorvel
