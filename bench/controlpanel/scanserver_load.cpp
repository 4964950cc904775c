// Load of the scan server, run by hand (not a test): clients on loopback ask for pages at once
// for a while from a window that hands out numbered copies of the reference page. Checks that
// no page is lost or served twice, and prints pages per second, the time per page that the
// protocol adds above the window's own, and the resident memory over the run.
//   scanserver_load [CLIENTS=16] [SECONDS=60] [window]
// With "window" the pages come from the control panel's main window with the test scanner: a
// scanner that never runs out keeps its page cache filled with numbered pages, which the window
// serves as the request asks (PixelType 5: as cached, so that the number survives) through its
// cache, its wait for pages and its quality check.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "TLogView.h"

#include "ScanServer.h"
#include "TFinestraPrincipale.h"
#include "pagegen.h"

namespace {

using Clock = std::chrono::steady_clock;

// A window that counts the pages it serves and the time it spends serving them.
class TCountingWindow : public TServerWindow {
 public:
  uint32_t FServed = 0;
  Clock::duration FOwnTime{};
};

// The window of a scanner that never runs out: each page is the reference page with its
// serial number in its first pixel bytes.
class TLoadWindow : public TCountingWindow {
 public:
  explicit TLoadWindow(std::unique_ptr<TDIB> Page) : FPage(std::move(Page)) {}
  void StartScan(const TScanRequest&) override {}
  void StopScan() override {}
  win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed, TServedPage&) override {
    auto start = Clock::now();
    std::unique_ptr<TDIB> page = FPage->Duplicate();
    std::memcpy(page->Bits(), &FServed, sizeof FServed);
    ++FServed;
    QCFailed = 0;
    page->SetOwnsHandle(false);
    FOwnTime += Clock::now() - start;
    return page->GetHandle();
  }
  void ReturnPage(const TServedPage&) override {}
  win32::HGLOBAL OriginalPage() override { return nullptr; }
  int32_t PendingCount() override { return -1; }
  void Log(const std::string& Text) override { std::fprintf(stderr, "log: %s\n", Text.c_str()); }
  bool ShareLocalScanner() override { return true; }
  int32_t LocalPort() override { return 0; }

 private:
  std::unique_ptr<TDIB> FPage;
};

