// Quorvel, the desktop app: the window (and, where the desktop has one, the
// tray item), the start-up switches, and the model servers stopped at quit.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <quorvel/debug.h>
#include <quorvel/engine.h>
#include <quorvel/paths.h>

#include "app_model.h"
#include "main_window.h"
#include "theme.h"

using namespace quorvel;
using namespace quorvel::app;

namespace {

// The value after `name` in the arguments, if both are there.
std::optional<QString> option(const QStringList& args, const QString& name) {
  const int at = args.indexOf(name);
  if (at < 0 || at + 1 >= args.size()) return std::nullopt;
  return args[at + 1];
}

void darkPalette(QApplication& app) {
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  p.setColor(QPalette::Window, malachite());
  p.setColor(QPalette::Base, malachite2());
  p.setColor(QPalette::AlternateBase, malachite());
  p.setColor(QPalette::Button, malachite2());
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
    p.setColor(role, Qt::white);
  p.setColor(QPalette::Highlight, gold());
  p.setColor(QPalette::HighlightedText, malachite());
  p.setColor(QPalette::Link, gold());
  p.setColor(QPalette::PlaceholderText, white(0.4));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, white(0.35));
  p.setColor(QPalette::Disabled, QPalette::Text, white(0.35));
  app.setPalette(p);
  app.setStyleSheet(styleSheet());
}

// The core's diagnostics, when asked for, go to the app's own log.
void debugToLog() {
  if (std::getenv("QUORVEL_DEBUG") == nullptr) return;
  Paths::ensure();
  const std::string file = (Paths::logs() / "app.log").string();
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  debug::setSink([fd](std::string_view line) {
    std::string l(line);
    l.push_back('\n');
    [[maybe_unused]] const ssize_t n = ::write(fd, l.data(), l.size());
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setOrganizationName(QStringLiteral("Quorvel"));
  QApplication::setDesktopFileName(QStringLiteral("quorvel"));
  QApplication::setWindowIcon(appIcon());
  darkPalette(app);
  debugToLog();
  const QStringList args = QApplication::arguments();

  AppModel model;
  MainWindow window(model);
  if (!args.contains(QStringLiteral("--background"))) window.present();
  // Quitting ends the servers this process launched.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { Engine::shared().stop(); });

  // The launch sequence: each step starts when the one before is over.
  std::vector<std::function<void(std::function<void()>)>> steps;
  steps.push_back([&model](auto next) {
    if (AppModel::modelsReady())
      model.startEngine(next);
    else
      next();
  });
  if (args.contains(QStringLiteral("--samples")))
    steps.push_back([&model](auto next) {
      model.addSamples();
      QTimer::singleShot(3000, next);
    });
  if (const auto message = option(args, QStringLiteral("--ask")))
    steps.push_back([&model, text = *message](auto next) {
      model.setGuestText(text);
      model.ask(next);
    });
  if (const auto folder = option(args, QStringLiteral("--snapshot")))
    steps.push_back([&window, dir = *folder](auto next) {
      QTimer::singleShot(1000, [&window, dir, next] {
        QDir().mkpath(dir);
        window.snapshot(QDir(dir).filePath(QStringLiteral("window.png")));
        next();
      });
    });
  // Not for people: ends the app once the steps above are done (pictures
  // and tests of the start-up switches).
  if (args.contains(QStringLiteral("--exit"))) steps.push_back([](auto) { QCoreApplication::quit(); });

  auto run = std::make_shared<std::function<void(std::size_t)>>();
  *run = [&steps, run](std::size_t i) {
    if (i < steps.size()) steps[i]([run, i] { (*run)(i + 1); });
  };
  QTimer::singleShot(0, [run] { (*run)(0); });
  const int status = QApplication::exec();
  return status;
}
