// What drives the core for the app: every action the screens take, and the
// four states they show (app_states.h), which only it changes. Lives on the
// GUI thread; the core's long work runs on the CoreWorkers and comes back by
// queued calls, each changing a state here.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <quorvel/doc_index.h>
#include <quorvel/engine.h>
#include <quorvel/forget.h>
#include <quorvel/models.h>
#include <quorvel/paths.h>
#include <quorvel/records.h>
#include <quorvel/reply_template.h>

#include "app_states.h"

namespace quorvel::app {

class CoreWorker;

class AppModel : public QObject {
  Q_OBJECT
 public:
  using Done = std::function<void()>;

  AppModel();
  ~AppModel() override;

  // What the screens show, one object per concern, each with its signal.
  SetupState& setup() { return setup_; }
  EngineStatus& status() { return status_; }
  DocumentsState& documents() { return documents_; }
  ReplyState& reply() { return reply_; }
  GapsState& gaps() { return gaps_; }

  // The line beside "Write reply": why the last reply broke off, else why
  // the engine keeps a reply from being written, else why the last reading
  // of the documents failed, else the last reply's speed; empty while a
  // reply is written.
  QString note() const;
  // Whether "Write reply" may be pressed: with the engine ready, or stopped,
  // or after a server went away (the reply then starts it first).
  bool canAsk() const;
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
  // Ends the download under way, at once even when nothing arrives; what
  // arrived is kept and the next install goes on from there. The install's
  // `done` is called.
  void cancelInstall();
  void reindex(Done done = {});
  void ask(Done done = {});
  void answerClipboard(Done done = {});
  // Copies the reply when it is whole and written for the message shown;
  // false (clipboard untouched) otherwise. For the guest: without the
  // source numbers and Markdown emphasis.
  bool copyAnswer(bool forGuest = false);
  void toggleEngine(Done done = {});
  void pickDocuments();
  void addDocuments(const QStringList& paths);
  // Deletes the document from the documents folder (the caller asks first).
  void remove(const std::string& name);
  void addHotelTemplates();
  // Makes the list of what guests asked that the documents do not answer
  // (by exact text while the model is not running).
  void findGaps(Done done = {});
  // Clears the conversation history, and with it that list.
  void clearHistory();
  // Removes the history entries past the retention period, on the core's
  // thread; `done` follows.
  void applyRetention(Done done = {});
  // Keeps the history for `days` from now on (0: all), removing what is
  // older at once.
  void setRetention(int days, Done done = {});
  // Removes every trace of a guest's text (Forget::guest) on the core's
  // thread (it waits for a re-reading of the documents under way), the list
  // made from the history before, and the message and reply on the screen
  // when they hold the text; `done` gets what was removed.
  void forgetGuest(const QString& text, std::function<void(const Forget::Result&)> done = {});
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

  // Once the message, template and language have not changed for `settle`,
  // the reply model reads the prompt of their reply ahead (while the engine
  // is ready and no reply is written): "Write reply" then starts writing at
  // once. A change sends the new prompt, giving up a reading under way.
  void readAheadAfter(std::chrono::milliseconds settle) { readAheadTimer_->setInterval(settle); }
  // How many readings ahead have been sent, for the tests.
  int readAheads() const { return readAheads_; }

 private:
  void downloadStep(std::vector<ModelSpec> todo, std::size_t i, Done done);
  // Set by Cancel, read by the download on the core's thread; a new one
  // for each install, so that a late Cancel never ends the next.
  std::shared_ptr<std::atomic<bool>> downloadCancelled_ = std::make_shared<std::atomic<bool>>(false);
  void finishInstall(Done done);
  void importThenReindex(const QStringList& paths);
  void write(Done done);
  // A reply starts or ends: the reply and the status both show it.
  void setBusy(bool busy);

  void scheduleReadAhead();
  void readAhead();
  // The reply language chosen; none for the guest's own.
  std::optional<std::string> chosenLanguage() const;
  void stopReadAhead();

  // Drops the list of unanswered questions made from the history so far.
  void dropGaps();
  // Clears the message and its reply when either holds `text` (no reply
  // being written).
  void forgetOnScreen(const QString& text);

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
  SetupState setup_;
  EngineStatus status_;
  DocumentsState documents_;
  ReplyState reply_;
  GapsState gaps_;
  int gapsGeneration_ = 0;  // a list made before the history was cleared is dropped
  QTimer* serverWatch_ = nullptr;
  bool stopping_ = false;                  // "Stop model" is ending the servers
  std::vector<std::function<void()>> afterStop_;  // starts asked for meanwhile
  // The reading ahead has a thread of its own: a reply never waits for it.
  std::unique_ptr<CoreWorker> ahead_;
  QTimer* readAheadTimer_ = nullptr;
  QString aheadKey_;                              // what the server holds read, or is reading
  std::shared_ptr<std::atomic<bool>> aheadStop_;  // gives up the reading under way
  // Set by "Write reply": the readings for the re-checks, a bonus, give way.
  std::shared_ptr<std::atomic<bool>> aheadPressed_;
  int readAheads_ = 0;
};

}  // namespace quorvel::app
