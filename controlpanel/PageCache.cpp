#include "PageCache.h"

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

bool IsBitmapName(const fs::path& Path) {
  std::string extension = Path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".bmp";
}

std::string Stamp(std::time_t Now) {
  std::tm local{};
  localtime_r(&Now, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%d%H%M%S", &local);
  return stamp;
}

}  // namespace

std::string TPageCache::NewFileName(std::time_t Now) const {
  const std::string stem = Dir + Stamp(Now);
  std::string name = stem + ".bmp";
  std::error_code ignored;
  for (int counter = 1; fs::exists(name, ignored); ++counter) {
    name = stem + "-" + std::to_string(counter) + ".bmp";
  }
  return name;
}

void TPageCache::Reset() {
  PendingPages.clear();
  LastServedFile.clear();
}

void TPageCache::Clear() const {
  std::vector<std::string> files = BitmapFiles(Dir);
  std::error_code ignored;
  for (auto it = files.crbegin(); it != files.crend(); ++it) fs::remove(*it, ignored);
}

std::vector<std::string> BitmapFiles(const std::string& Dir) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::directory_iterator it(Dir, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && IsBitmapName(it->path()))
      files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}
