// A control panel of the tests' own: a TCP server on a free port of every local address that
// takes scan-protocol requests, records them, and answers each as the test's script says,
// byte for byte (in pieces, late, wrong, or not at all).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dibunit.h"
#include "tcpserver.h"

using TBytes = std::string;

// One request as the panel received it.
struct TSeenRequest {
  TBytes Header;   // the 520 bytes
  TBytes Payload;  // what followed
  int32_t Command() const;
};

// The little-endian bytes of an int32.
TBytes Int32Bytes(int32_t Value);
// The page as the BMP file image the protocol carries.
TBytes BmpImage(TDIB& Page);
// A small gray page with a known pattern, Type pt1bit, pt8bit or pt24bit.
std::unique_ptr<TDIB> SmallPage(uint8_t Type = pt8bit, int32_t Width = 64, int32_t Height = 48,
                                int32_t DPI = 100);
// The replies, as the panel sends them.
TBytes PageReply(uint8_t QCFailed, const TBytes& Data);
TBytes OriginalReply(const TBytes& Data);

class TFakePanel {
 public:
  // Answers one request; may send through Socket, wait, or shut it down.
  using TScript = std::function<void(const TSeenRequest& Request, TTcpSocket& Socket)>;

  explicit TFakePanel(TScript Script);
  ~TFakePanel();
  uint16_t Port() const { return FServer.Port(); }

  std::vector<TSeenRequest> Requests();
  std::vector<int32_t> Commands();
  // Waits up to Timeout until Count requests have come; false when they have not.
  bool WaitForRequests(size_t Count, std::chrono::milliseconds Timeout);

 private:
  void Serve(TTcpSocket& Socket);

  TScript FScript;
  std::mutex FLock;
  std::condition_variable FArrived;
  std::vector<TSeenRequest> FRequests;
  TTcpServer FServer;
};

// Sends Bytes in Pieces parts with a pause between them.
void SendInPieces(TTcpSocket& Socket, const TBytes& Bytes, int Pieces,
                  std::chrono::milliseconds Pause);
