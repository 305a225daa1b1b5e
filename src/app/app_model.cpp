#include "app_model.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThreadPool>
#include <chrono>
#include <filesystem>

#include <quorvel/answerer.h>
#include <quorvel/doc_import.h>
#include <quorvel/doc_index.h>
#include <quorvel/document_reader.h>
#include <quorvel/history.h>
#include <quorvel/paths.h>

#include "core_worker.h"
#include "notifications.h"
#include "theme.h"
#include "translations.h"

namespace quorvel::app {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> toPaths(const QStringList& paths) {
  std::vector<fs::path> out;
  for (const QString& p : paths) out.emplace_back(p.toStdString());
  return out;
}

// The entries of a shipped folder of the resources ("templates/hotel-en").
QStringList resourceEntries(const QString& relative) {
  const QDir dir(QString::fromStdString((Paths::resources() / relative.toStdString()).string()));
  QStringList out;
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) out << dir.filePath(name);
  return out;
}

}  // namespace

AppModel::AppModel() : worker_(std::make_unique<CoreWorker>()), reader_(std::make_unique<CoreWorker>()) {
  lastTPS_ = Stats::lastTPS();
  Paths::ensure();
  // The engine reports from whatever thread changed its state; the change
  // is made here, on the GUI thread.
  Engine::shared().onState = [this](const Engine::State& s) {
    CoreWorker::reply(this, [this, s] {
      engine_ = s;
      if (s.kind != Engine::State::Kind::ready) serverWatch_->stop();
      emit engineChanged();
    });
  };
  // A server that dies (killed, out of memory) is noticed within a second,
  // not at the next reply.
  serverWatch_ = new QTimer(this);
  serverWatch_->setInterval(1000);
  connect(serverWatch_, &QTimer::timeout, this, &AppModel::checkServers);
  notify = [](const QString& title, const QString& text) { notifyDesktop(title, text); };
  pickFiles = [] {
    // Every kind of document the reader takes, from its own list.
    QStringList kinds;
    for (std::string_view ext : DocumentReader::allowed)
      kinds << QStringLiteral("*.") + QString::fromUtf8(ext.data(), ext.size());
    const QString patterns = kinds.join(QLatin1Char(' '));
    return QFileDialog::getOpenFileNames(nullptr,
                                         tr("Hotel rules, prices, contracts \u2014 they stay on this computer"),
                                         QString(), tr("Documents (%1)").arg(patterns));
  };
  reloadFiles();
}

AppModel::~AppModel() {
  // Nothing may report to this object once it goes: the core thread ends
  // first (a job under way stops at its next callback), then the engine
  // stops reporting here. A reading under way gives up the scanned page it
  // is drawing or reading rather than keep quitting waiting.
  DocumentReader::stopReading(true);
  reader_.reset();
  DocumentReader::stopReading(false);
  worker_.reset();
  QThreadPool::globalInstance()->waitForDone();
  Engine::shared().onState = {};
}

void AppModel::setGuestText(const QString& text) {
  if (text == guestText_) return;
  guestText_ = text;
  emit replyChanged();
}

void AppModel::setReplyTemplate(const ReplyTemplate* t) {
  if (t == template_) return;
  template_ = t;
  emit replyChanged();
}

void AppModel::setReplyLang(const QString& code) {
  if (code == replyLang_) return;
  replyLang_ = code;
  emit replyChanged();
}

bool AppModel::modelsReady() {
  // A damaged model file is not ready: the setup screen offers to download
  // it again.
  const auto chat = ModelCatalog::installedChat();
  return chat && !ModelCatalog::damage(*chat) && ModelCatalog::isInstalled(ModelCatalog::embedding()) &&
         !ModelCatalog::damage(ModelCatalog::embedding());
}

QString AppModel::statusText() const {
  switch (engine_.kind) {
    case Engine::State::Kind::stopped:
      return modelsReady() ? tr("Model stopped") : tr("Not installed \u2014 open to install");
    case Engine::State::Kind::starting: return tr("Starting the local model\u2026");
    case Engine::State::Kind::ready: return busy_ ? tr("Writing a reply\u2026") : tr("Ready \u00B7 works offline");
    case Engine::State::Kind::failed: return tr("Error: %1").arg(engineFailure());
  }
  return {};
}

