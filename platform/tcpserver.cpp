#include "tcpserver.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "boundaryguard.h"

TTcpServer::TTcpServer(TAcceptCheck Check, TConnectionBody Body, size_t MaxConnections,
                       TOverflow Overflow)
    : FCheck(std::move(Check)),
      FBody(std::move(Body)),
      FMaxConnections(MaxConnections),
      FOverflow(std::move(Overflow)) {}

TTcpServer::~TTcpServer() {
  Close();
}

void TTcpServer::Open(uint16_t Port) {
  if (Active()) return;
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) RaiseSocketError("socket", errno);
  auto fail = [listener](const char* Api) {
    int error = errno;
    close(listener);
    RaiseSocketError(Api, error);
  };
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(Port);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("bind");
  if (listen(listener, SOMAXCONN) != 0) fail("listen");
  socklen_t length = sizeof address;
  if (getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    fail("getsockname");
  }
  FWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (FWake < 0) fail("eventfd");
  FListener = listener;
  FPort = ntohs(address.sin_port);
  FClosing = false;
  FAcceptThread = std::thread([this] { AcceptLoop(); });
}

size_t TTcpServer::ConnectionCount() {
  std::lock_guard lock(FLock);
  return FConnections.size();
}

void TTcpServer::Close() {
  if (!Active()) return;
  FClosing = true;
  Wake();
  FAcceptThread.join();
  close(FListener);
  FListener = -1;
  {
    std::lock_guard lock(FLock);
    for (TConnection& connection : FConnections) connection.Socket->Shutdown();
  }
  for (TConnection& connection : FConnections) connection.Thread.join();
  FConnections.clear();
  close(FWake);
  FWake = -1;
}

void TTcpServer::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(FWake, &one, sizeof one);
}

void TTcpServer::WaitForWake(int TimeoutMs) {
  pollfd entry{FWake, POLLIN, 0};
  poll(&entry, 1, TimeoutMs);
}

void TTcpServer::AcceptLoop() {
  while (!FClosing) {
    pollfd entries[2] = {{FListener, POLLIN, 0}, {FWake, POLLIN, 0}};
    if (poll(entries, 2, -1) < 0 && errno != EINTR) break;
    if (entries[1].revents != 0) {
      uint64_t count;
      [[maybe_unused]] ssize_t taken = read(FWake, &count, sizeof count);
      JoinFinished();
    }
    if (!FClosing && entries[0].revents != 0) Accept();
  }
}

void TTcpServer::Accept() {
  int handle = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
  if (handle < 0) {
    // Out of descriptors or memory: wait for connections to end instead of spinning on a
    // listener that stays readable.
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      WaitForWake(100);
    }
    return;
  }
  auto socket = std::make_unique<TTcpSocket>(handle);
  if (Full()) {
    if (FOverflow) Guarded([&] { FOverflow(*socket); }, [] {});
    return;
  }
  bool accepted = Guarded([&] { return FCheck(*socket); }, [] { return false; });
  if (accepted) Start(std::move(socket));
}

void TTcpServer::Start(std::unique_ptr<TTcpSocket> Socket) {
  std::lock_guard lock(FLock);
  TConnection& connection = FConnections.emplace_back();
  connection.Socket = std::move(Socket);
  Guarded([&] { connection.Thread = std::thread([this, &connection] { Serve(connection); }); },
          [&] { FConnections.pop_back(); });
}

void TTcpServer::Serve(TConnection& Connection) {
  Guarded([&] { FBody(*Connection.Socket); }, [] {});
  Connection.Socket->Close();
  Connection.Finished = true;
  Wake();
}

// Connections that have finished but are not joined yet still count: their threads are there.
bool TTcpServer::Full() {
  JoinFinished();
  std::lock_guard lock(FLock);
  return FConnections.size() >= FMaxConnections;
}

void TTcpServer::JoinFinished() {
  std::list<TConnection> finished;
  {
    std::lock_guard lock(FLock);
    for (auto it = FConnections.begin(); it != FConnections.end();) {
      auto next = std::next(it);
      if (it->Finished) finished.splice(finished.end(), FConnections, it);
      it = next;
    }
  }
  for (TConnection& connection : finished) connection.Thread.join();
}
