#include "ScanServer.h"

#include <string>

#include "ClarivoThread.h"
#include "boundaryguard.h"

TScanServer::TScanServer(TServerWindow& MainForm)
    : MainForm(MainForm),
      ServerSocket([this](TTcpSocket& Socket) { return ServerSocketClientConnect(Socket); },
                   [this](TTcpSocket& Socket) { ServerSocketGetThread(Socket); }) {}

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

// On the accepting thread, before the connection's thread starts. A client on this computer
// connects with the same address at both ends, whichever address of the computer it used.
bool TScanServer::ServerSocketClientConnect(TTcpSocket& Socket) {
  std::string remote = Socket.RemoteAddress();
  if (remote == Socket.LocalAddress()) return true;
  bool share = true;
  Synchronizer.Synchronize([&] {
    share = MainForm.ShareLocalScanner();
    if (!share) {
      MainForm.Log("WARNING: attempt to use local scanner from IP " + remote + " blocked !");
    }
  });
  return share;
}

void TScanServer::ServerSocketGetThread(TTcpSocket& Socket) {
  TClarivoThread thread(Socket, MainForm, Synchronizer);
  thread.Execute();
}
