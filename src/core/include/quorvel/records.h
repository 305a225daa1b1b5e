// The records that leave the answering pipeline: the reply and the passages
// it cites. Their JSON form is what history.jsonl stores, one object a line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

using TimePoint = std::chrono::system_clock::time_point;

struct Source {
  int64_t n = 0;
  std::string file;
  std::string section;
  std::string snippet;

  // The snippet of a passage: its first 240 user-perceived characters.
  static std::string snippetOf(std::string_view passageText);

  bool operator==(const Source&) const = default;

  std::string toJson() const;
  // Throws std::exception when a key is missing or has the wrong type.
  static Source fromJson(std::string_view json);
};

struct Answer {
  std::string question;
  std::string text;
  bool notInDocs = false;
  std::string language;
  std::vector<Source> sources;
  int64_t tokens = 0;
  double tokensPerSecond = 0;
  double seconds = 0;
  TimePoint date{};
  // The reply template chosen, by id; empty for none. Stored only when set
  // ("template"), so that lines without one read as before.
  std::string templateId;
  // Whether the answer reached history.jsonl. Not part of the stored form.
  bool recorded = false;

  // One line, no spaces. Throws JsonError when a floating field is not finite.
  std::string toJson() const;
  // Every key but "template" is required; throws std::exception otherwise.
  static Answer fromJson(std::string_view json);
};

}  // namespace quorvel

template <>
struct std::hash<quorvel::Source> {
  std::size_t operator()(const quorvel::Source& s) const noexcept;
};
