// Reading a streamed chat completion, as llama-server sends it.
#include <gtest/gtest.h>

#include <quorvel/chat.h>

#include "platform/local_http.h"

namespace quorvel {
namespace {

std::string event(const std::string& content) {
  return "data: {\"choices\":[{\"index\":0,\"delta\":{\"content\":\"" + content + "\"},\"finish_reason\":null}]}\n\n";
}
const std::string kRole = "data: {\"choices\":[{\"index\":0,\"delta\":{\"role\":\"assistant\",\"content\":null}}]}\n\n";
const std::string kLast =
    "data: {\"choices\":[{\"index\":0,\"delta\":{},\"finish_reason\":\"stop\"}],"
    "\"timings\":{\"prompt_n\":12,\"predicted_n\":57,\"predicted_per_second\":31.5}}\n\n";
const std::string kDone = "data: [DONE]\n\n";

struct StreamRun {
  std::vector<std::string> tokens;
  std::string text;
  Chat::Count count;
};

StreamRun read(const std::string& body, std::size_t pieceSize = 0) {
  StreamRun r;
  Chat::Stream s([&r](const std::string& t) { r.tokens.push_back(t); });
  if (pieceSize == 0) {
    s.feed(body);
  } else {
    for (std::size_t i = 0; i < body.size(); i += pieceSize) s.feed(std::string_view(body).substr(i, pieceSize));
  }
  s.finish();
  r.text = s.text();
  r.count = s.count();
  return r;
}

TEST(ChatStream, PiecesTimingsAndTheEnd) {
  const std::string body =
      kRole + ": keep-alive comment\n\n" + event("Breakfast ") + event("is at 7 [1].") + kLast + kDone;
  for (std::size_t piece : {0u, 1u, 7u}) {  // however the bytes arrive
    const StreamRun r = read(body, piece);
    EXPECT_EQ(r.text, "Breakfast is at 7 [1].");
    EXPECT_EQ(r.tokens, (std::vector<std::string>{"Breakfast ", "is at 7 [1]."}));
    EXPECT_EQ(r.count.tokens, 57);
    EXPECT_EQ(r.count.perSecond, 31.5);
    EXPECT_EQ(r.count.promptEvaluated, 12);
    EXPECT_EQ(r.count.promptCached, -1);  // not sent
    EXPECT_FALSE(r.count.cutOff);
  }
  // Stopped at the token limit, with the prompt mostly held already.
  const std::string cut = event("Yes") +
                          "data: {\"choices\":[{\"finish_reason\":\"length\",\"index\":0,\"delta\":{}}],"
                          "\"timings\":{\"cache_n\":400,\"prompt_n\":3,\"predicted_n\":4}}\n\n" +
                          kDone;
  const StreamRun r = read(cut);
  EXPECT_TRUE(r.count.cutOff);
  EXPECT_EQ(r.count.promptCached, 400);
  EXPECT_EQ(r.count.promptEvaluated, 3);
  // Windows line ends are lines too.
  std::string crlf = event("Hi") + kDone;
  for (std::size_t p; (p = crlf.find('\n')) != std::string::npos && crlf[p - 1] != '\r';) crlf.replace(p, 1, "\r\n");
  EXPECT_EQ(read(crlf).text, "Hi");
}

TEST(ChatStream, MarkerIsHeldBack) {
  StreamRun r = read(event("NOT_IN") + event("_DOCS") + kDone);
  EXPECT_TRUE(r.tokens.empty());
  EXPECT_EQ(r.text, "NOT_IN_DOCS");
  r = read(event("NOT") + event("_IN_DOCS") + kDone);
  EXPECT_EQ(r.tokens, std::vector<std::string>{"NOT"});
  EXPECT_EQ(r.text, "NOT_IN_DOCS");
  r = read(event("NOTE: ") + event("ok") + kDone);
  EXPECT_EQ(r.tokens.size(), 2u);
}

TEST(ChatStream, OnlyDataLinesWithASpaceCount) {
  const StreamRun r =
      read("data:{\"choices\":[{\"delta\":{\"content\":\"no\"}}]}\n" + event("yes") + "data: not json\n" +
           "data: [1,2]\n" + "data: {\"choices\":[{\"delta\":{\"content\":5}}]}\n" + kDone);
  EXPECT_EQ(r.text, "yes");
}

TEST(ChatStream, DoneEndsTheReadingAtOnce) {
  const StreamRun r =
      read(event("one") + "data: [DONE]\n" + event("two") + "data: {\"error\":{\"message\":\"late\"}}\n");
  EXPECT_EQ(r.text, "one");
}

TEST(ChatStream, ErrorsAreNotReplies) {
  // The server reports a failure inside the stream.
  EXPECT_THROW(read(event("Half a ") + "data: {\"error\":{\"code\":500,\"message\":\"context full\"}}\n\n"), ChatError);
  // The stream breaks off before "[DONE]": never a half reply reported as complete.
  EXPECT_THROW(read(kRole + event("Breakfast is")), ChatError);
  EXPECT_THROW(read(""), ChatError);
  // An error reply that is not a stream at all.
  EXPECT_THROW(read("{\"error\":{\"code\":400,\"message\":\"bad request\"}}"), ChatError);
}

TEST(LoopbackOnly, OnlyTheExactAddressIsLocal) {
  EXPECT_TRUE(LocalHTTP::isLoopback("http://127.0.0.1:18431/v1/chat/completions"));
  EXPECT_TRUE(LocalHTTP::isLoopback("http://127.0.0.1/health"));
  for (const char* url :
       {"http://localhost:18431/v1/embeddings", "http://[::1]:18431/health", "http://127.0.0.2:18431/",
        "http://127.0.0.1.example.com/", "http://127.0.0.1@example.com/", "127.0.0.1:18431/health", "http:///health"})
    EXPECT_FALSE(LocalHTTP::isLoopback(url)) << url;
  EXPECT_THROW(LocalHTTP::postJSON("http://localhost:18431/v1/embeddings", {{"input", {"x"}}}), NotLocal);
  EXPECT_THROW(LocalHTTP::postStreaming("http://[::1]:18431/v1/chat/completions", {}, [](std::string_view) {}),
               NotLocal);
  EXPECT_EQ(LocalHTTP::getStatus("http://localhost:18431/health", std::chrono::seconds(1)), 0);
}

}  // namespace
}  // namespace quorvel
