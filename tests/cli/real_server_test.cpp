// Against a real llama-server, when the environment names one and its model
// files: QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and
// QUORVEL_TEST_EMBED_MODEL (scripts/test.sh names the tiny ones beside the
// project when they are there). Skipped otherwise. The tiny models reply with
// word salad: these tests check the interface, never the answers' quality.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

#include <quorvel/answerer.h>
#include <quorvel/debug.h>
#include <quorvel/embedder.h>
#include <quorvel/engine.h>
#include <quorvel/gaps.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "platform/local_http.h"
#include "fixture_builders.h"
#include "test_support.h"

namespace quorvel {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class RealServer : public ::testing::Test {
 protected:
  test::TempHome home;
  std::map<std::string, std::string> env;

  // A model file counts as installed above half the catalogue's size: the
  // tiny model is copied under the catalogue's name and extended (sparsely).
  static void install(const fs::path& from, const ModelSpec& as) {
    const fs::path to = ModelCatalog::path(as);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::resize_file(to, static_cast<std::uintmax_t>(as.sizeMB) * 1000000);
  }

  void SetUp() override {
    const char* server = std::getenv("QUORVEL_TEST_LLAMA_SERVER");
    const char* chat = std::getenv("QUORVEL_TEST_CHAT_MODEL");
    const char* embed = std::getenv("QUORVEL_TEST_EMBED_MODEL");
    if (!server || !chat || !embed)
      GTEST_SKIP() << "set QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and QUORVEL_TEST_EMBED_MODEL to run "
                      "against a real llama-server";
    test::stopModelServers();
    Paths::ensure();
    fs::create_directories(home.path() / "engine");
    fs::create_symlink(fs::absolute(server), home.path() / "engine/llama-server");
    install(embed, ModelCatalog::embedding());
    install(chat, ModelCatalog::chat()[0]);
    ASSERT_TRUE(ModelCatalog::installedChat());
    env = {{"QUORVEL_HOME", home.path().string()}};
  }
  void TearDown() override { test::stopModelServers(); }

  Engine engine;
  void startEngine() {
    engine.maxPolls = 1200;  // a cold model load can take minutes on a small machine
    engine.start();
    ASSERT_EQ(engine.state(), Engine::State::ready()) << engine.state().message << "\n"
                                                      << test::readText(home.path() / "logs/chat.log");
  }
};

TEST_F(RealServer, EmbeddingsChatAndAnAnswer) {
  startEngine();
  const auto vectors = Embedder::embed({"Breakfast is served from 7:00.", "Parking is free."}, false);
  ASSERT_EQ(vectors.size(), 2u);
  ASSERT_FALSE(vectors[0].empty());
  EXPECT_EQ(vectors[0].size(), vectors[1].size());
  float norm = 0;
  for (float x : vectors[0]) norm += x * x;
  EXPECT_NEAR(norm, 1.0f, 1e-3f);

  // Without the support folder's key, the real server serves nobody.
  httplib::Client stranger("127.0.0.1", Engine::embedPort);
  const auto refused = stranger.Post("/v1/embeddings", R"({"input":["hi"]})", "application/json");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 401);

  const auto [plain, count] = Chat::complete("Answer in one word.", "What colour is the sky on a clear day?");
  EXPECT_FALSE(plain.empty());
  EXPECT_GT(count.tokens, 0);
  EXPECT_GT(count.perSecond, 0);
  std::string streamed;
  const auto [text, streamCount] = Chat::complete("Answer in one word.", "What colour is the sky on a clear day?",
                                                  [&](const std::string& p) { streamed += p; });
  EXPECT_EQ(text, streamed);
  EXPECT_GT(streamCount.tokens, 0);

  test::writeText(Paths::documents() / "breakfast.md",
                  "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace.");
  DocIndex index;
  index.refresh();
  Answerer answerer(index);
  const Answer a = answerer.answer("When is breakfast?");
  EXPECT_FALSE(a.text.empty());
  EXPECT_EQ(a.language, "en");
  for (const auto& source : a.sources) EXPECT_EQ(source.file, "breakfast.md");
  // The server's own error reply is an error, never an empty answer: a
  // request over the context.
  EXPECT_THROW(Chat::complete("x", std::string(200000, 'a') + " b"), std::exception);
}

