// Embeddings, the document index and its refresh, and the hybrid search,
// against the stand-in model server or a scripted one on the real ports.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <thread>

#include <quorvel/doc_index.h>
#include <quorvel/embedder.h>
#include <quorvel/engine.h>
#include <quorvel/paths.h>

#include "fixture_builders.h"
#include "test_support.h"

namespace quorvel {
namespace {

using nlohmann::json;
using test::ScopedEnv;
using test::TempDir;
using test::TempHome;
using test::writeText;

// The embedding requests the stand-in received, one JSON object each.
std::vector<json> recorded(const fs::path& file) {
  std::vector<json> out;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    json j = json::parse(line);
    if (j["path"] == "/v1/embeddings") out.push_back(j["body"]);
  }
  return out;
}

void setMtime(const fs::path& p, long seconds) {
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ::utimensat(AT_FDCWD, p.c_str(), times, 0);
}

class StandInTest : public ::testing::Test {
 protected:
  TempHome home;
  TempDir scratch;
  TempDir emptyPath;
  ScopedEnv path{"PATH", emptyPath.path().string()};
  fs::path record = scratch / "requests.jsonl";
  std::unique_ptr<ScopedEnv> recordEnv;

  void SetUp() override {
    test::stopModelServers();
    recordEnv = std::make_unique<ScopedEnv>("QUORVEL_STANDIN_RECORD", record.string());
    test::prepareStandInHome(home.path());
    Engine engine;
    engine.start();
    ASSERT_EQ(engine.state(), Engine::State::ready());
  }
  void TearDown() override { test::stopModelServers(); }

  std::vector<json> requests() { return recorded(record); }
  fs::path doc(const std::string& name) { return Paths::documents() / name; }
};

TEST_F(StandInTest, BatchesOfSixteenInOrder) {
  EXPECT_TRUE(Embedder::embed({}, false).empty());
  EXPECT_TRUE(requests().empty());

  std::vector<std::string> texts;
  for (int i = 0; i < 33; ++i)
    texts.push_back("passage number " + std::to_string(i) + " about breakfast " + std::string(i, 'x'));
  const auto vectors = Embedder::embed(texts, false);
  auto sent = requests();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0]["input"].size(), 16u);
  EXPECT_EQ(sent[1]["input"].size(), 16u);
  EXPECT_EQ(sent[2]["input"].size(), 1u);
  EXPECT_EQ(sent[0].size(), 1u);  // "input" and nothing else
  EXPECT_EQ(sent[2]["input"][0], texts[32]);
  ASSERT_EQ(vectors.size(), 33u);
  for (int i : {0, 15, 16, 32}) {
    EXPECT_EQ(vectors[i], Embedder::embed({texts[i]}, false)[0]) << i;
    float norm = 0;
    for (float x : vectors[i]) norm += x * x;
    EXPECT_NEAR(norm, 1.0f, 1e-5f);
  }
}

TEST_F(StandInTest, QueryInstructionAndLongTexts) {
  EXPECT_EQ(Embedder::queryInstruction.size(), 112u);
  Embedder::embed({"Wann gibt es Fr\xC3\xBChst\xC3\xBC"
                   "ck?"},
                  true);
  std::string longText;
  for (int i = 0; i < 7000; ++i) longText += "\xD0\x96";  // 7,000 Cyrillic letters
  Embedder::embed({longText}, false);
  // A cluster (e + combining acute, 3 bytes) that would cross the limit is left out whole.
  std::string accented(3998, 'a');
  accented += "e\xCC\x81";
  Embedder::embed({accented}, false);
  // A query's instruction counts towards the limit.
  Embedder::embed({longText}, true);
  const auto sent = requests();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0]["input"][0], Embedder::queryInstruction +
                                     "Wann gibt es Fr\xC3\xBChst\xC3\xBC"
                                     "ck?");
  EXPECT_EQ(sent[1]["input"][0].get<std::string>(), longText.substr(0, 4000));  // the first 2,000 letters: 4,000 bytes
  EXPECT_EQ(sent[2]["input"][0].get<std::string>(), std::string(3998, 'a'));
  EXPECT_EQ(sent[3]["input"][0].get<std::string>(), Embedder::queryInstruction + longText.substr(0, 3888));
}

