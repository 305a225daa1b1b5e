// Answering one guest message from the hotel's documents: retrieval, the
// reply model's cited reply, the sentence-by-sentence check, the fixed
// fallback sentences, and the record in the history.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <quorvel/chat.h>
#include <quorvel/doc_index.h>
#include <quorvel/records.h>
#include <quorvel/reply_template.h>

namespace quorvel {

class Answerer {
 public:
  static constexpr const char* notFoundMarker = "NOT_IN_DOCS";

  // The process's answerer, searching DocIndex::shared().
  static Answerer& shared();
  explicit Answerer(DocIndex& index) : index_(index) {}

  // Throws what the search or the main model call throws; nothing is then
  // recorded. Problems of the checking calls never throw. A very long
  // message is answered and recorded as asAnswered() gives it.
  Answer answer(const std::string& message, const ReplyTemplate* tmpl = nullptr,
                const std::optional<std::string>& replyLanguage = std::nullopt,
                const Chat::TokenCallback& onToken = {});

  // A guest message as it is answered and recorded: its first 1,000
  // user-perceived characters, and no more than 16 KB with "\u2026" after a
  // cut (a character may carry any number of combining marks). A message
  // given as answered comes back as it is.
  // The requests must fit the model's context; the history keeps no more of
  // a guest's words than were used, and stays quick to read.
  static constexpr std::size_t kMessageCharacters = 1000;
  static constexpr std::size_t kMessageBytes = 16 << 10;
  static std::string asAnswered(const std::string& message);

  // One reply's prompts, with what they were made from.
  struct Prepared {
    std::string message;              // as answered: a very long one is cut
    std::string code;                 // the reply language
    std::vector<DocIndex::Hit> hits;  // the passages in the SOURCES, numbered from 1
    std::string sources;              // the SOURCES text
    std::string system;               // the reply model's two prompts
    std::string user;
  };
  // The language, the search and the prompts answer() sends. Throws what
  // the search throws.
  Prepared prepare(const std::string& message, const ReplyTemplate* tmpl,
                   const std::optional<std::string>& replyLanguage);
  // Has the reply model read the prompts answer() would send for this
  // message, without writing anything, and the verifier its prompt up to the
  // statements: answer() with the same arguments then starts writing at once
  // and its check reads only the statements. Then, until `pressed` says so,
  // the re-check's prompt for a sentence citing passage [1], up to the
  // sentence: such a re-check reads only its sentence, any other one not its
  // fixed opening. Throws what the search and the request throw, and
  // Chat::Stopped once `stopped` says so.
  void readAhead(const std::string& message, const ReplyTemplate* tmpl, const std::optional<std::string>& replyLanguage,
                 const std::function<bool()>& stopped = {}, const std::function<bool()>& pressed = {});

  // What the verifier may write for so many statements, and the re-check:
  // their answers are a few tokens each.
  static int verifyTokens(std::size_t statements);
  static constexpr int kRecheckTokens = 4;

  struct Verified {
    std::string text;  // the kept sentences, or "" when none was supported
    bool dropped = false;
    bool meta = false;
  };
  // The sentences of a reply, citations written after a full stop moved
  // inside their sentence. Never empty.
  static std::vector<std::string> sentences(const std::string& text);
  // Checks every sentence against the SOURCES text with one model call, and
  // each rejected sentence that cites a passage once more on its own.
  static Verified verify(const std::string& text, const std::string& sources);
  static bool recheck(const std::string& sentence, const std::string& sources);

  // The pieces of the prompts, exposed for tests.
  static std::string sourcesText(const std::vector<DocIndex::Hit>& hits, std::size_t* included = nullptr);
  static std::string systemPrompt(const std::string& languageName);
  static std::string userMessage(const std::string& sources, const ReplyTemplate* tmpl, const std::string& message,
                                 const std::string& languageName);
  // Passage numbers cited in a reply: first occurrences, within 1..count.
  static std::vector<int64_t> citedNumbers(const std::string& text, std::size_t count);

 private:
  DocIndex& index_;
};

}  // namespace quorvel
