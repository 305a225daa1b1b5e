#include "app_model.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QThreadPool>
#include <chrono>
#include <filesystem>
#include <utility>
#include <set>

#include <quorvel/answerer.h>
#include <quorvel/doc_import.h>
#include <quorvel/doc_index.h>
#include <quorvel/document_reader.h>
#include <quorvel/history.h>
#include <quorvel/lang.h>
#include <quorvel/paths.h>

#include "core_worker.h"
#include "notifications.h"
#include "reasons.h"
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

QString trimmedStart(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  return text.mid(i);
}

}  // namespace

AppModel::AppModel()
    : worker_(std::make_unique<CoreWorker>()),
      reader_(std::make_unique<CoreWorker>()),
      ahead_(std::make_unique<CoreWorker>()) {
  reply_.lastTPS_ = Stats::lastTPS();
  Paths::ensure();
  // The engine reports from whatever thread changed its state; the change
  // is made here, on the GUI thread.
  Engine::shared().onState = [this](const Engine::State& s) {
    CoreWorker::reply(this, [this, s] {
      status_.state_ = s;
      if (s.kind != Engine::State::Kind::ready) {
        serverWatch_->stop();
        aheadKey_.clear();  // a server started again holds nothing
      } else {
        scheduleReadAhead();  // a message may be waiting
      }
      emit status_.changed();
    });
  };
  // A server that dies (killed, out of memory) is noticed within a second,
  // not at the next reply.
  serverWatch_ = new QTimer(this);
  serverWatch_->setInterval(1000);
  connect(serverWatch_, &QTimer::timeout, this, &AppModel::checkServers);
  readAheadTimer_ = new QTimer(this);
  readAheadTimer_->setSingleShot(true);
  readAheadTimer_->setInterval(1000);
  connect(readAheadTimer_, &QTimer::timeout, this, &AppModel::readAhead);
  connect(&reply_, &ReplyState::choiceChanged, this, &AppModel::scheduleReadAhead);
  notify = [](const QString& title, const QString& text) { notifyDesktop(title, text); };
  pickFiles = [] {
    // Every kind of document the reader takes, from its own list.
    QStringList kinds;
    for (std::string_view ext : DocumentReader::allowed)
      kinds << QStringLiteral("*.") + QString::fromUtf8(ext.data(), ext.size());
    const QString patterns = kinds.join(QLatin1Char(' '));
    // The folder documents were last added from, else the user's home: never
    // the folder the app happened to be started in.
    QSettings settings;
    const QString from = settings.value(QStringLiteral("documents/lastFolder"), QDir::homePath()).toString();
    const QStringList chosen = QFileDialog::getOpenFileNames(
        nullptr, tr("Hotel rules, prices, contracts \u2014 they stay on this computer"),
        QDir(from).exists() ? from : QDir::homePath(), tr("Documents (%1)").arg(patterns));
    if (!chosen.isEmpty())
      settings.setValue(QStringLiteral("documents/lastFolder"), QFileInfo(chosen.front()).absolutePath());
    return chosen;
  };
  reloadFiles();
}

AppModel::~AppModel() {
  // Nothing may report to this object once it goes: the core thread ends
  // first (a job under way stops at its next callback), then the engine
  // stops reporting here. A reading under way gives up the scanned page it
  // is drawing or reading rather than keep quitting waiting.
  stopReadAhead();
  ahead_.reset();
  DocumentReader::stopReading(true);
  reader_.reset();
  DocumentReader::stopReading(false);
  worker_.reset();
  QThreadPool::globalInstance()->waitForDone();
  Engine::shared().onState = {};
}

QString AppModel::note() const {
  if (reply_.busy_) return {};
  if (!reply_.error_.isEmpty()) return reply_.error_;
  // "Write reply" cannot be pressed for the engine: the line says why.
  if (stopping_) return tr("The model is stopping\u2026");
  if (!status_.ready() && !status_.startsOnReply()) {
    if (status_.state().kind == Engine::State::Kind::starting)
      return tr("The model is starting: a reply can be written in a moment.");
    if (status_.state().kind == Engine::State::Kind::failed)
      return tr("No reply can be written: %1").arg(status_.failure());
    return tr("No reply can be written: the model is not installed.");
  }
  if (!documents_.readError_.isEmpty()) return documents_.readError_;
  return reply_.speed_;
}

