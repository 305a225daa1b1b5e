#include "docs_panel.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QPainter>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <optional>

#include <quorvel/doc_index.h>
#include <quorvel/paths.h>

#include "app_model.h"
#include "reasons.h"
#include "shared_views.h"
#include "theme.h"

namespace quorvel::app {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;  // the document's name as stored (bytes)

// A document's row: its symbol, its name (cut in the middle when long) and
// its passage count; for one that was not read, or only partly, a warning
// and the reason under the name.
QWidget* docRow(const std::string& name, std::optional<int64_t> count, const QString& problem) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(6, 3, 6, 3);
  layout->setSpacing(8);
  const QString shown = QString::fromStdString(name);
  const QColor warning(0xff, 0x9f, 0x0a);
  auto* icon = new QLabel;
  icon->setPixmap(problem.isEmpty() ? symbol(DocsPanel::icon(shown), gold()).pixmap(16, 16)
                                  : symbol(QStringLiteral("exclamationmark.triangle"), warning).pixmap(16, 16));
  layout->addWidget(icon, 0, Qt::AlignTop);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(1);
  auto* label = styleLabel(new ElidedLabel(shown), font::body, Qt::white);
  label->setObjectName(QStringLiteral("docName"));
  lines->addWidget(label);
  if (!problem.isEmpty()) {
    auto* reason = makeLabel(problem, font::caption, warning);
    reason->setObjectName(QStringLiteral("docProblem"));
    reason->setWordWrap(true);
    reason->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lines->addWidget(reason);
  }
  layout->addLayout(lines, 1);
  if (count) layout->addWidget(makeLabel(QString::number(*count), font::caption2, white(0.5)), 0, Qt::AlignTop);
  return row;
}

}  // namespace

DocList::DocList(AppModel& model, QWidget* parent) : QListWidget(parent), model_(model) {
  setObjectName(QStringLiteral("docs"));
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QListWidgetItem* item = itemAt(at);
    if (item == nullptr) return;
    const std::string name = item->data(kNameRole).toByteArray().toStdString();
    QMenu menu;
    menu.addAction(DocsPanel::tr("Remove\u2026"), this, [this, name] { askToRemove(name); });
    menu.exec(viewport()->mapToGlobal(at));
  });
}

void DocList::askToRemove(const std::string& name) {
  // The file is deleted: a slip of the mouse must not cost the price list.
  const QString shown = QString::fromStdString(name);
  const bool sure = confirm ? confirm(shown) : [&] {
    QMessageBox box(
        QMessageBox::Question, tr("Remove document"),
        tr("Remove \u201C%1\u201D? It is deleted from the documents folder, and replies no longer use it.").arg(shown),
        QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(tr("Remove"), QMessageBox::DestructiveRole);
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(box.buttons().last()));
    box.exec();
    return box.clickedButton() == yes;
  }();
  if (sure) model_.remove(name);
}

void DocList::fitRows() {
  // A wrapped reason is as tall as the list's width makes it, in the font
  // its style sheet gives it.
  const int width = viewport()->width();
  for (int i = 0; i < count(); ++i) {
    QListWidgetItem* it = item(i);
    QWidget* row = itemWidget(it);
    if (row == nullptr) continue;
    row->ensurePolished();
    // A few pixels spare: the last line's descenders stay whole.
    const int height =
        std::max((row->hasHeightForWidth() ? row->heightForWidth(width) : row->sizeHint().height()) + 4, 26);
    if (it->sizeHint().height() != height) it->setSizeHint(QSize(0, height));
  }
}

bool DocList::viewportEvent(QEvent* e) {
  // The viewport narrows when the scroll bar appears: the rows wrap anew.
  if (e->type() == QEvent::Resize) fitRows();
  return QListWidget::viewportEvent(e);
}

void DocList::setDropping(bool on) {
  dropping_ = on;
  viewport()->update();
}

void DocList::dragEnterEvent(QDragEnterEvent* e) {
  if (!e->mimeData()->hasUrls()) return e->ignore();
  setDropping(true);
  e->acceptProposedAction();
}

void DocList::dragMoveEvent(QDragMoveEvent* e) { e->acceptProposedAction(); }

void DocList::dragLeaveEvent(QDragLeaveEvent*) { setDropping(false); }

void DocList::dropEvent(QDropEvent* e) {
  setDropping(false);
  e->acceptProposedAction();
  // Each dropped file is imported on its own (and starts its own re-read);
  // which of them can be read is the index's business.
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) model_.addDocuments({url.toLocalFile()});
}

void DocList::paintEvent(QPaintEvent* e) {
  {
    // The panel behind the list, brighter while files hover over it.
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = malachiteLight();
    fill.setAlphaF(dropping_ ? 1.0f : 0.6f);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(viewport()->rect()), 10, 10);
  }
  QListWidget::paintEvent(e);
}

