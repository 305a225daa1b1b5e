#include "core_worker.h"

#include <QMetaObject>
#include <QPointer>

namespace quorvel::app {

CoreWorker::CoreWorker() : context_(new QObject) {
  thread_.setObjectName(QStringLiteral("quorvel-core"));
  context_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_.start();
}

CoreWorker::~CoreWorker() {
  cancelled_ = true;
  thread_.quit();  // jobs not yet started are dropped with the event loop
  thread_.wait();
}

void CoreWorker::post(std::function<void()> job) {
  QMetaObject::invokeMethod(
      context_,
      [this, job = std::move(job)] {
        if (!cancelled_) job();
      },
      Qt::QueuedConnection);
}

void CoreWorker::reply(QObject* receiver, std::function<void()> job) {
  QMetaObject::invokeMethod(receiver, std::move(job), Qt::QueuedConnection);
}

void CoreWorker::checkCancelled() const {
  if (cancelled_) throw Cancelled{};
}

}  // namespace quorvel::app
