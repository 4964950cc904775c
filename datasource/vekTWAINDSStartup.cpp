#include "vekTWAINDSStartup.h"

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "exception.h"
#include "namedmutex.h"
#include "programstart.h"
#include "registry.h"
#include "tcpclient.h"
#include "uDSUserInterface.h"

namespace {

constexpr int kRetryMs = 25;

// The QApplication the data source made, when the host had none, and what must go before it.
QApplication* OwnApplication = nullptr;
std::function<void()> BeforeOwnApplicationEnds;

// At the host's exit, before the library's own objects are destroyed.
void EndOwnApplication() {
  if (BeforeOwnApplicationEnds) BeforeOwnApplicationEnds();
  delete OwnApplication;
  OwnApplication = nullptr;
}

bool Accepts(const TPanelAddress& Address) {
  try {
    TTcpClient client;
    client.Open(Address.Host, Address.Port);
    client.Close();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

// As the dialog reads it: a local panel listens on its "Local Port", a remote one on "Port".
TPanelAddress PanelAddress() {
  TRegIniFile settings(TFormSource::RegistryKey);
  TPanelAddress address;
  int32_t port = settings.ReadInteger("Server", "Local Port", 7098);
  if (!settings.ReadBool("Server", "Local", true)) {
    address.Host = settings.ReadString("Server", "IP", "127.0.0.1").trimmed().toStdString();
    port = settings.ReadInteger("Server", "Port", 7098);
  }
  if (port > 0 && port <= 65535) address.Port = static_cast<uint16_t>(port);
  return address;
}

bool ControlPanelRunning() {
  return win32::OpenMutex(kControlPanelMutex) != nullptr;
}

bool WaitUntilAccepting(const TPanelAddress& Address, int TimeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Accepts(Address)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
  }
  return true;
}

bool EnsureControlPanel(int TimeoutMs) {
  if (ControlPanelRunning()) return true;
  if (!win32::WinExec(kControlPanelProgram, win32::SW_SHOWDEFAULT)) return false;
  return WaitUntilAccepting(PanelAddress(), TimeoutMs);
}

void EnsureQtApplication(std::function<void()> BeforeEnd) {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "Clarivo.ds";
  static char* argv[] = {name, nullptr};
  OwnApplication = new QApplication(argc, argv);
  BeforeOwnApplicationEnds = std::move(BeforeEnd);
  std::atexit(EndOwnApplication);
}

void PumpOwnQtApplication() {
  if (OwnApplication != nullptr && QCoreApplication::instance() == OwnApplication)
    QCoreApplication::processEvents();
}
