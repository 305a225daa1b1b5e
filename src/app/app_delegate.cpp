#include "app_delegate.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <string>
#include <vector>

#include <quorvel/engine.h>
#include <quorvel/history.h>
#include <quorvel/paths.h>

#include "content_view.h"
#include "main_view.h"
#include "theme.h"

namespace quorvel::app {

namespace {

// A step of the launch sequence: does its work, then calls `next`.
using Step = std::function<void(std::function<void()> next)>;

void runSteps(std::shared_ptr<std::vector<Step>> steps, std::size_t i, std::function<void()> done) {
  if (i == steps->size()) {
    if (done) done();
    return;
  }
  (*steps)[i]([steps, i, done] { runSteps(steps, i + 1, done); });
}

}  // namespace

LaunchOptions LaunchOptions::parse(const QStringList& args) {
  LaunchOptions o;
  auto value = [&](const QString& name) -> std::optional<QString> {
    const int at = args.indexOf(name);
    if (at < 0 || at + 1 >= args.size()) return std::nullopt;
    return args[at + 1];
  };
  o.background = args.contains(QStringLiteral("--background"));
  o.samples = args.contains(QStringLiteral("--samples"));
  o.install = args.contains(QStringLiteral("--install"));
  o.ask = value(QStringLiteral("--ask"));
  o.snapshot = value(QStringLiteral("--snapshot"));
  o.openMenu = args.contains(QStringLiteral("--open-menu"));
  o.gaps = args.contains(QStringLiteral("--gaps"));
  o.exit = args.contains(QStringLiteral("--exit"));
  return o;
}

QByteArray LaunchOptions::handOverLines() const {
  QByteArray out;
  if (!background) out += "show\n";
  // Base64: a guest's message may hold line breaks of its own.
  if (ask) out += "ask " + ask->toUtf8().toBase64() + "\n";
  if (gaps) out += "gaps\n";
  if (openMenu) out += "open-menu\n";
  return out;
}

LaunchOptions LaunchOptions::fromHandOver(const QByteArray& lines) {
  LaunchOptions o;
  o.background = true;
  for (const QByteArray& line : lines.split('\n')) {
    if (line == "show")
      o.background = false;
    else if (line.startsWith("ask "))
      o.ask = QString::fromUtf8(QByteArray::fromBase64(line.mid(4)));
    else if (line == "gaps")
      o.gaps = true;
    else if (line == "open-menu")
      o.openMenu = true;
  }
  return o;
}

AppDelegate::AppDelegate(const LaunchOptions& options) : options_(options), window_(model_) {
  buildMainMenu();
  TrayActions actions;
  actions.open = [this] { openWindow(); };
  actions.clip = [this] { model_.answerClipboard(); };
  actions.addDocs = [this] { model_.pickDocuments(); };
  actions.addTemplates = [this] { model_.addHotelTemplates(); };
  actions.folder = [] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Paths::documents().string())));
  };
  actions.reindex = [this] { model_.reindex(); };
  actions.toggle = [this] { model_.toggleEngine(); };
  actions.gaps = [this] {
    openWindow();
    showGaps();
  };
  actions.clearHistory = [this] { clearHistory(); };
  actions.forgetGuest = [this] { forgetGuest(); };
  actions.keepHistory = [this](int days) { model_.setRetention(days); };
  actions.quit = [this] { quit(); };
  tray_ = std::make_unique<Tray>(model_, std::move(actions));
  model_.notify = [this](const QString& title, const QString& text) { tray_->notify(title, text); };
  // With a tray item, closing the window leaves the app running there;
  // without one, the window is the only way back, and closing it quits.
  QApplication::setQuitOnLastWindowClosed(!tray_->available());
  listenForOtherStarts();
  model_.watchDocuments();
  model_.applyRetention();
  retentionTimer_.setInterval(std::chrono::hours(24));
  connect(&retentionTimer_, &QTimer::timeout, this, [this] { model_.applyRetention(); });
  retentionTimer_.start();
  if (!options_.background) openWindow();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::buildMainMenu() {
  auto* bar = new QMenuBar(&window_);
  QMenu* appMenu = bar->addMenu(QStringLiteral("Quorvel"));
  appMenu->addAction(tr("About Quorvel"), this, [this] {
    QMessageBox::about(&window_, QStringLiteral("Quorvel"),
                       tr("Quorvel answers hotel guests from the hotel's own documents, on this computer."));
  });
  appMenu->addSeparator();
  appMenu->addAction(tr("Hide"), QKeySequence(QStringLiteral("Ctrl+H")), this, [this] { window_.hide(); });
  appMenu->addAction(tr("Quit"), QKeySequence(QStringLiteral("Ctrl+Q")), this, [this] { quit(); });

  // The edit actions reach whichever text field has the focus.
  QMenu* edit = bar->addMenu(tr("Edit"));
  auto editAction = [edit](const QString& title, const char* key, const char* slot) {
    edit->addAction(title, QKeySequence(QString::fromLatin1(key)), [slot] {
      if (QWidget* w = QApplication::focusWidget()) QMetaObject::invokeMethod(w, slot);
    });
  };
  editAction(tr("Cut"), "Ctrl+X", "cut");
  editAction(tr("Copy"), "Ctrl+C", "copy");
  editAction(tr("Paste"), "Ctrl+V", "paste");
  editAction(tr("Select All"), "Ctrl+A", "selectAll");

  // Without a tray item the window carries the history's choices too.
  QMenu* history = bar->addMenu(tr("History"));
  QMenu* keep = history->addMenu(tr("Keep conversation history"));
  // Filled when opened: the choice in force may have changed in the tray.
  connect(keep, &QMenu::aboutToShow, this,
          [this, keep] { fillRetentionChoices(*keep, [this](int days) { model_.setRetention(days); }); });
  history->addAction(tr("Forget a guest\u2026"), this, [this] { forgetGuest(); });
  history->addAction(tr("Clear conversation history"), this, [this] { clearHistory(); });

  QMenu* windowMenu = bar->addMenu(tr("Window"));
  windowMenu->addAction(tr("Close"), QKeySequence(QStringLiteral("Ctrl+W")), this, [] {
    if (QWidget* w = QApplication::activeWindow()) w->close();
  });
  bar->setStyleSheet(
      QStringLiteral("QMenuBar { background: %1; color: white; } QMenuBar::item:selected { background: %2; }")
          .arg(css(malachite()), css(malachiteLight())));
  window_.layout()->setMenuBar(bar);
}

