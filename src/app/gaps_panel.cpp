#include "gaps_panel.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLocale>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>

#include <quorvel/lang.h>
#include <quorvel/paths.h>

#include "answer_dialog.h"
#include "app_model.h"
#include "reasons.h"
#include "shared_views.h"
#include "theme.h"
#include "translations.h"

namespace quorvel::app {

namespace {

constexpr qsizetype kQuestionShown = 200;

QString day(TimePoint t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  // In the window's language, whatever the desktop's, with the month by
  // name: "12/9/26" reads as 12 September in most of the world.
  return QLocale(translations::language())
      .toString(QDateTime::fromMSecsSinceEpoch(ms).date(), QStringLiteral("d MMM yyyy"));
}

// The languages by name, as the reply language picker names them.
QString languageNames(const std::vector<std::string>& codes) {
  QStringList out;
  for (const auto& code : codes) out << QString::fromStdString(Lang::nativeName(code));
  return out.join(QStringLiteral(", "));
}

QListWidget* makeList() {
  auto* list = new QListWidget;
  list->setObjectName(QStringLiteral("gaps"));
  list->setWordWrap(true);
  list->setSpacing(2);
  list->setStyleSheet(QStringLiteral(
      "QListWidget { background: rgba(0,0,0,0.18); border: none; border-radius: 10px; color: white; font-size: 13px; }"
      "QListWidget::item { padding: 6px 8px; }"
      "QListWidget::item:selected { background: rgba(255,214,10,0.22); border-radius: 6px; color: white; }"));
  return list;
}

}  // namespace

GapsPanel::GapsPanel(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* column = screenColumn(this, 18, 12, 10);
  auto* header = new QHBoxLayout;
  auto* title = makeLabel(tr("Unanswered questions"), font::title2 + 3, gold(), true);
  // Never cut at the smallest window, in any language: it wraps instead.
  title->setWordWrap(true);
  title->setObjectName(QStringLiteral("gapsTitle"));
  header->addWidget(title, 1);
  header->addStretch(1);
  auto* again = new QPushButton(symbol(QStringLiteral("arrow.clockwise")), tr("Look again"));
  again->setObjectName(QStringLiteral("plain"));
  connect(again, &QPushButton::clicked, this, [this] { model_.findGaps(); });
  header->addWidget(again);
  auto* backButton = new QPushButton(tr("Back to the reply"));
  backButton->setObjectName(QStringLiteral("plain"));
  connect(backButton, &QPushButton::clicked, this, [this] {
    if (back) back({});
  });
  header->addWidget(backButton);
  column->addLayout(header);

  auto* infoRow = new QHBoxLayout;
  spinner_ = new Spinner;
  infoRow->addWidget(spinner_);
  info_ = makeLabel({}, font::callout, white(0.75));
  info_->setWordWrap(true);
  info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  infoRow->addWidget(info_, 1);
  column->addLayout(infoRow);

  groups_ = makeList();
  column->addWidget(groups_, 3);
  spacer_ = new QWidget;
  column->addWidget(spacer_, 1);
  messagesTitle_ = makeLabel(tr("The guests' words"), font::subheadline + 1, gold(), true);
  column->addWidget(messagesTitle_);
  messages_ = makeList();
  messages_->setSelectionMode(QAbstractItemView::NoSelection);
  column->addWidget(messages_, 2);

  auto* buttons = new QHBoxLayout;
  auto* folder = new QPushButton(symbol(QStringLiteral("folder")), tr("Open documents folder"));
  folder->setObjectName(QStringLiteral("prominent"));
  connect(folder, &QPushButton::clicked, this,
          [] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Paths::documents().string()))); });
  buttons->addWidget(folder);
  askAgain_ = new QPushButton(symbol(QStringLiteral("arrow.clockwise")), tr("Ask it again"));
  askAgain_->setObjectName(QStringLiteral("plain"));
  askAgain_->setToolTip(
      tr("Puts the question in the reply panel: after you added the answer to a document, "
         "the reply shows whether the documents answer it now"));
  connect(askAgain_, &QPushButton::clicked, this, [this] {
    const int row = groups_->currentRow();
    const auto& groups = model_.gaps().result().groups;
    if (back && row >= 0 && row < static_cast<int>(groups.size()))
      back(QString::fromStdString(groups[static_cast<std::size_t>(row)].representative));
  });
  buttons->addWidget(askAgain_);
  addAnswer_ = new QPushButton(symbol(QStringLiteral("plus")), tr("Add the answer\u2026"));
  addAnswer_->setObjectName(QStringLiteral("plain"));
  addAnswer_->setToolTip(tr("Writes the answer into the documents once: every later guest who asks gets it"));
  connect(addAnswer_, &QPushButton::clicked, this, [this] {
    const int row = groups_->currentRow();
    const auto& groups = model_.gaps().result().groups;
    if (row < 0 || row >= static_cast<int>(groups.size())) return;
    auto* dialog =
        new AnswerDialog(model_, QString::fromStdString(groups[static_cast<std::size_t>(row)].representative), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The group's own question, as "Ask it again" of the list asks it.
    const std::string question = groups[static_cast<std::size_t>(row)].representative;
    dialog->askAgain = [this, question] {
      if (back) back(QString::fromStdString(question));
    };
    dialog->open();
  });
  buttons->addWidget(addAnswer_);
  buttons->addStretch(1);
  column->addLayout(buttons);
  column->addWidget(new Footer);

  connect(groups_, &QListWidget::currentRowChanged, this, &GapsPanel::showMessages);
  connect(&model_.gaps(), &GapsState::changed, this, &GapsPanel::refresh);
  refresh();
}

