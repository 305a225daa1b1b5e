#include "main_view.h"

#include "ask_panel.h"
#include "docs_panel.h"

namespace quorvel::app {

MainView::MainView(AppModel& model, QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
  setChildrenCollapsible(false);
  setHandleWidth(1);
  docs_ = new DocsPanel(model);
  docs_->setMinimumWidth(240);
  docs_->setMaximumWidth(340);
  ask_ = new AskPanel(model);
  ask_->setMinimumWidth(560);
  addWidget(docs_);
  addWidget(ask_);
  setStretchFactor(0, 0);
  setStretchFactor(1, 1);
  setSizes({270, 770});
}

}  // namespace quorvel::app