namespace {

// A folder only this user can enter: nobody else can put a socket there.
bool privateFolder(const std::string& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

// The user whose process is at the other end of a local socket.
bool peerIsMe(qintptr fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return fd >= 0 && ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
}

}  // namespace

QString AppDelegate::instanceName() {
  // A full path in a private folder, never a name in /tmp that another user
  // could take first: the session's runtime folder, else the support folder
  // (made 0700), whichever gives a path a socket can have.
  const QByteArray folder = QByteArray::fromStdString(Paths::support().string());
  const QString name =
      QStringLiteral("quorvel-%1.sock")
          .arg(QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(12)));
  Paths::ensure();
  std::vector<std::string> places{Paths::support().string()};
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
    places.insert(places.begin(), runtime);
  for (const std::string& place : places) {
    const QString path = QDir(QString::fromStdString(place)).filePath(name);
    if (privateFolder(place) && path.toUtf8().size() < 100) return path;
  }
  return {};  // no private place: no single-instance socket at all
}

bool AppDelegate::handOver(const LaunchOptions& options) {
  const QString name = instanceName();
  if (name.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(1000)) return false;
  // Only to ourselves: whoever else listens there gets nothing.
  if (!peerIsMe(socket.socketDescriptor())) return false;
  socket.write(options.handOverLines());
  // A long message may take more than one write: all of it goes, or the
  // start says it could not hand over.
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(5000)) return false;
  socket.disconnectFromServer();
  return true;
}

