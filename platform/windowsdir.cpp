#include "windowsdir.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>

#include "envvalue.h"
#include "programdir.h"

namespace win32 {

namespace {

const char* const kManagerName = "TWAIN_32.DLL";

std::string LoadedManagerDirectory() {
  void* manager = dlopen(kManagerName, RTLD_LAZY | RTLD_NOLOAD);
  if (manager == nullptr) return "";
  std::string dir;
  link_map* map = nullptr;
  if (dlinfo(manager, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr)
    dir = std::filesystem::path(map->l_name).parent_path().string();
  dlclose(manager);
  return dir;
}

std::string InstalledDirectory() {
  std::string program = ProgramDirectory();
  if (program.empty()) return "";
  std::filesystem::path dir = std::filesystem::path(program) / "windows";
  std::error_code error;
  return std::filesystem::is_regular_file(dir / kManagerName, error) ? dir.string() : "";
}

std::string Located() {
  if (std::string moved = EnvValue("CLARIVO_WINDOWS_DIR"); !moved.empty()) return moved;
  for (std::string dir : {LoadedManagerDirectory(), InstalledDirectory()}) {
    if (!dir.empty()) return dir;
  }
  return CLARIVO_BUILD_WINDOWS_DIR;
}

}  // namespace

std::string GetWindowsDirectory() {
  std::string dir = Located();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace win32
