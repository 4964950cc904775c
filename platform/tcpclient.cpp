#include "tcpclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

void TTcpClient::Open(const std::string& Address, uint16_t Port) {
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
  int result;
  do {
    result = connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) RaiseSocketError("connect", errno);
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
