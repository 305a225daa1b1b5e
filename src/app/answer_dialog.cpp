#include "answer_dialog.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QShortcut>
#include <QVBoxLayout>
#include <stdexcept>

#include <quorvel/desk_answers.h>

#include "app_model.h"
#include "shared_views.h"
#include "theme.h"

namespace quorvel::app {

AnswerDialog::AnswerDialog(AppModel& model, const QString& question, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(tr("Add the answer"));
  setStyleSheet(QStringLiteral("QDialog { background: %1; }").arg(css(malachite())));
  setMinimumWidth(520);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(18, 16, 18, 14);
  column->setSpacing(8);
  column->addWidget(makeLabel(tr("Add the answer"), font::title2, gold(), true));
  auto* where = makeLabel(
      tr("It goes into %1 in the documents folder, and every later guest who asks gets it, "
         "cited. Ctrl+Return saves, Esc cancels.")
          .arg(QString::fromUtf8(DeskAnswers::kFileName.data(), static_cast<qsizetype>(DeskAnswers::kFileName.size()))),
      font::callout, white(0.7));
  where->setWordWrap(true);
  column->addWidget(where);

  auto* questionLabel = makeLabel(tr("&Question"), font::subheadline + 1, gold(), true);
  column->addWidget(questionLabel);
  question_ = new QLineEdit(question);
  question_->setObjectName(QStringLiteral("question"));
  questionLabel->setBuddy(question_);
  column->addWidget(question_);
  auto* answerLabel = makeLabel(tr("&Answer"), font::subheadline + 1, gold(), true);
  column->addWidget(answerLabel);
  answer_ = new QPlainTextEdit;
  answer_->setObjectName(QStringLiteral("answer"));
  answer_->setPlaceholderText(tr("The answer as a guest should read it, in whole sentences."));
  // Tab moves on: an answer needs no tab characters.
  answer_->setTabChangesFocus(true);
  answer_->setMinimumHeight(120);
  answerLabel->setBuddy(answer_);
  column->addWidget(answer_, 1);

  note_ = makeLabel({}, font::callout, white(0.8));
  note_->setWordWrap(true);
  note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  note_->hide();
  column->addWidget(note_);

  auto* buttons = new QHBoxLayout;
  save_ = new QPushButton(tr("Save"));
  save_->setObjectName(QStringLiteral("prominent"));
  save_->setToolTip(QStringLiteral("Ctrl+Return"));
  askAgain_ = new QPushButton(symbol(QStringLiteral("arrow.clockwise")), tr("Ask it again"));
  askAgain_->setObjectName(QStringLiteral("plain"));
  askAgain_->hide();
  cancel_ = new QPushButton(tr("Cancel"));
  cancel_->setObjectName(QStringLiteral("plain"));
  // Return belongs to the fields (a line break in the answer); saving is
  // Ctrl+Return.
  for (QPushButton* b : {save_, askAgain_, cancel_}) b->setAutoDefault(false);
  buttons->addWidget(save_);
  buttons->addWidget(askAgain_);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  column->addLayout(buttons);
  setTabOrder(question_, answer_);
  setTabOrder(answer_, save_);
  setTabOrder(save_, askAgain_);
  setTabOrder(askAgain_, cancel_);

  connect(save_, &QPushButton::clicked, this, &AnswerDialog::save);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(askAgain_, &QPushButton::clicked, this, [this] {
    accept();
    if (askAgain) askAgain();
  });
  connect(question_, &QLineEdit::returnPressed, answer_, [this] { answer_->setFocus(); });
  connect(question_, &QLineEdit::textChanged, this, &AnswerDialog::updateSave);
  connect(answer_, &QPlainTextEdit::textChanged, this, &AnswerDialog::updateSave);
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    connect(shortcut, &QShortcut::activated, this, [this] {
      if (save_->isVisible() && save_->isEnabled()) save();
    });
  }
  updateSave();
  answer_->setFocus();
}

void AnswerDialog::updateSave() {
  save_->setEnabled(!question_->text().trimmed().isEmpty() && !answer_->toPlainText().trimmed().isEmpty());
}

void AnswerDialog::save() {
  note_->show();
  try {
    DeskAnswers::save(question_->text().toStdString(), answer_->toPlainText().toStdString());
  } catch (const std::exception& e) {
    note_->setText(tr("The answer could not be saved: %1").arg(QString::fromUtf8(e.what())));
    return;
  }
  question_->setReadOnly(true);
  answer_->setReadOnly(true);
  save_->hide();
  cancel_->setText(tr("Close"));
  if (!model_.status().ready()) {
    // Read when the model runs again (the app reads the folder at start).
    note_->setText(tr("Saved. The documents are read again when the model runs."));
    done_ = true;
    model_.findGaps();
    return;
  }
  note_->setText(tr("Saved. Reading the documents again\u2026"));
  QPointer<AnswerDialog> self(this);
  AppModel& model = model_;
  model_.reindex([self, &model] {
    model.findGaps();  // the question shows as answered
    if (!self) return;
    self->done_ = true;
    const QString error = model.documents().readError();
    if (!error.isEmpty()) {
      self->note_->setText(tr("Saved, but the documents could not be read again: %1").arg(error));
      return;
    }
    self->note_->setText(tr("Saved and read: the next guest who asks gets this answer."));
    self->askAgain_->show();
    self->askAgain_->setFocus();
  });
}

}  // namespace quorvel::app
