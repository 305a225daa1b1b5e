// What the app's suites share: a throw-away support folder with the stand-in
// model server, and waiting for the model's operations.
#pragma once

#include <QTest>
#include <functional>
#include <memory>

#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>

#include "app_model.h"
#include "test_support.h"

namespace quorvel::app::test {

using namespace quorvel::test;

// A support folder of its own, no llama-server from the machine, and no
// model server left running from before.
struct AppHome {
  TempHome home;
  TempDir emptyPath;
  ScopedEnv path{"PATH", emptyPath.path().string()};
  // The process's engine forgets servers of an earlier test.
  AppHome() {
    stopModelServers();
    Engine::shared().setState(Engine::State::stopped());
    DocIndex::shared().reload();
  }
  ~AppHome() {
    stopModelServers();
    Engine::shared().setState(Engine::State::stopped());
  }
};

// The stand-in as the model server and every model file install() wants (the
// search model and the reply model this computer's memory calls for).
inline void prepareAllModels(const fs::path& home) {
  prepareStandInHome(home);
  const ModelSpec& chat = ModelCatalog::recommendedChat();
  writeText(home / "models" / chat.file, quorvel::test::emptyGguf());
  fs::resize_file(home / "models" / chat.file, static_cast<std::uintmax_t>(chat.sizeMB) * 1000000);
}

// Runs an operation that reports its end through a Done callback, and waits
// for that end (at most 60 s).
inline bool await(const std::function<void(AppModel::Done)>& operation) {
  auto finished = std::make_shared<bool>(false);
  operation([finished] { *finished = true; });
  return QTest::qWaitFor([finished] { return *finished; }, 60000);
}

// Tells the model that the engine is in state `s` (as its report would),
// without any server.
inline void pretendEngine(AppModel& model, Engine::State s) {
  Engine::shared().setState(s);
  [[maybe_unused]] const bool seen = QTest::qWaitFor([&] { return model.status().state() == s; }, 5000);
}

}  // namespace quorvel::app::test