// The real server reads a prompt ahead: the reply with the same prompt then
// evaluates next to nothing; the checks stop at their limits; and the
// knowledge-gap list runs its messages through the real search model (the
// tiny model's vectors mean nothing: plumbing only).
TEST_F(RealServer, ReadingAheadChecksLimitsAndTheGapList) {
  startEngine();
  Chat::Count read = Chat::read("You are a hotel assistant.", "SOURCES:\n(no documents)\nGUEST MESSAGE:\nHi");
  EXPECT_GT(read.promptEvaluated, 10);
  EXPECT_LE(read.tokens, 1);
  const auto [text, reply] =
      Chat::complete("You are a hotel assistant.", "SOURCES:\n(no documents)\nGUEST MESSAGE:\nHi", {}, 8);
  EXPECT_LE(reply.promptEvaluated, 1);
  EXPECT_EQ(reply.promptCached, read.promptEvaluated - 1 + std::max<int64_t>(read.promptCached, 0));
  EXPECT_EQ(reply.tokens, 8);  // the tiny model never stops on its own
  EXPECT_TRUE(reply.cutOff);

  // A message that fills the whole of an embedding input still fits.
  std::string digits;
  while (digits.size() < 5000) digits += "0123456789";  // one token per digit
  EXPECT_EQ(Embedder::embed({digits}, true).size(), 1u);

  for (const char* q : {"Do you have a gym?", "Gibt es ein Fitnessstudio?", "Is the pool heated?"}) {
    ASSERT_TRUE(History::append(test::historyAnswer(q, true, "en", std::chrono::system_clock::now())));
  }
  const Gaps::Result gaps = Gaps::find(30);
  EXPECT_TRUE(gaps.byMeaning) << gaps.whyByText;
  int64_t asked = 0;
  for (const auto& g : gaps.groups) asked += g.count;
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(gaps.answers, 3);
}

// With a reading ahead the server holds the reply's prompt, the verifier's
// up to its statements and the re-check's opening at once (the others wait
// in the host memory cache while one is read): the reply evaluates next to
// nothing, the check only its statements and the template's tail, a
// re-check only its passages and sentence. What the model writes does not
// change.
TEST_F(RealServer, AReadingAheadLeavesTheCheckOnlyItsStatements) {
  startEngine();
  for (const char* f : {"house-rules.txt", "restaurant-and-breakfast.html", "welcome.md"})
    fs::copy_file(fs::path(QUORVEL_SOURCE_DIR) / "resources/samples/palm-cove-villa" / f, Paths::documents() / f);
  DocIndex index;
  index.refresh();
  Answerer answerer(index);

  struct Call {
    std::string system;
    int maxTokens;
    Chat::Count count;
  };
  struct Run {
    std::vector<std::string> said;  // the model's replies: the reply, the verdicts, any re-check
    std::vector<Call> calls;
    std::string text;
  };
  Run* run = nullptr;
  debug::setSink([&run](std::string_view l) { run->said.emplace_back(l); });
  Chat::observer = [&run](const std::string& system, int maxTokens, const Chat::Count& c) {
    run->calls.push_back({system, maxTokens, c});
  };
  auto write = [&](const std::string& message, bool ahead) {
    Run r;
    run = &r;
    if (ahead) answerer.readAhead(message, nullptr, std::nullopt);
    r.text = answerer.answer(message).text;
    run = nullptr;
    return r;
  };
  auto isCheck = [](const Call& c) { return c.system.rfind("You check", 0) == 0; };

  auto isRecheck = [](const Call& c) { return c.system.rfind("The STATEMENT may be", 0) == 0; };
  auto tokensOf = [](const std::string& text) {
    const auto tokens = LocalHTTP::postJSON(Engine::chatURL() + "/tokenize",
                                            nlohmann::json{{"content", text}, {"add_special", false}});
    return static_cast<int64_t>(tokens.at("tokens").size());
  };

  // Each message read ahead first, on a server that never saw its prompts;
  // then written again without a reading.
  for (const std::string message : {"What time is breakfast?", "Can we bring our dog, and is there a pool?"}) {
    const Run ahead = write(message, true);
    ASSERT_EQ(ahead.calls.size(), 5u) << message;  // three readings, the reply, the check
    EXPECT_EQ(ahead.calls[0].maxTokens, 0);
    ASSERT_TRUE(isCheck(ahead.calls[1]));
    EXPECT_EQ(ahead.calls[1].maxTokens, 0);
    ASSERT_TRUE(isRecheck(ahead.calls[2]));
    EXPECT_EQ(ahead.calls[2].maxTokens, 0);
    EXPECT_LE(ahead.calls[3].count.promptEvaluated, 1) << message;  // the reply
    ASSERT_TRUE(isCheck(ahead.calls[4]));

    // The statements as the check numbered them, in the model's tokens.
    std::string raw;
    for (const auto& l : ahead.said)
      if (l.rfind("RAW: ", 0) == 0) raw = l.substr(5);
    const auto sentences = Answerer::sentences(raw);
    std::string statements;
    for (std::size_t i = 0; i < sentences.size(); ++i)
      statements += (i ? "\n" : "") + std::to_string(i + 1) + ". " + sentences[i];
    const int64_t statementTokens = tokensOf(statements);
    ASSERT_GT(statementTokens, 0);
    EXPECT_LE(ahead.calls[4].count.promptEvaluated, statementTokens + 16) << message;
    // The reading did the work the check was spared.
    EXPECT_GT(ahead.calls[1].count.promptEvaluated, 100) << message;

    // The tiny model writes no verdicts, so no sentence is re-checked here:
    // a re-check of a sentence citing [1], after the check, reads only the
    // sentence; one citing [2] only its passage and sentence, its opening
    // having been read with [1]'s.
    const Answerer::Prepared p = answerer.prepare(message, nullptr, std::nullopt);
    const auto recheck = [&](const std::string& sentence) {
      Run r;
      run = &r;
      Answerer::recheck(sentence, p.sources);
      run = nullptr;
      EXPECT_EQ(r.calls.size(), 1u);
      return r.calls.empty() ? Chat::Count{} : r.calls[0].count;
    };
    const std::string first = "Breakfast is served from 7:00 [1].";
    EXPECT_LE(recheck(first).promptEvaluated, tokensOf(": " + first) + 16) << message;
    if (p.hits.size() >= 2) {
      const std::size_t second = p.sources.find("\n\n[2] (") + 2;
      const std::string block = p.sources.substr(second, p.sources.find("\n\n", second) + 2 - second);
      const std::string other = "Dogs are welcome [2].";
      EXPECT_LE(recheck(other).promptEvaluated, tokensOf(block + "\nSTATEMENT: " + other) + 16) << message;
    }
    // The reading did the work: the re-check's opening and [1].
    const std::string firstBlock = p.sources.substr(0, p.sources.find("\n\n") + 2);
    EXPECT_GT(ahead.calls[2].count.promptEvaluated + std::max<int64_t>(ahead.calls[2].count.promptCached, 0),
              50 + tokensOf(firstBlock))
        << message;

    const Run without = write(message, false);
    EXPECT_EQ(without.said, ahead.said) << message;
    EXPECT_EQ(without.text, ahead.text) << message;
    ASSERT_EQ(without.calls.size(), 2u);
  }
  Chat::observer = nullptr;
  debug::setSink(nullptr);
}

