// The app's one observable state: what the screens show and every action
// they take. Lives on the GUI thread; the core's long work runs on the
// CoreWorker and comes back by queued calls, each changing the state here.
#pragma once

#include <QColor>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>
#include <quorvel/records.h>
#include <quorvel/reply_template.h>

namespace quorvel::app {

class CoreWorker;

class AppModel : public QObject {
  Q_OBJECT
 public:
  using Done = std::function<void()>;

  AppModel();
  ~AppModel() override;

  // Observable state, in four concerns, each with its signal: the setup
  // (setupChanged), the engine's status (engineChanged), the documents
  // (documentsChanged) and the reply (replyChanged). A streamed piece of a
  // reply emits replyChanged only: nothing else is redrawn or looked up.
  Engine::State engine() const { return engine_; }
  const std::vector<std::string>& files() const { return files_; }
  int64_t passages() const { return passages_; }
  // Documents that could not be read, or only partly, with the reason.
  const std::vector<DocIndex::Problem>& problems() const { return problems_; }
  const QString& guestText() const { return guestText_; }
  const QString& answer() const { return answer_; }
  const std::vector<Source>& sources() const { return sources_; }
  bool notInDocs() const { return notInDocs_; }
  bool busy() const { return busy_; }
  // The reply shown is whole: written to its end for the message it shows.
  // Only then can it be copied.
  bool replied() const { return replied_; }
  // The reply shown broke off (the model server died, an error came): what
  // there is of it stays visible, marked, and cannot be copied.
  bool unfinished() const { return !busy_ && !replied_ && !answer_.isEmpty(); }
  // The line beside "Write reply": why the last reply broke off, else why
  // the last reading of the documents failed, else the last reply's speed;
  // empty while a reply is written.
  QString note() const;
  // "Reading <file>" while the documents are read, else empty.
  const QString& readingLine() const { return readingLine_; }
  const ReplyTemplate* replyTemplate() const { return template_; }
  const QString& replyLang() const { return replyLang_; }
  std::optional<double> setupProgress() const { return setupProgress_; }
  // "1/2 · <model> · 639 MB" while a download runs.
  const QString& setupStep() const { return setupStep_; }
  // Why the last installation failed, whole; empty when it did not.
  const QString& setupError() const { return setupError_; }
  double lastTPS() const { return lastTPS_; }
  bool indexing() const { return indexing_; }

  void setGuestText(const QString& text);
  void setReplyTemplate(const ReplyTemplate* t);
  void setReplyLang(const QString& code);

  // One reply model and the search model are on disk.
  static bool modelsReady();
  QString statusText() const;
  QColor statusColor() const;
  // The engine's failure in the app's language; empty when it has none.
  QString engineFailure() const;
  // Whether "Start model"/"Try again" makes sense now: the models are there
  // and the engine is stopped or failed.
  bool canStartEngine() const;
  // Whether "Write reply" may be pressed: with the engine ready, or after a
  // server went away (the reply then starts it again first).
  bool canAsk() const;
  // A server went away while ready: a reply starts the engine again.
  bool serverWentAway() const;
  // What to do about the engine's failure, for whoever sets Quorvel up;
  // empty when there is nothing to say.
  QString advice() const;
  // The advice for a computer without llama-server: install it, or, where
  // Quorvel ships its own, reinstall Quorvel.
  static QString installServerAdvice(bool bundled = Paths::engineIsBundled());
  // "42 tokens/s · 3.1 s · offline", in the app's language.
  static QString speedLine(double tokensPerSecond, double seconds);

  // Shows a desktop notification; by default through the desktop's service.
  std::function<void(const QString& title, const QString& text)> notify;
  // The file dialog of pickDocuments(); returns the chosen paths.
  std::function<QStringList()> pickFiles;

  // The operations. Those that wait for the core call `done` (if given) on
  // the GUI thread when they are over, also when they return at once.
  void reloadFiles();
  void install(Done done = {});
  void reindex(Done done = {});
  void ask(Done done = {});
  void answerClipboard(Done done = {});
  // Copies the reply when it is whole; false (clipboard untouched) otherwise.
  bool copyAnswer();
  void toggleEngine(Done done = {});
  void pickDocuments();
  void addDocuments(const QStringList& paths);
  // Deletes the document from the documents folder (the caller asks first).
  void remove(const std::string& name);
  void addHotelTemplates();
  void addSamples();
  // Starts the servers (when the models are there), then re-reads.
  void startEngine(Done done = {});
  // Asks the engine whether its servers are still there (a dead one turns
  // the state to failed). Done every second while ready, and after every
  // failed reply.
  void checkServers();

  // Watches the documents folder: two seconds after the last change there,
  // the documents are re-read (while the engine is ready; a change during
  // a re-read brings one more). Changes this app made and has read already
  // bring none.
  void watchDocuments();
  // How many re-reads have started, for the tests.
  int reReads() const { return reReads_; }

 signals:
  // Download progress, step and error.
  void setupChanged();
  // The engine's state, and whether a reply is being written (the status).
  void engineChanged();
  // The documents, their passages and problems, a reading under way.
  void documentsChanged();
  // The message, template, language, the reply, its sources and note line.
  void replyChanged();

 private:
  void downloadStep(std::vector<ModelSpec> todo, std::size_t i, Done done);
  void finishInstall(Done done);
  void importThenReindex(const QStringList& paths);
  void write(Done done);

  void folderChanged();
  void rereadIfChanged();
  // What the documents folder holds: names, sizes and times, to tell
  // whether anything changed since the last re-read began.
  static QString folderState();

  std::unique_ptr<CoreWorker> worker_;
  // Reading the documents has a thread of its own: a slow scan never keeps
  // a guest's reply waiting.
  std::unique_ptr<CoreWorker> reader_;
  std::unique_ptr<QFileSystemWatcher> watcher_;
  QTimer* quietTimer_ = nullptr;
  QString readState_;       // folderState() when the last re-read began
  bool readAgain_ = false;  // a change came during a re-read
  int reReads_ = 0;
  Engine::State engine_;
  std::vector<std::string> files_;
  std::vector<DocIndex::Problem> problems_;
  int64_t passages_ = 0;
  QString guestText_;
  QString answer_;
  std::vector<Source> sources_;
  bool notInDocs_ = false;
  bool busy_ = false;
  bool replied_ = false;  // the last ask() wrote a whole reply
  QString speed_;         // the last whole reply's speed line
  QString failure_;       // why the last reply broke off (the reason)
  QString replyError_;    // the same, as the sentence shown
  QString readingLine_;
  QString readError_;  // why the last reading failed, if it did
  const ReplyTemplate* template_ = nullptr;
  QString replyLang_ = QStringLiteral("auto");
  std::optional<double> setupProgress_;
  QString setupStep_;
  QString setupError_;
  QTimer* serverWatch_ = nullptr;
  double lastTPS_ = 0;
  bool indexing_ = false;
};

}  // namespace quorvel::app
