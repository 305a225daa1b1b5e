// index.json load and save, search over 2,000 and 50,000 passages, memory of
// the loaded index, and the share of a refresh spent outside the embedding
// requests (against the stand-in server).
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include <quorvel/doc_index.h>
#include <quorvel/embedder.h>
#include <quorvel/engine.h>
#include <quorvel/paths.h>

#include "bench_util.h"
#include "sample_index.h"
#include "test_support.h"

using namespace quorvel;
using quorvel::bench::kWords;
using quorvel::bench::median;
using quorvel::bench::writeIndex;

namespace {

double rssMB() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void refreshBench(const char* dims) {
  fs::remove(Paths::indexFile());
  fs::remove_all(Paths::documents());
  Paths::ensure();
  std::vector<std::vector<std::string>> texts;
  for (int d = 0; d < 200; ++d) {
    std::string doc;
    for (int p = 0; p < 4; ++p) {
      doc += "SECTION " + std::to_string(p) + "\n";
      for (int w = 0; w < 60; ++w) doc += std::string(kWords[(d * 7 + p * 3 + w) % 24]) + " ";
      doc += "\n\n";
    }
    test::writeText(Paths::documents() / ("doc" + std::to_string(1000 + d) + ".txt"), doc);
    std::vector<std::string> passages;
    for (const auto& c : DocumentReader::chunks("x", doc)) passages.push_back(c.text);
    texts.push_back(passages);
  }
  // Both measured in turn, 15 times each, so that the machine's noise falls
  // on both alike; medians compared.
  std::vector<double> refreshes, embeddings;
  for (int run = 0; run < 15; ++run) {
    refreshes.push_back(bench::seconds([&] {
      fs::remove(Paths::indexFile());
      DocIndex index;  // empty: every document is read and embedded
      index.refresh();
    }));
    embeddings.push_back(bench::seconds([&] {
      for (const auto& t : texts) Embedder::embed(t, false);
    }));
  }
  std::sort(refreshes.begin(), refreshes.end());
  std::sort(embeddings.begin(), embeddings.end());
  const double refresh = refreshes[7], embedding = embeddings[7];
  DocIndex fresh;
  const double save = median([&] { fresh.save(); }, 3);
  std::printf(
      "refresh of 200 documents (%zu passages, %s dimensions): %.0f ms, of which embedding requests %.0f ms; "
      "outside them %.1f%% (the final save alone: %.0f ms)\n",
      fresh.chunkCount(), dims, refresh * 1e3, embedding * 1e3, 100 * (refresh - embedding) / refresh, save * 1e3);
}

}  // namespace

// In a fresh process: load index.json of QUORVEL_HOME and report memory.
int measureLoad(std::size_t payload, double fileMB) {
  DocIndex::tokens(
      "Warm ICU up: \xD0\x97\xD0\x90\xD0\x92\xD0\xA2\xD0\xA0\xD0\x90\xD0\x9A");  // its data is not the index's
  const double before = rssMB();
  resetPeak();
  std::unique_ptr<DocIndex> index;
  const double load = bench::seconds([&] { index = std::make_unique<DocIndex>(); });
  const double after = rssMB(), peak = bench::peakRssMB();
  std::printf(
      "load %zu passages (%.1f MB file): %.0f ms; resident %.1f MB for %.1f MB of texts and vectors (%.2fx), "
      "peak while loading %.2fx\n",
      index->chunkCount(), fileMB, load * 1e3, after - before, payload / 1e6, (after - before) / (payload / 1e6),
      (peak - before) / (payload / 1e6));
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--measure-load")
    return measureLoad(std::stoul(argv[2]), std::stod(argv[3]));
  test::TempHome home;
  Paths::ensure();
  test::prepareStandInHome(home.path());
  test::stopModelServers();
  test::ScopedEnv dim("QUORVEL_STANDIN_DIM", "1024");
  Engine::shared().start();

  for (std::size_t n : {2000u, 20000u}) {
    const std::size_t payload = writeIndex(Paths::indexFile(), n);
    const double fileMB = static_cast<double>(fs::file_size(Paths::indexFile())) / 1e6;
    // Memory is measured in a fresh process of its own, so that nothing
    // this program allocated before blurs the figures.
    std::fflush(stdout);
    const std::string cmd = "/proc/" + std::to_string(getpid()) + "/exe --measure-load " + std::to_string(payload) +
                            " " + std::to_string(fileMB);
    if (std::system(cmd.c_str()) != 0) std::printf("memory measurement failed\n");
    if (n == 2000) {
      DocIndex index;
      const double load = median([] { DocIndex again; }, 5);
      std::printf("load 2000 passages, median of 5: %.0f ms\n", load * 1e3);
      const double save = median([&] { index.save(); }, 5);
      std::printf("save 2000 passages: %.0f ms\n", save * 1e3);
      const double embedOnly = median([] { Embedder::embed({"When is breakfast served on the terrace?"}, true); }, 21);
      const double search = median([&] { index.search("When is breakfast served on the terrace?", 6); }, 21);
      std::printf("search 2000 passages: %.2f ms without the embedding request (%.2f ms with it)\n",
                  (search - embedOnly) * 1e3, search * 1e3);
    }
  }
  {
    writeIndex(Paths::indexFile(), 50000);
    DocIndex index;
    const double embedOnly = median([] { Embedder::embed({"Is the airport transfer free?"}, true); }, 11);
    const double search = median([&] { index.search("Is the airport transfer free?", 6); }, 11);
    std::printf("search 50000 passages: %.1f ms without the embedding request\n", (search - embedOnly) * 1e3);
  }

  // Refresh of 200 small documents: time outside the embedding requests,
  // with the stand-in's own 256 dimensions and with the real model's 1,024.
  for (const char* dims : {"256", "1024"}) {
    test::stopModelServers();
    test::ScopedEnv width("QUORVEL_STANDIN_DIM", dims);
    Engine e;
    e.start();
    refreshBench(dims);
  }
  test::stopModelServers();
}