QString AppModel::engineFailure() const {
  if (engine_.kind != Engine::State::Kind::failed) return {};
  // The engine's own words, in the app's language; by the reason, so that a
  // reworded message still shows.
  const QString message = QString::fromStdString(engine_.message);
  using Problem = Engine::Problem;
  switch (engine_.problem) {
    case Problem::notFound: return tr("engine not found");
    case Problem::noModel: return tr("model not downloaded");
    case Problem::noSearchModel: return tr("search model not downloaded");
    case Problem::damaged: return tr("model file damaged: %1").arg(message.section(QStringLiteral(": "), 1));
    case Problem::didNotStart: return tr("model server did not start (see logs)");
    case Problem::portTaken:
      return tr("port %1 is used by another program (quorvel-cli stop ends a model server of ours)")
          .arg(message.section(QLatin1Char(' '), 1, 1));
    case Problem::serverStopped: return tr("the model server stopped");
    case Problem::none:
    case Problem::other: break;
  }
  return message;
}

QString AppModel::note() const {
  if (busy_) return {};
  if (!replyError_.isEmpty()) return replyError_;
  if (!readError_.isEmpty()) return readError_;
  return speed_;
}

bool AppModel::canStartEngine() const {
  return (engine_.kind == Engine::State::Kind::stopped || engine_.kind == Engine::State::Kind::failed) && modelsReady();
}

bool AppModel::canAsk() const {
  if (busy_ || (guestText_.isEmpty() && template_ == nullptr)) return false;
  return engine_.kind == Engine::State::Kind::ready || serverWentAway();
}

bool AppModel::serverWentAway() const {
  return engine_.kind == Engine::State::Kind::failed && engine_.problem == Engine::Problem::serverStopped &&
         modelsReady();
}

QColor AppModel::statusColor() const {
  // The desktop's usual signal colours, as bright as a dark window needs.
  switch (engine_.kind) {
    case Engine::State::Kind::stopped: return modelsReady() ? QColor(0x8e, 0x8e, 0x93) : QColor(0xff, 0x9f, 0x0a);
    case Engine::State::Kind::starting: return QColor(0xff, 0xd6, 0x0a);
    case Engine::State::Kind::ready: return busy_ ? QColor(0x0a, 0x84, 0xff) : QColor(0x30, 0xd1, 0x58);
    case Engine::State::Kind::failed: return QColor(0xff, 0x45, 0x3a);
  }
  return {};
}

QString AppModel::installServerAdvice(bool bundled) {
  // A package that carries the server and has lost it is damaged.
  if (bundled)
    return tr(
        "Quorvel's model server is missing from its installation: reinstall Quorvel "
        "(sudo apt install --reinstall quorvel).");
  return tr(
      "llama-server is not installed: install it (sudo apt install llama.cpp), then press \u201CTry again\u201D.");
}

QString AppModel::advice() const {
  if (engine_.kind != Engine::State::Kind::failed) return {};
  using Problem = Engine::Problem;
  switch (engine_.problem) {
    case Problem::notFound: return installServerAdvice();
    case Problem::damaged: return tr("A model file is damaged: install it again on the setup screen.");
    case Problem::noModel:
    case Problem::noSearchModel: return tr("The model files are missing: install them on the setup screen.");
    case Problem::serverStopped:
      return tr("Press \u201CStart again\u201D, or write the reply: the model starts first.");
    case Problem::didNotStart:
      return tr("Press \u201CTry again\u201D. If it fails again, restart the computer: it frees the memory.");
    case Problem::portTaken:
    case Problem::none:
    case Problem::other: break;
  }
  return {};
}

QString AppModel::speedLine(double tokensPerSecond, double seconds) {
  return tr("%1 tokens/s \u00B7 %2 s \u00B7 offline").arg(tokensPerSecond, 0, 'f', 0).arg(seconds, 0, 'f', 1);
}

