#include "docs_panel.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include <quorvel/doc_index.h>
#include <quorvel/paths.h>

#include "app_model.h"
#include "shared_views.h"
#include "theme.h"

namespace quorvel::app {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;  // the document's name as stored (bytes)

QWidget* docRow(const std::string& name, int64_t count) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(6, 3, 6, 3);
  layout->setSpacing(8);
  const QString shown = QString::fromStdString(name);
  auto* icon = new QLabel;
  icon->setPixmap(symbol(DocsPanel::icon(shown), gold()).pixmap(16, 16));
  layout->addWidget(icon);
  auto* label = makeLabel(shown, font::body, Qt::white);
  label->setToolTip(shown);
  label->setMinimumWidth(20);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // one line, cut at the panel's edge
  layout->addWidget(label, 1);
  layout->addWidget(makeLabel(QString::number(count), font::caption2, white(0.5)));
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
    menu.addAction(tr2("Remove", "Убрать"), this, [this, name] { model_.remove(name); });
    menu.exec(viewport()->mapToGlobal(at));
  });
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
    if (url.isLocalFile()) model_.add({url.toLocalFile()});
}

void DocList::paintEvent(QPaintEvent* e) {
  {
    // The panel behind the list, brighter while files hover over it.
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = malachite2();
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
  header->addWidget(makeLabel(tr2("Documents", "Документы"), font::headline + 2, gold(), true));
  header->addStretch(1);
  count_ = makeLabel({}, font::caption, white(0.5));
  header->addWidget(count_);
  column->addLayout(header);

  list_ = new DocList(model);
  // The hint lies over the empty list.
  hint_ = makeLabel(tr2("Drop files here: rules, prices, contracts (txt, md, pdf, docx).",
                        "Перетащите сюда файлы: правила, цены, договоры (txt, md, pdf, docx)."),
                    font::callout, white(0.6), false, list_->viewport());
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
      {"plus", tr2("Add documents\u2026", "Добавить документы\u2026"), [this] { model_.addDocuments(); }},
      {"doc.badge.plus", tr2("Add hotel templates", "Добавить шаблоны гостиницы"), [this] { model_.addHotelTemplates(); }},
      {"building.2", tr2("Load sample hotel", "Загрузить пример гостиницы"), [this] { model_.addSamples(); }},
      {"folder", tr2("Open folder", "Открыть папку"),
       [] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Paths::documents().string()))); }},
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
  column->addWidget(spinner_);
  column->addStretch(0);
  badge_ = new PrivacyBadge(model);
  column->addWidget(badge_);
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
  count_->setText(QString::number(model_.passages()) + QStringLiteral(" ") + tr2("passages", "фрагм."));
  // The rows (and their counts, read from the index) change only with a
  // re-read; rebuilding them at every keystroke elsewhere would be waste.
  if (model_.files() != shown_ || model_.passages() != shownPassages_) {
    shown_ = model_.files();
    shownPassages_ = model_.passages();
    list_->clear();
    for (const std::string& name : shown_) {
      auto* item = new QListWidgetItem(list_);
      item->setData(kNameRole, QByteArray::fromStdString(name));
      QWidget* row = docRow(name, DocIndex::shared().count(name));
      item->setSizeHint(QSize(row->sizeHint().width(), std::max(row->sizeHint().height(), 26)));
      list_->setItemWidget(item, row);
    }
  }
  hint_->setVisible(shown_.empty());
  spinner_->setVisible(model_.indexing());
  badge_->refresh();
}

}  // namespace quorvel::app