void AppDelegate::listenForOtherStarts() {
  const QString name = instanceName();
  if (name.isEmpty()) return;
  // A server left by a crashed instance would refuse the name.
  QLocalServer::removeServer(name);
  instance_.setSocketOptions(QLocalServer::UserAccessOption);
  instance_.listen(name);
  connect(&instance_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = instance_.nextPendingConnection()) {
      if (!peerIsMe(s->socketDescriptor())) {
        s->abort();
        s->deleteLater();
        continue;
      }
      // The other start's switches are run once it has said all and gone.
      auto received = std::make_shared<QByteArray>();
      connect(s, &QLocalSocket::readyRead, this, [s, received] { *received += s->readAll(); });
      connect(s, &QLocalSocket::disconnected, this, [this, s, received] {
        *received += s->readAll();
        s->deleteLater();
        const LaunchOptions handed = LaunchOptions::fromHandOver(*received);
        if (!handed.background) openWindow();
        auto steps = std::make_shared<std::vector<Step>>();
        addSwitchSteps(*steps, handed);
        // While this instance's own start-up runs, the handed-over steps
        // wait for its end (the model may not be up yet).
        if (launching_)
          afterLaunch_.push_back([steps] { runSteps(steps, 0, {}); });
        else
          runSteps(steps, 0, {});
      });
    }
  });
}

void AppDelegate::openWindow() { window_.present(); }

void AppDelegate::clearHistory() {
  // One slip in the tray menu, next to Quit, must not wipe every recorded
  // reply and the unanswered questions: it asks first, "Cancel" the default.
  const int count = History::count();
  const bool sure = confirmClearHistory ? confirmClearHistory(count) : [&] {
    QMessageBox box(QMessageBox::Question, tr("Clear conversation history"),
                    tr("Delete the %n recorded reply(s) and the list of unanswered questions? This cannot be undone.",
                       nullptr, count),
                    QMessageBox::NoButton, window_.isVisible() ? &window_ : nullptr);
    QPushButton* yes = box.addButton(tr("Clear history"), QMessageBox::DestructiveRole);
    QPushButton* no = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes;
  }();
  if (sure) model_.clearHistory();
}

