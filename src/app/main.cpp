// Quorvel, the desktop app: the window, the tray item, the start-up switches,
// and the model servers stopped at quit.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QPalette>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <string_view>

#include <quorvel/debug.h>
#include <quorvel/document_reader.h>
#include <quorvel/engine.h>
#include <quorvel/paths.h>
#include <quorvel/startup.h>

#include "app_delegate.h"
#include "theme.h"
#include "translations.h"

using namespace quorvel;
using namespace quorvel::app;

namespace {

void darkPalette(QApplication& app) {
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  p.setColor(QPalette::Window, malachite());
  p.setColor(QPalette::Base, malachiteLight());
  p.setColor(QPalette::AlternateBase, malachite());
  p.setColor(QPalette::Button, malachiteLight());
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

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM (a logout, `kill`), SIGINT and SIGHUP end the app as its Quit
// does: the model servers it started are stopped and its socket removed.
// The handler only writes a byte; the quitting happens on the GUI thread.
void quitOnSignals(AppDelegate& delegate) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &delegate);
  QObject::connect(notifier, &QSocketNotifier::activated, &delegate, [&delegate] {
    char buf[16];
    while (::read(signalPipe[0], buf, sizeof buf) > 0) {
    }
    delegate.quit();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  startup::limitOcrThreads(argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  QApplication::setOrganizationName(QStringLiteral("Quorvel"));
  QApplication::setDesktopFileName(QStringLiteral("quorvel"));
  QApplication::setWindowIcon(appIcon());
  const LaunchOptions options = LaunchOptions::parse(QApplication::arguments());
  // The guest's message, read: out of other users' sight (/proc/<pid>/cmdline).
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string_view(argv[i]) == "--ask") startup::hideArgument(argv[i + 1]);
  // One instance per support folder: a second start hands its switches to
  // the first one and ends (a run for pictures or tests always runs itself).
  if (!options.exit && !options.snapshot && AppDelegate::handOver(options)) return 0;
  darkPalette(app);
  translations::use();
  debugToLog();

  AppDelegate delegate(options);
  quitOnSignals(delegate);
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { Engine::shared().stop(); });
  QTimer::singleShot(0, &delegate, [&delegate] { delegate.launch(); });
  return QApplication::exec();
}
