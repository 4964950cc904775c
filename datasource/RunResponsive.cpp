#include "RunResponsive.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

namespace {

// How often the event loop looks whether the step has ended.
constexpr int kLookMs = 10;

}  // namespace

void RunResponsive(const std::function<void()>& Step) {
  std::atomic<bool> done = false;
  std::exception_ptr raised;
  std::thread worker([&] {
    try {
      Step();
    } catch (...) {
      raised = std::current_exception();
    }
    done = true;
  });
  QEventLoop loop;
  QTimer look;
  look.setInterval(kLookMs);
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (done) loop.quit();
  });
  look.start();
  if (!done) loop.exec();
  worker.join();
  if (raised) std::rethrow_exception(raised);
}
