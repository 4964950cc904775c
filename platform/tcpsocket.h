// One connected IPv4 TCP socket, in place of the platform's socket components: blocking calls,
// numeric addresses, every write with MSG_NOSIGNAL so that a closed peer never raises SIGPIPE.
// Nagle's delay is off: each message leaves as it is written, in one piece, and never waits for
// the acknowledgement of the one before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "exception.h"

// A socket call failed; the text names the call and the system's error.
class ESocketError : public Exception {
 public:
  using Exception::Exception;
  ESocketError(const std::string& Message, int Error) : Exception(Message), FError(Error) {}
  // The system's error number (errno) of the failed call; 0 when none is known.
  int Error() const { return FError; }

 private:
  int FError = 0;
};

// Raises ESocketError for the socket call Api that failed with errno Error.
[[noreturn]] void RaiseSocketError(const char* Api, int Error);

class TTcpSocket {
 public:
  // Adopts a socket, connected or about to be; it is closed with the object.
  explicit TTcpSocket(int Handle);
  ~TTcpSocket();
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  // The two ends in dotted form, e.g. "127.0.0.1".
  std::string RemoteAddress() const;
  std::string LocalAddress() const;

  // Waits up to TimeoutMs for bytes or the peer's close; true when a read will not block.
  bool WaitReadable(int TimeoutMs);
  // Takes up to Count bytes that have arrived, without waiting: their count, kNothingWaiting
  // when none have arrived, 0 when the peer has closed the connection in order.
  static constexpr int64_t kNothingWaiting = -1;
  int64_t ReceiveNow(void* Buffer, size_t Count);
  // Waits for at least one byte: the count taken, 0 when the peer has closed in order.
  int64_t Receive(void* Buffer, size_t Count);
  // Sends every byte, waiting for room as needed. Raises ESocketError (ETIMEDOUT) when the
  // peer takes no byte for the send time-out.
  void SendBuffer(const void* Data, size_t Count);
  // How long a send may wait for the peer to take bytes; 0: without end (the default).
  void SetSendTimeout(int TimeoutMs);

  // Ends both directions; a thread blocked on the socket wakes, its call failing or seeing the
  // close. May be called from any thread, also after Close.
  void Shutdown();
  void Close();

 private:
  int Checked(int64_t Result, const char* Api);
  std::mutex FLock;  // between Shutdown and Close from different threads
  int FHandle;
};
