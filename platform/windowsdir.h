// The Windows directory: where the TWAIN Source Manager "TWAIN_32.DLL" lives, with the data
// sources below it in "twain_32/".
#pragma once

#include <string>

namespace win32 {

// The first of, without a trailing '/':
//   $CLARIVO_WINDOWS_DIR when it is set and not empty;
//   the directory of the TWAIN_32.DLL this process has loaded, so that a manager loaded from
//   anywhere lists the sources below itself;
//   "windows" beside the program when it holds TWAIN_32.DLL (an installed program);
//   the directory the build wrote TWAIN_32.DLL into.
std::string GetWindowsDirectory();

}  // namespace win32
