// The documents panel: the hotel's documents with their passage counts,
// adding (by dropping or by the file dialog), removing, and the badge.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QWidget>

#include <quorvel/doc_index.h>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::app {

class AppModel;
class PrivacyBadge;
class Spinner;

// The document list; takes dropped files and lights up while they hover.
class DocList : public QListWidget {
  Q_OBJECT
 public:
  explicit DocList(AppModel& model, QWidget* parent = nullptr);
  bool dropping() const { return dropping_; }
  // Asks whether to remove the document (by `confirm`, else a dialog), and
  // removes it when the answer is yes.
  void askToRemove(const std::string& name);
  // The question before a removal; a dialog when empty. For the tests.
  std::function<bool(const QString& name)> confirm;
  // Makes each row as tall as its wrapped text needs at the list's width.
  void fitRows();

 protected:
  bool viewportEvent(QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dragLeaveEvent(QDragLeaveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void setDropping(bool on);
  AppModel& model_;
  bool dropping_ = false;
};

class DocsPanel : public QWidget {
  Q_OBJECT
 public:
  DocsPanel(AppModel& model, QWidget* parent = nullptr);
  void refresh();
  // Opens the list of what guests asked that the documents do not answer.
  std::function<void()> showGaps;

  // The symbol of a document by its extension.
  static QString icon(const QString& fileName);

  // For the tests.
  DocList* list() const { return list_; }
  QLabel* dropHint() const { return hint_; }
  QLabel* passageCount() const { return count_; }
  PrivacyBadge* badge() const { return badge_; }
  bool spinning() const;

 private:
  AppModel& model_;
  QLabel* count_;
  DocList* list_;
  QLabel* hint_;
  Spinner* spinner_;
  PrivacyBadge* badge_;
  std::vector<std::string> shown_;
  std::vector<DocIndex::Problem> shownProblems_;
  std::vector<std::string> shownUnread_;
  QString shownWaiting_;
  int64_t shownPassages_ = -1;
};

}  // namespace quorvel::app
