// The control panel's scan server: a thread-blocking TCP server on "Local Port" that runs one
// TClarivoThread per connection and refuses other computers while "Share Local Scanner" is off.
// Made, activated and closed on the main thread, with the main window. It holds to its limits
// (connections, idle time, send time, page files) and logs what it refuses or ends once per
// burst.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "LogBursts.h"
#include "PageFiles.h"
#include "ServerLimits.h"
#include "ServerWindow.h"
#include "synchronize.h"
#include "tcpserver.h"

class TScanServer {
 public:
  explicit TScanServer(TServerWindow& MainForm, const TServerLimits& Limits = {});
  ~TScanServer();
  TScanServer(const TScanServer&) = delete;
  TScanServer& operator=(const TScanServer&) = delete;

  // Listens on the window's "Local Port" of every address; raises ESocketError.
  void Activate();
  uint16_t Port() const { return ServerSocket.Port(); }
  // Releases every connection waiting for the window, ends and joins every thread. Once
  // closed the server is not activated again. The page files still kept go with the server.
  void Close() noexcept;

  // For the connections' threads.
  TServerWindow& Window() { return MainForm; }
  TSynchronizer& Sync() { return Synchronizer; }
  TPageFiles& Files() { return PageFiles; }
  const TServerLimits& Limits() const { return FLimits; }
  // Logs Text on the main thread, unless Allowance lines of Kind went before in this burst.
  // Raises what the synchronous call raises.
  void Log(const std::string& Kind, size_t Allowance, const std::string& Text);

 private:
  bool ServerSocketClientConnect(TTcpSocket& Socket);
  void ServerSocketGetThread(TTcpSocket& Socket);
  void ServerSocketFull(TTcpSocket& Socket);

  TServerWindow& MainForm;
  TServerLimits FLimits;
  TSynchronizer Synchronizer;
  TLogBursts Bursts;
  TPageFiles PageFiles;
  std::atomic<uint64_t> Connections = 0;
  TTcpServer ServerSocket;
};

// Whether a peer at Remote reaching us at Local is on this computer: any loopback address, or
// the same address at both ends.
bool IsThisComputer(const std::string& Remote, const std::string& Local);
