// Where Quorvel keeps its files: the per-user support folder, the shipped
// resources and the model-server program. Nothing is cached; every call looks
// at the environment and the file system again.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel {

struct Paths {
  static std::filesystem::path support();
  static std::filesystem::path models() { return support() / "models"; }
  static std::filesystem::path documents() { return support() / "documents"; }
  static std::filesystem::path logs() { return support() / "logs"; }
  static std::filesystem::path indexFile() { return support() / "index.json"; }
  static std::filesystem::path historyFile() { return support() / "history.jsonl"; }
  static std::filesystem::path statsFile() { return support() / "stats.json"; }
  // Choices shared by the app and the tool (how long the history is kept).
  static std::filesystem::path settingsFile() { return support() / "settings.json"; }

  static std::filesystem::path resources();
  static std::optional<std::filesystem::path> llamaServer();
  // Where llama-server is looked for, in words, for a person who has to
  // install it: "<resources>/llama, <prefix>/lib/quorvel/llama,
  // <resources>/vendor/*, <support>/engine, the folders of PATH and
  // /home/linuxbrew/.linuxbrew/bin".
  static std::string llamaServerPlaces();
  // The folder of the llama-server built and installed with Quorvel:
  // <prefix>/lib/quorvel/llama beside the running program's <prefix>/bin.
  static std::filesystem::path bundledEngine();
  // Whether this build ships llama-server; then a missing one means a
  // damaged installation rather than a missing install step.
  static bool engineIsBundled();
  // The README installed beside the resources, when there is one.
  static std::optional<std::filesystem::path> readme();

  // Creates the support folder and its three subfolders (mode 0700), and
  // takes group and other access away from them where they exist already.
  // Failures are ignored: each folder is tried on its own.
  static void ensure();

  // The rules of resources() for a program at `executable`; resources() uses
  // the running program. Separate so that the rules can be tried on made-up
  // folder trees.
  static std::filesystem::path resourcesFor(const std::filesystem::path& executable);
  static std::filesystem::path bundledEngineFor(const std::filesystem::path& executable);
  static std::optional<std::filesystem::path> llamaServerIn(const std::filesystem::path& resources,
                                                            const std::filesystem::path& bundledEngine);
  // The running program's own path, symbolic links resolved.
  static std::filesystem::path executable();
};

}  // namespace quorvel