void AppModel::reloadFiles() {
  files_ = DocIndex::shared().fileNames();
  problems_ = DocIndex::shared().problems();
  passages_ = static_cast<int64_t>(DocIndex::shared().chunkCount());
  emit documentsChanged();
}

void AppModel::install(Done done) {
  setupError_.clear();
  std::vector<ModelSpec> todo;
  for (const ModelSpec& m : {ModelCatalog::embedding(), ModelCatalog::recommendedChat()})
    if (!ModelCatalog::isInstalled(m) || ModelCatalog::damage(m)) todo.push_back(m);
  downloadStep(std::move(todo), 0, std::move(done));
}

void AppModel::downloadStep(std::vector<ModelSpec> todo, std::size_t i, Done done) {
  if (i == todo.size()) {
    setupProgress_.reset();
    setupStep_.clear();
    emit setupChanged();
    return finishInstall(std::move(done));
  }
  const ModelSpec spec = todo[i];
  setupStep_ = QStringLiteral("%1/%2 \u00B7 %3 \u00B7 %4 MB")
                   .arg(i + 1)
                   .arg(todo.size())
                   .arg(QString::fromStdString(spec.title))
                   .arg(spec.sizeMB);
  setupProgress_ = 0.0;
  emit setupChanged();
  CoreWorker* worker = worker_.get();
  worker->post([this, worker, spec, todo = std::move(todo), i, done = std::move(done)]() mutable {
    ModelDownloader downloader;
    auto last = std::chrono::steady_clock::now();
    downloader.onProgress = [this, worker, &last](double fraction) {
      worker->checkCancelled();
      // A few updates a second are plenty for a progress bar.
      const auto now = std::chrono::steady_clock::now();
      if (fraction < 1.0 && now - last < std::chrono::milliseconds(100)) return;
      last = now;
      CoreWorker::reply(this, [this, fraction] {
        if (setupProgress_) setupProgress_ = fraction;
        emit setupChanged();
      });
    };
    try {
      downloader.download(spec);
      CoreWorker::reply(this, [this, todo = std::move(todo), i, done = std::move(done)]() mutable {
        downloadStep(std::move(todo), i + 1, std::move(done));
      });
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
      const QString why = QString::fromUtf8(e.what());
      CoreWorker::reply(this, [this, why, done = std::move(done)] {
        setupStep_.clear();
        setupError_ = tr("Download failed: %1").arg(why);
        setupProgress_.reset();
        emit setupChanged();
        if (done) done();
      });
    }
  });
}

void AppModel::finishInstall(Done done) {
  const QDir docs(QString::fromStdString(Paths::documents().string()));
  if (!docs.exists() || docs.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) addHotelTemplates();
  if (!modelsReady()) {
    if (done) done();
    return;
  }
  startEngine(std::move(done));
}

void AppModel::startEngine(Done done) {
  if (!modelsReady()) {
    if (done) done();
    return;
  }
  worker_->post([this, done = std::move(done)]() mutable {
    Engine::shared().start();
    // The state reports were posted before this: the engine is known here.
    CoreWorker::reply(this, [this, done = std::move(done)]() mutable {
      if (engine_.kind == Engine::State::Kind::ready) serverWatch_->start();
      reindex(std::move(done));
    });
  });
}

void AppModel::checkServers() {
  // A look at the ports and the children, no request: cheap enough for
  // the GUI thread. A change comes back as a state report.
  if (engine_.kind == Engine::State::Kind::ready) Engine::shared().checkServers();
}

