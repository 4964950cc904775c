// Whether a control panel runs for this user's runtime folder: one runs while it holds the
// named mutex "Clarivo Control Panel".
#pragma once

#include <chrono>
#include <thread>

#include "namedmutex.h"

inline bool PanelRunning() {
  return win32::OpenMutex("Clarivo Control Panel") != nullptr;
}

// True once a control panel runs, within ten seconds.
inline bool WaitForPanel() {
  for (int i = 0; i < 400; ++i) {
    if (PanelRunning()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}