bool AppModel::canAsk() const {
  if (reply_.busy_ || stopping_ || (reply_.guestText_.isEmpty() && reply_.template_ == nullptr)) return false;
  return status_.ready() || status_.startsOnReply();
}

QString AppModel::speedLine(double tokensPerSecond, double seconds) {
  return tr("%1 tokens/s \u00B7 %2 s \u00B7 offline").arg(tokensPerSecond, 0, 'f', 0).arg(seconds, 0, 'f', 1);
}

void AppModel::reloadFiles() { documents_.reload(); }

void AppModel::install(Done done) {
  setup_.error_.clear();
  std::vector<ModelSpec> todo;
  for (const ModelSpec& m : {ModelCatalog::embedding(), ModelCatalog::recommendedChat()})
    if (!ModelCatalog::isInstalled(m) || ModelCatalog::damage(m)) todo.push_back(m);
  downloadCancelled_ = std::make_shared<std::atomic<bool>>(false);
  downloadStep(std::move(todo), 0, std::move(done));
}

void AppModel::cancelInstall() {
  if (!setup_.progress_) return;
  *downloadCancelled_ = true;
}

namespace {

// Thrown inside the download when Cancel was pressed.
struct DownloadCancelled {};

// The share of the whole installation done once file `i` of `todo` is at
// `fraction`: one bar over all files, each weighted by its size, so that
// it never starts again at 0 for the next file.
double overallFraction(const std::vector<ModelSpec>& todo, std::size_t i, double fraction) {
  double before = 0, total = 0;
  for (std::size_t k = 0; k < todo.size(); ++k) {
    total += static_cast<double>(todo[k].sizeMB);
    if (k < i) before += static_cast<double>(todo[k].sizeMB);
  }
  if (total <= 0) return 0;
  return (before + fraction * static_cast<double>(todo[i].sizeMB)) / total;
}

}  // namespace

void AppModel::downloadStep(std::vector<ModelSpec> todo, std::size_t i, Done done) {
  if (i == todo.size()) {
    setup_.progress_.reset();
    setup_.step_.clear();
    emit setup_.changed();
    return finishInstall(std::move(done));
  }
  const ModelSpec spec = todo[i];
  setup_.step_ = QStringLiteral("%1/%2 \u00B7 %3 \u00B7 %4 MB")
                     .arg(i + 1)
                     .arg(todo.size())
                     .arg(QString::fromStdString(spec.title))
                     .arg(spec.sizeMB);
  setup_.progress_ = overallFraction(todo, i, 0.0);
  emit setup_.changed();
  CoreWorker* worker = worker_.get();
  worker->post([this, worker, spec, todo = std::move(todo), i, done = std::move(done),
                cancelled = downloadCancelled_]() mutable {
    ModelDownloader downloader;
    // A few updates a second are plenty for a progress bar; the share held
    // back is shown at the next wait, so that a stalled bar is not behind.
    auto last = std::chrono::steady_clock::now();
    double latest = -1, shown = -1;
    const auto show = [this, &todo, i, &latest, &shown, &last] {
      if (latest == shown) return;
      shown = latest;
      last = std::chrono::steady_clock::now();
      const double overall = overallFraction(todo, i, latest);
      CoreWorker::reply(this, [this, overall] {
        if (setup_.progress_) setup_.progress_ = overall;
        emit setup_.changed();
      });
    };
    const auto stopIfCancelled = [worker, cancelled] {
      worker->checkCancelled();
      if (*cancelled) throw DownloadCancelled{};
    };
    downloader.onWait = [stopIfCancelled, &show] {
      stopIfCancelled();
      show();
    };
    downloader.onProgress = [stopIfCancelled, &show, &latest, &last](double fraction) {
      stopIfCancelled();
      latest = fraction;
      if (fraction >= 1.0 || std::chrono::steady_clock::now() - last >= std::chrono::milliseconds(100)) show();
    };
    try {
      stopIfCancelled();  // pressed before the download began
      downloader.download(spec);
      CoreWorker::reply(this, [this, todo = std::move(todo), i, done = std::move(done)]() mutable {
        downloadStep(std::move(todo), i + 1, std::move(done));
      });
    } catch (const Cancelled&) {
    } catch (const DownloadCancelled&) {
      CoreWorker::reply(this, [this, done = std::move(done)] {
        setup_.step_.clear();
        setup_.progress_.reset();
        emit setup_.changed();
        if (done) done();
      });
    } catch (const std::exception& e) {
      const QString why = QString::fromUtf8(e.what());
      CoreWorker::reply(this, [this, why, done = std::move(done)] {
        setup_.step_.clear();
        setup_.error_ = Reasons::download(why);
        setup_.progress_.reset();
        emit setup_.changed();
        if (done) done();
      });
    }
  });
}

