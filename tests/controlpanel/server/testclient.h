// The tests' own client of the scan protocol: raw sockets, the protocol's bytes written out by
// hand (not the data source's client), every wait bounded.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "freeport.h"

using TBytes = std::string;

// The command codes, written out here as the wire has them.
constexpr int32_t CMD_START_SCAN = 1, CMD_GET_PAGE = 2, CMD_STOP_SCAN = 3, CMD_GET_ORIGINAL = 4,
                  CMD_STORE_REQUEST = 5, CMD_GET_PENDING = 6, CMD_GET_PAGE_FILE = 8,
                  CMD_GET_ORIGINAL_FILE = 9, CMD_GET_REFUSAL = 10;

class TTestClient {
 public:
  explicit TTestClient(uint16_t Port, const char* From = nullptr, const char* To = "127.0.0.1") {
    FHandle = socket(AF_INET, SOCK_STREAM, 0);
    if (From != nullptr) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      inet_pton(AF_INET, From, &local.sin_addr);
      EXPECT_EQ(bind(FHandle, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(Port);
    inet_pton(AF_INET, To, &remote.sin_addr);
    Connected = connect(FHandle, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
  }
  ~TTestClient() { close(FHandle); }

  static TBytes Request(int32_t Command, const TBytes& Payload = "") {
    TBytes m(520, '\0');
    int32_t total = 520 + static_cast<int32_t>(Payload.size());
    std::memcpy(m.data(), &total, 4);
    m[4] = 9;
    std::memcpy(m.data() + 5, "LocalHost", 9);
    m[260] = 11;
    std::memcpy(m.data() + 261, "Application", 11);
    std::memcpy(m.data() + 516, &Command, 4);
    return m + Payload;
  }
  void Send(const TBytes& Bytes) {
    ASSERT_EQ(send(FHandle, Bytes.data(), Bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(Bytes.size()));
  }
  // Exactly Count bytes, or fewer when the connection ends or nothing comes within 10 s.
  TBytes Read(size_t Count) {
    TBytes got;
    while (got.size() < Count) {
      pollfd entry{FHandle, POLLIN, 0};
      if (poll(&entry, 1, 10000) <= 0) break;
      char chunk[65536];
      ssize_t n = recv(FHandle, chunk, std::min(sizeof chunk, Count - got.size()), 0);
      if (n <= 0) break;
      got.append(chunk, n);
    }
    return got;
  }
  // True when the server closed the connection within 5 s (no bytes arrive first).
  bool Closed() {
    pollfd entry{FHandle, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    char c;
    return recv(FHandle, &c, 1, 0) <= 0;
  }
  // True when the server ends the connection within 5 s, in order or by a reset, and not one
  // byte arrives before.
  bool EndsWithoutReply() {
    pollfd entry{FHandle, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    char c;
    const ssize_t n = recv(FHandle, &c, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
  }
  bool Quiet(int Ms) {
    pollfd entry{FHandle, POLLIN, 0};
    return poll(&entry, 1, Ms) == 0;
  }
  // A full reply: its TotalLength, then the rest.
  TBytes Reply() {
    TBytes head = Read(4);
    if (head.size() < 4) return head;
    int32_t total;
    std::memcpy(&total, head.data(), 4);
    return head + Read(total - 4);
  }
  int Handle() const { return FHandle; }
  bool Connected = false;

 private:
  int FHandle;
};

inline int32_t Int32At(const TBytes& b, size_t offset) {
  int32_t v;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}

// A network address of this computer, other than loopback; empty when it has none.
inline std::string NetworkAddress() {
  int probe = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(9);
  inet_pton(AF_INET, "192.0.2.1", &remote.sin_addr);
  std::string result;
  if (connect(probe, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    getsockname(probe, reinterpret_cast<sockaddr*>(&local), &length);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    result = text;
  }
  close(probe);
  return result.rfind("127.", 0) == 0 ? std::string() : result;
}
