// quorvel-cli: one command per run, each ending the process with its status.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "doc_index.h"
#include "engine.h"
#include "file_util.h"
#include "models.h"
#include "paths.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

std::vector<std::string> args;

// Every line the tool prints goes through here: one write, no buffering, so
// lines from progress callbacks never interleave with the others.
void out(std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  writeAll(STDOUT_FILENO, line);
}

constexpr std::string_view kUsage =
    "quorvel-cli setup            download the free models (one time)\n"
    "quorvel-cli import <files\u2026>  add documents (txt, md, pdf, docx, rtf)\n"
    "quorvel-cli index            build the local search index\n"
    "quorvel-cli ask \"question\"   answer from the documents "
    "[--template=checkin|breakfast|transfer|rules|complaint]\n"
    "quorvel-cli bench q.json r.json\n"
    "quorvel-cli stop             stop the local model";

// Status when an error escapes a command (1 is the engine's).
constexpr int kErrorStatus = 2;

int usage() {
  out(kUsage);
  return 0;
}

int importCommand() {
  std::vector<fs::path> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const fs::path p(args[i]);
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      // The folder's own entries only, as the file system lists them.
      for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) files.push_back(it->path());
    } else {
      files.push_back(p);
    }
  }
  out("imported: " + std::to_string(DocIndex::importFiles(files)));
  return 0;
}

int setupCommand() {
  Paths::ensure();
  for (const ModelSpec& model : {ModelCatalog::embedding(), ModelCatalog::recommendedChat()}) {
    out("model: " + model.title + " (" + std::to_string(model.sizeMB) + " MB)");
    ModelDownloader downloader;
    int lastTenth = -1;
    // One line per tenth reached: the first percentage seen in it.
    downloader.onProgress = [&lastTenth](double fraction) {
      const int percent = static_cast<int>(fraction * 100);
      const int tenth = percent / 10;
      if (tenth == lastTenth) return;
      lastTenth = tenth;
      out("  " + std::to_string(percent) + "%");
    };
    downloader.download(model);
  }
  out("ok: " + (Paths::support() / "models").string());
  return 0;
}

int stopCommand() {
  Engine::shared().stopAll();
  out("stopped");
  return 0;
}

// Starts the model servers (or finds them running); false after printing
// why they did not start.
bool engineReady() {
  Engine& engine = Engine::shared();
  engine.start();
  const Engine::State s = engine.state();
  if (s.kind == Engine::State::Kind::failed) {
    out("engine: " + s.message);
    return false;
  }
  return true;
}

int indexCommand() {
  if (!engineReady()) return 1;
  const auto t0 = std::chrono::steady_clock::now();
  DocIndex& index = DocIndex::shared();
  index.refresh([](const std::string& name) { out("indexing " + name); });
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  out("files: " + std::to_string(index.fileNames().size()) + ", passages: " + std::to_string(index.chunkCount()) +
      ", " + took + " s");
  return 0;
}

int notBuiltYet() {
  std::fprintf(stderr, "quorvel-cli: the command \"%s\" is not available in this build\n", args[0].c_str());
  return kErrorStatus;
}

int run() {
  const std::string command = args.empty() ? "help" : args[0];
  if (command == "setup") return setupCommand();
  if (command == "import") return importCommand();
  if (command == "index") return indexCommand();
  if (command == "ask") return engineReady() ? notBuiltYet() : 1;
  if (command == "bench") return engineReady() ? notBuiltYet() : 1;
  if (command == "stop") return stopCommand();
  return usage();
}

}  // namespace

int main(int argc, char** argv) {
  args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    return run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvel-cli: %s\n", e.what());
    return kErrorStatus;
  }
}
