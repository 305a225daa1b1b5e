#include "ask_panel.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
#include <QTextLayout>

#include <quorvel/answerer.h>
#include <quorvel/lang.h>
#include <quorvel/reply_template.h>

#include "app_model.h"
#include "shared_views.h"
#include "theme.h"

namespace quorvel::app {

namespace {

// The core (no Qt there) holds the templates' English titles; these marks
// are where the translation tools find them.
[[maybe_unused]] constexpr const char* kTemplateTitles[] = {
    QT_TRANSLATE_NOOP("ReplyTemplate", "Check-in / out"), QT_TRANSLATE_NOOP("ReplyTemplate", "Breakfast"),
    QT_TRANSLATE_NOOP("ReplyTemplate", "Transfer"), QT_TRANSLATE_NOOP("ReplyTemplate", "House rules"),
    QT_TRANSLATE_NOOP("ReplyTemplate", "Complaint")};

QString templateLabel(const ReplyTemplate& t) { return QCoreApplication::translate("ReplyTemplate", t.en.c_str()); }

void clearLayout(QLayout* layout) {
  while (QLayoutItem* item = layout->takeAt(0)) {
    if (QWidget* w = item->widget())
      w->deleteLater();
    else if (QLayout* l = item->layout())
      clearLayout(l);  // a nested layout is its own item: deleted below
    delete item;
  }
}

}  // namespace

QString AskPanel::plainSnippet(const QString& markdown) {
  // The marks a hotel's Markdown documents use; what they mark stays.
  static const QRegularExpression heading(QStringLiteral("(^|\\n)[ \\t]{0,3}#{1,6}[ \\t]+"));
  static const QRegularExpression bullet(QStringLiteral("(^|\\n)[ \\t]*(?:[-*+]|\\d+[.)])[ \\t]+"));
  static const QRegularExpression quote(QStringLiteral("(^|\\n)[ \\t]*>[ \\t]?"));
  static const QRegularExpression link(QStringLiteral("!?\\[([^\\]]*)\\]\\([^)]*\\)"));
  static const QRegularExpression rule(QStringLiteral("(^|\\n)[ \\t]*\\|?[ \\t]*:?-{3,}[-:| \\t]*(?=\\n|$)"));
  static const QRegularExpression pipes(QStringLiteral("[ \\t]*\\|[ \\t]*"));
  QString s = markdown;
  s.replace(rule, QStringLiteral("\\1"));
  s.replace(heading, QStringLiteral("\\1"));
  s.replace(bullet, QStringLiteral("\\1"));
  s.replace(quote, QStringLiteral("\\1"));
  s.replace(link, QStringLiteral("\\1"));
  s = withoutEmphasis(s);
  // Table cells read as a list of values.
  QStringList lines = s.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    if (!line.contains(QLatin1Char('|'))) continue;
    line = line.trimmed();
    if (line.startsWith(QLatin1Char('|'))) line.remove(0, 1);
    if (line.endsWith(QLatin1Char('|'))) line.chop(1);
    line = line.trimmed().replace(pipes, QStringLiteral(" \u00B7 "));
  }
  // The snippet has three lines at most: none of them empty.
  static const QRegularExpression blank(QStringLiteral("\n\\s*\n"));
  QString out = lines.join(QLatin1Char('\n')).trimmed();
  while (out.contains(blank)) out.replace(blank, QStringLiteral("\n"));
  return out;
}

std::vector<std::pair<QString, QString>> AskPanel::languages() {
  std::vector<std::pair<QString, QString>> out{{QStringLiteral("auto"), tr("Guest's language")}};
  for (const std::string& code : Lang::replyLanguages())
    out.emplace_back(QString::fromStdString(code), QString::fromStdString(Lang::nativeName(code)));
  return out;
}

