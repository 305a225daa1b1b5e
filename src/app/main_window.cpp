#include "main_window.h"

#include <QCloseEvent>
#include <QSettings>
#include <QVBoxLayout>

#include "app_model.h"
#include "content_view.h"
#include "theme.h"

namespace quorvel::app {

MainWindow::MainWindow(AppModel& model) {
  setObjectName(QStringLiteral("root"));
  setAttribute(Qt::WA_StyledBackground);
  setWindowTitle(QStringLiteral("Quorvel"));
  setWindowIcon(appIcon());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  content_ = new ContentView(model);
  layout->addWidget(content_);
  resize(1040, 700);
  const QSettings settings;
  if (settings.contains(QStringLiteral("window/geometry")))
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
}

void MainWindow::present() {
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

MainWindow::~MainWindow() { remember(); }

void MainWindow::remember() {
  if (isVisible()) QSettings().setValue(QStringLiteral("window/geometry"), saveGeometry());
}

void MainWindow::closeEvent(QCloseEvent* e) {
  remember();
  QWidget::closeEvent(e);
}

bool MainWindow::snapshot(const QString& file) {
  // A window that was never shown has no layout yet: lay it out off screen.
  const bool hidden = !isVisible();
  if (hidden) {
    setAttribute(Qt::WA_DontShowOnScreen, true);
    show();
  }
  const bool ok = grab().save(file, "PNG");
  if (hidden) {
    hide();
    setAttribute(Qt::WA_DontShowOnScreen, false);
  }
  return ok;
}

}  // namespace quorvel::app