// The main window, as the server sees it, with a scanner that keeps a few numbered pages in
// its cache; the time of the window's NextProcessedPage is its own.
class TMainWindowLoad : public TCountingWindow {
 public:
  explicit TMainWindowLoad(std::unique_ptr<TDIB> Page) : FPage(std::move(Page)) {
    qputenv("CLARIVO_CONFIG_DIR", FConfig.path().toUtf8());
    TControlPanelServices services;
    services.ProgramDir = FProgram.path();
    FWindow = std::make_unique<TFinestraPrincipale>(services);
    TScanRequest request{};
    request.ImageCount = -1;
    request.XResolution = request.YResolution = 300;
    request.PageWidth = request.PageHeight = 1;
    request.PixelType = 5;
    FWindow->StartScan(request);
    FWindow->PageCache.Reset();
  }
  void StartScan(const TScanRequest&) override {}
  void StopScan() override {}
  win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed, TServedPage& Served) override {
    while (FWindow->PageCache.PendingPages.size() < 4) Scan();
    auto start = Clock::now();
    win32::HGLOBAL page = FWindow->NextProcessedPage(QCFailed, Served);
    FOwnTime += Clock::now() - start;
    ++FServed;
    // The log page would grow for ever; a user's log is read, this one is not.
    FWindow->MemoLog->clear();
    return page;
  }
  void ReturnPage(const TServedPage& Served) override { FWindow->ReturnPage(Served); }
  win32::HGLOBAL OriginalPage() override { return FWindow->OriginalPage(); }
  int32_t PendingCount() override { return FWindow->PendingCount(); }
  void Log(const std::string& Text) override { FWindow->Log(Text); }
  bool ShareLocalScanner() override { return true; }
  int32_t LocalPort() override { return 0; }

 private:
  // One page arrives: numbered in order, saved in the cache as the scanner's pages are.
  void Scan() {
    std::memcpy(FPage->Bits(), &FScanned, sizeof FScanned);
    ++FScanned;
    std::string name = FWindow->PageCache.NewFileName(std::time(nullptr));
    FPage->SaveToFile(name);
    FWindow->PageCache.Append(name);
  }

  QTemporaryDir FConfig, FProgram;
  std::unique_ptr<TFinestraPrincipale> FWindow;
  std::unique_ptr<TDIB> FPage;
  uint32_t FScanned = 0;
};

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool ReadAll(int Handle, char* Data, size_t Count) {
  while (Count > 0) {
    ssize_t n = recv(Handle, Data, Count, 0);
    if (n <= 0) return false;
    Data += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

struct TClientResult {
  std::vector<uint32_t> Serials;
  Clock::duration Waiting{};
  bool Failed = false;
};

// One client: CMD_GET_PAGE requests, one at a time, until the end time.
void RunClient(uint16_t Port, Clock::time_point End, TClientResult& Result) {
  int handle = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(Port);
  inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  if (connect(handle, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    Result.Failed = true;
    close(handle);
    return;
  }
  char request[520] = {};
  int32_t total = 520, command = 2;
  std::memcpy(request, &total, 4);
  std::memcpy(request + 516, &command, 4);
  std::vector<char> reply;
  while (Clock::now() < End) {
    auto start = Clock::now();
    char head[9];
    if (send(handle, request, sizeof request, MSG_NOSIGNAL) != sizeof request ||
        !ReadAll(handle, head, 9)) {
      Result.Failed = true;
      break;
    }
    int32_t size;
    std::memcpy(&size, head + 5, 4);
    reply.resize(size);
    if (size < 14 + 40 || !ReadAll(handle, reply.data(), size)) {
      Result.Failed = true;
      break;
    }
    Result.Waiting += Clock::now() - start;
    uint32_t offBits;
    std::memcpy(&offBits, reply.data() + 10, 4);
    uint32_t serial;
    std::memcpy(&serial, reply.data() + offBits, 4);
    Result.Serials.push_back(serial);
  }
  close(handle);
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Runs Clients clients for Seconds; returns false when a page was lost or doubled.
bool Run(TCountingWindow& Window, TScanServer& Server, int Clients, int Seconds) {
  uint32_t firstSerial = Window.FServed;
  Clock::duration ownBefore = Window.FOwnTime;
  std::vector<TClientResult> results(Clients);
  std::vector<std::thread> threads;
  auto start = Clock::now();
  auto end = start + std::chrono::seconds(Seconds);
  std::atomic<int> running = Clients;
  for (int i = 0; i < Clients; ++i) {
    threads.emplace_back([&, i] {
      RunClient(Server.Port(), end, results[i]);
      --running;
    });
  }
  long rssStart = -1, rssPeak = 0;
  auto nextSample = start + std::chrono::seconds(std::min(Seconds, 5));
  while (running > 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (Clock::now() >= nextSample) {
      long rss = ResidentKiB();
      if (rssStart < 0) rssStart = rss;
      rssPeak = std::max(rssPeak, rss);
      nextSample += std::chrono::seconds(5);
    }
  }
  for (std::thread& t : threads) t.join();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  std::multiset<uint32_t> got;
  Clock::duration waiting{};
  bool failed = false;
  for (TClientResult& r : results) {
    got.insert(r.Serials.begin(), r.Serials.end());
    waiting += r.Waiting;
    failed |= r.Failed;
  }
  uint32_t served = Window.FServed - firstSerial;
  std::set<uint32_t> distinct(got.begin(), got.end());
  // The last request of each client may be served after the client stopped reading: at most
  // one page per client is served and never received.
  bool sound = !failed && distinct.size() == got.size() && got.size() <= served &&
               served - got.size() <= static_cast<uint32_t>(Clients) &&
               (got.empty() || (*got.begin() >= firstSerial && *got.rbegin() < Window.FServed));
  double perPage = got.empty() ? 0 : Ms(waiting) / got.size();
  double ownPerPage = served == 0 ? 0 : Ms(Window.FOwnTime - ownBefore) / served;
  std::printf(
      "%2d clients, %4.1f s: %zu pages, %.1f pages/s; per page: %.2f ms round trip, %.2f ms in "
      "the window, %.2f ms added by the protocol; RSS %ld KiB after 5 s, peak %ld KiB, end %ld "
      "KiB; %s\n",
      Clients, seconds, got.size(), got.size() / seconds, perPage, ownPerPage, perPage - ownPerPage,
      rssStart, rssPeak, ResidentKiB(),
      sound ? "no page lost or doubled" : "PAGES LOST OR DOUBLED");
  return sound;
}

}  // namespace

int main(int argc, char** argv) {
  int clients = argc > 1 ? std::atoi(argv[1]) : 16;
  int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  bool mainWindow = argc > 3 && std::strcmp(argv[3], "window") == 0;
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The served page as the pipeline leaves it for a black-and-white request: A4 at 300 dpi.
  std::unique_ptr<TDIB> page = MakeReferencePage(ReferencePageOptions(pt1bit));
  std::unique_ptr<TCountingWindow> window;
  if (mainWindow) {
    window = std::make_unique<TMainWindowLoad>(std::move(page));
  } else {
    window = std::make_unique<TLoadWindow>(std::move(page));
  }
  TScanServer server(*window);
  server.Activate();
  bool sound = Run(*window, server, 1, std::max(1, seconds / 10));
  sound &= Run(*window, server, clients, seconds);
  server.Close();
  return sound ? 0 : 1;
}
