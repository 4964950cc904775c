#include "programdir.h"

#include <filesystem>
#include <system_error>

std::string ProgramDirectory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}
