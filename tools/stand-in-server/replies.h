// What the stand-in model server answers: deterministic, cheap and good
// enough for end-to-end tests of search and answering.
#pragma once

#include <string>
#include <vector>

namespace standin {

// Lower-cased words (letters, marks and digits) of a UTF-8 text.
std::vector<std::string> words(const std::string& text);

// A unit-length hashed bag-of-words vector.
std::vector<float> embed(const std::string& text, int dim);

// The reply to a chat request, by the kind of prompt it carries: an answer
// that quotes and cites the best matching source sentence (or NOT_IN_DOCS),
// YES/NO verdict lines for a verification, YES or NO for a re-check.
std::string chatReply(const std::string& system, const std::string& user);

}  // namespace standin
