// A blocking TCP client over IPv4: connects to a numeric address (no name lookup) and then
// talks through its socket. It counts as connected until it is closed, a read or write fails,
// or a read finds that the peer has closed the connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tcpsocket.h"

class TTcpClient {
 public:
  // Raises ESocketError when Address is no dotted IPv4 address or the connection fails; with
  // a TimeoutMs of 0 or more also when it is not made within that time (ETIMEDOUT), so that
  // an address that never answers does not hold the caller for the system's own time-out.
  void Open(const std::string& Address, uint16_t Port, int TimeoutMs = -1);
  void Close();
  bool Connected() const { return FSocket != nullptr && FConnected; }

  // As TTcpSocket's; a failure marks the client as no longer connected before it raises.
  int64_t ReceiveNow(void* Buffer, size_t Count);
  int64_t Receive(void* Buffer, size_t Count);
  void SendBuffer(const void* Data, size_t Count);
  bool WaitReadable(int TimeoutMs);

 private:
  template <class Call>
  auto Checked(const char* Api, Call&& call) -> decltype(call());

  std::unique_ptr<TTcpSocket> FSocket;
  bool FConnected = false;
};
