// The system installed into a prefix of the test's own (no CLARIVO_WINDOWS_DIR), with
// settings and runtime folders of the test's own for the programs it starts; the panel's
// "Local Port" is a free one.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "childprocess.h"
#include "freeport.h"
#include "panelmutex.h"

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "clarivo-install-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
    ::unsetenv("CLARIVO_WINDOWS_DIR");
    const uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    std::filesystem::create_directories(FRoot / "config" / "Dovantic Technologies");
    std::ofstream(FRoot / "config" / "Dovantic Technologies" / "Clarivo.conf")
        << "[Server]\nLocal%20Port=" << port << "\n";
    std::filesystem::create_directories(FRoot / "run");
    ::setenv("CLARIVO_CONFIG_DIR", (FRoot / "config").c_str(), 1);
    ::setenv("CLARIVO_RUNTIME_DIR", (FRoot / "run").c_str(), 1);
    TChildProcess install(CMAKE_COMMAND, {"--install", BUILD_TREE, "--prefix", Prefix().string()},
                          (FRoot / "install.txt").string());
    ASSERT_EQ(install.Wait(120), 0) << install.Output();
  }
  void TearDown() override {
    ::unsetenv("CLARIVO_CONFIG_DIR");
    ::unsetenv("CLARIVO_RUNTIME_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }
  std::filesystem::path Prefix() const { return FRoot / "prefix"; }
  std::filesystem::path ProgramDir() const { return Prefix() / "lib" / "clarivo"; }
  std::filesystem::path WindowsDir() const { return ProgramDir() / "windows"; }
  std::filesystem::path Root() const { return FRoot; }

 private:
  std::filesystem::path FRoot;
};
