#include "messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace {

uint32_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The process's queue. Each message is taken out under the lock and handed on outside it, so
// that a handler may post or pump again.
class TMessageQueue {
 public:
  void Post(const win32::MSG& Msg) {
    std::lock_guard lock(FLock);
    bool wasEmpty = FMessages.empty();
    FMessages.push_back(Msg);
    FArrived.notify_all();
    // A feed that was woken for a message still queued will take this one with it.
    if (wasEmpty && FFeed.Wake != nullptr) FFeed.Wake(FFeed.Data);
  }

  std::optional<win32::MSG> Take() {
    std::lock_guard lock(FLock);
    if (FMessages.empty()) return std::nullopt;
    win32::MSG msg = FMessages.front();
    FMessages.pop_front();
    return msg;
  }

  bool Wait(int TimeoutMs) {
    std::unique_lock lock(FLock);
    auto queued = [this] { return !FMessages.empty(); };
    if (TimeoutMs < 0) {
      FArrived.wait(lock, queued);
      return true;
    }
    return FArrived.wait_for(lock, std::chrono::milliseconds(TimeoutMs), queued);
  }

  int Count() const {
    std::lock_guard lock(FLock);
    return static_cast<int>(FMessages.size());
  }

  void SetFeed(TMessageFeed Feed) {
    std::lock_guard lock(FLock);
    FFeed = Feed;
    if (!FMessages.empty() && FFeed.Wake != nullptr) FFeed.Wake(FFeed.Data);
  }

 private:
  mutable std::mutex FLock;
  std::condition_variable FArrived;
  std::deque<win32::MSG> FMessages;
  TMessageFeed FFeed;
};

TMessageQueue& Queue() {
  static TMessageQueue queue;
  return queue;
}

TMessageEvent Handler;

}  // namespace

namespace win32 {

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr) return false;
  MSG msg;
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = NowMs();
  Queue().Post(msg);
  return true;
}

}  // namespace win32

win32::HWND TApplication::Handle() const {
  return const_cast<TApplication*>(this);
}

TMessageEvent TApplication::OnMessage() const {
  return Handler;
}

void TApplication::SetOnMessage(TMessageEvent NewHandler) {
  Handler = NewHandler;
}

int TApplication::ProcessMessages() {
  int count = 0;
  while (std::optional<win32::MSG> msg = Queue().Take()) {
    ++count;
    bool handled = false;
    Handler(*msg, handled);
  }
  return count;
}

bool TApplication::WaitMessage(int TimeoutMs) {
  return Queue().Wait(TimeoutMs);
}

int TApplication::QueuedMessages() const {
  return Queue().Count();
}

void TApplication::SetMessageFeed(TMessageFeed Feed) {
  Queue().SetFeed(Feed);
}

TApplication& Application() {
  static TApplication application;
  return application;
}
