// The thread of one scan-protocol connection: it waits on its socket (without a timer of its
// own), cuts complete messages out of its buffer, runs each command on the main thread through
// the synchronizer while it waits, and writes each reply in one piece. A page leaves the
// window's pages only once its reply is written whole, and a page file is the client's only
// then.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ServerWindow.h"
#include "UnitSharedParam.h"
#include "dibunit.h"
#include "globalmem.h"
#include "tcpsocket.h"

class TScanServer;

class TClarivoThread {
 public:
  // Connection: the connection's number, which its page files are counted by.
  TClarivoThread(TTcpSocket& Socket, TScanServer& Server, uint64_t Connection);
  ~TClarivoThread();
  TClarivoThread(const TClarivoThread&) = delete;
  TClarivoThread& operator=(const TClarivoThread&) = delete;

  // Serves the connection until the peer closes it, its socket is shut down, it sends a
  // message of a length no request has, it sends no complete request for the idle time-out,
  // or a command other than a scan request fails (logged). Raises nothing.
  void Execute() noexcept;

 private:
  using TClock = std::chrono::steady_clock;

  void Serve();
  // Waits for bytes until Deadline and appends what has arrived; false when the peer closed
  // or the deadline passed.
  bool ReadAvailable(TClock::time_point Deadline);
  // Every complete request in the buffer, in order; whether there was one.
  bool HandleMessages();
  void HandleMessage(const std::string& Message);
  // Command 1 through the window; a refusal is kept for CMD_GET_REFUSAL.
  void StartScan();
  // The window's next page or original into PageHandle; the reason is kept when none comes.
  void NextPage(TServedPage& Served);
  void OriginalPage();
  void SendPageReply();
  void SendOriginalReply();
  void SendPageFileReply(const std::string& Message);
  void SendOriginalFileReply(const std::string& Message);
  void SendPendingReply();
  // The page that the main window handed over, owned from now on; nullptr for none.
  std::unique_ptr<TDIB> TakePage();
  // The page file of Page for the client of a file request: in the temporary directory that a
  // client on this computer named in the request, else in the panel's own.
  std::string WritePageFile(TDIB& Page, const std::string& Message);
  // Runs Reply, which writes what the window handed over for Served; when it fails, the page
  // goes back to the window and File (when Reply has named one) is deleted, and the failure
  // goes on.
  template <class TReply>
  void Deliver(const TServedPage* Served, const std::string& File, TReply&& Reply);
  void Log(const std::string& Kind, size_t Allowance, const std::string& Text);

  void SyncStartScan();
  void SyncStopScan();
  void SyncNextPage(TServedPage& Served);
  void SyncReturnPage(const TServedPage& Served);
  void SyncPendingCount();
  void SyncOriginalPage();

  std::string Buffer;  // bytes received and not yet taken as a message
  win32::HGLOBAL PageHandle = nullptr;
  uint8_t QCFailed = 0;
  int32_t PendingCount = 0;
  TScanRequest Request{};
  TScanServer& Server;
  TServerWindow& MainForm;
  TTcpSocket& Socket;
  uint64_t Connection;
  std::string RemoteAddress;
  bool Local = false;
  bool Terminated = false;
  // Why the last scan request or page request brought no page, and whether the scan request
  // of the session was refused.
  std::string Refusal;
  bool ScanRefused = false;
};
