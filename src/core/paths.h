// Where Quorvel keeps its files: the per-user support folder, the shipped
// resources and the model-server program. Nothing is cached; every call looks
// at the environment and the file system again.
#pragma once

#include <filesystem>
#include <optional>

namespace quorvel {

namespace fs = std::filesystem;

struct Paths {
  static fs::path support();
  static fs::path models() { return support() / "models"; }
  static fs::path documents() { return support() / "documents"; }
  static fs::path logs() { return support() / "logs"; }
  static fs::path indexFile() { return support() / "index.json"; }
  static fs::path historyFile() { return support() / "history.jsonl"; }
  static fs::path statsFile() { return support() / "stats.json"; }

  static fs::path resources();
  static std::optional<fs::path> llamaServer();

  // Creates the support folder and its three subfolders (mode 0700).
  // Failures are ignored: each folder is tried on its own.
  static void ensure();

  // The rules of resources() for a program at `executable`; resources() uses
  // the running program. Separate so that the rules can be tried on made-up
  // folder trees.
  static fs::path resourcesFor(const fs::path& executable);
  static std::optional<fs::path> llamaServerIn(const fs::path& resources);
  // The running program's own path, symbolic links resolved.
  static fs::path executable();
};

}  // namespace quorvel
