// The main screen: the documents panel beside the reply panel.
#pragma once

#include <QSplitter>
#include <QStackedWidget>

namespace quorvel::app {

class AppModel;
class AskPanel;
class DocsPanel;
class GapsPanel;

class MainView : public QSplitter {
 public:
  MainView(AppModel& model, QWidget* parent = nullptr);
  DocsPanel* docs() const { return docs_; }
  AskPanel* ask() const { return ask_; }
  GapsPanel* gaps() const { return gaps_; }
  // The list of what guests asked that the documents do not answer, made
  // anew, in place of the reply panel; and back.
  void showGaps();
  void showReply();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  AppModel& model_;
  DocsPanel* docs_;
  QStackedWidget* right_;
  AskPanel* ask_;
  GapsPanel* gaps_;
};

}  // namespace quorvel::app
