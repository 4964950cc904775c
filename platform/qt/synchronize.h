// The synchronous call from a worker thread to the main thread: the worker hands over a step
// and waits while the main thread's event loop runs it.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

class TSynchronizer {
 public:
  // Made on the main thread; its steps run in that thread's event loop.
  TSynchronizer();
  ~TSynchronizer();
  TSynchronizer(const TSynchronizer&) = delete;
  TSynchronizer& operator=(const TSynchronizer&) = delete;

  // Runs Step on the main thread and returns once it has run; what Step raised is raised
  // again here. Raises Exception when the synchronizer is closed, also when it closes while
  // the call waits. On the main thread itself Step runs at once.
  void Synchronize(const std::function<void()>& Step);

  // On the main thread, never inside a step: refuses every later call and releases every
  // waiting one without running its step.
  void Close();

 private:
  std::unique_ptr<QObject> FContext;
  std::mutex FLock;
  std::condition_variable FReleased;
  int FWaiting = 0;
  bool FClosed = false;
};
