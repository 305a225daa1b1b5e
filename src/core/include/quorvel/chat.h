// The chat-completion client every model call of the answering goes through.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace quorvel {

// The model server reported a failure inside the reply, or the reply ended
// before it was complete.
struct ChatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Chat {
  // The server's figures of one call; -1 where it gave none.
  struct Count {
    int64_t tokens = 0;  // generated
    double perSecond = 0;
    int64_t promptEvaluated = -1;  // prompt tokens computed for this call
    int64_t promptCached = -1;     // prompt tokens the server already held
    bool cutOff = false;           // generation stopped at the token limit
  };
  using TokenCallback = std::function<void(const std::string&)>;

  // What a guest's reply may take: it is shown as it streams.
  static constexpr int kReplyTokens = 400;

  // One completion: deterministic sampling, at most `maxTokens` generated.
  // With onToken the reply streams and each piece is passed on as it
  // arrives, except once the reply begins with "NOT_" (the not-in-documents
  // marker stays off the screen). Returns the full reply and the server's
  // figures.
  static std::pair<std::string, Count> complete(const std::string& system, const std::string& user,
                                                const TokenCallback& onToken = {}, int maxTokens = kReplyTokens);

  // Sends the prompt with nothing to generate: the server evaluates it and
  // keeps it, so that the same prompt sent by complete() soon after starts
  // generating at once. Ends early (throws Stopped) once `stopped` says so.
  struct Stopped {};
  static Count read(const std::string& system, const std::string& user, const std::function<bool()>& stopped = {});

  // Told of every call's figures, with its system prompt, for measuring the
  // model's work (the benches). Set before the first call.
  static inline std::function<void(const std::string& system, int maxTokens, const Count&)> observer;

  // The server-sent event reader of a streamed completion, fed raw bytes.
  class Stream {
   public:
    explicit Stream(TokenCallback onToken) : onToken_(std::move(onToken)) {}
    void feed(std::string_view bytes);
    // Call when the body has ended; throws ChatError when "[DONE]" never came.
    void finish();
    bool done() const { return done_; }
    const std::string& text() const { return text_; }
    const Count& count() const { return count_; }

   private:
    void line(std::string_view l);
    TokenCallback onToken_;
    std::string pending_;
    std::string text_;
    Count count_;
    bool done_ = false;
  };
};

}  // namespace quorvel