AskPanel::AskPanel(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* column = screenColumn(this, 18, 12, 12);
  column->addLayout(makeHeader());
  column->addWidget(makeTemplates());
  column->addWidget(makeMessage());
  column->addLayout(makeActions());
  column->addWidget(makeResult(), 1);
  column->addWidget(new Footer);
  // The documents bring the note line (a failed reading) and the reading's
  // progress; the status whether "Write reply" may be pressed.
  connect(&model_.reply(), &ReplyState::changed, this, &AskPanel::refresh);
  connect(&model_.status(), &EngineStatus::changed, this, &AskPanel::refresh);
  connect(&model_.documents(), &DocumentsState::changed, this, &AskPanel::refresh);

  // The order of the work: the message, its reply, copying it; then the
  // choices that come before a message.
  QWidget* previous = message_;
  for (QWidget* next : std::initializer_list<QWidget*>{reply_, copy_, guestCopy_}) {
    setTabOrder(previous, next);
    previous = next;
  }
  for (QToolButton* b : templates_) {
    setTabOrder(previous, b);
    previous = b;
  }
  setTabOrder(previous, language_);
  refresh();
}

QLayout* AskPanel::makeHeader() {
  // Header: the title and the reply language.
  auto* header = new QHBoxLayout;
  header->addWidget(makeLabel(tr("Reply to a guest"), font::title2 + 3, gold(), true));
  header->addStretch(1);
  language_ = new QComboBox;
  language_->setFixedWidth(190);
  for (const auto& [code, name] : languages()) language_->addItem(name, code);
  QObject::connect(language_, &QComboBox::currentIndexChanged, this,
                   [this](int i) { model_.reply().setLanguage(language_->itemData(i).toString()); });
  header->addWidget(language_);
  return header;
}

QWidget* AskPanel::makeTemplates() {
  // Reply tasks: capsules, at most one chosen; a second press clears it.
  auto* capsules = new QWidget;
  auto* capsuleRow = new QHBoxLayout(capsules);
  capsuleRow->setContentsMargins(0, 0, 0, 0);
  capsuleRow->setSpacing(8);
  for (const ReplyTemplate& t : ReplyTemplate::hotel()) {
    auto* b = new QToolButton;
    b->setObjectName(QStringLiteral("capsule"));
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setText(templateLabel(t));
    b->setIconSize(QSize(15, 15));
    b->setCursor(Qt::PointingHandCursor);
    QObject::connect(b, &QToolButton::clicked, this, [this, tp = &t] {
      model_.reply().setReplyTemplate(model_.reply().replyTemplate() == tp ? nullptr : tp);
    });
    templates_.push_back(b);
    capsuleRow->addWidget(b);
  }
  capsuleRow->addStretch(1);
  auto* capsuleScroll = new QScrollArea;
  capsuleScroll->setWidget(capsules);
  capsuleScroll->setWidgetResizable(true);
  capsuleScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  capsuleScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  capsuleScroll->setFixedHeight(capsules->sizeHint().height());
  capsuleScroll->setFocusPolicy(Qt::NoFocus);  // its capsules take the focus, not the frame around them
  return capsuleScroll;
}

SnippetLabel::SnippetLabel(const QString& text, bool cut, int lines, QWidget* parent)
    : QLabel(parent), full_(text), cut_(cut), lines_(lines) {
  setWordWrap(true);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fit();
}

void SnippetLabel::resizeEvent(QResizeEvent* e) {
  QLabel::resizeEvent(e);
  fit();
}

void SnippetLabel::fit() {
  const int width = contentsRect().width();
  if (width <= 0) return setText(full_);
  // Laid out as the label wraps it; what is past the last line that fits
  // goes, back to the end of a word, and "…" says so.
  QTextLayout layout(full_, font());
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  int end = 0, lastStart = 0, lines = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (++lines > lines_) break;
    lastStart = line.textStart();
    end = line.textStart() + line.textLength();
  }
  layout.endLayout();
  if (end >= full_.size() && !cut_) return setText(full_);
  // Back to the end of a word, with room for the "…" on the last line.
  static const QRegularExpression space(QStringLiteral("\\s"));
  const QString ellipsis(QChar(0x2026));
  qsizetype at = end;
  do at = full_.lastIndexOf(space, at - 1);
  while (at > lastStart && fontMetrics().horizontalAdvance(full_.mid(lastStart, at - lastStart) + ellipsis) > width);
  setText(full_.left(at > 0 ? at : end).trimmed() + ellipsis);
}

