// The reply panel: the guest's message, a reply task and language, the
// reply as it is written, and where each fact comes from.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <utility>
#include <vector>

#include <quorvel/records.h>

namespace quorvel::app {

class AppModel;
class Spinner;

// A source's snippet in at most `lines` lines at the label's width: a
// longer one (or one the passage was cut from) ends at a word with "…".
class SnippetLabel : public QLabel {
 public:
  SnippetLabel(const QString& text, bool cut, int lines, QWidget* parent = nullptr);
  const QString& fullText() const { return full_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void fit();
  QString full_;
  bool cut_;
  int lines_;
};

// The guest's message box: a paste or a drop is cut to what the answering
// uses before the box takes it, so that megabytes never get in.
class MessageEditor : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void insertFromMimeData(const QMimeData* source) override;
};

class AskPanel : public QWidget {
  Q_OBJECT
 public:
  AskPanel(AppModel& model, QWidget* parent = nullptr);
  void refresh();

  // A passage's Markdown as the text it marks up: no "## ", "**", list
  // marks, link targets or table pipes.
  static QString plainSnippet(const QString& markdown);

  // The reply languages of the picker: code and the name shown.
  static std::vector<std::pair<QString, QString>> languages();

  // For the tests.
  QPushButton* replyButton() const { return reply_; }
  QComboBox* languagePicker() const { return language_; }
  QPlainTextEdit* messageEditor() const { return message_; }
  const std::vector<QToolButton*>& templateButtons() const { return templates_; }
  QLabel* noteLine() const { return note_; }
  QLabel* notInDocsTag() const { return tag_; }
  QLabel* unfinishedTag() const { return unfinished_; }
  QLabel* outdatedTag() const { return outdated_; }
  QLabel* cutNote() const { return cutNote_; }
  QPushButton* copyButton() const { return copy_; }
  QPushButton* guestCopyButton() const { return guestCopy_; }
  QTextEdit* replyText() const { return answer_; }
  QWidget* sourcesBlock() const { return sources_; }

 private:
  // The panel's parts, top to bottom; each sets the members it holds.
  QLayout* makeHeader();     // the title and the reply language
  QWidget* makeTemplates();  // the reply tasks
  QWidget* makeMessage();    // the guest's message
  QLayout* makeActions();    // "Write reply", the spinner, the note line
  QWidget* makeResult();     // the reply, Copy, its tags and sources
  void refreshSources();

  AppModel& model_;
  QComboBox* language_;
  std::vector<QToolButton*> templates_;
  QPlainTextEdit* message_;
  QString shownMessage_;  // what the box holds, as last given to the model or set
  QLabel* cutNote_;
  QPushButton* reply_;
  Spinner* spinner_;
  QLabel* note_;
  QLabel* tag_;
  QLabel* unfinished_;
  QLabel* outdated_;
  QPushButton* copy_;
  QPushButton* guestCopy_;
  QTextEdit* answer_;
  QString shownAnswer_;  // what answer_ shows
  QWidget* sources_;
  QVBoxLayout* sourceRows_;
  std::vector<Source> shownSources_;
};

}  // namespace quorvel::app
