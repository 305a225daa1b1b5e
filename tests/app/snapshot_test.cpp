// The program itself: `Quorvel --background --snapshot DIR` writes the
// window's picture, offscreen and on an X server (Xvfb) alike.
#include <signal.h>

#include <QImage>
#include <QStandardPaths>
#include <QTest>

#include <quorvel/engine.h>

#include "app_test_support.h"
#include "platform/local_http.h"
#include "platform/process.h"

using namespace quorvel;
using namespace quorvel::app::test;

class SnapshotTest : public QObject {
  Q_OBJECT

  // Runs the app in a fresh support folder and returns the picture.
  static QImage snapshot(const std::vector<std::string>& prefix, const std::map<std::string, std::string>& env,
                         std::vector<std::string> extra = {}) {
    TempDir dir;
    std::vector<std::string> args(prefix.begin() + 1, prefix.end());
    args.push_back(QUORVEL_APP);
    for (const char* a : {"--background", "--snapshot"}) args.push_back(a);
    args.push_back((dir / "shots").string());
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("--exit");
    auto vars = env;
    vars["QUORVEL_HOME"] = (dir / "home").string();
    vars["XDG_RUNTIME_DIR"] = dir.path().string();
    const RunResult r = run(prefix.at(0), args, vars);
    if (r.status != 0) qWarning("%s", r.err.c_str());
    return QImage(QString::fromStdString((dir / "shots/window.png").string()));
  }

  static bool answers(int port) {
    return LocalHTTP::getStatus("http://127.0.0.1:" + std::to_string(port) + "/health", std::chrono::seconds(1)) == 200;
  }

 private slots:
  void offscreen() {
    const QImage shot = snapshot({"/usr/bin/env"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    QVERIFY(!shot.isNull());
    QVERIFY(shot.width() >= 900 && shot.height() >= 600);
    // The setup screen on malachite: the corner pixel is the background.
    QCOMPARE(shot.pixelColor(5, 5).name(), QStringLiteral("#0b2a20"));
  }

  void onAnXServer() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty()) QSKIP("xvfb-run is not installed");
    const QImage shot = snapshot({xvfb.toStdString(), "-a"}, {{"QT_QPA_PLATFORM", "xcb"}});
    QVERIFY(!shot.isNull());
    QVERIFY(shot.width() >= 900 && shot.height() >= 600);
  }

  // The guest's message of --ask is gone from the app's arguments, which
  // every user can read, before the model is asked.
  void theMessageOfAskIsOutOfOtherUsersSight() {
    quorvel::test::stopModelServers();
    TempDir dir;
    quorvel::test::prepareStandInHome(dir / "home");
    const fs::path record = dir / "requests.jsonl";
    Subprocess::Options o;
    o.environment = quorvel::test::environmentWith({{"QUORVEL_HOME", (dir / "home").string()},
                                                    {"XDG_RUNTIME_DIR", dir.path().string()},
                                                    {"QT_QPA_PLATFORM", "offscreen"},
                                                    {"QUORVEL_STANDIN_REPLY_DELAY_MS", "4000"},
                                                    {"QUORVEL_STANDIN_RECORD", record.string()}});
    Subprocess app({QUORVEL_APP, "--background", "--ask", "I am Anna Kowalska, passport PL998877", "--exit"}, o);
    QVERIFY(app.started());
    QVERIFY(quorvel::test::waitFor([&] {
      return fs::exists(record) && readText(record).find("/v1/chat/completions") != std::string::npos;
    }));
    QVERIFY(app.running());
    const std::string seen = readText("/proc/" + std::to_string(app.pid()) + "/cmdline");
    QVERIFY2(seen.find("PL998877") == std::string::npos, seen.c_str());
    QVERIFY(seen.find("--background") != std::string::npos);
    if (const auto other = quorvel::test::commandLineSeenByAnotherUser(app.pid())) {
      QVERIFY(other->find("--background") != std::string::npos);
      QVERIFY(other->find("PL998877") == std::string::npos);
    }
    ::kill(app.pid(), SIGTERM);
    QVERIFY(!app.wait(std::chrono::minutes(2)).timedOut);
  }