void MessageEditor::insertFromMimeData(const QMimeData* source) {
  if (source->hasText()) insertPlainText(boundedMessage(source->text()));
}

QWidget* AskPanel::makeMessage() {
  // The guest's message, and under it whether it was cut.
  auto* box = new QWidget;
  auto* lines = new QVBoxLayout(box);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(4);
  message_ = new MessageEditor;
  message_->setObjectName(QStringLiteral("message"));
  message_->setFixedHeight(110);
  // Tab moves on to "Write reply": a guest's message needs no tab characters.
  message_->setTabChangesFocus(true);
  QPalette pal = message_->palette();
  pal.setColor(QPalette::PlaceholderText, white(0.4));
  message_->setPalette(pal);
  QObject::connect(message_, &QPlainTextEdit::textChanged, this, [this] {
    shownMessage_ = message_->toPlainText();
    model_.reply().setGuestText(shownMessage_);
  });
  lines->addWidget(message_);
  cutNote_ = makeLabel(tr("The message is long: the reply uses its first %L1 characters, the rest was left out.")
                           .arg(static_cast<qulonglong>(Answerer::kMessageCharacters)),
                       font::caption, QColor(0xff, 0x9f, 0x0a));
  cutNote_->setWordWrap(true);
  cutNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lines->addWidget(cutNote_);
  return box;
}

QLayout* AskPanel::makeActions() {
  // The action row.
  auto* actions = new QHBoxLayout;
  actions->setSpacing(10);
  reply_ = new QPushButton(symbol(QStringLiteral("sparkles"), malachite()), QString());
  reply_->setObjectName(QStringLiteral("prominent"));
  reply_->setStyleSheet(QStringLiteral("padding: 4px 10px; font-size: 13px;"));
  reply_->setCursor(Qt::PointingHandCursor);
  reply_->setToolTip(QStringLiteral("Ctrl+Return"));
  QObject::connect(reply_, &QPushButton::clicked, this, [this] { model_.ask(); });
  // Ctrl+Return writes a reply only when the button could be pressed.
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
  QObject::connect(shortcut, &QShortcut::activated, this, [this] {
    if (reply_->isEnabled()) reply_->click();
  });
  actions->addWidget(reply_);
  spinner_ = new Spinner;
  actions->addWidget(spinner_);
  // The speed line, the reading's progress, or why a reply broke off: whole,
  // wrapped, and selectable to be passed on.
  note_ = makeLabel({}, font::caption, white(0.6));
  note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  note_->setWordWrap(true);
  note_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  note_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  actions->addWidget(note_, 1);
  return actions;
}