TEST_F(RealServer, TheWholePathThroughTheTool) {
  const std::string samples = std::string(QUORVEL_SOURCE_DIR) + "/resources/samples/palm-cove-villa";
  auto r = test::runCli({"import", samples}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "imported: 7\n");

  r = test::runCli({"index"}, env);
  ASSERT_EQ(r.status, 0) << r.out << r.err << test::readText(home.path() / "logs/embed.log");
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(files: 7, passages: \d+, \d+\.\d s\n$)"))) << r.out;

  const std::regex speed("  \\d+ tok/s \u00B7 \\d+\\.\\d\\d s \u00B7 ([a-zA-Z-]+)");
  auto ask = [&](const std::vector<std::string>& args, const std::string& language) {
    const auto res = test::runCli(args, env);
    ASSERT_EQ(res.status, 0) << res.err;
    const auto lines = linesOf(res.out);
    ASSERT_GE(lines.size(), 2u) << res.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines.back(), m, speed)) << lines.back();
    EXPECT_EQ(m[1], language);
  };
  ask({"ask", "What time is breakfast?"}, "en");
  ask({"ask", "--template=transfer"}, "en");
  ask({"ask", "\u0412\u043e \u0441\u043a\u043e\u043b\u044c\u043a\u043e \u0437\u0430\u0432\u0442\u0440\u0430\u043a?"},
      "ru");
  EXPECT_EQ(linesOf(test::readText(home.path() / "history.jsonl")).size(), 3u);

  test::writeText(
      home.root() / "q.json",
      R"([{"q":"Is parking free?"},{"q":"Wann ist Frühstück?"},{"q":"How much is the airport transfer?"}])");
  r = test::runCli({"bench", (home.root() / "q.json").string(), (home.root() / "r.json").string()}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto results = nlohmann::json::parse(test::readText(home.root() / "r.json"));
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[1]["lang"], "de");
  for (const auto& result : results) EXPECT_GT(result["tokens"].get<int64_t>(), 0) << result.dump();

  r = test::runCli({"stop"}, env);
  EXPECT_EQ(r.out, "stopped\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(LocalHTTP::getStatus(Engine::chatURL() + "/health", std::chrono::seconds(1)), 0);
  EXPECT_EQ(LocalHTTP::getStatus(Engine::embedURL() + "/health", std::chrono::seconds(1)), 0);
}

TEST_F(RealServer, AServerOfTheOtherProgramIsReusedAForeignOneIsNot) {
  // Started by this process: the tool finds it by its model and reuses it.
  startEngine();
  auto r = test::runCli({"index"}, env);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  test::stopModelServers();

  test::LocalServer other;
  other.server().Get("/health", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"status":"ok"})", "application/json");
  });
  other.start(Engine::chatPort);
  r = test::runCli({"index"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "engine: port 18431 is used by another program (quorvel-cli stop ends a model server of ours)\n");
}

}  // namespace
}  // namespace quorvel
