#include "content_view.h"

#include "app_model.h"
#include "main_view.h"
#include "setup_view.h"

namespace quorvel::app {

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
  connect(&model.setup(), &SetupState::changed, this, &ContentView::refresh);
  connect(&model.status(), &EngineStatus::changed, this, &ContentView::refresh);
  connect(&model.documents(), &DocumentsState::changed, this, &ContentView::refresh);
  refresh();
}

void ContentView::refresh() {
  // Looked up on disk each time: a model file deleted meanwhile sends the
  // window back to the setup screen.
  ++refreshes_;
  setCurrentWidget(EngineStatus::modelsReady() ? static_cast<QWidget*>(main_) : setup_);
}

}  // namespace quorvel::app
