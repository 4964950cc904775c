#include "synchronize.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <exception>

#include "exception.h"

namespace {
const char kClosed[] = "The main thread takes no more calls";
}

TSynchronizer::TSynchronizer() : FContext(std::make_unique<QObject>()) {}

TSynchronizer::~TSynchronizer() {
  Close();
}

void TSynchronizer::Synchronize(const std::function<void()>& Step) {
  if (QThread::currentThread() == FContext->thread()) {
    Step();
    return;
  }
  {
    std::lock_guard lock(FLock);
    if (FClosed) throw Exception(kClosed);
    ++FWaiting;
  }
  bool ran = false;
  std::exception_ptr failure;
  // A call event removed unrun (Close) releases its waiting thread as it is destroyed.
  QMetaObject::invokeMethod(
      FContext.get(),
      [&] {
        ran = true;
        try {
          Step();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  {
    std::lock_guard lock(FLock);
    --FWaiting;
  }
  FReleased.notify_all();
  if (!ran) throw Exception(kClosed);
  if (failure) std::rethrow_exception(failure);
}

void TSynchronizer::Close() {
  std::unique_lock lock(FLock);
  FClosed = true;
  while (FWaiting > 0) {
    // A waiting thread may be about to post its call: remove what has arrived, then look again.
    lock.unlock();
    QCoreApplication::removePostedEvents(FContext.get(), QEvent::MetaCall);
    lock.lock();
    FReleased.wait_for(lock, std::chrono::milliseconds(2), [this] { return FWaiting == 0; });
  }
}