void AppModel::reindex(Done done) {
  if (engine_.kind != Engine::State::Kind::ready) {
    if (done) done();
    return;
  }
  indexing_ = true;
  ++reReads_;
  readState_ = folderState();
  emit documentsChanged();
  CoreWorker* reader = reader_.get();
  reader->post([this, reader, done = std::move(done)]() mutable {
    QString error;
    try {
      DocIndex::shared().refresh([this, reader](const std::string& name) {
        reader->checkCancelled();
        const QString line = tr("Reading %1").arg(QString::fromStdString(name));
        CoreWorker::reply(this, [this, line] {
          readingLine_ = line;
          emit documentsChanged();
        });
      });
    } catch (const Cancelled&) {
      return;
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
      if (error.isEmpty()) error = QStringLiteral("?");
    }
    CoreWorker::reply(this, [this, error, done = std::move(done)] {
      indexing_ = false;
      readingLine_.clear();
      // A reading that succeeds takes away the failure of the one before.
      readError_ = error;
      reloadFiles();
      emit replyChanged();  // the note line
      if (done) done();
      if (readAgain_) {
        readAgain_ = false;
        rereadIfChanged();
      }
    });
  });
}

void AppModel::ask(Done done) {
  if (!canAsk()) {
    if (done) done();
    return;
  }
  if (engine_.kind == Engine::State::Kind::ready) return write(std::move(done));
  // The server went away: it is started again, then the reply written.
  startEngine([this, done = std::move(done)]() mutable {
    if (engine_.kind == Engine::State::Kind::ready && canAsk())
      write(std::move(done));
    else if (done)
      done();
  });
}

void AppModel::write(Done done) {
  busy_ = true;
  replied_ = false;
  failure_.clear();
  replyError_.clear();
  answer_.clear();
  sources_.clear();
  speed_.clear();
  notInDocs_ = false;
  emit replyChanged();
  emit engineChanged();  // the status says whether a reply is being written
  const std::string message = guestText_.toStdString();
  const ReplyTemplate* tmpl = template_;
  const std::optional<std::string> language =
      replyLang_ == QStringLiteral("auto") ? std::nullopt : std::optional<std::string>(replyLang_.toStdString());
  CoreWorker* worker = worker_.get();
  worker->post([this, worker, message, tmpl, language, done = std::move(done)]() mutable {
    try {
      // Pieces come back in the order they were written: queued calls to
      // one receiver are delivered in order.
      const Answer a = Answerer::shared().answer(message, tmpl, language, [this, worker](const std::string& piece) {
        worker->checkCancelled();
        const QString text = QString::fromStdString(piece);
        CoreWorker::reply(this, [this, text] {
          answer_ += text;
          emit replyChanged();
        });
      });
      CoreWorker::reply(this, [this, a, done = std::move(done)] {
        answer_ = QString::fromStdString(a.text);
        sources_ = a.sources;
        notInDocs_ = a.notInDocs;
        lastTPS_ = a.tokensPerSecond;
        speed_ = speedLine(a.tokensPerSecond, a.seconds);
        busy_ = false;
        replied_ = true;
        emit replyChanged();
        emit engineChanged();  // the status says whether a reply is being written
        if (done) done();
      });
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
      const QString why = QString::fromUtf8(e.what());
      // A failed request is often a server that died: the engine looks now,
      // and its report arrives before this reply's end.
      Engine::shared().checkServers(std::chrono::seconds(2));
      CoreWorker::reply(this, [this, why, done = std::move(done)] {
        const bool died =
            engine_.kind == Engine::State::Kind::failed && engine_.problem == Engine::Problem::serverStopped;
        failure_ = died ? engineFailure() : why;
        replyError_ = (died ? tr("The reply was not finished: %1. \u201CWrite reply\u201D starts it again.")
                            : tr("The reply was not finished: %1"))
                          .arg(failure_);
        busy_ = false;
        emit replyChanged();
        emit engineChanged();  // the status says whether a reply is being written
        if (done) done();
      });
    }
  });
}

