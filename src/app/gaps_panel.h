// "Unanswered questions": the questions the documents did not
// answer, largest first; choosing one shows the guests' own words, and the
// documents folder is a click away to write the answer in.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <functional>

namespace quorvel::app {

class AppModel;
class Spinner;

class GapsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit GapsPanel(AppModel& model, QWidget* parent = nullptr);
  // Back to the reply panel; with a text, that text goes to its message box.
  std::function<void(const QString& message)> back;

  QListWidget* groups() const { return groups_; }
  QListWidget* messages() const { return messages_; }
  QLabel* info() const { return info_; }
  QPushButton* askAgain() const { return askAgain_; }
  // "Add the answer…" to the chosen question: opens the AnswerDialog.
  QPushButton* addAnswer() const { return addAnswer_; }
  void refresh();

 private:
  void showMessages();
  AppModel& model_;
  QLabel* info_;
  Spinner* spinner_;
  QListWidget* groups_;
  QWidget* spacer_;
  QLabel* messagesTitle_;
  QListWidget* messages_;
  QPushButton* askAgain_;
  QPushButton* addAnswer_;
};

}  // namespace quorvel::app
