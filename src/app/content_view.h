// The window's content: the setup screen until the models are on disk, then
// the main screen.
#pragma once

#include <QStackedWidget>

namespace quorvel::app {

class AppModel;
class MainView;
class SetupView;

class ContentView : public QStackedWidget {
 public:
  ContentView(AppModel& model, QWidget* parent = nullptr);
  // Shows the screen the model calls for (each screen keeps itself up to
  // date).
  void refresh();
  // How many times the screen was chosen (each a look at the disk), for the
  // tests.
  int refreshes() const { return refreshes_; }

  SetupView* setup() const { return setup_; }
  MainView* main() const { return main_; }

 private:
  AppModel& model_;
  SetupView* setup_;
  MainView* main_;
  int refreshes_ = 0;
};

}  // namespace quorvel::app
