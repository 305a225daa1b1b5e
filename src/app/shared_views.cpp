#include "shared_views.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include <quorvel/engine.h>

#include "app_model.h"
#include "theme.h"

namespace quorvel::app {

QVBoxLayout* screenColumn(QWidget* screen, int margins, int bottom, int spacing) {
  screen->setObjectName(QStringLiteral("screen"));  // the style sheet paints it malachite
  screen->setAttribute(Qt::WA_StyledBackground);
  auto* column = new QVBoxLayout(screen);
  column->setContentsMargins(margins, margins, margins, bottom);
  column->setSpacing(spacing);
  return column;
}

QLabel* styleLabel(QLabel* l, int pixelSize, const QColor& color, bool bold) {
  QFont f = l->font();
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  l->setFont(f);
  l->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(css(color)));
  return l;
}

QLabel* makeLabel(const QString& text, int pixelSize, const QColor& color, bool bold, QWidget* parent) {
  return styleLabel(new QLabel(text, parent), pixelSize, color, bold);
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent), full_(text) {
  setToolTip(text);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::resizeEvent(QResizeEvent* e) {
  QLabel::resizeEvent(e);
  const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width());
  if (shown != text()) setText(shown);
}

Dot::Dot(int diameter, QWidget* parent) : QWidget(parent), diameter_(diameter) { setFixedSize(diameter, diameter); }

void Dot::setColor(const QColor& c) {
  color_ = c;
  update();
}

void Dot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(color_);
  p.drawEllipse(rect());
}

Spinner::Spinner(QWidget* parent) : QWidget(parent) {
  setFixedSize(16, 16);
  timer_.setInterval(60);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] {
    angle_ = (angle_ + 30) % 360;
    update();
  });
}

void Spinner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(white(0.25), 2));
  const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
  p.drawEllipse(r);
  p.setPen(QPen(gold(), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(r, -angle_ * 16, 100 * 16);
}

void Spinner::showEvent(QShowEvent*) { timer_.start(); }
void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

PrivacyBadge::PrivacyBadge(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addStretch(1);  // the lines sit at the bottom of the room kept for a failure
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  dot_ = new Dot(9);
  // An engine error is shown whole, and can be selected to be passed on.
  status_ = makeLabel({}, font::caption, white(0.85));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  row->addWidget(dot_, 0, Qt::AlignTop);
  row->addWidget(status_, 1);
  column->addLayout(row);
  start_ = new QPushButton(symbol(QStringLiteral("play.circle")), QString());
  start_->setObjectName(QStringLiteral("plain"));
  start_->setCursor(Qt::PointingHandCursor);
  QObject::connect(start_, &QPushButton::clicked, this, [this] { model_.startEngine(); });
  column->addWidget(start_, 0, Qt::AlignLeft);
  network_ = makeLabel(tr("Network: this computer only (127.0.0.1)"), font::caption2, white(0.55));
  column->addWidget(network_);
  model_title_ = makeLabel({}, font::caption2, white(0.55));
  column->addWidget(model_title_);
  advice_ = makeLabel({}, font::caption, QColor(0xff, 0x9f, 0x0a));
  advice_->setWordWrap(true);
  advice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(advice_);
  refresh();
}

int PrivacyBadge::roomForFailure(int width) const {
  const int spacing = layout()->spacing();
  const int text = std::max(width - dot_->width() - 6, 40);
  const auto wrapped = [&](const QLabel* label, const QString& words) {
    return label->fontMetrics().boundingRect(QRect(0, 0, text, 100000), Qt::TextWordWrap, words).height();
  };
  // The longest advice but the one for a missing server, which is for
  // whoever sets Quorvel up and stands on a screen with little else.
  int advice = 0;
  for (auto problem : {Engine::Problem::damaged, Engine::Problem::noModel, Engine::Problem::serverStopped,
                       Engine::Problem::didNotStart, Engine::Problem::portTaken, Engine::Problem::noKey})
    advice = std::max(advice, wrapped(advice_, EngineStatus::adviceFor(problem)));
  return 4 * status_->fontMetrics().lineSpacing() + start_->sizeHint().height() +
         2 * network_->fontMetrics().lineSpacing() + advice + 4 * spacing + spacing;  // and a little spare
}

void PrivacyBadge::keepRoomForFailure() {
  const int room = roomForFailure(width());
  if (minimumHeight() != room) setMinimumHeight(room);
}

void PrivacyBadge::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  keepRoomForFailure();
}

void PrivacyBadge::refresh() {
  dot_->setColor(model_.status().color());
  status_->setText(model_.status().text());
  const Engine::State& engine = model_.status().state();
  start_->setVisible(model_.status().canStart());
  start_->setText(engine.kind == Engine::State::Kind::stopped        ? tr("Start model")
                  : engine.problem == Engine::Problem::serverStopped ? tr("Start again")
                                                                     : tr("Try again"));
  model_title_->setText(QString::fromStdString(Engine::chatModelTitle()));
  advice_->setText(model_.status().advice());
  advice_->setVisible(!advice_->text().isEmpty());
  keepRoomForFailure();  // the language may have changed
}

Footer::Footer(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addStretch(1);
  row->addWidget(
      makeLabel(PrivacyBadge::tr("Made for small hotels \u00B7 runs on this computer"), font::caption, white(0.5)));
  auto* link = makeLabel(
      QStringLiteral("<a href=\"https://quorvel.app\" style=\"color:%1; text-decoration:none;\">quorvel.app</a>")
          .arg(gold().name()),
      font::caption, gold());
  link->setOpenExternalLinks(true);
  link->setTextFormat(Qt::RichText);
  row->addWidget(link);
}

}  // namespace quorvel::app
