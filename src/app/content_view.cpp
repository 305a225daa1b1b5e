#include "content_view.h"

#include "app_model.h"
#include "ask_panel.h"
#include "docs_panel.h"
#include "setup_view.h"

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

ContentView::ContentView(AppModel& model, QWidget* parent) : QStackedWidget(parent), model_(model) {
  setObjectName(QStringLiteral("content"));
  setMinimumSize(900, 600);
  setup_ = new SetupView(model);
  main_ = new MainView(model);
  addWidget(setup_);
  addWidget(main_);
  // Which screen shows depends on the model files on disk: looked at when
  // the setup, the engine or the documents change, never for a reply's
  // streamed pieces.
  for (auto changed : {&AppModel::setupChanged, &AppModel::engineChanged, &AppModel::documentsChanged})
    connect(&model, changed, this, &ContentView::refresh);
  refresh();
}

void ContentView::refresh() {
  // Looked up on disk each time: a model file deleted meanwhile sends the
  // window back to the setup screen.
  ++refreshes_;
  setCurrentWidget(AppModel::modelsReady() ? static_cast<QWidget*>(main_) : setup_);
}

}  // namespace quorvel::app
