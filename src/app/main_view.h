// The main screen: the documents panel beside the reply panel.
#pragma once

#include <QSplitter>

namespace quorvel::app {

class AppModel;
class AskPanel;
class DocsPanel;

class MainView : public QSplitter {
 public:
  MainView(AppModel& model, QWidget* parent = nullptr);
  DocsPanel* docs() const { return docs_; }
  AskPanel* ask() const { return ask_; }

 private:
  DocsPanel* docs_;
  AskPanel* ask_;
};

}  // namespace quorvel::app