QWidget* AskPanel::makeResult() {
  // The result box.
  auto* box = new QFrame;
  box->setObjectName(QStringLiteral("resultBox"));
  auto* boxColumn = new QVBoxLayout(box);
  boxColumn->setContentsMargins(14, 14, 14, 14);
  boxColumn->setSpacing(10);
  auto* boxHeader = new QHBoxLayout;
  boxHeader->setSpacing(8);
  boxHeader->addWidget(makeLabel(tr("Reply"), font::headline, gold(), true));
  tag_ = makeLabel(tr("not in the documents"), font::caption, QColor(0xff, 0x9f, 0x0a));
  tag_->setStyleSheet(tag_->styleSheet() +
                      QStringLiteral("background: rgba(255,159,10,0.30); border-radius: 8px; padding: 2px 6px;"));
  boxHeader->addWidget(tag_);
  unfinished_ = makeLabel(tr("not finished \u2014 do not send"), font::caption, QColor(0xff, 0x45, 0x3a));
  unfinished_->setStyleSheet(unfinished_->styleSheet() +
                             QStringLiteral("background: rgba(255,69,58,0.22); border-radius: 8px; padding: 2px 6px;"));
  boxHeader->addWidget(unfinished_);
  outdated_ = makeLabel(tr("written for the previous message"), font::caption, QColor(0xff, 0x45, 0x3a));
  outdated_->setStyleSheet(outdated_->styleSheet() +
                           QStringLiteral("background: rgba(255,69,58,0.22); border-radius: 8px; padding: 2px 6px;"));
  boxHeader->addWidget(outdated_);
  boxHeader->addStretch(1);
  copy_ = new QPushButton(symbol(QStringLiteral("doc.on.doc")), tr("Copy"));
  copy_->setObjectName(QStringLiteral("plain"));
  QObject::connect(copy_, &QPushButton::clicked, this, [this] { model_.copyAnswer(); });
  boxHeader->addWidget(copy_);
  guestCopy_ = new QPushButton(symbol(QStringLiteral("doc.on.doc")), tr("Copy for the guest"));
  guestCopy_->setObjectName(QStringLiteral("plain"));
  guestCopy_->setToolTip(tr("Copies the reply without the source numbers ([1]) and without Markdown marks (**)"));
  QObject::connect(guestCopy_, &QPushButton::clicked, this, [this] { model_.copyAnswer(/*forGuest=*/true); });
  boxHeader->addWidget(guestCopy_);
  boxColumn->addLayout(boxHeader);

  answer_ = new QTextEdit;
  answer_->setReadOnly(true);
  answer_->setAcceptRichText(false);
  answer_->setMinimumHeight(80);
  answer_->setFrameShape(QFrame::NoFrame);
  answer_->setFocusPolicy(Qt::ClickFocus);  // selectable, not a Tab stop: Copy takes it whole
  answer_->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; color: white; font-size: 15px; }"));
  boxColumn->addWidget(answer_, 1);

  sources_ = new QWidget;
  auto* sourcesColumn = new QVBoxLayout(sources_);
  sourcesColumn->setContentsMargins(0, 0, 0, 0);
  sourcesColumn->setSpacing(6);
  sourcesColumn->addWidget(makeLabel(tr("Where it comes from"), font::subheadline + 1, gold(), true));
  auto* rows = new QWidget;
  sourceRows_ = new QVBoxLayout(rows);
  sourceRows_->setContentsMargins(0, 0, 0, 0);
  sourceRows_->setSpacing(8);
  auto* rowsScroll = new QScrollArea;
  rowsScroll->setWidget(rows);
  rowsScroll->setWidgetResizable(true);
  rowsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  rowsScroll->setMinimumHeight(150);
  rowsScroll->setFocusPolicy(Qt::NoFocus);
  sourcesColumn->addWidget(rowsScroll, 1);
  boxColumn->addWidget(sources_, 1);
  return box;
}

