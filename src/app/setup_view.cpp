#include "setup_view.h"

#include <QVBoxLayout>

#include <quorvel/paths.h>

#include "app_model.h"
#include "shared_views.h"
#include "theme.h"

namespace quorvel::app {

// The screen top to bottom, each part a few lines.
SetupView::SetupView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* outer = screenColumn(this, 18, 14, 0);
  outer->addStretch(1);

  auto* column = new QVBoxLayout;
  column->setSpacing(18);
  column->setAlignment(Qt::AlignHCenter);

  auto* icon = new QLabel;
  icon->setPixmap(appIcon().pixmap(110, 110));
  icon->setFixedSize(110, 110);
  column->addWidget(icon, 0, Qt::AlignHCenter);

  auto* title = makeLabel(QStringLiteral("Quorvel"), 34, gold(), true);
  title->setAlignment(Qt::AlignCenter);
  column->addWidget(title, 0, Qt::AlignHCenter);

  auto* tagline = makeLabel(
      tr("A private AI for your hotel. Answers guests from your own documents. Nothing leaves this computer."),
      font::body, white(0.85));
  tagline->setWordWrap(true);
  tagline->setAlignment(Qt::AlignCenter);
  tagline->setFixedWidth(520);  // the window is never narrower than 900
  column->addWidget(tagline, 0, Qt::AlignHCenter);

  auto* note = makeLabel(tr("One-time download of free open models (~3 GB). After that it works without internet."),
                         font::callout, white(0.6));
  note->setAlignment(Qt::AlignCenter);
  column->addWidget(note, 0, Qt::AlignHCenter);
  // The models alone are not enough: the server program comes from the
  // system's packages.
  serverAdvice_ = makeLabel(EngineStatus::installServerAdvice(), font::callout, QColor(0xff, 0x9f, 0x0a));
  serverAdvice_->setAlignment(Qt::AlignCenter);
  serverAdvice_->setWordWrap(true);
  serverAdvice_->setFixedWidth(640);  // as the error line: wrapped whole, never widening the window
  column->addWidget(serverAdvice_, 0, Qt::AlignHCenter);

  // The action area: the button (and the red error line under it), or the
  // progress bar and the step line while a download runs.
  button_ = new QPushButton(symbol(QStringLiteral("arrow.down.circle.fill"), malachite()), tr("Install in one step"));
  button_->setObjectName(QStringLiteral("prominent"));
  button_->setIconSize(QSize(18, 18));
  button_->setStyleSheet(QStringLiteral("padding: 6px 14px; font-size: 15px;"));
  button_->setCursor(Qt::PointingHandCursor);
  column->addWidget(button_, 0, Qt::AlignHCenter);
  error_ = makeLabel({}, font::callout, QColor(0xff, 0x45, 0x3a));
  error_->setWordWrap(true);
  error_->setAlignment(Qt::AlignCenter);
  // A fixed width: a wrapping label centred in a column is otherwise given
  // one line's height and cut.
  error_->setFixedWidth(640);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(error_, 0, Qt::AlignHCenter);
  progress_ = new QProgressBar;
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  progress_->setFixedSize(380, 8);
  column->addWidget(progress_, 0, Qt::AlignHCenter);
  step_ = makeLabel({}, font::caption, white(0.7));
  column->addWidget(step_, 0, Qt::AlignHCenter);
  cancel_ = new QPushButton(tr("Cancel"));
  cancel_->setToolTip(tr("What has arrived is kept: the next install goes on from there."));
  column->addWidget(cancel_, 0, Qt::AlignHCenter);

  outer->addLayout(column);
  outer->addStretch(1);
  outer->addSpacing(10);
  outer->addWidget(new Footer);

  QObject::connect(button_, &QPushButton::clicked, this, [this] { model_.install(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { model_.cancelInstall(); });
  connect(&model_.setup(), &SetupState::changed, this, &SetupView::refresh);
  refresh();
}

void SetupView::refresh() {
  serverAdvice_->setVisible(!Paths::llamaServer());
  const auto progress = model_.setup().progress();
  button_->setVisible(!progress);
  error_->setVisible(!progress && !model_.setup().error().isEmpty());
  error_->setText(model_.setup().error());
  progress_->setVisible(progress.has_value());
  step_->setVisible(progress.has_value());
  cancel_->setVisible(progress.has_value());
  if (progress) {
    progress_->setValue(static_cast<int>(*progress * 1000));
    step_->setText(model_.setup().step());
  }
}

}  // namespace quorvel::app
