// The desktop app over a shift, sped up: its window shown, the sample hotel
// read, and thousands of guest messages answered through the stand-in model
// server, each a different text. Prints the resident memory every so many
// replies; flat after the warm-up is the goal. As on a real shift, a
// document changes every 100 replies (and is read again) and the chat
// server is killed every 500 (the next reply starts it again). Run by hand
// (not a test):
//   QT_QPA_PLATFORM=offscreen app_soak_bench [replies] [every]
// in a network namespace of its own when other runs may use the model ports
// (unshare -n sh -c 'ip link set lo up && build/bin/app_soak_bench').
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <quorvel/doc_import.h>
#include <quorvel/engine.h>
#include <quorvel/paths.h>

#include "app_delegate.h"
#include "test_support.h"

using namespace quorvel;
using namespace quorvel::app;

namespace {

double residentMB() {
  std::ifstream status("/proc/self/status");
  for (std::string l; std::getline(status, l);)
    if (l.rfind("VmRSS:", 0) == 0) return std::stol(l.substr(6)) / 1024.0;
  return 0;
}

bool await(const std::function<void(AppModel::Done)>& operation) {
  auto finished = std::make_shared<bool>(false);
  operation([finished] { *finished = true; });
  return QTest::qWaitFor([finished] { return *finished; }, 60000);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const int replies = argc > 1 ? std::atoi(argv[1]) : 3000;
  const int every = argc > 2 ? std::atoi(argv[2]) : 250;
  test::TempHome home;
  test::TempDir emptyPath;
  test::ScopedEnv path("PATH", emptyPath.path().string());
  test::stopModelServers();
  test::prepareStandInHome(home.path());
  DocImport::paths({fs::path(QUORVEL_SOURCE_DIR) / "resources/samples/palm-cove-villa"});

  LaunchOptions options;
  AppDelegate delegate(options);
  if (!await([&](auto done) { delegate.launch(done); }) ||
      Engine::shared().state().kind != Engine::State::Kind::ready) {
    std::fprintf(stderr, "app_soak_bench: the model did not start\n");
    return 1;
  }
  AppModel& model = delegate.model();
  const char* topics[] = {"breakfast", "parking", "the pool", "late check-out", "a taxi", "the sauna", "wifi", "pets"};
  std::printf("replies  resident MB\n%7d  %10.1f\n", 0, residentMB());
  double warm = 0;
  for (int i = 1; i <= replies; ++i) {
    model.reply().setGuestText(QStringLiteral("Guest %1 asks about %2: when and how much, please?")
                                   .arg(i)
                                   .arg(QString::fromUtf8(topics[i % 8])));
    if (!await([&](auto done) { model.ask(done); })) {
      std::fprintf(stderr, "app_soak_bench: reply %d did not come\n", i);
      return 1;
    }
    if (i % 100 == 0) {
      test::writeText(Paths::documents() / "notes.txt", "Today's special is number " + std::to_string(i) + ".");
      await([&](auto done) { model.reindex(done); });
    }
    if (i % 500 == 0) test::killChatServer();
    if (i % every == 0) {
      const double mb = residentMB();
      if (i == every) warm = mb;
      std::printf("%7d  %10.1f\n", i, mb);
      std::fflush(stdout);
    }
  }
  const double last = residentMB();
  std::printf("growth after the first %d replies: %.1f MB, %.2f KB a reply\n", every, last - warm,
              (last - warm) * 1024 / std::max(1, replies - every));
  test::stopModelServers();
  return 0;
}
