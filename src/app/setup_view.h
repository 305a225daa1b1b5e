// The first-run screen: what the product does, and one button that installs
// the models, with the download's progress or its error.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace quorvel::app {

class AppModel;

class SetupView : public QWidget {
  Q_OBJECT
 public:
  SetupView(AppModel& model, QWidget* parent = nullptr);
  void refresh();

  // For the tests: what the screen shows.
  QPushButton* installButton() const { return button_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* cancelButton() const { return cancel_; }
  QLabel* stepLine() const { return step_; }
  QLabel* errorLine() const { return error_; }
  QLabel* serverAdvice() const { return serverAdvice_; }

 private:
  AppModel& model_;
  QPushButton* button_;
  QLabel* error_;
  QProgressBar* progress_;
  QPushButton* cancel_;
  QLabel* step_;
  QLabel* serverAdvice_;
};

}  // namespace quorvel::app
