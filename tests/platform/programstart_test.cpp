// Starting a program by name: it runs detached, outliving the caller's wait, and a name the
// program search does not find is told at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "programstart.h"

namespace {

TEST(WinExec, StartsAProgramOnThePathThatLeavesTheCallerNoChild) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("clarivo-winexec-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path mark = dir / "ran";
  const std::filesystem::path script = dir / "marker";
  std::ofstream(script) << "#!/bin/sh\ntouch '" << mark.string() << "'\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + path).c_str(), 1);

  EXPECT_TRUE(win32::WinExec("marker", win32::SW_SHOWDEFAULT));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // nothing of it is the caller's to reap
  for (int i = 0; i < 200 && !std::filesystem::exists(mark); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::exists(mark));
  EXPECT_FALSE(win32::WinExec("no-such-clarivo-program", win32::SW_SHOWDEFAULT));

  setenv("PATH", path.c_str(), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
