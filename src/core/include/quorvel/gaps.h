// What guests asked that the documents did not answer: the unanswered and
// half-answered messages of the history, grouped by meaning across
// languages, so that the manager can write the missing facts in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <quorvel/records.h>

namespace quorvel {

struct Gaps {
  // One distinct message (the same text asked again counts here).
  struct Message {
    std::string text;
    int64_t count = 0;
    std::vector<std::string> languages;  // reply languages, sorted
    TimePoint first{}, last{};
    std::string templateId;  // the template last used with it, if any
  };

  struct Group {
    std::string representative;  // the message closest to the group's centre
    int64_t count = 0;           // every time one of its messages was asked
    std::vector<std::string> languages;
    TimePoint first{}, last{};
    std::string templateId;             // the template used most, if any
    std::vector<std::string> examples;  // its messages, most asked first
    // A document changed after the last ask: the answer may be there now.
    // Whether it is cannot be told from a search score (replies have no
    // score threshold; the reply model decides what the passages answer),
    // so the manager asks again to see.
    bool documentsChangedSince = false;
    // When the desk's answer to it was added to front-desk-answers.md, if no
    // guest went unanswered since (see DeskAnswers::markAnswered).
    std::optional<TimePoint> answered;
  };

  struct Reading {
    std::vector<Message> messages;  // most recently asked first
    int64_t damagedLines = 0;       // lines that are not an answer, or dated impossibly or in the future: skipped
    int64_t leftOut = 0;            // asks of older messages beyond kMaxMessages
    int64_t answers = 0;            // answers of the period
  };

  struct Result {
    std::vector<Group> groups;  // largest first
    bool byMeaning = false;     // else by exact text
    std::string whyByText;      // why not by meaning
    int64_t damagedLines = 0;
    int64_t leftOut = 0;
    int64_t answers = 0;
  };

  // Two messages join when the cosine of their vectors (search model, with
  // the query instruction) is at least this. See gaps.cpp for the source.
  static constexpr float kJoin = 0.75f;
  // The most distinct messages grouped (the most recently asked): their
  // vectors take one pass of the search model.
  static constexpr std::size_t kMaxMessages = 500;

  // Reads the history file line by line: the unanswered and half-answered
  // asks from `since` on, merged by text. Never throws for a damaged or
  // missing file; memory stays bounded whatever its size.
  static Reading read(const std::filesystem::path& file, TimePoint since);

  // Groups messages whose vectors (unit length, one per message) are close.
  static std::vector<Group> byMeaning(const std::vector<Message>& messages,
                                      const std::vector<std::vector<float>>& vectors);
  // One group per message: when there are no vectors.
  static std::vector<Group> byText(const std::vector<Message>& messages);

  // The whole: the last `days` days of the history, grouped by meaning with
  // the search model (started if needed and `start`), or by text when it
  // does not run; the groups the desk answered since come last.
  static Result find(int days, bool start = true);

  // The groups as JSON, for scripts.
  static std::string toJson(const Result& result, int days);
};

}  // namespace quorvel
