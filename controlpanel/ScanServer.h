// The control panel's scan server: a thread-blocking TCP server on "Local Port" that runs one
// TClarivoThread per connection and refuses other computers while "Share Local Scanner" is off.
// Made, activated and closed on the main thread, with the main window.
#pragma once

#include <cstdint>

#include "ServerWindow.h"
#include "synchronize.h"
#include "tcpserver.h"

class TScanServer {
 public:
  explicit TScanServer(TServerWindow& MainForm);
  ~TScanServer();
  TScanServer(const TScanServer&) = delete;
  TScanServer& operator=(const TScanServer&) = delete;

  // Listens on the window's "Local Port" of every address; raises ESocketError.
  void Activate();
  uint16_t Port() const { return ServerSocket.Port(); }
  // Releases every connection waiting for the window, ends and joins every thread. Once
  // closed the server is not activated again.
  void Close() noexcept;

 private:
  bool ServerSocketClientConnect(TTcpSocket& Socket);
  void ServerSocketGetThread(TTcpSocket& Socket);

  TServerWindow& MainForm;
  TSynchronizer Synchronizer;
  TTcpServer ServerSocket;
};
