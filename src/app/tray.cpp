#include "tray.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>

#include <quorvel/engine.h>
#include <quorvel/history.h>

#include "app_model.h"
#include "notifications.h"
#include "theme.h"

namespace quorvel::app {

namespace {

const char* kSymbolProperty = "quorvelSymbol";
const char* kDotProperty = "quorvelDot";

QIcon dotIcon(const QColor& c) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QRectF(8, 8, 16, 16));
  // The status row is disabled (it does nothing), and a disabled row greys
  // its icon: the dot keeps its colour in that mode too.
  QIcon icon(pm);
  icon.addPixmap(pm, QIcon::Disabled);
  return icon;
}

}  // namespace

QString retentionName(int days) {
  switch (days) {
    case 0:
      return Tray::tr("Keep all");
    case 30:
      return Tray::tr("30 days");
    case 90:
      return Tray::tr("90 days");
    case 365:
      return Tray::tr("1 year");
    default:
      return Tray::tr("%n day(s)", nullptr, days);  // written into settings.json by hand
  }
}

void fillRetentionChoices(QMenu& menu, const std::function<void(int days)>& choose) {
  menu.clear();
  for (QActionGroup* old : menu.findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) delete old;
  const int current = Retention::days();
  auto* group = new QActionGroup(&menu);
  for (int days : Retention::kChoices) {
    QAction* a = menu.addAction(retentionName(days));
    a->setCheckable(true);
    a->setChecked(days == current);
    group->addAction(a);
    if (choose) QObject::connect(a, &QAction::triggered, &menu, [choose, days] { choose(days); });
  }
}

Tray::Tray(AppModel& model, TrayActions actions) : model_(model), actions_(std::move(actions)) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  menu_ = std::make_unique<QMenu>();
  // Rebuilt at every opening: each row shows the values of that moment.
  connect(menu_.get(), &QMenu::aboutToShow, this, [this] { fill(*menu_); });
  icon_ = new QSystemTrayIcon(this);
  icon_->setContextMenu(menu_.get());
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger && actions_.open) actions_.open();
  });
  refreshStatus();
  connect(&model_.status(), &EngineStatus::changed, this, &Tray::refreshStatus);
  icon_->show();
}

Tray::~Tray() = default;

QIcon Tray::statusIcon(const QColor& dot) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(0, 0, symbol(QStringLiteral("shippingbox.fill")).pixmap(size, size));
    // The dot in the lower right corner, ringed so that it shows on any panel.
    const qreal d = size * 0.42;
    const QRectF r(size - d - 0.5, size - d - 0.5, d, d);
    p.setPen(QPen(QColor(0, 0, 0, 160), size / 16.0));
    p.setBrush(dot);
    p.drawEllipse(r);
    icon.addPixmap(pm);
  }
  return icon;
}

void Tray::refreshStatus() {
  if (icon_ == nullptr) return;
  icon_->setIcon(statusIcon(model_.status().color()));
  icon_->setToolTip(QStringLiteral("Quorvel \u2014 ") + model_.status().text());
}

void Tray::fill(QMenu& menu) {
  menu.clear();
  // The submenu of the last filling goes with its row.
  for (QMenu* sub : menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) sub->deleteLater();
  // No row has a shortcut: a tray menu's keys work nowhere while it is
  // closed, and shown ones would promise what they do not do.
  auto row = [&](const QString& title, const char* symbolName, const std::function<void()>& run = {}) {
    QAction* a = menu.addAction(title);
    if (symbolName != nullptr) {
      a->setIcon(symbol(QString::fromLatin1(symbolName)));
      a->setProperty(kSymbolProperty, QString::fromLatin1(symbolName));
    }
    if (run)
      connect(a, &QAction::triggered, this, run);
    else
      a->setEnabled(false);  // information rows do nothing
    return a;
  };
  const QColor dot = model_.status().color();
  QAction* status = row(QStringLiteral("Quorvel \u2014 ") + model_.status().text(), nullptr);
  status->setIcon(dotIcon(dot));
  status->setProperty(kDotProperty, dot);
  row(tr("Model: %1").arg(QString::fromStdString(Engine::chatModelTitle())), "cpu");
  if (model_.reply().lastTPS() > 0)
    row(tr("Last reply: %1 tokens/s").arg(model_.reply().lastTPS(), 0, 'f', 0), "speedometer");
  // The documents the panel lists: read or not.
  row(tr("Documents: %1 \u00B7 passages: %2").arg(model_.documents().listed()).arg(model_.documents().passages()),
      "doc.on.doc");
  row(tr("Network: this computer only \u2014 nothing is sent"), "lock.shield");
  menu.addSeparator();
  row(tr("Open Quorvel"), "macwindow", actions_.open);
  row(tr("Reply to the question in the clipboard"), "doc.on.clipboard", actions_.clip);
  menu.addSeparator();
  row(tr("Add documents\u2026"), "plus", actions_.addDocs);
  row(tr("Add hotel templates"), "doc.badge.plus", actions_.addTemplates);
  row(tr("Open documents folder"), "folder", actions_.folder);
  row(tr("Re-read documents"), "arrow.clockwise", actions_.reindex);
  // One name for the list, in the window and here.
  row(tr("Unanswered questions\u2026"), "questionmark.bubble", actions_.gaps);
  menu.addSeparator();
  const bool ready = model_.status().state().kind == Engine::State::Kind::ready;
  row(ready ? tr("Stop model (free memory)") : tr("Start model"), ready ? "stop.circle" : "play.circle",
      actions_.toggle);
  row(tr("Clear conversation history (%1)").arg(History::count()), "trash", actions_.clearHistory);
  // Guests' words are kept only as long as chosen here; the choice in force
  // shows in the row itself.
  auto* keep = new QMenu(tr("Keep conversation history: %1").arg(retentionName(Retention::days())), &menu);
  fillRetentionChoices(*keep, actions_.keepHistory);
  QAction* keepRow = menu.addMenu(keep);
  keepRow->setIcon(symbol(QStringLiteral("lock.shield")));
  keepRow->setProperty(kSymbolProperty, QStringLiteral("lock.shield"));
  row(tr("Forget a guest\u2026"), "trash", actions_.forgetGuest);
  menu.addSeparator();
  row(tr("Quit Quorvel"), "power", actions_.quit);
}