void AppDelegate::forgetGuest() {
  QWidget* parent = window_.isVisible() ? &window_ : nullptr;
  const std::optional<QString> asked = askGuestText ? askGuestText() : [&]() -> std::optional<QString> {
    bool ok = false;
    const QString text = QInputDialog::getText(
        parent, tr("Forget a guest"),
        tr("Every kept message and reply that contains this text is removed \u2014 a guest's name, passport or "
           "room number:"),
        QLineEdit::Normal, QString(), &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
  }();
  if (!asked || asked->trimmed().isEmpty()) return;
  const QString text = asked->trimmed();
  const int count = static_cast<int>(History::countContaining(text.toStdString()));
  // The count first: a name too short or too common ("Anna") would take
  // other guests' replies with it.
  const bool sure = confirmForget ? confirmForget(count, text) : [&] {
    QMessageBox box(QMessageBox::Question, tr("Forget a guest"),
                    tr("Remove the %n kept reply(s) whose message or reply contains \u201C%1\u201D, and the text "
                       "wherever else Quorvel keeps it? This cannot be undone.",
                       nullptr, count)
                        .arg(text),
                    QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(tr("Remove"), QMessageBox::DestructiveRole);
    QPushButton* no = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes;
  }();
  if (!sure) return;
  model_.forgetGuest(text, [this, quiet = bool(confirmForget)](const Forget::Result& r) {
    // Said, so that the desk knows it is done.
    if (model_.notify)
      model_.notify(tr("Forget a guest"),
                    tr("%n kept reply(s) removed.", nullptr, static_cast<int>(std::min<int64_t>(r.entries, INT32_MAX))));
    if (r.failures.empty() || quiet) return;
    QStringList failures;
    for (const std::string& f : r.failures) failures << QString::fromStdString(f);
    QMessageBox::warning(window_.isVisible() ? &window_ : nullptr, tr("Forget a guest"),
                         tr("The text could not be removed everywhere:\n%1").arg(failures.join(QLatin1Char('\n'))));
  });
}

void AppDelegate::quit() {
  Engine::shared().stop();
  QApplication::quit();
}

void AppDelegate::showGaps() { window_.content()->main()->showGaps(); }

void AppDelegate::snapshot(const QString& folder) {
  QDir().mkpath(folder);
  window_.snapshot(QDir(folder).filePath(QStringLiteral("window.png")));
  Tray::preview(tray_->rows(), model_.status().color()).save(QDir(folder).filePath(QStringLiteral("menu.png")), "PNG");
}

void AppDelegate::addSwitchSteps(std::vector<Step>& steps, const LaunchOptions& options) {
  if (options.ask)
    steps.push_back([this, text = *options.ask](auto next) {
      // A reply under way (to an earlier hand-over, say) is written to its
      // end first: the message is never dropped.
      // So is a model still starting.
      auto write = [this, text, next] {
        model_.reply().setGuestText(text);
        model_.ask(next);
      };
      auto free = [this] {
        return !model_.reply().busy() && model_.status().state().kind != Engine::State::Kind::starting;
      };
      if (free()) return write();
      auto waits = std::make_shared<std::vector<QMetaObject::Connection>>();
      auto check = [waits, free, write] {
        if (waits->empty() || !free()) return;
        for (const auto& c : *waits) disconnect(c);
        waits->clear();
        write();
      };
      waits->push_back(connect(&model_.reply(), &ReplyState::changed, this, check));
      waits->push_back(connect(&model_.status(), &EngineStatus::changed, this, check));
    });
  if (options.gaps)
    steps.push_back([this](auto next) {
      showGaps();
      auto waiting = std::make_shared<QMetaObject::Connection>();
      *waiting = connect(&model_.gaps(), &GapsState::changed, this, [this, waiting, next] {
        if (model_.gaps().finding()) return;
        disconnect(*waiting);
        next();
      });
    });
  if (options.openMenu)
    steps.push_back([this](auto next) {
      QTimer::singleShot(800, this, [this, next] {
        tray_->openMenu();
        next();
      });
    });
}

void AppDelegate::launch(std::function<void()> done) {
  auto steps = std::make_shared<std::vector<Step>>();
  steps->push_back([this](auto next) {
    if (EngineStatus::modelsReady())
      model_.startEngine(next);
    else if (options_.install)
      model_.install(next);
    else
      next();
  });
  if (options_.samples)
    steps->push_back([this](auto next) {
      model_.addSamples();
      QTimer::singleShot(3000, this, next);
    });
  std::vector<Step> switches;
  addSwitchSteps(switches, options_);
  auto openMenu = options_.openMenu ? std::optional<Step>(switches.back()) : std::nullopt;
  if (openMenu) switches.pop_back();  // after the pictures
  steps->insert(steps->end(), switches.begin(), switches.end());
  if (options_.snapshot)
    steps->push_back([this, folder = *options_.snapshot](auto next) {
      QTimer::singleShot(1000, this, [this, folder, next] {
        snapshot(folder);
        next();
      });
    });
  if (openMenu) steps->push_back(*openMenu);
  // A run for pictures ends once they are written, with an engine or
  // without one.
  if (options_.exit || options_.snapshot) steps->push_back([this](auto) { quit(); });
  launching_ = true;
  runSteps(steps, 0, [this, done = std::move(done)] {
    launching_ = false;
    for (auto& run : std::exchange(afterLaunch_, {})) run();
    if (done) done();
  });
}

}  // namespace quorvel::app
