// Starting a program by its file name, as the system's program search finds it (on PATH).
#pragma once

#include <string>

namespace win32 {

inline constexpr int SW_SHOWDEFAULT = 10;

// Starts Program detached, in a session of its own, so that it outlives the caller; its
// standard streams are the caller's. ShowMode is kept for the caller's intent (programs here
// have no start-up window state). False when it could not be started.
bool WinExec(const std::string& Program, int ShowMode);

}  // namespace win32
