// The app as a whole: the window and its menu bar, the tray item, the
// start-up switches, one instance per support folder, and quitting.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app_model.h"
#include "main_window.h"
#include "tray.h"

namespace quorvel::app {

// The switches the app was started with. An option that needs a value and
// has none is ignored.
struct LaunchOptions {
  bool background = false;
  bool samples = false;
  bool install = false;  // download what is missing, as the setup screen's button does
  std::optional<QString> ask;
  std::optional<QString> snapshot;
  bool openMenu = false;
  bool gaps = false;  // show what guests asked that the documents do not answer
  bool exit = false;  // quit once the steps are done (pictures, tests)

  static LaunchOptions parse(const QStringList& args);

  // What a second start hands to the running instance: one line per step
  // ("show", "ask <message in base64>", "gaps", "open-menu"), and back.
  QByteArray handOverLines() const;
  static LaunchOptions fromHandOver(const QByteArray& lines);
};

class AppDelegate : public QObject {
  Q_OBJECT
 public:
  explicit AppDelegate(const LaunchOptions& options);
  ~AppDelegate() override;

  // Runs the launch steps in order: start the servers when the models are
  // there, --samples (then 3 s), --ask, --gaps (once its list is made),
  // --snapshot (after 1 s), --open-menu (after 0.8 s), then quits after
  // --snapshot or --exit. `done` follows the last.
  void launch(std::function<void()> done = {});
  // Stops the servers this process launched, then ends the app.
  void quit();
  // Shows the window and brings it to the front.
  void openWindow();
  // Shows, in the window, what guests asked that the documents do not answer.
  void showGaps();
  // Writes window.png and menu.png into `folder`.
  void snapshot(const QString& folder);

  // The name other starts of the program look for (one per support folder).
  static QString instanceName();
  // Hands the switches of this start over to a running instance (it shows
  // its window unless --background, writes the reply to --ask, shows
  // --gaps, opens the menu); false when there is none.
  static bool handOver(const LaunchOptions& options = {});

  // Asks before the conversation history (`count` replies) and the list of
  // unanswered questions are deleted; a dialog unless set (the tests).
  std::function<bool(int count)> confirmClearHistory;
  // Clears the history once the receptionist said yes.
  void clearHistory();

  // "Forget a guest…": asks for the text (a name, a passport or room
  // number), shows how many kept replies hold it and asks to confirm, then
  // removes them and every other trace of it. Dialogs unless set (the tests):
  // the text, nothing when cancelled; the confirmation of `count` entries.
  std::function<std::optional<QString>()> askGuestText;
  std::function<bool(int count, const QString& text)> confirmForget;
  void forgetGuest();

  AppModel& model() { return model_; }
  MainWindow& window() { return window_; }
  Tray& tray() { return *tray_; }

 private:
  void buildMainMenu();
  void listenForOtherStarts();
  // The steps of the switches another start can hand over, in the order
  // the launch runs them: --ask, --gaps, --open-menu.
  void addSwitchSteps(std::vector<std::function<void(std::function<void()>)>>& steps, const LaunchOptions& options);

  LaunchOptions options_;
  bool launching_ = false;                        // launch() has not come to its end
  std::vector<std::function<void()>> afterLaunch_;  // what other starts handed over meanwhile
  AppModel model_;
  MainWindow window_;
  std::unique_ptr<Tray> tray_;
  QLocalServer instance_;
  // Removes the history past its retention period once a day while the app
  // runs (also at start).
  QTimer retentionTimer_;
};

}  // namespace quorvel::app
