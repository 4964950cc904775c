#include "cachedir.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "envvalue.h"
#include "exception.h"
#include "programdir.h"

namespace fs = std::filesystem;

namespace {

bool Inside(const fs::path& Dir, const fs::path& Tree) {
  std::error_code error;
  fs::path dir = fs::weakly_canonical(Dir, error);
  if (error) return false;
  fs::path tree = fs::weakly_canonical(Tree, error);
  if (error) return false;
  auto [treeEnd, dirAt] = std::mismatch(tree.begin(), tree.end(), dir.begin(), dir.end());
  return treeEnd == tree.end();
}

bool InProjectTrees(const fs::path& Dir) {
  return Inside(Dir, CLARIVO_SOURCE_TREE) || Inside(Dir, CLARIVO_BUILD_TREE);
}

// Makes the directory when missing; true when it is there and writable afterwards.
bool Usable(const fs::path& Dir) {
  std::error_code error;
  fs::create_directories(Dir, error);
  return !error && fs::is_directory(Dir, error) && ::access(Dir.c_str(), W_OK | X_OK) == 0;
}

fs::path UserCacheDirectory() {
  std::string base = EnvValue("XDG_CACHE_HOME");
  if (base.empty() || base.front() != '/') base = EnvValue("HOME") + "/.cache";
  return fs::path(base) / "Dovantic Technologies" / "Clarivo";
}

std::string Chosen(const fs::path& Dir) {
  if (!Usable(Dir)) throw Exception("Unable to create the cache directory " + Dir.string());
  std::string text = Dir.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

std::string CacheDirectory(const std::string& ProgramDir) {
  std::string moved = EnvValue("CLARIVO_CACHE_DIR");
  if (!moved.empty()) return Chosen(moved);
  if (!ProgramDir.empty() && !InProjectTrees(ProgramDir)) {
    fs::path beside = fs::path(ProgramDir) / "cache";
    if (Usable(beside)) return Chosen(beside);
  }
  return Chosen(UserCacheDirectory());
}

std::string CacheDirectory() {
  return CacheDirectory(ProgramDirectory());
}