TEST_F(StandInTest, ServerOrderIsRestoredAndShortfallIsAnError) {
  const std::vector<std::string> texts{"one breakfast", "two parking", "three pool"};
  const auto expected = Embedder::embed(texts, false);
  test::stopModelServers();
  {
    ScopedEnv shuffle("QUORVEL_STANDIN_SHUFFLE", "embed");
    Engine e;
    e.start();
    EXPECT_EQ(Embedder::embed(texts, false), expected);
  }
  test::stopModelServers();
  ScopedEnv fewer("QUORVEL_STANDIN_FEWER_VECTORS", "embed");
  Engine e;
  e.start();
  EXPECT_THROW(Embedder::embed(texts, false), EmbedError);
}

TEST_F(StandInTest, ErrorRepliesBecomeTheEmbedError) {
  test::stopModelServers();
  ScopedEnv error("QUORVEL_STANDIN_ERROR", "embed");
  Engine e;
  e.start();
  try {
    Embedder::embed({"x"}, false);
    FAIL();
  } catch (const EmbedError& err) {
    EXPECT_NE(std::string(err.what()).find("embeddings failed"), std::string::npos) << err.what();
    EXPECT_STREQ(EmbedError::domain, "embed");
    EXPECT_EQ(EmbedError::code, 1);
  }
}

TEST_F(StandInTest, FirstRefreshReadsAllThenNothing) {
  writeText(doc("b-rules.md"), "# House rules\n\nQuiet hours are from 22:00 to 7:00.");
  writeText(doc("a-breakfast.txt"), "BREAKFAST\n\nBreakfast is served from 7:00 to 10:30.\n\nEggs on request.");
  writeText(doc("notes.csv"), "ignored,kind");
  DocIndex index;
  std::vector<std::string> progress;
  bool savedEarly = false;
  index.refresh([&](const std::string& name) {
    progress.push_back(name);
    savedEarly = savedEarly || fs::exists(Paths::indexFile());
  });
  EXPECT_EQ(progress, (std::vector<std::string>{"a-breakfast.txt", "b-rules.md"}));
  EXPECT_FALSE(savedEarly);  // one save, at the end
  const auto sent = requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]["input"][0], "BREAKFAST\n\nBreakfast is served from 7:00 to 10:30.\n\nEggs on request.");
  EXPECT_EQ(sent[1]["input"][0], "# House rules\n\nQuiet hours are from 22:00 to 7:00.");
  EXPECT_EQ(index.fileNames(), (std::vector<std::string>{"a-breakfast.txt", "b-rules.md"}));
  EXPECT_EQ(index.count("a-breakfast.txt"), 1);
  EXPECT_EQ(index.count("nosuch.txt"), 0);
  EXPECT_EQ(test::permissions(Paths::indexFile()), 0600u);

  const std::string saved = test::readText(Paths::indexFile());
  progress.clear();
  index.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(requests().size(), 2u);
  EXPECT_EQ(test::readText(Paths::indexFile()), saved);

  // A new process loads the same passages, bit for bit, and finds nothing to do.
  DocIndex reloaded;
  EXPECT_EQ(reloaded.chunks(), index.chunks());
  reloaded.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(requests().size(), 2u);
}

// A guest forgotten: the vectors kept of their messages no longer answer a
// search (the model is asked again), and the desk's answers copied from
// their question leave the passages and index.json until the file is read
// again. The hotel's own documents keep the name.
TEST_F(StandInTest, ForgettingAGuestDropsTheirVectorsAndDeskPassages) {
  writeText(doc("rules.md"), "Breakfast is served from 7:00. The hotel was founded by Jan Kowalski.");
  writeText(doc("front-desk-answers.md"),
            "## Can Mr Kowalski bring his dog?\nYes, small dogs are welcome.\n\n## Do you have a gym?\nYes.\n");
  DocIndex index;
  index.refresh();
  ASSERT_EQ(index.count("front-desk-answers.md"), 2);
  const std::size_t before = requests().size();
  const std::string guest = "Kowalski here: when is breakfast?", other = "When does the gym open?";
  index.search(guest, 3);
  index.search(other, 3);
  index.search(guest, 3);  // kept: no request
  EXPECT_EQ(requests().size(), before + 2);

  EXPECT_EQ(index.forget("KOWALSKI", "front-desk-answers.md"), 1);
  index.search(other, 3);
  EXPECT_EQ(requests().size(), before + 2);  // another guest's vector still answers
  index.search(guest, 3);
  EXPECT_EQ(requests().size(), before + 3);
  EXPECT_EQ(index.count("front-desk-answers.md"), 1);
  EXPECT_EQ(index.count("rules.md"), 1);
  const std::string saved = test::readText(Paths::indexFile());
  EXPECT_EQ(saved.find("dog"), std::string::npos);
  EXPECT_NE(saved.find("Jan Kowalski"), std::string::npos);
  EXPECT_EQ(index.forget("kowalski", "front-desk-answers.md"), 0);
  EXPECT_EQ(index.forget(" ", "rules.md"), 0);

  // The file is read again at the next refresh, whatever its time.
  DocIndex reloaded;
  EXPECT_EQ(reloaded.count("front-desk-answers.md"), 1);
  std::vector<std::string> progress;
  reloaded.refresh([&](const std::string& n) { progress.push_back(n); });
  EXPECT_EQ(progress, std::vector<std::string>{"front-desk-answers.md"});
}

