// The embedding server's reply, read apart from the request so that it can
// be tried on hostile input on its own.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quorvel {

// The vectors of a reply to `count` texts, in the order of their "index",
// as sent (not yet checked or normalised). Throws EmbedError when the reply
// has no "data" array of objects or fewer vectors than texts.
std::vector<std::vector<float>> parseEmbeddingReply(std::string_view body, std::size_t count);

}  // namespace quorvel
