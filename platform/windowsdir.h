// The Windows directory: where the TWAIN Source Manager "TWAIN_32.DLL" lives, with the data
// sources below it in "twain_32/".
#pragma once

#include <string>

namespace win32 {

// $CLARIVO_WINDOWS_DIR when it is set and not empty, else the directory the build wrote
// TWAIN_32.DLL into. No trailing '/'.
std::string GetWindowsDirectory();

}  // namespace win32