void AppModel::answerClipboard(Done done) {
  // The clipboard gets a reply only when one was written for this text:
  // anything else (an old reply, half a reply) would be pasted to a guest.
  // Otherwise it stays as it was, and the notification says why.
  auto refuse = [this, &done](const QString& why) {
    if (notify) notify(QStringLiteral("Quorvel"), why);
    if (done) done();
  };
  const QString text = QGuiApplication::clipboard()->text();
  if (text.trimmed().isEmpty()) return refuse(tr("No reply: the clipboard holds no text"));
  if (busy_) return refuse(tr("No reply: another reply is being written \u2014 try again in a moment"));
  if (engine_.kind != Engine::State::Kind::ready && !serverWentAway())
    return refuse(tr("No reply: the model is not running \u2014 start it first"));
  guestText_ = text;
  template_ = nullptr;
  emit replyChanged();
  ask([this, done = std::move(done)] {
    if (replied_) {
      QGuiApplication::clipboard()->setText(answer_);
      if (notify) notify(QStringLiteral("Quorvel"), tr("Reply copied to the clipboard"));
    } else if (notify) {
      notify(QStringLiteral("Quorvel"), tr("No reply: %1").arg(failure_));
    }
    if (done) done();
  });
}

bool AppModel::copyAnswer() {
  // Half a reply pasted to a guest reads as a whole one.
  if (!replied_ || busy_) return false;
  QGuiApplication::clipboard()->setText(answer_);
  return true;
}

void AppModel::toggleEngine(Done done) {
  if (engine_.kind == Engine::State::Kind::ready) {
    // Ending the servers can take seconds (and waits for hung ones): off the
    // GUI thread, and apart from the core thread, which may be busy.
    QThreadPool::globalInstance()->start([] { Engine::shared().stopAll(); });
    if (done) done();
    return;
  }
  startEngine(std::move(done));
}

void AppModel::pickDocuments() {
  const QStringList chosen = pickFiles ? pickFiles() : QStringList();
  if (!chosen.isEmpty()) importThenReindex(chosen);
}

void AppModel::addDocuments(const QStringList& paths) { importThenReindex(paths); }

void AppModel::importThenReindex(const QStringList& paths) {
  DocImport::paths(toPaths(paths));
  reindex();
}

void AppModel::remove(const std::string& name) {
  std::error_code ec;
  fs::remove(Paths::documents() / name, ec);
  reindex();
}

void AppModel::addHotelTemplates() {
  importThenReindex(resourceEntries(translations::language() == QStringLiteral("ru")
                                        ? QStringLiteral("templates/hotel-ru")
                                        : QStringLiteral("templates/hotel-en")));
}

void AppModel::addSamples() { importThenReindex(resourceEntries(QStringLiteral("samples/palm-cove-villa"))); }

QString AppModel::folderState() {
  const QDir dir(QString::fromStdString(Paths::documents().string()));
  QString state;
  for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
    state += f.fileName() + QLatin1Char('\t') + QString::number(f.size()) + QLatin1Char('\t') +
             QString::number(f.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n');
  return state;
}

void AppModel::watchDocuments() {
  watcher_ = std::make_unique<QFileSystemWatcher>();
  quietTimer_ = new QTimer(this);
  quietTimer_->setSingleShot(true);
  quietTimer_->setInterval(2000);
  connect(quietTimer_, &QTimer::timeout, this, &AppModel::rereadIfChanged);
  auto watchAll = [this] {
    const QString folder = QString::fromStdString(Paths::documents().string());
    if (!watcher_->directories().contains(folder)) watcher_->addPath(folder);
    const QDir dir(folder);
    QStringList files;
    for (const QString& name : dir.entryList(QDir::Files)) files << dir.filePath(name);
    if (!files.isEmpty()) watcher_->addPaths(files);  // already watched ones are skipped
  };
  watchAll();
  connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this, [this, watchAll] {
    watchAll();  // new files are watched from now on
    folderChanged();
  });
  connect(watcher_.get(), &QFileSystemWatcher::fileChanged, this, &AppModel::folderChanged);
}

void AppModel::folderChanged() {
  // Two quiet seconds first: a copy of a large file, or twenty files at
  // once, makes one re-read.
  quietTimer_->start();
}

void AppModel::rereadIfChanged() {
  if (engine_.kind != Engine::State::Kind::ready) return;
  if (indexing_) {
    readAgain_ = true;
    return;
  }
  // What the last re-read saw already (the app's own imports): nothing to do.
  if (folderState() == readState_) return;
  reindex();
}

}  // namespace quorvel::app