void GapsPanel::refresh() {
  const GapsState& state = model_.gaps();
  const Gaps::Result& r = state.result();
  spinner_->setVisible(state.finding());
  QString info;
  if (state.finding())
    info = tr("Reading the conversation history\u2026");
  else if (!state.error().isEmpty())
    info = tr("The list could not be made: %1").arg(Reasons::documents(state.error()));
  else if (r.answers == 0)
    info = tr("No guest messages in the last %n day(s).", nullptr, state.days());
  else if (r.groups.empty())
    info = tr("Every guest message of the last %n day(s) was answered from your documents.", nullptr, state.days());
  else
    info = tr("The last %n day(s): %1 questions the documents did not answer. Write the answers into a document "
              "of the folder.",
              nullptr, state.days())
               .arg(r.groups.size());
  if (!state.finding() && !r.groups.empty() && !r.byMeaning)
    info += QLatin1Char(' ') + tr("(Grouped by exact text: the search model is not running.)");
  info_->setText(info);

  const int keep = groups_->currentRow();
  groups_->clear();
  for (const Gaps::Group& g : r.groups) {
    QString when = day(g.first);
    if (day(g.last) != when) when += QStringLiteral(" \u2013 ") + day(g.last);
    QString details = languageNames(g.languages) + QStringLiteral(" \u00B7 ") + when;
    if (g.documentsChangedSince) details += QStringLiteral(" \u00B7 ") + tr("documents changed since");
    if (g.answered) details += QStringLiteral(" \u00B7 ") + tr("answered %1").arg(day(*g.answered));
    // A long question takes a few lines, not the whole list.
    QString question = QString::fromStdString(g.representative).simplified();
    if (question.size() > kQuestionShown) question = question.left(kQuestionShown).trimmed() + QChar(0x2026);
    groups_->addItem(QStringLiteral("%1 \u00D7  %2\n%3").arg(g.count).arg(question, details));
  }
  // Nothing to list: the sentence above says why, and no empty box.
  groups_->setVisible(!r.groups.empty());
  spacer_->setVisible(r.groups.empty());
  if (!r.groups.empty()) groups_->setCurrentRow(keep >= 0 && keep < groups_->count() ? keep : 0);
  showMessages();
}

void GapsPanel::showMessages() {
  messages_->clear();
  const auto& groups = model_.gaps().result().groups;
  const int row = groups_->currentRow();
  const bool chosen = row >= 0 && row < static_cast<int>(groups.size());
  messagesTitle_->setVisible(chosen);
  messages_->setVisible(chosen);
  askAgain_->setEnabled(chosen);
  addAnswer_->setEnabled(chosen);
  if (!chosen) return;
  for (const auto& text : groups[static_cast<std::size_t>(row)].examples)
    messages_->addItem(QString::fromStdString(text));
}

}  // namespace quorvel::app
