// A Windows directory of the test's own: TWAIN_32.DLL linked from the build, and a twain_32/
// folder holding the data sources the test puts there. CLARIVO_WINDOWS_DIR points at it for
// the life of the fixture, and CLARIVO_CONFIG_DIR at a folder beside it (where the manager
// keeps the default source), so tests run in parallel without meeting.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "simscanner.h"

class TWindowsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "clarivo-windows-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FDir = pattern;
    std::filesystem::create_directory(FDir / "twain_32");
    std::filesystem::create_symlink(TWAIN_32_DLL, FDir / "TWAIN_32.DLL");
    setenv("CLARIVO_WINDOWS_DIR", FDir.c_str(), 1);
    setenv("CLARIVO_CONFIG_DIR", (FDir / "config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CLARIVO_WINDOWS_DIR");
    unsetenv("CLARIVO_CONFIG_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }

  // A copy of SimScanner.ds under another name is a source of its own (its ProductName is
  // the file name); a link shares the library the build made.
  std::string AddScanner(const std::string& Name = "SimScanner", bool Copy = false,
                         const std::string& Folder = "") {
    std::filesystem::path dir = FDir / "twain_32" / Folder;
    std::filesystem::create_directories(dir);
    std::filesystem::path file = dir / (Name + ".ds");
    if (Copy)
      std::filesystem::copy_file(SIMSCANNER_DS, file);
    else
      std::filesystem::create_symlink(SIMSCANNER_DS, file);
    return file.string();
  }
  void AddNotASource() {
    std::filesystem::copy_file(NOTASOURCE_DS, FDir / "twain_32" / "NotASource.ds");
  }
#ifdef MISBEHAVING_DS
  // A copy of Misbehaving.ds that breaks the rule its name says.
  void AddMisbehaving(const std::string& Mode) {
    std::filesystem::copy_file(MISBEHAVING_DS, FDir / "twain_32" / (Mode + ".ds"));
  }
#endif
  void AddBrokenSource() {
    std::FILE* f = std::fopen((FDir / "twain_32" / "Broken.ds").c_str(), "w");
    std::fputs("this is no library", f);
    std::fclose(f);
  }
  std::filesystem::path Dir() const {
    return FDir;
  }

 private:
  std::filesystem::path FDir;
};
