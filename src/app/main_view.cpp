#include "main_view.h"

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
  gaps_->back = [this](const QString& message) {
    if (!message.isEmpty()) ask_->messageEditor()->setPlainText(message);
    showReply();
  };
  setStretchFactor(0, 0);
  setStretchFactor(1, 1);
  setSizes({270, 770});
}

void MainView::showGaps() {
  right_->setCurrentWidget(gaps_);
  model_.findGaps();
}

void MainView::showReply() { right_->setCurrentWidget(ask_); }

}  // namespace quorvel::app