TEST_F(StandInTest, ChangedFilesMoveToTheEndAndRemovedOnesLeave) {
  writeText(doc("a.txt"), "Alpha pool opens at 8.");
  writeText(doc("b.txt"), "Bravo parking is free.");
  writeText(doc("c.txt"), "Charlie sauna costs 10 EUR.");
  DocIndex index;
  index.refresh();
  setMtime(doc("a.txt"), 1700000000);
  std::vector<std::string> progress;
  index.refresh([&](const std::string& n) { progress.push_back(n); });
  EXPECT_EQ(progress, std::vector<std::string>{"a.txt"});
  auto chunks = index.chunks();
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].file, "b.txt");
  EXPECT_EQ(chunks[2].file, "a.txt");

  fs::remove(doc("b.txt"));
  index.refresh();
  EXPECT_EQ(index.fileNames(), (std::vector<std::string>{"a.txt", "c.txt"}));
  const json stored = json::parse(test::readText(Paths::indexFile()));
  EXPECT_FALSE(stored["files"].contains("b.txt"));
  EXPECT_EQ(stored["files"]["a.txt"], 1700000000.0);
}

TEST_F(StandInTest, UnreadableDocumentKeepsItsPassages) {
  test::makeDocx(doc("menu.docx"), "<w:p><w:r><w:t>Dinner is served from 19:00.</w:t></w:r></w:p>");
  writeText(doc("empty.txt"), "  \n\n ");
  DocIndex index;
  index.refresh();
  EXPECT_EQ(index.count("menu.docx"), 1);
  writeText(doc("menu.docx"), "damaged now");
  setMtime(doc("menu.docx"), 1700000000);
  std::vector<std::string> progress;
  index.refresh([&](const std::string& n) { progress.push_back(n); });
  // The blank file has no passages, so it is read again every time (without a request).
  EXPECT_EQ(progress, (std::vector<std::string>{"empty.txt", "menu.docx"}));
  EXPECT_EQ(index.count("menu.docx"), 1);
  EXPECT_EQ(requests().size(), 1u);
  // Still not read successfully: tried again next time.
  progress.clear();
  index.refresh([&](const std::string& n) { progress.push_back(n); });
  EXPECT_EQ(progress, (std::vector<std::string>{"empty.txt", "menu.docx"}));
}

