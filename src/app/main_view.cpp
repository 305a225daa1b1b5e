#include "main_view.h"

#include <QPlainTextEdit>

#include "app_model.h"
#include "ask_panel.h"
#include "docs_panel.h"
#include "gaps_panel.h"

namespace quorvel::app {

MainView::MainView(AppModel& model, QWidget* parent) : QSplitter(Qt::Horizontal, parent), model_(model) {
  setChildrenCollapsible(false);
  setHandleWidth(1);
  docs_ = new DocsPanel(model);
  docs_->setMinimumWidth(240);
  docs_->setMaximumWidth(340);
  ask_ = new AskPanel(model);
  gaps_ = new GapsPanel(model);
  right_ = new QStackedWidget;
  right_->setMinimumWidth(560);
  right_->addWidget(ask_);
  right_->addWidget(gaps_);
  addWidget(docs_);
  addWidget(right_);
  docs_->showGaps = [this] { showGaps(); };
  // "Ask it again" writes the reply to the question, as to a guest's
  // message, rather than only putting it in the box.
  gaps_->back = [this](const QString& message) {
    showReply();
    if (message.isEmpty()) return;
    model_.reply().setReplyTemplate(nullptr);
    model_.reply().setGuestText(message);
    model_.ask();
  };
  setStretchFactor(0, 0);
  setStretchFactor(1, 1);
  setSizes({270, 770});
}

void MainView::showEvent(QShowEvent* e) {
  QSplitter::showEvent(e);
  // The receptionist's first act is pasting a guest's message: the focus
  // starts there, not in the documents list.
  if (right_->currentWidget() == ask_) ask_->messageEditor()->setFocus(Qt::OtherFocusReason);
}

void MainView::showGaps() {
  right_->setCurrentWidget(gaps_);
  model_.findGaps();
}

void MainView::showReply() { right_->setCurrentWidget(ask_); }

}  // namespace quorvel::app
