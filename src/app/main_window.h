// The main window: the content view on malachite, its size and place
// remembered, and its picture for --snapshot.
#pragma once

#include <QString>
#include <QWidget>

namespace quorvel::app {

class AppModel;
class ContentView;

class MainWindow : public QWidget {
 public:
  explicit MainWindow(AppModel& model);
  ~MainWindow() override;
  ContentView* content() const { return content_; }
  // Shows the window and brings it to the front.
  void present();
  // Writes the window as it is drawn to `file` (PNG); false on failure.
  bool snapshot(const QString& file);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void remember();  // the place and size, for the next start
  ContentView* content_;
};

}  // namespace quorvel::app
