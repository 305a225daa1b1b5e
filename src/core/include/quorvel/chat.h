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
  struct Count {
    int64_t tokens = 0;
    double perSecond = 0;
  };
  using TokenCallback = std::function<void(const std::string&)>;

  // One completion: deterministic sampling, at most 400 tokens. With onToken
  // the reply streams and each piece is passed on as it arrives, except once
  // the reply begins with "NOT_" (the not-in-documents marker stays off the
  // screen). Returns the full reply and the server's figures.
  static std::pair<std::string, Count> complete(const std::string& system, const std::string& user,
                                                const TokenCallback& onToken = {});

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
