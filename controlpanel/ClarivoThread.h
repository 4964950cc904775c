// The thread of one scan-protocol connection: it reads requests from its socket, cuts complete
// messages out of its buffer, runs each command on the main thread through the synchronizer
// while it waits, and writes the reply.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ServerWindow.h"
#include "UnitSharedParam.h"
#include "dibunit.h"
#include "globalmem.h"
#include "synchronize.h"
#include "tcpsocket.h"

class TClarivoThread {
 public:
  TClarivoThread(TTcpSocket& Socket, TServerWindow& MainForm, TSynchronizer& Synchronizer);
  ~TClarivoThread();
  TClarivoThread(const TClarivoThread&) = delete;
  TClarivoThread& operator=(const TClarivoThread&) = delete;

  // Serves the connection until the peer closes it, its socket is shut down, it sends a
  // message of a length no request has, or a command other than a scan request fails (logged).
  // Raises nothing.
  void Execute() noexcept;

 private:
  void Serve();
  // Waits up to 250 ms for bytes and appends what has arrived; false when the peer closed.
  bool ReadAvailable();
  void HandleMessages();
  void HandleMessage(const std::string& Message);
  // Command 1 through the window; a refusal is kept for CMD_GET_REFUSAL.
  void StartScan();
  // The window's next page or original into PageHandle; the reason is kept when none comes.
  void NextPage();
  void OriginalPage();
  void SendPageReply();
  void SendOriginalReply();
  void SendPageFileReply();
  void SendOriginalFileReply();
  void SendPendingReply();
  // The page that the main window handed over, owned from now on; nullptr for none.
  std::unique_ptr<TDIB> TakePage();
  void Log(const std::string& Text);

  void SyncLog();
  void SyncStartScan();
  void SyncStopScan();
  void SyncNextPage();
  void SyncPendingCount();
  void SyncOriginalPage();

  std::string Buffer;   // bytes received and not yet taken as a message
  std::string LogText;  // for SyncLog
  win32::HGLOBAL PageHandle = nullptr;
  uint8_t QCFailed = 0;
  int32_t PendingCount = 0;
  TScanRequest Request{};
  TServerWindow& MainForm;
  TTcpSocket& Socket;
  TSynchronizer& Synchronizer;
  std::string RemoteAddress;
  bool Terminated = false;
  // Why the last scan request or page request brought no page, and whether the scan request
  // of the session was refused.
  std::string Refusal;
  bool ScanRefused = false;
};
