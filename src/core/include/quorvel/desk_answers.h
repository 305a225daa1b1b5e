// The desk's own answers: one Markdown document in the documents folder,
// front-desk-answers.md, with a section per question a guest asked and the
// documents did not answer:
//
//   ## Do you have a gym?
//   Yes, we have a gym on the ground floor, open from 6:00 to 22:00.
//   Added: 2026-12-09 11:40
//
// It is read, cut and cited like any other document, and may be edited by
// hand. Saving is safe from several threads and processes at once: each save
// reads the file again under a lock and replaces it atomically.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/gaps.h>
#include <quorvel/records.h>

namespace quorvel {

struct DeskAnswers {
  static constexpr std::string_view kFileName = "front-desk-answers.md";
  // The documents folder's front-desk-answers.md.
  static std::filesystem::path file();

  struct Section {
    std::string question;            // as its heading says
    std::string answer;              // the lines under it, without the date line
    std::optional<TimePoint> added;  // from the date line, minute precision
  };

  // The level-2 sections of a document; a level-1 heading ends a section,
  // deeper ones belong to it. Text before the first section is no section.
  static std::vector<Section> parse(std::string_view document);
  // The sections of a file; a section without a date line counts as added
  // when the file last changed. A missing file has none. Never throws.
  static std::vector<Section> read(const std::filesystem::path& file = DeskAnswers::file());

  // `document` with the answer to `question`: the section of the same
  // question (case and spacing aside) gets the new answer, else a section is
  // appended. Everything else stays byte for byte. The question becomes one
  // line without leading or trailing "#"; the answer's blank lines are
  // dropped and lines a Markdown reader or the passage cutter would take for
  // a heading, a fence or an underline get a "\" in front, so that neither can
  // split the section. Throws std::invalid_argument when either is empty.
  static std::string withAnswer(std::string_view document, std::string_view question, std::string_view answer,
                                TimePoint added);

  // Adds or replaces the answer in `file`. Throws std::invalid_argument for
  // an empty question or answer, std::runtime_error naming the reason when
  // the file cannot be written (the old one then stays as it was).
  static void save(std::string_view question, std::string_view answer,
                   TimePoint added = std::chrono::system_clock::now(),
                   const std::filesystem::path& file = DeskAnswers::file());

  // `document` without the sections whose question or answer contains
  // `text`, case and width aside (a guest's question is copied into its
  // heading); everything else byte for byte. `removed` gets how many went.
  static std::string without(std::string_view document, std::string_view text, int64_t& removed);
  // The same on `file`, under the lock save() takes. Returns how many
  // sections went; throws std::runtime_error when the file cannot be
  // rewritten (it then stays as it was). A missing file has none.
  static int64_t forget(std::string_view text, const std::filesystem::path& file = DeskAnswers::file());

  // Whether a guest's message asks the question of sections[i] in other
  // words (the receptionist may have reworded it when answering).
  using SameMeaning = std::function<bool(const std::string& message, std::size_t section)>;

  // Marks the groups whose question has a section (any of their messages,
  // case and spacing aside, or of the same meaning) as answered, unless a
  // guest went unanswered at least a minute after the answer was added;
  // answered groups go below the open ones, each part keeping its order.
  static void markAnswered(std::vector<Gaps::Group>& groups, const std::vector<Section>& sections,
                           const SameMeaning& same = {});
  // The same, by meaning too when the messages have vectors (one each, from
  // the search model): a section's question, embedded as they were, means
  // the same as a message when they are as close as two messages of one
  // group (Gaps::kJoin). By text alone when the model cannot embed it.
  static void markAnswered(std::vector<Gaps::Group>& groups, const std::vector<Section>& sections,
                           const std::vector<Gaps::Message>& messages, const std::vector<std::vector<float>>& vectors);
};

}  // namespace quorvel
