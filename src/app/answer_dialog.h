// "Add the answer…": the small editor the unanswered list opens for one
// question. Saving writes the answer into front-desk-answers.md (the code
// the tool uses too), then reads the documents again and offers "Ask it
// again". Keyboard only: Tab between the fields, Ctrl+Return saves, Esc
// cancels.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

namespace quorvel::app {

class AppModel;

class AnswerDialog : public QDialog {
  Q_OBJECT
 public:
  AnswerDialog(AppModel& model, const QString& question, QWidget* parent = nullptr);
  // "Ask it again" after the documents were read: the dialog closes first.
  std::function<void()> askAgain;

  QLineEdit* question() const { return question_; }
  QPlainTextEdit* answer() const { return answer_; }
  QPushButton* saveButton() const { return save_; }
  QPushButton* askAgainButton() const { return askAgain_; }
  QLabel* note() const { return note_; }
  // Whether the answer was saved and the documents read again (or not due:
  // the model is not running).
  bool done() const { return done_; }

 private:
  void save();
  void updateSave();
  AppModel& model_;
  QLineEdit* question_;
  QPlainTextEdit* answer_;
  QPushButton* save_;
  QPushButton* cancel_;
  QPushButton* askAgain_;
  QLabel* note_;
  bool done_ = false;
};

}  // namespace quorvel::app
