// Diagnostics the core can give but never prints itself: raw model replies,
// why a document could not be read, why a save failed. A program that wants
// them sets a sink (the command-line tool writes them to standard error when
// QUORVEL_DEBUG is set, the app to its log).
#pragma once

#include <functional>
#include <string_view>

namespace quorvel::debug {

// Receives one line without its line feed. Called from whatever thread the
// core is working on, possibly from several at once; the sink serialises.
using Sink = std::function<void(std::string_view line)>;

// Replaces the sink (an empty one switches diagnostics off). Safe from any
// thread; a line being written meanwhile goes to the old or the new sink.
void setSink(Sink sink);
bool enabled();
// Passes `prefix` + `text` to the sink, if one is set.
void line(std::string_view prefix, std::string_view text = {});

}  // namespace quorvel::debug
