#include "testdata.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string TestDataDir() {
  std::error_code ec;
  return std::filesystem::is_directory(CLARIVO_TESTDATA, ec) ? CLARIVO_TESTDATA : "";
}

std::vector<std::string> TestDataFiles(const std::string& sub) {
  std::vector<std::string> files;
  std::string dir = TestDataDir();
  std::error_code ec;
  if (dir.empty() || !std::filesystem::is_directory(dir + "/" + sub, ec)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir + "/" + sub)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
