#include "theme.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The drawings are compiled into the app's library; a static library's
// resources must be registered by hand.
static void registerIcons() {
  static const bool once = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)once;
}

namespace quorvel::app {

QColor malachite() { return QColor::fromRgbF(0.043f, 0.165f, 0.125f); }
QColor malachiteLight() { return QColor::fromRgbF(0.071f, 0.227f, 0.173f); }
QColor gold() { return QColor::fromRgbF(0.949f, 0.757f, 0.306f); }
QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, static_cast<float>(opacity)); }

QString css(const QColor& c) {
  return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF(), 0, 'f', 2);
}

namespace {

// The drawing in white, re-coloured: every painted pixel takes the colour,
// keeping its coverage (the drawings are single-coloured).
QPixmap tinted(const QString& file, const QColor& color, int size) {
  QSvgRenderer svg(file);
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  if (!svg.isValid()) return pm;
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  svg.render(&p);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(pm.rect(), color);
  return pm;
}

}  // namespace

QIcon symbol(const QString& name, const QColor& color) {
  registerIcons();
  static QHash<QString, QIcon> cache;
  const QString key = name + color.name(QColor::HexArgb);
  if (auto it = cache.find(key); it != cache.end()) return *it;
  const QString file = QStringLiteral(":/icons/%1.svg").arg(name);
  QIcon icon;
  // Drawn at the sizes the screens use, and twice that for dense screens.
  for (int size : {16, 20, 24, 32, 40, 48}) icon.addPixmap(tinted(file, color, size));
  cache.insert(key, icon);
  return icon;
}

QIcon appIcon() {
  registerIcons();
  static const QIcon icon(QStringLiteral(":/icons/quorvel.svg"));
  return icon;
}

QString styleSheet() {
  const QString m = css(malachite()), m2 = css(malachiteLight()), g = css(gold());
  return QStringLiteral(R"(
    QWidget#root, QStackedWidget#content, QWidget#screen { background: %1; }
    QWidget { color: white; }
    QSplitter::handle { background: %2; }
    QToolTip { color: white; background: %2; border: 1px solid %3; }
    QPushButton#prominent { background: %3; color: %1; border: 2px solid transparent; border-radius: 7px; font-weight: 600; }
    QPushButton#prominent:disabled { background: rgba(242,193,78,0.35); color: rgba(11,42,32,0.7); }
    QPushButton#prominent:pressed { background: rgba(242,193,78,0.8); }
    QPushButton#plain { background: rgba(255,255,255,0.10); color: white; border: 1px solid rgba(255,255,255,0.18);
                         border-radius: 6px; padding: 3px 10px; }
    QPushButton#plain:disabled { color: rgba(255,255,255,0.35); }
    QToolButton#action { color: rgba(255,255,255,0.85); border: none; background: transparent; padding: 2px 0; }
    QToolButton#action:hover { color: white; }
    QToolButton#capsule { border: 2px solid transparent; border-radius: 13px; padding: 3px 8px; background: %2; color: white; }
    QToolButton#capsule:checked { background: %3; color: %1; }
    QPlainTextEdit#message { background: %2; border: 1px solid transparent; border-radius: 10px; padding: 8px; color: white;
                             font-size: 14px; selection-background-color: %3; selection-color: %1; }
    QListWidget#docs { background: transparent; border: 1px solid transparent; border-radius: 10px; outline: none; }
    QListWidget#docs::item { padding: 2px 4px; }
    QListWidget#docs::item:selected { background: rgba(242,193,78,0.18); }
    QFrame#resultBox { border: 1px solid rgba(242,193,78,0.35); border-radius: 12px; }
    QScrollArea { background: transparent; border: none; }
    QScrollArea > QWidget > QWidget { background: transparent; }
    QComboBox { background: %2; border: 1px solid rgba(255,255,255,0.15); border-radius: 6px; padding: 3px 8px; color: white; }
    QComboBox::drop-down { border: none; width: 22px; }
    QComboBox::down-arrow { image: url(:/icons/chevron.down.svg); width: 11px; height: 11px; }
    QComboBox QAbstractItemView { background: %2; color: white; selection-background-color: %3; selection-color: %1; }
    QProgressBar { background: %2; border: none; border-radius: 4px; height: 8px; }
    QProgressBar::chunk { background: %3; border-radius: 4px; }
    QMenu { background: %2; color: white; border: 1px solid rgba(255,255,255,0.15); }
    QMenu::item:selected { background: %3; color: %1; }
    QPushButton#prominent:focus, QToolButton#capsule:checked:focus { border-color: white; }
    QPushButton#plain:focus, QComboBox:focus { border: 1px solid %3; }
    QToolButton#capsule:focus { border-color: %3; }
    QToolButton#action:focus { color: %3; text-decoration: underline; }
    QPlainTextEdit#message:focus { border: 1px solid %3; }
    QListWidget#docs:focus { border-color: rgba(242,193,78,0.6); }
  )")
      .arg(m, m2, g);
}

}  // namespace quorvel::app
