// libFuzzer targets for what comes from the model servers and from disk:
// the streamed chat reader, the embedding reply and index.json.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include <quorvel/chat.h>
#include <quorvel/embedder.h>

#include "index/embedding_reply.h"
#include "index/index_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_STREAM)
  // The first byte decides where the body is cut into pieces, as the
  // network would.
  const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
  quorvel::Chat::Stream stream([](const std::string&) {});
  try {
    for (std::size_t at = 0; at < bytes.size(); at += piece) stream.feed(bytes.substr(at, piece));
    stream.finish();
  } catch (const quorvel::ChatError&) {
  }
#elif defined(FUZZ_EMBEDDING)
  const std::size_t count = size > 0 ? 1 + data[0] % 16 : 1;
  try {
    const auto vectors = quorvel::parseEmbeddingReply(bytes, count);
    if (vectors.size() != count) __builtin_trap();
  } catch (const quorvel::EmbedError&) {
  }
#elif defined(FUZZ_INDEX_FILE)
  // The reader takes a path: an anonymous in-memory file stands in.
  static const int fd = memfd_create("index.json", 0);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  std::map<std::string, double> files;
  std::vector<quorvel::StoredPassage> passages;
  std::vector<float> block;
  std::string model;
  int cutting = 0;
  if (quorvel::readIndexFile("/proc/self/fd/" + std::to_string(fd), files, passages, block, model, cutting)) {
    for (const auto& p : passages)
      if (p.offset + p.dim > block.size()) __builtin_trap();  // every vector lies inside the block
  }
#else
#error "no target chosen"
#endif
  return 0;
}