TEST_F(StandInTest, DamagedIndexFileLoadsEmptyAndIsRebuilt) {
  writeText(doc("a.txt"), "Alpha.");
  {
    DocIndex index;
    index.refresh();
  }
  std::string text = test::readText(Paths::indexFile());
  for (const std::string& damage :
       {text.substr(0, text.size() / 2), std::string("[]"), std::string(R"({"files":{}})"),
        std::string(R"({"files":{},"chunks":[{"id":"a#1","file":"a","section":"","text":"t"}]})"),
        std::string(R"({"files":{},"chunks":[{"id":"a#1","file":"a","section":null,"text":"t","vector":[]}]})"),
        std::string(R"({"files":{},"chunks":[{"id":"a#1","file":"a","section":"","text":"t","vector":["x"]}]})")}) {
    writeText(Paths::indexFile(), damage);
    DocIndex index;
    EXPECT_EQ(index.chunkCount(), 0u) << damage.substr(0, 80);
  }
  DocIndex index;
  index.refresh();
  EXPECT_EQ(index.count("a.txt"), 1);
  // Unknown keys are ignored.
  writeText(
      Paths::indexFile(),
      R"({"version":3,"files":{"x.txt":1.5},"chunks":[{"id":"x.txt#1","file":"x.txt","section":"","text":"t","vector":[0.6,0.8],"extra":true}]})");
  DocIndex other;
  ASSERT_EQ(other.chunkCount(), 1u);
  EXPECT_EQ(other.chunks()[0].vector, (std::vector<float>{0.6f, 0.8f}));
}

TEST_F(StandInTest, EmbeddingFailureLeavesTheFileAsItWas) {
  writeText(doc("a.txt"), "Alpha.");
  DocIndex index;
  index.refresh();
  const std::string saved = test::readText(Paths::indexFile());
  test::stopModelServers();
  // Nothing to index: no request needed, and the refresh succeeds.
  EXPECT_NO_THROW(index.refresh());
  writeText(doc("b.txt"), "Bravo.");
  EXPECT_ANY_THROW(index.refresh());
  EXPECT_EQ(test::readText(Paths::indexFile()), saved);

  ScopedEnv fewer("QUORVEL_STANDIN_FEWER_VECTORS", "embed");
  Engine e;
  e.start();
  EXPECT_THROW(index.refresh(), EmbedError);
  for (const auto& c : index.chunks()) EXPECT_FALSE(c.vector.empty()) << c.id;
}

// Another embedding model (another vector size, or another file named in
// index.json): every passage is embedded again, never a failure for good.
TEST_F(StandInTest, AnotherEmbeddingModelEmbedsEveryPassageAgain) {
  writeText(doc("a.txt"), "Alpha pool opens at 8.");
  writeText(doc("b.txt"), "Bravo parking is free.");
  DocIndex index;
  index.refresh();
  ASSERT_EQ(index.chunks()[0].vector.size(), 256u);
  EXPECT_NE(test::readText(Paths::indexFile()).find(R"("embedding":{"model":"qwen3-embedding-0.6b-q8_0.gguf"})"),
            std::string::npos);

  test::stopModelServers();
  ScopedEnv smaller("QUORVEL_STANDIN_DIM", "64");
  Engine e;
  e.start();
  writeText(doc("c.txt"), "Charlie sauna costs 10 EUR.");
  std::vector<std::string> progress;
  index.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_EQ(progress, (std::vector<std::string>{"c.txt", "a.txt", "b.txt", "c.txt"}));
  ASSERT_EQ(index.chunkCount(), 3u);
  for (const auto& c : index.chunks()) EXPECT_EQ(c.vector.size(), 64u) << c.id;
  EXPECT_EQ(index.search("Where can I park?", 3).size(), 3u);

  // An index made by another model file: read whole again.
  std::string saved = test::readText(Paths::indexFile());
  saved.replace(saved.find("qwen3-embedding-0.6b-q8_0.gguf"), 30, "some-older-embedding-model.gguf");
  writeText(Paths::indexFile(), saved);
  DocIndex reloaded;
  progress.clear();
  reloaded.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_EQ(progress, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(reloaded.chunkCount(), 3u);
}

TEST_F(StandInTest, PassagesCutByAnEarlierVersionAreCutAgainOnce) {
  // An export without blank lines, indexed by a version that made it one passage.
  std::string exported;
  for (int i = 1; i <= 80; ++i) exported += "Room " + std::to_string(i) + " costs EUR " + std::to_string(60 + i) + "\n";
  writeText(doc("export.txt"), exported);
  writeText(doc("b.txt"), "Bravo parking is free.");
  DocIndex index;
  index.refresh();
  EXPECT_FALSE(index.cutByEarlierVersion());
  const std::size_t cut = index.chunkCount();
  ASSERT_GT(cut, 3u);
  std::string saved = test::readText(Paths::indexFile());
  ASSERT_NE(saved.find("\"cutting\":" + std::to_string(DocumentReader::cuttingVersion)), std::string::npos);
  saved.replace(saved.find("\"cutting\":"), std::string("\"cutting\":2,").size(), "");
  writeText(Paths::indexFile(), saved);

  DocIndex older;
  EXPECT_TRUE(older.cutByEarlierVersion());
  std::vector<std::string> progress;
  older.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_EQ(progress, (std::vector<std::string>{"b.txt", "export.txt"}));
  EXPECT_EQ(older.chunkCount(), cut);
  EXPECT_FALSE(older.cutByEarlierVersion());
  // Once: the next refresh reads nothing.
  progress.clear();
  DocIndex again;
  again.refresh([&](const std::string& name) { progress.push_back(name); });
  EXPECT_TRUE(progress.empty());
}

TEST_F(StandInTest, ProgressNamesOnlyFilesWhoseTurnCame) {
  for (int i = 0; i < 6; ++i) writeText(doc("d" + std::to_string(i) + ".txt"), "Document " + std::to_string(i) + ".");
  test::stopModelServers();
  ScopedEnv error("QUORVEL_STANDIN_ERROR", "embed");
  Engine e;
  e.start();
  DocIndex index;
  std::vector<std::string> named;
  const auto caller = std::this_thread::get_id();
  bool otherThread = false;
  EXPECT_THROW(index.refresh([&](const std::string& name) {
    named.push_back(name);
    otherThread |= std::this_thread::get_id() != caller;
  }),
               EmbedError);
  // The first file failed to embed: it is the only one named.
  EXPECT_EQ(named, std::vector<std::string>{"d0.txt"});
  EXPECT_FALSE(otherThread);
}

TEST_F(StandInTest, AFailedSaveIsAnErrorAndKeepsTheOldFile) {
  writeText(doc("a.txt"), "Alpha.");
  DocIndex index;
  index.refresh();
  const std::string saved = test::readText(Paths::indexFile());
  // A folder where index.json should be: the rename cannot replace it, even
  // for root.
  fs::rename(Paths::indexFile(), home.path() / "index.saved");
  fs::create_directory(Paths::indexFile());
  writeText(doc("b.txt"), "Bravo.");
  try {
    index.refresh();
    FAIL() << "the refresh reported success";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("index.json"), std::string::npos) << e.what();
  }
  // No temporary left beside it.
  for (const auto& entry : fs::directory_iterator(home.path()))
    EXPECT_EQ(entry.path().filename().string().rfind(".index.json.", 0), std::string::npos) << entry.path();
  fs::remove(Paths::indexFile());
  index.refresh();
  EXPECT_EQ(index.fileNames().size(), 2u);
  EXPECT_NE(test::readText(Paths::indexFile()), saved);
}

TEST_F(StandInTest, AThrowingProgressCallbackEndsTheRefreshCleanly) {
  for (int i = 0; i < 5; ++i) writeText(doc("d" + std::to_string(i) + ".txt"), "Document " + std::to_string(i) + ".");
  DocIndex index;
  int calls = 0;
  EXPECT_THROW(index.refresh([&](const std::string&) {
    if (++calls == 3) throw std::runtime_error("stop");
  }),
               std::runtime_error);
  EXPECT_FALSE(fs::exists(Paths::indexFile()));
  index.refresh();  // and the next one works
  EXPECT_EQ(index.fileNames().size(), 5u);
}

TEST_F(StandInTest, SearchRanksByMeaningAndWords) {
  DocIndex empty;
  EXPECT_TRUE(empty.search("breakfast", 6).empty());
  EXPECT_TRUE(requests().empty());  // no request for an empty index

  writeText(doc("food.md"), "# Breakfast\n\nBreakfast is served from 7:00 to 10:30 on the terrace.");
  writeText(doc("car.md"), "# Parking\n\nParking in the courtyard is free for guests.");
  writeText(doc("ru.md"),
            "# \xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA\n\n"
            "\xD0\x97\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA \xD1\x81 7:00.");  // Завтрак с 7:00.
  writeText(doc("pool.md"), "# Pool\n\nThe pool is open from 8:00 to 20:00.");
  DocIndex index;
  index.refresh();
  auto hits = index.search("When is breakfast served?", 6);
  ASSERT_EQ(hits.size(), 4u);
  EXPECT_EQ(hits[0].chunk.file, "food.md");
  for (std::size_t i = 1; i < hits.size(); ++i) EXPECT_GE(hits[i - 1].score, hits[i].score);
  EXPECT_EQ(hits[0].chunk.vector.size(), 256u);  // a copy with its vector
  EXPECT_EQ(index.search("\xD0\xB7\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA?", 1)[0].chunk.file, "ru.md");
  EXPECT_EQ(index.search("parking", 2).size(), 2u);
  EXPECT_TRUE(index.search("parking", 0).empty());
}

// A scripted embedding server: every vector is all zeros, so scores are the
// keyword part alone.
class KeywordTest : public ::testing::Test {
 protected:
  TempHome home;
  test::LocalServer server;
  std::vector<std::vector<float>> reply;  // when set, the vectors to return

  void SetUp() override {
    test::stopModelServers();
    server.server().Post("/v1/embeddings", [this](const httplib::Request& req, httplib::Response& res) {
      const auto body = json::parse(req.body);
      json data = json::array();
      for (std::size_t i = 0; i < body["input"].size(); ++i)
        data.push_back(
            {{"index", i}, {"embedding", reply.empty() ? std::vector<float>(4, 0.0f) : reply[i % reply.size()]}});
      res.set_content(json{{"data", data}}.dump(), "application/json");
    });
    server.start(Engine::embedPort);
  }
};

TEST_F(KeywordTest, WorkedExample) {
  writeText(Paths::documents() / "1.txt", "We serve breakfast.");
  writeText(Paths::documents() / "2.txt", "Breakfast time is seven.");
  writeText(Paths::documents() / "3.txt", "The pool is warm.");
  Paths::ensure();
  DocIndex index;
  index.refresh();
  const auto hits = index.search("Breakfast time? is", 3);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].chunk.file, "2.txt");
  EXPECT_NEAR(hits[0].score, 0.12f, 1e-6f);
  EXPECT_EQ(hits[1].chunk.file, "1.txt");
  EXPECT_NEAR(hits[1].score, 0.12f * std::log(2.5f) / (std::log(2.5f) + std::log(4.0f)), 1e-6f);
  EXPECT_NEAR(hits[1].score, 0.048f, 0.001f);
  EXPECT_EQ(hits[2].score, 0.0f);
  // Repeating a word changes nothing; short words count for nothing.
  EXPECT_EQ(index.search("breakfast breakfast breakfast breakfast breakfast time", 3)[1].score, hits[1].score);
  const auto none = index.search("is it ok", 3);
  for (const auto& h : none) EXPECT_EQ(h.score, 0.0f);
  // Equal scores keep the passages' order.
  EXPECT_EQ(none[0].chunk.file, "1.txt");
  EXPECT_EQ(none[2].chunk.file, "3.txt");
}

TEST_F(KeywordTest, CosineAndWordsInEveryPassage) {
  reply = {{3, 4, 0, 0}};
  writeText(Paths::documents() / "a.txt", "hotel alpha");
  writeText(Paths::documents() / "b.txt", "hotel bravo");
  Paths::ensure();
  DocIndex index;
  index.refresh();
  EXPECT_EQ(index.chunks()[0].vector, (std::vector<float>{0.6f, 0.8f, 0.0f, 0.0f}));
  // A word in every passage still counts (ln 2), and normalised it gives the full 0.12.
  const auto hits = index.search("hotel", 2);
  EXPECT_NEAR(hits[0].score, 1.12f, 1e-6f);
  EXPECT_NEAR(hits[1].score, 1.12f, 1e-6f);
  EXPECT_EQ(hits[0].chunk.file, "a.txt");
  // A query vector of another length: keyword score alone. (Another text:
  // the vector of "hotel" is remembered.)
  reply = {{1, 0, 0}};
  EXPECT_NEAR(index.search("hotel ", 1)[0].score, 0.12f, 1e-6f);
  // All zeros are left as they are.
  reply = {{0, 0, 0, 0}};
  EXPECT_EQ(Embedder::embed({"x"}, false)[0], (std::vector<float>(4, 0.0f)));
}

TEST_F(KeywordTest, TokensSplitAtEverythingButLettersMarksAndNumbers) {
  EXPECT_EQ(DocIndex::tokens("Wi-Fi: 24/7, caf\xC3\xA9 \xD0\x97\xD0\x90\xD0\x92\xD0\xA2\xD0\xA0\xD0\x90\xD0\x9A!"),
            (std::vector<std::string>{"wi", "fi", "24", "7", "caf\xC3\xA9",
                                      "\xD0\xB7\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA"}));
  EXPECT_EQ(DocIndex::tokens("e\xCC\x81t\xC3\xA9 \xE6\x97\xA9\xE9\xA4\x90\xE3\x80\x82OK"),
            (std::vector<std::string>{"e\xCC\x81t\xC3\xA9", "\xE6\x97\xA9\xE9\xA4\x90", "ok"}));
  EXPECT_TRUE(DocIndex::tokens(" ,.;\n").empty());
}

TEST_F(KeywordTest, SearchesBesideARefreshSeeWholeLists) {
  for (int i = 0; i < 40; ++i)
    writeText(Paths::documents() / ("doc" + std::to_string(i) + ".txt"), "breakfast number " + std::to_string(i));
  DocIndex index;
  std::atomic<bool> done{false};
  std::thread refresher([&] {
    index.refresh();
    for (int i = 0; i < 40; i += 3) setMtime(Paths::documents() / ("doc" + std::to_string(i) + ".txt"), 1700000000 + i);
    index.refresh();
    done = true;
  });
  std::thread second([&] { index.refresh(); });  // never interleaves with the first
  while (!done) {
    const auto hits = index.search("breakfast", 100);
    std::set<std::string> ids;
    for (const auto& h : hits) EXPECT_TRUE(ids.insert(h.chunk.id).second) << h.chunk.id;
  }
  refresher.join();
  second.join();
  EXPECT_EQ(index.chunkCount(), 40u);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Words are found the same way whichever road the text takes through the
// tokeniser: plain ASCII, other scripts, or the letters whose lower case
// depends on more than the letter itself.
TEST(Tokens, LowerCasingIsFullUnicode) {
  EXPECT_EQ(DocIndex::tokens("\xC4\xB0STANBUL Caf\xC3\x89"),  // İSTANBUL CafÉ
            (std::vector<std::string>{"i\xCC\x87stanbul", "caf\xC3\xA9"}));
  // ΟΔΟΣ ends in a final sigma; ΣΑΣ has both forms.
  EXPECT_EQ(DocIndex::tokens("\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3 \xCE\xA3\xCE\x91\xCE\xA3"),
            (std::vector<std::string>{"\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82", "\xCF\x83\xCE\xB1\xCF\x82"}));
  EXPECT_EQ(DocIndex::tokens("\xD0\x97\xD0\x90\xD0\x92\xD0\xA2\xD0\xA0\xD0\x90\xD0\x9A-"
                             "\xD0\xA8\xD0\x92\xD0\x95\xD0\x94\xD0\xA1\xD0\x9A\xD0\x98\xD0\x99 "
                             "\xE2\x85\xA0\xE2\x85\xA1"),  // ЗАВТРАК-ШВЕДСКИЙ ⅠⅡ (Roman numerals are numbers)
            (std::vector<std::string>{"\xD0\xB7\xD0\xB0\xD0\xB2\xD1\x82\xD1\x80\xD0\xB0\xD0\xBA",
                                      "\xD1\x88\xD0\xB2\xD0\xB5\xD0\xB4\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9",
                                      "\xE2\x85\xB0\xE2\x85\xB1"}));
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// An embedding server whose replies the test writes byte for byte.
class ScriptedEmbeddings : public ::testing::Test {
 protected:
  TempHome home;
  test::LocalServer server;
  // The reply body for a request of n texts; 4-dimension vectors by default.
  std::function<std::string(std::size_t n)> body = [](std::size_t n) { return vectors(n, "[0.5,0.5,0.5,0.5]"); };
  int requests = 0;

  static std::string vectors(std::size_t n, const std::string& vector) {
    std::string data;
    for (std::size_t i = 0; i < n; ++i)
      data += (i ? "," : "") + std::string(R"({"index":)") + std::to_string(i) + R"(,"embedding":)" + vector + "}";
    return R"({"data":[)" + data + "]}";
  }

  void SetUp() override {
    test::stopModelServers();
    server.server().Post("/v1/embeddings", [this](const httplib::Request& req, httplib::Response& res) {
      ++requests;
      res.set_content(body(json::parse(req.body)["input"].size()), "application/json");
    });
    server.start(Engine::embedPort);
    Paths::ensure();
  }
  fs::path doc(const std::string& name) { return Paths::documents() / name; }
};

TEST_F(ScriptedEmbeddings, UnusableVectorsAreTheEmbedErrorAndAreNeverStored) {
  writeText(doc("a.txt"), "Alpha.");
  DocIndex index;
  index.refresh();
  const std::string saved = test::readText(Paths::indexFile());
  writeText(doc("b.txt"), "Bravo.\n\nSecond passage of bravo.\n\n# Third\n\nAnd a third.");

  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::vector<std::pair<std::string, std::function<std::string(std::size_t)>>> faults{
      {"null component", [](std::size_t n) { return vectors(n, "[0.5,null,0.5,0.5]"); }},
      {"beyond a float", [](std::size_t n) { return vectors(n, "[1e39,0.5,0.5,0.5]"); }},
      {"empty vector", [](std::size_t n) { return vectors(n, "[]"); }},
      {"mixed dimensions",
       [](std::size_t n) {
         std::string b = vectors(n, "[0.5,0.5,0.5,0.5]");
         return b.replace(b.find("[0.5,0.5,0.5,0.5]"), 17, "[0.5,0.5,0.5]");
       }},
      {"deeply nested, no data", [deep](std::size_t) { return deep; }},
      {"not JSON", [](std::size_t) { return std::string("<html>gateway</html>"); }},
  };
  for (const auto& [what, reply] : faults) {
    body = reply;
    EXPECT_THROW(index.refresh(), EmbedError) << what;
    EXPECT_EQ(test::readText(Paths::indexFile()), saved) << what;
    for (const auto& c : index.chunks()) EXPECT_EQ(c.vector.size(), 4u) << what << " " << c.id;
  }
  // An error quotes the reply's beginning, never all of it.
  try {
    body = [deep](std::size_t) { return deep; };
    index.refresh();
  } catch (const EmbedError& e) {
    EXPECT_LT(std::string(e.what()).size(), 1000u);
  }
}

TEST_F(ScriptedEmbeddings, DamagedStoredVectorsAreEmbeddedAgain) {
  for (const char* name : {"good.txt", "empty.txt", "short.txt", "huge.txt"})
    writeText(doc(name), std::string(name) + " text.");
  {
    DocIndex index;
    index.refresh();
  }
  // Damage three entries of index.json by hand, as a faulty run would have.
  std::string text = test::readText(Paths::indexFile());
  auto damage = [&text](const std::string& file, const std::string& vector) {
    const auto at = text.find("\"vector\":[", text.find("\"file\":\"" + file + "\""));
    text.replace(at + 10, text.find(']', at) - at - 10, vector);
  };
  damage("empty.txt", "");
  damage("short.txt", "0.5,0.5,0.5");
  damage("huge.txt", "1e39,0.5,0.5,0.5");
  writeText(Paths::indexFile(), text);

  DocIndex index;
  std::vector<std::string> names;
  for (const auto& c : index.chunks()) names.push_back(c.file);
  EXPECT_EQ(names, std::vector<std::string>{"good.txt"});  // the damaged ones are not used
  std::vector<std::string> embedded;
  index.refresh([&embedded](const std::string& name) { embedded.push_back(name); });
  EXPECT_EQ(embedded, (std::vector<std::string>{"empty.txt", "huge.txt", "short.txt"}));
  EXPECT_EQ(index.chunkCount(), 4u);
  for (const auto& c : index.chunks()) EXPECT_EQ(c.vector.size(), 4u) << c.id;
  // Saved whole again: nothing left to mend.
  DocIndex reloaded;
  EXPECT_EQ(reloaded.chunkCount(), 4u);
}

TEST_F(ScriptedEmbeddings, ANewModelOfAnotherDimensionMayReplaceEverything) {
  writeText(doc("a.txt"), "Alpha.");
  DocIndex index;
  index.refresh();
  // Every file changed: no stored vector is kept, so the new dimension is
  // the index's dimension from now on.
  fs::last_write_time(doc("a.txt"), fs::file_time_type::clock::now() + std::chrono::seconds(5));
  body = [](std::size_t n) { return vectors(n, "[0.5,0.5,0.5,0.5,0.5,0.5]"); };
  EXPECT_NO_THROW(index.refresh());
  EXPECT_EQ(index.chunks().at(0).vector.size(), 6u);
}

}  // namespace
}  // namespace quorvel
