// The scan server's tests: a test window that serves small generated pages, the server on a
// free port over it, and the measures of what the process holds.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "ScanServer.h"
#include "pagegen.h"
#include "streams.h"
#include "testclient.h"

using namespace std::chrono_literals;

inline QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "scanserver_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

inline std::unique_ptr<TDIB> SmallPage(uint32_t Seed) {
  TPageOptions o;
  o.Width = 120;
  o.Height = 90;
  o.DPI = 100;
  o.Margin = 10;
  o.Seed = Seed;
  return MakeReferencePage(o);
}

inline TBytes BmpImage(TDIB& Page) {
  TMemoryStream s;
  Page.SaveToStream(s);
  return TBytes(reinterpret_cast<const char*>(s.Memory()), s.Size());
}

// The main window of the tests: a queue of pages, a log, the two settings. Runs on the main
// thread only, as the server promises.
class TTestWindow : public TServerWindow {
 public:
  std::deque<std::unique_ptr<TDIB>> Pages;
  std::vector<uint8_t> Flags;  // QCFailed of each page in turn
  std::unique_ptr<TDIB> Original;
  std::vector<std::string> Lines;
  std::vector<std::string> Calls;
  std::map<std::string, std::unique_ptr<TDIB>> Lent;  // pages served, by their Served.Path
  int Taken = 0;
  TScanRequest Started{};
  bool Share = true;
  std::atomic<bool> HoldPending = false;
  std::atomic<bool> HoldNext = false;
  bool RaiseOnStart = false;

  void StartScan(const TScanRequest& Request) override {
    Calls.push_back("StartScan");
    if (RaiseOnStart) throw Exception("Cannot save test page");
    Started = Request;
  }
  void StopScan() override { Calls.push_back("StopScan"); }
  win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed, TServedPage& Served) override {
    Calls.push_back("NextProcessedPage");
    while (HoldNext) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (Pages.empty()) return nullptr;
    std::unique_ptr<TDIB> page = std::move(Pages.front());
    Pages.pop_front();
    Served.Path = std::to_string(++Taken);
    Lent[Served.Path] = page->Duplicate();
    QCFailed = Flags.empty() ? 0 : Flags.front();
    if (!Flags.empty()) Flags.erase(Flags.begin());
    Original = page->Duplicate();
    page->SetOwnsHandle(false);
    return page->GetHandle();
  }
  // The page goes back to the front, as the main window puts it back.
  void ReturnPage(const TServedPage& Served) override {
    Calls.push_back("ReturnPage");
    Pages.push_front(std::move(Lent.at(Served.Path)));
  }
  win32::HGLOBAL OriginalPage() override {
    Calls.push_back("OriginalPage");
    if (!Original) return nullptr;
    auto copy = Original->Duplicate();
    copy->SetOwnsHandle(false);
    return copy->GetHandle();
  }
  int32_t PendingCount() override {
    Calls.push_back("PendingCount");
    // Waits as the window waits for pages: letting events run.
    while (HoldPending) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return Pages.empty() ? 0 : -1;
  }
  void Log(const std::string& Text) override { Lines.push_back(Text); }
  bool ShareLocalScanner() override { return Share; }
  int32_t LocalPort() override { return 0; }
};

class ScanServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ServerPtr = std::make_unique<TScanServer>(Window, Limits);
    ServerPtr->Activate();
    Port = ServerPtr->Port();
  }
  // Runs the client's talk on a thread of its own while the main thread runs the window.
  void Talk(const std::function<void()>& Client) {
    std::atomic<bool> done = false;
    std::thread t([&] {
      Client();
      done = true;
    });
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    t.join();
  }
  // Lets the main thread run for a while, for steps of threads that no client waits for.
  void Pump(std::chrono::milliseconds For) {
    auto end = std::chrono::steady_clock::now() + For;
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
  void AddPages(int Count) {
    for (int i = 0; i < Count; ++i) Window.Pages.push_back(SmallPage(i + 1));
  }

  TTestWindow Window;
  TServerLimits Limits;  // set by a fixture's constructor, before SetUp
  std::unique_ptr<TScanServer> ServerPtr;
  uint16_t Port = 0;
};

inline size_t ThreadCount() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

inline size_t DescriptorCount() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's count of the bytes allocated and not yet freed.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// The memory that the process holds, in MB: its resident pages; with the address sanitizer,
// whose quarantine keeps freed blocks resident for a while, the bytes allocated and not freed.
inline double HeldMB() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<double>(__sanitizer_get_current_allocated_bytes()) / 1048576.0;
#else
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
#endif
}

inline std::unique_ptr<TDIB> BigPage() {
  TPageOptions o;
  o.Width = 2000;
  o.Height = 2000;
  o.PixelType = pt24bit;
  return MakeReferencePage(o);
}
