// A thread-blocking TCP server over IPv4: one accepting thread, one thread per connection. A
// check runs on the accepting thread before a connection's thread starts and may refuse it.
// At most MaxConnections connections are served at once: one more is accepted and closed at
// once, so that neither threads nor descriptors grow with what peers open. Closing stops
// accepting, shuts every connection down and joins every thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "tcpsocket.h"

class TTcpServer {
 public:
  // Runs on the accepting thread; false refuses the connection, which is closed at once.
  using TAcceptCheck = std::function<bool(TTcpSocket&)>;
  // The connection's thread; the socket is closed as soon as it returns.
  using TConnectionBody = std::function<void(TTcpSocket&)>;

  // Runs on the accepting thread for a connection about to be closed because MaxConnections
  // are served.
  using TOverflow = std::function<void(TTcpSocket&)>;

  // Nothing that Check, Body or Overflow raises leaves their threads: a raising check refuses.
  TTcpServer(TAcceptCheck Check, TConnectionBody Body, size_t MaxConnections = SIZE_MAX,
             TOverflow Overflow = {});
  ~TTcpServer();
  TTcpServer(const TTcpServer&) = delete;
  TTcpServer& operator=(const TTcpServer&) = delete;

  // Listens on Port of every IPv4 address of the computer (0: a free port that Port() then
  // tells). Raises ESocketError.
  void Open(uint16_t Port);
  bool Active() const { return FListener >= 0; }
  uint16_t Port() const { return FPort; }
  // Connection threads started and not yet joined.
  size_t ConnectionCount();
  // Never from a connection's own thread or its check.
  void Close();

 private:
  struct TConnection {
    std::unique_ptr<TTcpSocket> Socket;
    std::thread Thread;
    std::atomic<bool> Finished = false;
  };

  void AcceptLoop();
  void Accept();
  void Start(std::unique_ptr<TTcpSocket> Socket);
  void Serve(TConnection& Connection);
  void JoinFinished();
  void Wake();
  void WaitForWake(int TimeoutMs);

  bool Full();

  TAcceptCheck FCheck;
  TConnectionBody FBody;
  size_t FMaxConnections;
  TOverflow FOverflow;
  int FListener = -1;
  int FWake = -1;  // an eventfd: closing, or a connection finished
  uint16_t FPort = 0;
  std::atomic<bool> FClosing = false;
  std::thread FAcceptThread;
  std::mutex FLock;  // FConnections between the accepting thread and Close
  std::list<TConnection> FConnections;
};
