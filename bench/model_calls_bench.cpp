// What one answer costs in model calls against a real llama-server: the main
// reply, the sentence check and one re-check, each timed on its own, on the
// sample hotel. Needs QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and
// QUORVEL_TEST_EMBED_MODEL (as the real-server tests); with the tiny test
// models the figures are those of the interface, not of a useful model.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <quorvel/answerer.h>
#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "bench_util.h"
#include "test_support.h"

using namespace quorvel;

int main() {
  const char* server = std::getenv("QUORVEL_TEST_LLAMA_SERVER");
  const char* chat = std::getenv("QUORVEL_TEST_CHAT_MODEL");
  const char* embed = std::getenv("QUORVEL_TEST_EMBED_MODEL");
  if (!server || !chat || !embed) {
    std::fprintf(stderr, "set QUORVEL_TEST_LLAMA_SERVER, QUORVEL_TEST_CHAT_MODEL and QUORVEL_TEST_EMBED_MODEL\n");
    return 2;
  }
  test::TempHome home;
  test::stopModelServers();
  Paths::ensure();
  fs::create_directories(home.path() / "engine");
  fs::create_symlink(fs::absolute(server), home.path() / "engine/llama-server");
  for (const auto& [from, spec] :
       {std::pair{embed, ModelCatalog::embedding()}, std::pair{chat, ModelCatalog::chat()[0]}}) {
    fs::copy_file(from, ModelCatalog::path(spec));
    fs::resize_file(ModelCatalog::path(spec), static_cast<std::uintmax_t>(spec.sizeMB) * 1000000);
  }
  for (const auto& f : fs::directory_iterator(std::string(QUORVEL_SOURCE_DIR) + "/resources/samples/palm-cove-villa"))
    fs::copy_file(f.path(), Paths::documents() / f.path().filename());
  Engine engine;
  engine.maxPolls = 1200;
  engine.start();
  if (engine.state() != Engine::State::ready()) return 1;
  DocIndex index;
  index.refresh();

  const std::vector<std::string> questions{"What time is breakfast?", "How much is the airport transfer?",
                                           "Is parking free?", "Can I check out late?", "Is there a pool?"};
  std::vector<double> main, verify, recheck;
  std::size_t sourcesBytes = 0;
  for (int round = 0; round < 3; ++round) {
    for (const auto& q : questions) {
      auto hits = index.search(q, 6);
      std::size_t included = 0;
      const std::string sources = Answerer::sourcesText(hits, &included);
      sourcesBytes = std::max(sourcesBytes, sources.size());
      std::string reply;
      main.push_back(bench::seconds([&] {
        reply = Chat::complete(Answerer::systemPrompt("English"), Answerer::userMessage(sources, nullptr, q, "English"))
                    .first;
      }));
      verify.push_back(bench::seconds([&] { Answerer::verify(reply, sources); }));
      recheck.push_back(bench::seconds([&] { Answerer::recheck(Answerer::sentences(reply).at(0), sources); }));
    }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2] * 1e3;
  };
  std::printf(
      "model calls of one answer, median of %zu (SOURCES up to %zu bytes):\n"
      "  main reply: %.0f ms\n  sentence check: %.0f ms (may include re-checks)\n  one re-check: %.0f ms\n",
      main.size(), sourcesBytes, median(main), median(verify), median(recheck));
  test::stopModelServers();
}
