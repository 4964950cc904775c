#include "tcpclient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A connect that gives up after TimeoutMs: non-blocking, a wait for the socket to become
// writable, then the connect's own result; the socket is blocking again afterwards.
int BoundedConnect(int Handle, const sockaddr_in& Address, int TimeoutMs) {
  const int flags = fcntl(Handle, F_GETFL);
  if (flags < 0 || fcntl(Handle, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
  int error = 0;
  if (connect(Handle, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd wait{Handle, POLLOUT, 0};
      int ready;
      do {
        ready = poll(&wait, 1, TimeoutMs);
      } while (ready < 0 && errno == EINTR);
      socklen_t length = sizeof error;
      if (ready == 0) {
        error = ETIMEDOUT;
      } else if (ready < 0) {
        error = errno;
      } else if (getsockopt(Handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
      }
    }
  }
  if (error == 0 && fcntl(Handle, F_SETFL, flags) != 0) error = errno;
  return error;
}

}  // namespace

void TTcpClient::Open(const std::string& Address, uint16_t Port, int TimeoutMs) {
  Close();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(Port);
  if (inet_pton(AF_INET, Address.c_str(), &address.sin_addr) != 1) {
    RaiseSocketError("inet_pton", EINVAL);
  }
  int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) RaiseSocketError("socket", errno);
  auto socket = std::make_unique<TTcpSocket>(handle);
  if (TimeoutMs >= 0) {
    if (int error = BoundedConnect(handle, address, TimeoutMs); error != 0) {
      RaiseSocketError("connect", error);
    }
  } else {
    int result;
    do {
      result = connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) RaiseSocketError("connect", errno);
  }
  FSocket = std::move(socket);
  FConnected = true;
}

void TTcpClient::Close() {
  FSocket.reset();
  FConnected = false;
}

template <class Call>
auto TTcpClient::Checked(const char* Api, Call&& call) -> decltype(call()) {
  if (FSocket == nullptr) RaiseSocketError(Api, ENOTCONN);
  try {
    return call();
  } catch (...) {
    FConnected = false;
    throw;
  }
}

int64_t TTcpClient::ReceiveNow(void* Buffer, size_t Count) {
  int64_t taken = Checked("recv", [&] { return FSocket->ReceiveNow(Buffer, Count); });
  if (taken == 0) FConnected = false;
  return taken;
}

int64_t TTcpClient::Receive(void* Buffer, size_t Count) {
  int64_t taken = Checked("recv", [&] { return FSocket->Receive(Buffer, Count); });
  if (taken == 0) FConnected = false;
  return taken;
}

void TTcpClient::SendBuffer(const void* Data, size_t Count) {
  Checked("send", [&] { FSocket->SendBuffer(Data, Count); });
}

bool TTcpClient::WaitReadable(int TimeoutMs) {
  return Checked("poll", [&] { return FSocket->WaitReadable(TimeoutMs); });
}
