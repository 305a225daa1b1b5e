// Small pieces the screens share: the status and privacy badge, the footer
// line, a spinner, and a dot of colour.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace quorvel::app {

class AppModel;

// A filled circle.
class Dot : public QWidget {
 public:
  explicit Dot(int diameter, QWidget* parent = nullptr);
  void setColor(const QColor& c);
  QSize sizeHint() const override { return {diameter_, diameter_}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int diameter_;
  QColor color_;
};

// A small spinning arc, shown while the core works.
class Spinner : public QWidget {
 public:
  explicit Spinner(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {16, 16}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  QTimer timer_;
  int angle_ = 0;
};

// The status line (dot and text), the network line and the reply model's
// title, at the bottom of the documents panel.
class PrivacyBadge : public QWidget {
  Q_OBJECT
 public:
  PrivacyBadge(AppModel& model, QWidget* parent = nullptr);
  void refresh();
  // "Start model", "Try again" or "Start again": shown while the engine is
  // stopped or failed and the models are there.
  QPushButton* startButton() const { return start_; }
  QLabel* statusLine() const { return status_; }


 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  // The height of the badge of a failed model at `width`: an error of four
  // lines (the taken port's, in Russian), its button and the longest advice.
  // The badge is never lower: what stands above it does not move when the
  // model fails or comes back.
  int roomForFailure(int width) const;
  void keepRoomForFailure();

  AppModel& model_;
  Dot* dot_;
  QLabel* status_;
  QPushButton* start_;
  QLabel* network_;
  QLabel* model_title_;
  QLabel* advice_;
};

// The footer: a short credit and the product's page.
class Footer : public QWidget {
 public:
  explicit Footer(QWidget* parent = nullptr);
};

// One line of text cut in its middle with "\u2026" where the space ends
// ("Price list for the … 2026.pdf"): the start and the extension stay
// readable. The whole text is the tooltip.
class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);
  const QString& fullText() const { return full_; }
  QSize minimumSizeHint() const override { return {20, QLabel::minimumSizeHint().height()}; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QString full_;
};

// A label in the given size, weight and colour.
// Makes `screen` a panel on the malachite background and gives it its
// column: `margins` on every side but `bottom` below, `spacing` between.
QVBoxLayout* screenColumn(QWidget* screen, int margins, int bottom, int spacing);

// Text sizes in pixels, after the desktop's usual type scale.
namespace font {
constexpr int caption2 = 10, caption = 11, subheadline = 11, callout = 12, body = 13, headline = 13, title2 = 17;
}

QLabel* makeLabel(const QString& text, int pixelSize, const QColor& color, bool bold = false,
                  QWidget* parent = nullptr);
// Gives `label` that size, weight and colour; returns it.
QLabel* styleLabel(QLabel* label, int pixelSize, const QColor& color, bool bold = false);

}  // namespace quorvel::app
