// Embeddings from the local embedding server, 16 texts per request.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

// An embedding reply that cannot be used; domain "embed", code 1. what() is
// the server's reply as text (its own error object shows there).
struct EmbedError : std::runtime_error {
  explicit EmbedError(const std::string& what) : std::runtime_error(what) {}
  static constexpr const char* domain = "embed";
  static constexpr int code = 1;
};

struct Embedder {
  // What a guest message is prefixed with; passages are sent as they are.
  static const std::string queryInstruction;

  // One unit-length vector per text, in order. With `query` the texts are
  // guest messages. Throws EmbedError, or the transport error of the request.
  static std::vector<std::vector<float>> embed(const std::vector<std::string>& texts, bool query);
};

}  // namespace quorvel
