#include "tcpsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

void RaiseSocketError(const char* Api, int Error) {
  throw ESocketError("Socket error: " + std::string(std::strerror(Error)) + " (" +
                         std::to_string(Error) + "), on API '" + Api + "'",
                     Error);
}

namespace {

using TNameGetter = int (*)(int, sockaddr*, socklen_t*);

std::string AddressOf(int Handle, TNameGetter Getter, const char* Api) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (Getter(Handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    RaiseSocketError(Api, errno);
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

TTcpSocket::TTcpSocket(int Handle) : FHandle(Handle) {
  int yes = 1;
  setsockopt(FHandle, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

void TTcpSocket::SetSendTimeout(int TimeoutMs) {
  timeval limit{TimeoutMs / 1000, (TimeoutMs % 1000) * 1000};
  if (setsockopt(FHandle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    RaiseSocketError("setsockopt", errno);
  }
}

TTcpSocket::~TTcpSocket() {
  Close();
}

std::string TTcpSocket::RemoteAddress() const {
  return AddressOf(FHandle, getpeername, "getpeername");
}

std::string TTcpSocket::LocalAddress() const {
  return AddressOf(FHandle, getsockname, "getsockname");
}

bool TTcpSocket::WaitReadable(int TimeoutMs) {
  pollfd entry{FHandle, POLLIN, 0};
  int ready = poll(&entry, 1, TimeoutMs);
  if (ready < 0 && errno != EINTR) RaiseSocketError("poll", errno);
  return ready > 0;
}

int TTcpSocket::Checked(int64_t Result, const char* Api) {
  if (Result < 0) RaiseSocketError(Api, errno);
  return static_cast<int>(Result);
}

int64_t TTcpSocket::ReceiveNow(void* Buffer, size_t Count) {
  ssize_t taken = recv(FHandle, Buffer, Count, MSG_DONTWAIT);
  if (taken < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    return kNothingWaiting;
  }
  return Checked(taken, "recv");
}

int64_t TTcpSocket::Receive(void* Buffer, size_t Count) {
  for (;;) {
    ssize_t taken = recv(FHandle, Buffer, Count, 0);
    if (taken >= 0 || errno != EINTR) return Checked(taken, "recv");
  }
}

void TTcpSocket::SendBuffer(const void* Data, size_t Count) {
  auto* bytes = static_cast<const uint8_t*>(Data);
  while (Count > 0) {
    ssize_t sent = send(FHandle, bytes, Count, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) RaiseSocketError("send", ETIMEDOUT);
    Checked(sent, "send");
    bytes += sent;
    Count -= static_cast<size_t>(sent);
  }
}

void TTcpSocket::Shutdown() {
  std::lock_guard lock(FLock);
  if (FHandle >= 0) shutdown(FHandle, SHUT_RDWR);
}

void TTcpSocket::Close() {
  std::lock_guard lock(FLock);
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
}