void AppModel::finishInstall(Done done) {
  const QDir docs(QString::fromStdString(Paths::documents().string()));
  if (!docs.exists() || docs.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) addHotelTemplates();
  if (!EngineStatus::modelsReady()) {
    if (done) done();
    return;
  }
  startEngine(std::move(done));
}

void AppModel::startEngine(Done done) {
  if (!EngineStatus::modelsReady()) {
    if (done) done();
    return;
  }
  if (stopping_) {
    afterStop_.push_back([this, done = std::move(done)]() mutable { startEngine(std::move(done)); });
    return;
  }
  worker_->post([this, done = std::move(done)]() mutable {
    Engine::shared().start();
    // The state reports were posted before this: the engine is known here.
    CoreWorker::reply(this, [this, done = std::move(done)]() mutable {
      if (status_.ready()) serverWatch_->start();
      reindex(std::move(done));
    });
  });
}

void AppModel::checkServers() {
  // A look at the ports and the children, no request: cheap enough for
  // the GUI thread. A change comes back as a state report.
  if (status_.ready()) Engine::shared().checkServers();
}

void AppModel::reindex(Done done) {
  if (!status_.ready()) {
    if (done) done();
    return;
  }
  documents_.reading_ = true;
  ++reReads_;
  readState_ = folderState();
  emit documents_.changed();
  CoreWorker* reader = reader_.get();
  reader->post([this, reader, done = std::move(done)]() mutable {
    QString error;
    try {
      DocIndex::shared().refresh([this, reader](const std::string& name) {
        reader->checkCancelled();
        const QString line = tr("Reading %1").arg(QString::fromStdString(name));
        CoreWorker::reply(this, [this, line] {
          documents_.readingLine_ = line;
          emit documents_.changed();
        });
      });
    } catch (const Cancelled&) {
      return;
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
      if (error.isEmpty()) error = QStringLiteral("?");
    }
    CoreWorker::reply(this, [this, error, done = std::move(done)] {
      documents_.reading_ = false;
      documents_.readingLine_.clear();
      // A reading that succeeds takes away the failure of the one before.
      documents_.readError_ =
          error.isEmpty() ? QString() : tr("The documents could not be read: %1").arg(Reasons::documents(error));
      reloadFiles();
      emit reply_.changed();  // the note line
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
  if (status_.ready()) return write(std::move(done));
  // Stopped, or the server went away: it is started again, then the reply
  // written. Meanwhile the old (perhaps unfinished) reply is gone and the
  // button says a reply is on its way.
  reply_.answer_.clear();
  reply_.sources_.clear();
  reply_.error_.clear();
  reply_.failure_.clear();
  reply_.notInDocs_ = false;
  setBusy(true);
  startEngine([this, done = std::move(done)]() mutable {
    setBusy(false);
    if (status_.ready() && canAsk())
      write(std::move(done));
    else if (done)
      done();
  });
}

void AppModel::write(Done done) {
  // The server goes on with a reading of this very prompt (the reply takes
  // it up where it is); any other is given up, so the reply waits for none.
  readAheadTimer_->stop();
  if (aheadKey_ != reply_.choice()) stopReadAhead();
  if (aheadPressed_) aheadPressed_->store(true);  // the readings for later checks give way
  aheadKey_ = reply_.choice();
  reply_.replied_ = false;
  reply_.writtenFor_ = reply_.choice();
  reply_.failure_.clear();
  reply_.error_.clear();
  reply_.answer_.clear();
  reply_.sources_.clear();
  reply_.speed_.clear();
  reply_.notInDocs_ = false;
  setBusy(true);
  const std::string message = reply_.guestText_.toStdString();
  const ReplyTemplate* tmpl = reply_.template_;
  const std::optional<std::string> language = chosenLanguage();
  CoreWorker* worker = worker_.get();
  worker->post([this, worker, message, tmpl, language, done = std::move(done)]() mutable {
    try {
      // Pieces come back in the order they were written: queued calls to
      // one receiver are delivered in order.
      const Answer a = Answerer::shared().answer(message, tmpl, language, [this, worker](const std::string& piece) {
        worker->checkCancelled();
        const QString text = QString::fromStdString(piece);
        CoreWorker::reply(this, [this, text] {
          // The model's first piece often begins with a space (" Breakfast").
          reply_.answer_ += reply_.answer_.isEmpty() ? trimmedStart(text) : text;
          emit reply_.changed();
        });
      });
      CoreWorker::reply(this, [this, a, done = std::move(done)] {
        reply_.answer_ = QString::fromStdString(a.text).trimmed();
        reply_.sources_ = a.sources;
        reply_.notInDocs_ = a.notInDocs;
        reply_.lastTPS_ = a.tokensPerSecond;
        reply_.speed_ = speedLine(a.tokensPerSecond, a.seconds);
        reply_.replied_ = true;
        setBusy(false);
        if (done) done();
      });
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
      const QString why = QString::fromUtf8(e.what());
      // A failed request is often a server that died: the engine looks now,
      // and its report arrives before this reply's end.
      Engine::shared().checkServers(std::chrono::seconds(2));
      CoreWorker::reply(this, [this, why, done = std::move(done)] {
        const bool died = status_.state().kind == Engine::State::Kind::failed &&
                          status_.state().problem == Engine::Problem::serverStopped;
        reply_.failure_ = died ? status_.failure() : Reasons::reply(why);
        reply_.error_ = (died ? tr("The reply was not finished: %1. \u201CWrite reply\u201D starts it again.")
                              : tr("The reply was not finished: %1"))
                            .arg(reply_.failure_);
        setBusy(false);
        if (done) done();
      });
    }
  });
}

std::optional<std::string> AppModel::chosenLanguage() const {
  if (reply_.language_ == QStringLiteral("auto")) return std::nullopt;
  return reply_.language_.toStdString();
}

void AppModel::scheduleReadAhead() { readAheadTimer_->start(); }

void AppModel::stopReadAhead() {
  if (aheadStop_) aheadStop_->store(true);
  aheadStop_.reset();
}

void AppModel::readAhead() {
  if (!status_.ready() || !canAsk()) return;  // canAsk: no reply running, something to reply to
  const QString key = reply_.choice();
  if (key == aheadKey_) return;  // read already, or being read
  stopReadAhead();
  aheadKey_ = key;
  aheadStop_ = std::make_shared<std::atomic<bool>>(false);
  aheadPressed_ = std::make_shared<std::atomic<bool>>(false);
  ++readAheads_;
  const std::string message = reply_.guestText_.toStdString();
  const ReplyTemplate* tmpl = reply_.template_;
  const std::optional<std::string> language = chosenLanguage();
  CoreWorker* ahead = ahead_.get();
  ahead->post([this, ahead, stop = aheadStop_, pressed = aheadPressed_, key, message, tmpl, language] {
    try {
      Answerer::shared().readAhead(
          message, tmpl, language, [ahead, stop] { return stop->load() || ahead->cancelled(); },
          [pressed] { return pressed->load(); });
    } catch (...) {
      // Nothing is lost: the reply reads the prompt itself. It is tried
      // again at the next change.
      CoreWorker::reply(this, [this, key] {
        if (aheadKey_ == key && !reply_.busy_) aheadKey_.clear();
      });
    }
  });
}

void AppModel::setBusy(bool busy) {
  reply_.busy_ = busy;
  status_.writing_ = busy;  // the status says whether a reply is being written
  emit reply_.changed();
  emit status_.changed();
  if (!busy) scheduleReadAhead();  // a choice changed while it was written
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
  if (reply_.busy_) return refuse(tr("No reply: another reply is being written \u2014 try again in a moment"));
  if (!status_.ready() && !status_.serverWentAway())
    return refuse(tr("No reply: the model is not running \u2014 start it first"));
  reply_.guestText_ = text;
  reply_.template_ = nullptr;
  emit reply_.changed();
  ask([this, done = std::move(done)] {
    if (reply_.replied_) {
      QGuiApplication::clipboard()->setText(reply_.answer_);
      if (notify) notify(QStringLiteral("Quorvel"), tr("Reply copied to the clipboard"));
    } else if (notify) {
      notify(QStringLiteral("Quorvel"), tr("No reply: %1").arg(reply_.failure_));
    }
    if (done) done();
  });
}

bool AppModel::copyAnswer(bool forGuest) {
  // Half a reply pasted to a guest reads as a whole one; so does the reply
  // to the previous message.
  if (!reply_.replied() || reply_.busy_) return false;
  QGuiApplication::clipboard()->setText(forGuest ? ReplyState::forGuest(reply_.answer_) : reply_.answer_);
  return true;
}

void AppModel::toggleEngine(Done done) {
  if (status_.ready()) {
    // Ending the servers can take seconds (and waits for hung ones): off the
    // GUI thread, and apart from the core thread, which may be busy. The
    // state says "stopped" before the last of them is swept away: nothing
    // starts until then, or the sweep would end the new servers too.
    stopping_ = true;
    emit status_.changed();
    QThreadPool::globalInstance()->start([this] {
      Engine::shared().stopAll();
      CoreWorker::reply(this, [this] {
        stopping_ = false;
        emit status_.changed();
        for (auto& run : std::exchange(afterStop_, {})) run();
      });
    });
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
  reloadFiles();  // listed at once, read or not
  reindex();
}

void AppModel::remove(const std::string& name) {
  std::error_code ec;
  fs::remove(Paths::documents() / name, ec);
  reloadFiles();
  reindex();
}

void AppModel::addHotelTemplates() {
  importThenReindex(resourceEntries(translations::language() == QStringLiteral("ru")
                                        ? QStringLiteral("templates/hotel-ru")
                                        : QStringLiteral("templates/hotel-en")));
}

void AppModel::findGaps(Done done) {
  gaps_.finding_ = true;
  gaps_.error_.clear();
  emit gaps_.changed();
  const int days = gaps_.days_;
  const int generation = gapsGeneration_;
  worker_->post([this, days, generation, done = std::move(done)]() mutable {
    Gaps::Result result;
    QString error;
    try {
      // A model the receptionist stopped stays stopped: then by text.
      result = Gaps::find(days, /*start=*/false);
      // The history keeps the reply's language, which the receptionist may
      // have chosen: the list shows the languages the guests wrote in.
      for (Gaps::Group& g : result.groups) {
        std::set<std::string> written;
        for (const std::string& example : g.examples) written.insert(Lang::detect(example));
        g.languages.assign(written.begin(), written.end());
      }
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
    }
    CoreWorker::reply(this, [this, result = std::move(result), error, generation, done = std::move(done)] {
      if (generation == gapsGeneration_) {
        gaps_.result_ = result;
        gaps_.error_ = error;
        gaps_.finding_ = false;
        emit gaps_.changed();
      }
      if (done) done();
    });
  });
}

void AppModel::clearHistory() {
  History::clear();
  dropGaps();
}

void AppModel::applyRetention(Done done) {
  worker_->post([this, done = std::move(done)]() mutable {
    History::applyRetention();
    CoreWorker::reply(this, [done = std::move(done)] {
      if (done) done();
    });
  });
}

void AppModel::setRetention(int days, Done done) {
  Retention::setDays(days);
  // A shorter period: the list no longer shows what is now past it.
  dropGaps();
  applyRetention(std::move(done));
}

void AppModel::forgetGuest(const QString& text, std::function<void(const Forget::Result&)> done) {
  // Lists are made on the same thread: one asked for before this shows the
  // guest's words and is dropped, one asked for after it comes after it.
  dropGaps();
  worker_->post([this, text = text.toStdString(), done = std::move(done)]() mutable {
    Forget::Result r = Forget::guest(text);
    CoreWorker::reply(this, [this, text, r = std::move(r), done = std::move(done)] {
      forgetOnScreen(QString::fromStdString(text));
      if (done) done(r);
    });
  });
}

void AppModel::forgetOnScreen(const QString& text) {
  // Written again, they would be kept again.
  if (reply_.busy_ || text.isEmpty()) return;
  if (!reply_.guestText_.contains(text, Qt::CaseInsensitive) && !reply_.answer_.contains(text, Qt::CaseInsensitive))
    return;
  reply_.answer_.clear();
  reply_.sources_.clear();
  reply_.notInDocs_ = false;
  reply_.replied_ = false;
  reply_.setGuestText({});
  emit reply_.changed();
}

void AppModel::dropGaps() {
  // Whatever is being made now read the history before: it never shows.
  ++gapsGeneration_;
  gaps_.result_ = {};
  gaps_.error_.clear();
  gaps_.finding_ = false;
  emit gaps_.changed();
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
  if (!status_.ready()) return;
  if (documents_.reading_) {
    readAgain_ = true;
    return;
  }
  // What the last re-read saw already (the app's own imports): nothing to do.
  if (folderState() == readState_) return;
  reindex();
}

}  // namespace quorvel::app
