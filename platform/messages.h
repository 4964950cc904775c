// Window messages of the process, as the TWAIN Source Manager and the applications and data
// sources on both sides of it use them: a MSG record, PostMessage to a window handle, the
// application object's message handler (Application().OnMessage()), and the delivery of the
// queued messages to that handler.
//
// There is one queue for the whole process, as the window system keeps one for a GUI thread:
// this layer is a shared library of its own, so that every module of the process (the host
// program, TWAIN_32.DLL, each data source) posts to and pumps the same queue. Messages are
// delivered on the thread that pumps:
// - in a Qt program, through the Qt event loop (InstallQtMessageFeed, qtmessagefeed.h);
// - in a program without one, by calling Application().ProcessMessages() (and
//   Application().WaitMessage() to sleep until something is posted).
// A message that the handler does not take is dropped: there are no window procedures.
#pragma once

#include <cstdint>

namespace win32 {

using HWND = void*;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;

struct POINT {
  int32_t x = 0;
  int32_t y = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t time = 0;  // milliseconds of a steady clock when it was posted
  POINT pt;
};

// The message that carries nothing; posted to make a pumping program look at its sources.
inline constexpr UINT WM_NULL = 0x0000;

// Queues a message for the window and wakes the pump. Safe from any thread. Returns false
// only for a null window.
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32

// The application object's message handler: a function with the data it was installed with,
// compared as a pair, so that a component can tell whether its own handler is installed, save
// the one it displaces, chain to it and put it back.
struct TMessageEvent {
  using TCode = void (*)(void* Data, win32::MSG& Msg, bool& Handled);
  TCode Code = nullptr;
  void* Data = nullptr;

  explicit operator bool() const { return Code != nullptr; }
  void operator()(win32::MSG& Msg, bool& Handled) const {
    if (Code != nullptr) Code(Data, Msg, Handled);
  }
  friend bool operator==(const TMessageEvent&, const TMessageEvent&) = default;
};

// What the pump calls when a message arrives on an empty queue; installed by a program's event
// loop (the Qt feed). Called from the posting thread, so it must be safe from any thread; it
// must arrange for Application().ProcessMessages() to run on the pumping thread.
struct TMessageFeed {
  using TWake = void (*)(void* Data);
  TWake Wake = nullptr;
  void* Data = nullptr;
};

class TApplication {
 public:
  // The application object's own window: the parent of a program's TWAIN sessions when it
  // has no window of its own.
  win32::HWND Handle() const;

  // Read and written on the pumping thread only.
  TMessageEvent OnMessage() const;
  void SetOnMessage(TMessageEvent Handler);

  // Hands every queued message, oldest first, to OnMessage, also those posted meanwhile;
  // returns how many there were. Re-entrant: a handler may pump again.
  int ProcessMessages();
  // Waits until a message is queued or the time (milliseconds, -1 forever) has passed;
  // true when one is queued.
  bool WaitMessage(int TimeoutMs);
  // Messages waiting in the queue.
  int QueuedMessages() const;

  // Installs the feed (Wake null removes it). When messages are already waiting, the new
  // feed is woken at once.
  void SetMessageFeed(TMessageFeed Feed);
};

TApplication& Application();
