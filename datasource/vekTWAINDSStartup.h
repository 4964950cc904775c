// What the data source does before its first dialog opens: the control panel must run, and
// Qt must be there inside a host that may not be a Qt program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The named mutex the control panel holds while it runs.
inline constexpr const char* kControlPanelMutex = "Clarivo Control Panel";
// The program started when no control panel runs.
inline constexpr const char* kControlPanelProgram = "clarivo";

// The control panel's address as the data source reaches it ("Server" of the settings).
struct TPanelAddress {
  std::string Host = "127.0.0.1";
  uint16_t Port = 7098;
};
TPanelAddress PanelAddress();

// True while a control panel holds its mutex. The probe lets the mutex go at once, so that
// a control panel that exits can start again.
bool ControlPanelRunning();

// When no control panel runs, starts one (detached, it outlives the host) and waits until
// its port accepts a connection, at most TimeoutMs. True when the port accepts.
bool EnsureControlPanel(int TimeoutMs);

// Waits until a connection to the address is accepted, at most TimeoutMs.
bool WaitUntilAccepting(const TPanelAddress& Address, int TimeoutMs);

// The host's QApplication when it has one, else one of the data source's own, made once and
// kept until the process exits; then BeforeEnd runs (to free what lives on it), and it goes.
void EnsureQtApplication(std::function<void()> BeforeEnd);
// Processes the pending events of the data source's own QApplication; nothing in a Qt host,
// which runs its own event loop.
void PumpOwnQtApplication();