std::vector<MenuRow> Tray::rows() {
  QMenu menu;
  fill(menu);
  std::vector<MenuRow> out;
  for (QAction* a : menu.actions()) {
    MenuRow r;
    r.separator = a->isSeparator();
    r.title = a->text();
    r.symbol = a->property(kSymbolProperty).toString();
    r.enabled = a->isEnabled();
    if (a->property(kDotProperty).isValid()) r.dot = a->property(kDotProperty).value<QColor>();
    out.push_back(r);
  }
  return out;
}

void Tray::openMenu() {
  if (icon_ == nullptr) return;
  const QRect at = icon_->geometry();
  menu_->popup(at.isValid() ? at.bottomLeft() : QCursor::pos());
}

void Tray::notify(const QString& title, const QString& text) {
  // The tray's own balloon only without the desktop's service: Qt draws it
  // in colours that can be unreadable.
  // The answer may come after the tray is gone (at quit).
  notifyDesktop(title, text, [self = QPointer<Tray>(this), title, text] {
    if (self && self->icon_ != nullptr && QSystemTrayIcon::supportsMessages())
      self->icon_->showMessage(title, text, appIcon(), 5000);
  });
}

QImage Tray::preview(const std::vector<MenuRow>& rows, const QColor& dot) {
  // Measured in points and drawn at twice the size.
  constexpr int kPad = 14, kWidth = 400, kRow = 13 + 7, kSep = 11;
  int panelHeight = 8;
  for (const MenuRow& r : rows) panelHeight += r.separator ? kSep : kRow + 4;
  const int barHeight = 24;
  const QSize size(kWidth + 2 * kPad, barHeight + panelHeight + 2 * kPad + 6);
  QImage image(size * 2, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  image.fill(QColor::fromRgbF(0.12f, 0.14f, 0.16f));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // The tray item at the trailing edge: the symbol and the dot.
  QFont small = p.font();
  small.setPixelSize(9);
  small.setBold(true);
  const int right = kPad + kWidth;
  p.setFont(small);
  p.setPen(dot);
  p.drawText(QRect(right - 12, kPad, 12, 18), Qt::AlignCenter, QStringLiteral("\u25CF"));
  p.drawPixmap(right - 32, kPad + 1, symbol(QStringLiteral("shippingbox.fill")).pixmap(16, 16));

  // The panel.
  const QRectF panel(kPad, kPad + barHeight + 6, kWidth, panelHeight);
  p.setPen(QPen(QColor(255, 255, 255, 38), 1));
  p.setBrush(QColor::fromRgbF(0.17f, 0.17f, 0.17f));
  p.drawRoundedRect(panel, 6, 6);
  QFont font = p.font();
  font.setPixelSize(13);
  font.setBold(false);
  p.setFont(font);
  qreal y = panel.top() + 4;
  for (const MenuRow& r : rows) {
    if (r.separator) {
      p.setPen(QPen(QColor(255, 255, 255, 40), 1));
      p.drawLine(QPointF(panel.left() + 10, y + kSep / 2.0), QPointF(panel.right() - 10, y + kSep / 2.0));
      y += kSep;
      continue;
    }
    const QRectF line(panel.left() + 12, y + 3.5, kWidth - 24, kRow - 3);
    QString title = r.title;
    if (r.dot) {
      p.setPen(*r.dot);
      p.drawText(QRectF(line.left(), line.top(), 16, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                 QStringLiteral("\u25CF"));
      if (title.startsWith(QStringLiteral("\u25CF "))) title = title.mid(2);
    } else if (!r.symbol.isEmpty()) {
      p.drawPixmap(QPointF(line.left(), line.center().y() - 7),
                   symbol(r.symbol, white(r.enabled ? 1.0 : 0.55)).pixmap(14, 14));
    }
    p.setPen(white(!r.enabled && !r.dot ? 0.55 : 1.0));
    p.drawText(QRectF(line.left() + 22, line.top(), line.width() - 22, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
               title);
    y += kRow + 4;
  }
  return image;
}

}  // namespace quorvel::app
