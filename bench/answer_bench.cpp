// What `quorvel-cli ask` costs around the model's own work: start-up, index
// load, search, prompts, sentence checks and history, with a 2,000-passage
// index and the stand-in model server (whose replies take well under a
// millisecond, so the figure is an upper bound of the overhead).
#include <cstdio>
#include <string>

#include <quorvel/engine.h>
#include <quorvel/paths.h>

#include "bench_util.h"
#include "sample_index.h"
#include "test_support.h"

using namespace quorvel;

int main() {
  test::TempHome home;
  Paths::ensure();
  test::prepareStandInHome(home.path());
  test::stopModelServers();
  test::ScopedEnv dim("QUORVEL_STANDIN_DIM", "1024");
  bench::writeIndex(Paths::indexFile(), 2000);
  // The documents the index names, so that nothing is stale.
  test::writeText(Paths::documents() / "hotel.txt", "x");
  Engine::shared().start();
  if (Engine::shared().state() != Engine::State::ready()) return 1;

  const auto ask = [](const char* question) { return test::run(QUORVEL_CLI, {"ask", question}); };
  const double answered = bench::median([&] { ask("When is breakfast served on the terrace?"); }, 11);
  const double notFound = bench::median([&] { ask("Is there a sauna?"); }, 11);
  const double multiPart = bench::median([&] { ask("When is breakfast? Is parking free? How much is the taxi?"); }, 11);
  const auto r = ask("When is breakfast served on the terrace?");
  std::printf(
      "quorvel-cli ask with a 2,000-passage index, whole process, median of 11:\n"
      "  answered: %.0f ms\n  not in the documents: %.0f ms\n  three-part message: %.0f ms\n(reply: %s)\n",
      answered * 1e3, notFound * 1e3, multiPart * 1e3, r.out.substr(0, r.out.find('\n')).c_str());
  test::stopModelServers();
}
