#include "windowsdir.h"

#include <cstdlib>

namespace win32 {

std::string GetWindowsDirectory() {
  const char* moved = std::getenv("CLARIVO_WINDOWS_DIR");
  std::string dir = moved != nullptr && *moved != '\0' ? moved : CLARIVO_BUILD_WINDOWS_DIR;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace win32