DocsPanel::DocsPanel(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* column = screenColumn(this, 14, 14, 10);

  auto* header = new QHBoxLayout;
  header->addWidget(makeLabel(tr("Documents"), font::headline + 2, gold(), true));
  header->addStretch(1);
  count_ = makeLabel({}, font::caption, white(0.5));
  header->addWidget(count_);
  column->addLayout(header);

  list_ = new DocList(model);
  // The hint lies over the empty list.
  hint_ = makeLabel(tr("Drop files here: rules, prices, contracts (txt, md, pdf, docx)."), font::callout, white(0.6),
                    false, list_->viewport());
  hint_->setWordWrap(true);
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* hintLayout = new QVBoxLayout(list_->viewport());
  hintLayout->setContentsMargins(14, 14, 14, 14);
  hintLayout->addWidget(hint_);
  column->addWidget(list_, 1);

  struct Action {
    const char* symbol;
    QString label;
    std::function<void()> run;
  };
  const std::vector<Action> actions{
      {"plus", tr("Add documents\u2026"), [this] { model_.pickDocuments(); }},
      {"doc.badge.plus", tr("Add hotel templates"), [this] { model_.addHotelTemplates(); }},
      {"building.2", tr("Load sample hotel"), [this] { model_.addSamples(); }},
      {"folder", tr("Open folder"),
       [] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Paths::documents().string()))); }},
      {"questionmark.bubble", tr("Unanswered questions"),
       [this] {
         if (showGaps) showGaps();
       }},
  };
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  for (const Action& a : actions) {
    auto* b = new QToolButton;
    b->setObjectName(QStringLiteral("action"));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(symbol(QString::fromLatin1(a.symbol), white(0.85)));
    b->setIconSize(QSize(15, 15));
    b->setText(a.label);
    b->setCursor(Qt::PointingHandCursor);
    connect(b, &QToolButton::clicked, this, a.run);
    buttons->addWidget(b, 0, Qt::AlignLeft);
  }
  column->addLayout(buttons);

  spinner_ = new Spinner;
  // Its room is kept while it is hidden: the buttons above do not jump.
  QSizePolicy keep = spinner_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  spinner_->setSizePolicy(keep);
  column->addWidget(spinner_);
  column->addStretch(0);
  badge_ = new PrivacyBadge(model);
  column->addWidget(badge_);
  connect(&model_.documents(), &DocumentsState::changed, this, &DocsPanel::refresh);
  connect(&model_.status(), &EngineStatus::changed, this, &DocsPanel::refresh);
  refresh();
}

QString DocsPanel::icon(const QString& fileName) {
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  const QString ext = dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
  if (ext == QStringLiteral("pdf")) return QStringLiteral("doc.richtext");
  if (ext == QStringLiteral("docx") || ext == QStringLiteral("doc") || ext == QStringLiteral("rtf"))
    return QStringLiteral("doc.text");
  return QStringLiteral("doc.plaintext");
}

bool DocsPanel::spinning() const { return !spinner_->isHidden(); }

void DocsPanel::refresh() {
  count_->setText(tr("%n passage(s)", nullptr, static_cast<int>(model_.documents().passages())));
  // The rows (and their counts, read from the index) change only with a
  // re-read; rebuilding them at every keystroke elsewhere would be waste.
  // A document not read yet says why: the model is not running, or the
  // reading has not come to it yet.
  const DocumentsState& docs = model_.documents();
  const QString waiting = !model_.status().ready() ? tr("Not read yet: the model is not running")
                          : docs.reading()         ? tr("Not read yet")
                                                   : QString();
  if (docs.files() != shown_ || docs.passages() != shownPassages_ || docs.problems() != shownProblems_ ||
      docs.unread() != shownUnread_ || waiting != shownWaiting_) {
    shown_ = docs.files();
    shownPassages_ = docs.passages();
    shownProblems_ = docs.problems();
    shownUnread_ = docs.unread();
    shownWaiting_ = waiting;
    std::map<std::string, std::string> problems;
    for (const auto& p : shownProblems_) problems[p.file] = p.reason;
    list_->clear();
    auto add = [this](const std::string& name, std::optional<int64_t> count, const QString& problem) {
      auto* item = new QListWidgetItem(list_);
      item->setData(kNameRole, QByteArray::fromStdString(name));
      list_->setItemWidget(item, docRow(name, count, problem));
    };
    // Those not read first: they need the reader's attention.
    for (const auto& [name, why] : problems)
      if (std::find(shown_.begin(), shown_.end(), name) == shown_.end())
        add(name, std::nullopt, tr("Not read: %1").arg(Reasons::reading(why)));
    for (const std::string& name : shownUnread_)
      add(name, waiting.isEmpty() ? std::optional<int64_t>(0) : std::nullopt, waiting);
    for (const std::string& name : shown_) {
      const auto it = problems.find(name);
      add(name, DocIndex::shared().count(name),
          it == problems.end() ? QString() : tr("Partly read: %1").arg(Reasons::reading(it->second)));
    }
  }
  list_->fitRows();
  hint_->setVisible(list_->count() == 0);
  spinner_->setVisible(model_.documents().reading());
  badge_->refresh();
}

}  // namespace quorvel::app
