// The window's content: the setup screen until the models are on disk, then
// the main screen, the documents panel beside the reply panel.
#pragma once

#include <QSplitter>
#include <QStackedWidget>

namespace quorvel::app {

class AppModel;
class AskPanel;
class DocsPanel;
class SetupView;

class MainView : public QSplitter {
 public:
  MainView(AppModel& model, QWidget* parent = nullptr);
  DocsPanel* docs() const { return docs_; }
  AskPanel* ask() const { return ask_; }

 private:
  DocsPanel* docs_;
  AskPanel* ask_;
};

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
