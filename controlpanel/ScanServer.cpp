#include "ScanServer.h"

#include <malloc.h>

#include <chrono>
#include <string>

#include "ClarivoThread.h"
#include "boundaryguard.h"

TScanServer::TScanServer(TServerWindow& MainForm, const TServerLimits& Limits)
    : MainForm(MainForm),
      FLimits(Limits),
      Bursts(std::chrono::milliseconds(Limits.LogQuietMs)),
      PageFiles(std::chrono::milliseconds(Limits.PageFileKeepMs), Limits.PageFilesPerConnection),
      ServerSocket([this](TTcpSocket& Socket) { return ServerSocketClientConnect(Socket); },
                   [this](TTcpSocket& Socket) { ServerSocketGetThread(Socket); },
                   Limits.MaxConnections,
                   [this](TTcpSocket& Socket) { ServerSocketFull(Socket); }) {
  // The heap's first trim sets the heap up, which two connections ending at once must not do
  // together (where the allocator of a sanitizer leaves the heap unused until then).
  malloc_trim(0);
}

TScanServer::~TScanServer() {
  Close();
}

void TScanServer::Activate() {
  ServerSocket.Open(static_cast<uint16_t>(MainForm.LocalPort()));
}

void TScanServer::Close() noexcept {
  Synchronizer.Close();
  Guarded([this] { ServerSocket.Close(); }, [] {});
}

void TScanServer::Log(const std::string& Kind, size_t Allowance, const std::string& Text) {
  for (const std::string& line : Bursts.Admit(Kind, Allowance, Text, TLogBursts::TClock::now())) {
    Synchronizer.Synchronize([&] { MainForm.Log(line); });
  }
}

bool IsThisComputer(const std::string& Remote, const std::string& Local) {
  return Remote == Local || Remote.rfind("127.", 0) == 0;
}

// On the accepting thread, before the connection's thread starts. A client on this computer
// connects through a loopback address or with the same address at both ends, whichever
// address of the computer it used.
bool TScanServer::ServerSocketClientConnect(TTcpSocket& Socket) {
  std::string remote = Socket.RemoteAddress();
  if (IsThisComputer(remote, Socket.LocalAddress())) return true;
  bool share = true;
  Synchronizer.Synchronize([&] { share = MainForm.ShareLocalScanner(); });
  if (!share) {
    const std::string text =
        "WARNING: attempt to use local scanner from IP " + remote + " blocked !";
    Log(text, 1, text);
  }
  return share;
}

void TScanServer::ServerSocketFull(TTcpSocket& Socket) {
  Log("full", 1,
      "WARNING: connection from IP " + Socket.RemoteAddress() +
          " refused: " + std::to_string(FLimits.MaxConnections) + " connections served already !");
}

// A connection's buffers are freed as it ends; the heap hands what is free back to the system
// too, so that what peers made the program take does not stay with it after they went.
void TScanServer::ServerSocketGetThread(TTcpSocket& Socket) {
  {
    TClarivoThread thread(Socket, *this, ++Connections);
    thread.Execute();
  }
  malloc_trim(0);
}
