// Against a real llama-server, when the environment names one and its model
// files: QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and
// QUORVEL_TEST_EMBED_MODEL. Skipped otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <quorvel/answerer.h>
#include <quorvel/embedder.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

class RealServer : public ::testing::Test {
 protected:
  test::TempHome home;
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
    fs::create_symlink(fs::absolute(embed), ModelCatalog::path(ModelCatalog::embedding()));
    fs::create_symlink(fs::absolute(chat), ModelCatalog::path(ModelCatalog::chat()[0]));
    if (!ModelCatalog::isInstalled(ModelCatalog::embedding()) || !ModelCatalog::installedChat())
      GTEST_SKIP() << "the model files are smaller than half of the catalogue's sizes, so they do not count as installed";
    Engine& engine = Engine::shared();
    engine.maxPolls = 1200;  // a cold model load can take minutes on a small machine
    engine.start();
    ASSERT_EQ(engine.state(), Engine::State::ready()) << engine.state().message << "\n"
                                                      << test::readText(home.path() / "logs/chat.log");
  }
  void TearDown() override {
    if (std::getenv("QUORVEL_TEST_LLAMA_SERVER")) Engine::shared().stopAll();
  }
};

TEST_F(RealServer, EmbeddingsChatAndAnAnswer) {
  const auto vectors = Embedder::embed({"Breakfast is served from 7:00.", "Parking is free."}, false);
  ASSERT_EQ(vectors.size(), 2u);
  ASSERT_FALSE(vectors[0].empty());
  EXPECT_EQ(vectors[0].size(), vectors[1].size());
  float norm = 0;
  for (float x : vectors[0]) norm += x * x;
  EXPECT_NEAR(norm, 1.0f, 1e-3f);

  const auto [plain, count] = Chat::complete("Answer in one word.", "What colour is the sky on a clear day?");
  EXPECT_FALSE(plain.empty());
  EXPECT_GT(count.tokens, 0);
  EXPECT_GT(count.perSecond, 0);
  std::string streamed;
  const auto [text, streamCount] =
      Chat::complete("Answer in one word.", "What colour is the sky on a clear day?", [&](const std::string& p) { streamed += p; });
  EXPECT_EQ(text, streamed);
  EXPECT_GT(streamCount.tokens, 0);

  test::writeText(Paths::documents() / "breakfast.md", "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace.");
  DocIndex index;
  index.refresh();
  Answerer answerer(index);
  const Answer a = answerer.answer("When is breakfast?");
  EXPECT_FALSE(a.text.empty());
  EXPECT_EQ(a.language, "en");
  if (!a.notInDocs) {
    ASSERT_FALSE(a.sources.empty()) << a.text;
    EXPECT_EQ(a.sources[0].file, "breakfast.md");
  }
}

}  // namespace
}  // namespace quorvel