void AskPanel::refresh() {
  const ReplyTemplate* chosen = model_.reply().replyTemplate();
  for (std::size_t i = 0; i < templates_.size(); ++i) {
    const ReplyTemplate& t = ReplyTemplate::hotel()[i];
    const bool on = chosen == &t;
    templates_[i]->setChecked(on);
    templates_[i]->setIcon(symbol(QString::fromStdString(t.symbol), on ? malachite() : QColor(Qt::white)));
  }
  const int at = language_->findData(model_.reply().language());
  if (at >= 0 && at != language_->currentIndex()) language_->setCurrentIndex(at);
  // Compared with what the box was last known to hold: the box's text is
  // not copied out at every status change or streamed piece.
  if (model_.reply().guestText() != shownMessage_) {
    shownMessage_ = model_.reply().guestText();
    message_->setPlainText(shownMessage_);
    message_->moveCursor(QTextCursor::End);
  }
  cutNote_->setVisible(model_.reply().cut());
  const QString placeholder = chosen != nullptr ? tr("Optional: the guest's message (template works without it)")
                                                : tr("Paste the guest's message in any language\u2026");
  if (message_->placeholderText() != placeholder) {
    message_->setPlaceholderText(placeholder);
    // The field itself repaints only the cursor's few pixels: the old
    // placeholder would stay on screen until it is clicked.
    message_->viewport()->update();
  }

  const bool busy = model_.reply().busy();
  reply_->setText(busy ? tr("Writing\u2026") : tr("Write reply"));
  const bool canAsk = model_.canAsk();
  // A disabled button hands its focus to the next one in the chain, a
  // template's: a Space meant for nothing would then write a template reply.
  // The focus goes back to the message instead.
  if (!canAsk && reply_->hasFocus()) message_->setFocus(Qt::OtherFocusReason);
  reply_->setEnabled(canAsk);
  spinner_->setVisible(busy);
  // The reading's progress while no reply is being written.
  note_->setText(!busy && !model_.documents().readingLine().isEmpty() ? model_.documents().readingLine()
                                                                      : model_.note());

  tag_->setVisible(model_.reply().notInDocs());
  unfinished_->setVisible(model_.reply().unfinished());
  // A reply to another message (or task, or language) than the one shown is
  // marked as such, greyed, and cannot be copied: it would go to the wrong
  // guest.
  const bool outdated = model_.reply().outdated();
  outdated_->setVisible(outdated);
  // Only a whole reply can be copied: half of one reads as a whole one.
  const bool copyable = model_.reply().replied();
  copy_->setEnabled(copyable);
  guestCopy_->setEnabled(copyable);
  const QString why = outdated ? tr("The reply shown was written for the previous message: write the reply to this one")
                               : QString();
  if (copy_->toolTip() != why) {
    copy_->setToolTip(why);
    guestCopy_->setToolTip(
        outdated ? why : tr("Copies the reply without the source numbers ([1]) and without Markdown marks (**)"));
  }
  const QString style = QStringLiteral("QTextEdit { background: transparent; color: %1; font-size: 15px; }")
                            .arg(outdated ? QStringLiteral("rgba(255,255,255,0.45)") : QStringLiteral("white"));
  if (answer_->styleSheet() != style) answer_->setStyleSheet(style);
  // A single space keeps one line of height while there is no reply.
  const QString shown = model_.reply().answer().isEmpty() ? QStringLiteral(" ") : model_.reply().answer();
  if (shownAnswer_ != shown) {
    shownAnswer_ = shown;
    answer_->setPlainText(shown);
  }
  refreshSources();
}

void AskPanel::refreshSources() {
  const auto& sources = model_.reply().sources();
  sources_->setVisible(!sources.empty());
  // Rebuilt only when a reply brings other sources (its pieces do not).
  if (sources == shownSources_) return;
  shownSources_ = sources;
  clearLayout(sourceRows_);
  for (const Source& s : sources) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* number = makeLabel(QStringLiteral("[%1]").arg(s.n), font::callout, gold(), true);
    row->addWidget(number, 0, Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    QString where = QString::fromStdString(s.file);
    if (!s.section.empty()) where += QStringLiteral(" \u2014 ") + QString::fromStdString(s.section);
    auto* file = makeLabel(where, font::callout, Qt::white, true);
    file->setWordWrap(true);
    // Wrapped at the panel's width rather than widening it.
    file->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lines->addWidget(file);
    // The snippet is the passage's start: one of full length was cut from it.
    const bool cut = Source::snippetOf(s.snippet + " ") == s.snippet;
    auto* snippet = styleLabel(new SnippetLabel(plainSnippet(QString::fromStdString(s.snippet)), cut, 3), font::caption,
                               white(0.6));
    snippet->setObjectName(QStringLiteral("snippet"));
    snippet->setMaximumHeight(snippet->fontMetrics().lineSpacing() * 3 + 2);  // at most three lines
    lines->addWidget(snippet);
    row->addLayout(lines, 1);
    sourceRows_->addLayout(row);
  }
  sourceRows_->addStretch(1);
}

}  // namespace quorvel::app
