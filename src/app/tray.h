// The tray item: the app's symbol with a dot in the status colour, and a
// menu rebuilt each time it opens. Also what the menu's picture is drawn
// from (--snapshot writes menu.png).
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSystemTrayIcon;

namespace quorvel::app {

class AppModel;

// One row of the menu's picture.
struct MenuRow {
  bool separator = false;
  QString title;
  QString symbol;  // the symbol's name, "" for none
  bool enabled = true;
  std::optional<QColor> dot;  // the status row's coloured dot
};

// What the tray's menu actions do; the app fills it in.
struct TrayActions {
  std::function<void()> open, clip, addDocs, addTemplates, folder, reindex, gaps, toggle, clearHistory, forgetGuest,
      quit;
  // Keep the history for this many days (0: all).
  std::function<void(int days)> keepHistory;
};

// "30 days", "1 year", "Keep all": a retention period as the menus name it.
QString retentionName(int days);
// Fills `menu` with the retention periods to choose from (what it held
// goes), the one in force (Retention::days()) checked; `choose` gets the one
// picked.
void fillRetentionChoices(QMenu& menu, const std::function<void(int days)>& choose);

class Tray : public QObject {
  Q_OBJECT
 public:
  Tray(AppModel& model, TrayActions actions);
  ~Tray() override;

  // Whether the desktop shows tray items at all; without one the window and
  // its menus carry everything.
  bool available() const { return icon_ != nullptr; }
  // The icon, its dot and the tooltip, from the model's state now.
  void refreshStatus();
  // Fills `menu` with the 20 rows of this moment.
  void fill(QMenu& menu);
  // The rows `fill` makes, for the picture and the tests.
  std::vector<MenuRow> rows();
  // Opens the menu (as a click on the item would).
  void openMenu();
  // A desktop notification: through the desktop's service, else the tray's
  // balloon.
  void notify(const QString& title, const QString& text);

  // The tray's picture: the symbol with a dot of the status colour.
  static QIcon statusIcon(const QColor& dot);
  // The menu's picture: the tray item and under it the menu panel, at
  // twice the size.
  static QImage preview(const std::vector<MenuRow>& rows, const QColor& dot);

 private:
  AppModel& model_;
  TrayActions actions_;
  std::unique_ptr<QMenu> menu_;
  QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace quorvel::app