  // Models in place but no engine (a build without the bundled one): a run
  // for pictures writes them and ends, as it does with an engine.
  void aPictureRunWithoutAnEngineEnds() {
    TempDir dir;
    quorvel::test::prepareStandInHome(dir / "home");
    fs::remove(dir / "home/engine/llama-server");
    for (const bool engine : {false, true}) {
      if (engine) fs::create_symlink(QUORVEL_STANDIN, dir / "home/engine/llama-server");
      const fs::path shots = dir / (engine ? "with" : "without");
      Subprocess::Options o;
      o.environment = quorvel::test::environmentWith({{"QUORVEL_HOME", (dir / "home").string()},
                                                      {"XDG_RUNTIME_DIR", dir.path().string()},
                                                      {"PATH", (dir / "nothing").string()},
                                                      {"QT_QPA_PLATFORM", "offscreen"}});
      Subprocess app({QUORVEL_APP, "--background", "--samples", "--ask", "When is breakfast?", "--snapshot",
                      shots.string()},
                     o);
      QVERIFY(app.started());
      const auto ended = app.wait(std::chrono::minutes(2));
      QVERIFY2(!ended.timedOut, engine ? "with an engine" : "without an engine");
      QCOMPARE(ended.status, 0);
      QVERIFY(fs::exists(shots / "window.png") && fs::exists(shots / "menu.png"));
    }
  }

  // The program started a second time with --ask hands the message to the
  // running one, which writes the reply (and records it), and ends; also
  // while the first is still starting its model.
  void aSecondStartHandsItsMessageOver() {
    quorvel::test::stopModelServers();
    TempDir dir;
    quorvel::test::prepareStandInHome(dir / "home");
    writeText(dir / "home/documents/rules.md", "Breakfast is served from 7:00 to 10:30 on the terrace.");
    Subprocess::Options o;
    o.environment = quorvel::test::environmentWith({{"QUORVEL_HOME", (dir / "home").string()},
                                                    {"XDG_RUNTIME_DIR", dir.path().string()},
                                                    {"QT_QPA_PLATFORM", "offscreen"}});
    Subprocess first({QUORVEL_APP, "--background"}, o);
    QVERIFY(first.started());
    QVERIFY(QTest::qWaitFor([&] { return answers(Engine::chatPort) && answers(Engine::embedPort); }, 60000));
    Subprocess second({QUORVEL_APP, "--background", "--ask", "When is breakfast?"}, o);
    QVERIFY(second.started());
    const auto handed = second.wait(std::chrono::minutes(1));
    QVERIFY(!handed.timedOut);
    QCOMPARE(handed.status, 0);
    const fs::path history = dir / "home/history.jsonl";
    QVERIFY(QTest::qWaitFor(
        [&] { return fs::exists(history) && readText(history).find("When is breakfast?") != std::string::npos; },
        60000));
    ::kill(first.pid(), SIGTERM);
    QVERIFY(!first.wait(std::chrono::minutes(2)).timedOut);
  }

  // Ended by a signal (a logout, kill), the app quits as by its menu: the
  // servers it started stop, its socket goes.
  void aTerminatedAppStopsItsServersAndLeavesNoSocket() {
    quorvel::test::stopModelServers();
    TempDir dir;
    quorvel::test::prepareStandInHome(dir / "home");
    Subprocess::Options o;
    o.environment = quorvel::test::environmentWith({{"QUORVEL_HOME", (dir / "home").string()},
                                                    {"XDG_RUNTIME_DIR", dir.path().string()},
                                                    {"QT_QPA_PLATFORM", "offscreen"}});
    Subprocess app({QUORVEL_APP, "--background"}, o);
    QVERIFY(app.started());
    QVERIFY(QTest::qWaitFor([&] { return answers(Engine::chatPort) && answers(Engine::embedPort); }, 60000));
    auto sockets = [&] {
      int n = 0;
      for (const auto& e : fs::directory_iterator(dir.path())) n += e.path().extension() == ".sock";
      return n;
    };
    QCOMPARE(sockets(), 1);
    ::kill(app.pid(), SIGTERM);
    const auto ended = app.wait(std::chrono::minutes(2));
    QVERIFY(!ended.timedOut);
    QCOMPARE(ended.status, 0);
    QVERIFY(QTest::qWaitFor([&] { return !answers(Engine::chatPort) && !answers(Engine::embedPort); }, 30000));
    QCOMPARE(sockets(), 0);
  }
};

QTEST_MAIN(SnapshotTest)
#include "snapshot_test.moc"
