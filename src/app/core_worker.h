// The one thread on which the app does the core's long work: downloads,
// engine starts, re-reads and replies. The GUI thread hands it jobs and gets
// results back by queued calls, so the window never waits for the core.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

namespace quorvel::app {

// Thrown from the core's progress and token callbacks once the app is
// quitting: the download, re-read or reply under way ends early.
struct Cancelled {};

class CoreWorker : public QObject {
  Q_OBJECT
 public:
  CoreWorker();
  // Stops taking jobs, asks the one under way to end, and waits for the
  // thread. Called before anything the jobs report to is destroyed.
  ~CoreWorker() override;

  // Runs `job` on the worker thread after the jobs posted before it.
  void post(std::function<void()> job);
  // Runs `job` on the thread of `receiver` (queued), unless the receiver
  // has gone meanwhile. Safe from any thread.
  static void reply(QObject* receiver, std::function<void()> job);

  // For callbacks inside a job: throws Cancelled once quitting.
  void checkCancelled() const;
  bool cancelled() const { return cancelled_.load(); }

 private:
  QThread thread_;
  QObject* context_;  // lives on thread_: jobs run in its thread
  std::atomic<bool> cancelled_{false};
};

}  // namespace quorvel::app
