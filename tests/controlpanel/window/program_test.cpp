// The program started as a user starts it, with settings and a runtime folder of each test's
// own; every child is ended by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "namedmutex.h"
#include "registry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() /
           ("clarivo-program-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Root);
    fs::create_directories(Root / "config");
    fs::create_directories(Root / "run");
    ::setenv("CLARIVO_CONFIG_DIR", (Root / "config").c_str(), 1);
    ::setenv("CLARIVO_RUNTIME_DIR", (Root / "run").c_str(), 1);
    ::setenv("CLARIVO_CACHE_DIR", (Root / "cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  void TearDown() override {
    for (pid_t pid : Children) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    fs::remove_all(Root);
  }

  pid_t Start(const std::string& Stderr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (Root / Stderr).c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char* argv[] = {const_cast<char*>(CLARIVO_EXE), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, CLARIVO_EXE, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    Children.push_back(pid);
    return pid;
  }
  // The exit code, or -1 when the child did not end by itself within the time.
  int Wait(pid_t Pid, int Seconds = 20) {
    for (int i = 0; i < Seconds * 20; ++i) {
      int status = 0;
      if (::waitpid(Pid, &status, WNOHANG) == Pid) {
        std::erase(Children, Pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }
  void Kill(pid_t Pid) {
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
    std::erase(Children, Pid);
  }
  static bool Running() { return win32::OpenMutex("Clarivo Control Panel") != nullptr; }
  static bool WaitUntilRunning() {
    for (int i = 0; i < 400; ++i) {
      if (Running()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }
  std::string Read(const fs::path& Path) {
    std::ifstream in(Path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path Settings() { return Root / "config" / "Dovantic Technologies" / "Clarivo.conf"; }

  fs::path Root;
  std::vector<pid_t> Children;
};

TEST_F(ProgramTest, ASecondStartSaysSoAndEndsWithZeroWhileTheFirstRuns) {
  pid_t first = Start("first.err");
  ASSERT_TRUE(WaitUntilRunning());
  pid_t second = Start("second.err");
  EXPECT_EQ(Wait(second), 0);
  EXPECT_NE(Read(Root / "second.err")
                .find("An other istance of Clarivo control panel is already running !"),
            std::string::npos);
  EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0);  // the first is not disturbed
  EXPECT_TRUE(Running());
}

TEST_F(ProgramTest, AfterTheFirstWasKilledANewStartRuns) {
  pid_t first = Start("first.err");
  ASSERT_TRUE(WaitUntilRunning());
  Kill(first);
  EXPECT_FALSE(Running());
  pid_t next = Start("next.err");
  ASSERT_TRUE(WaitUntilRunning());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(::waitpid(next, nullptr, WNOHANG), 0);
  EXPECT_EQ(Read(Root / "next.err").find("already running"), std::string::npos);
}

TEST_F(ProgramTest, SigtermEndsTheSessionSavingWithoutTheQuestion) {
  pid_t pid = Start("clarivo.err");
  ASSERT_TRUE(WaitUntilRunning());
  ::kill(pid, SIGTERM);
  EXPECT_EQ(Wait(pid), 0);
  EXPECT_EQ(Read(Root / "clarivo.err").find("Do you really want"), std::string::npos);
  std::string settings = Read(Settings());
  EXPECT_NE(settings.find("Local%20Port=7098"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Name=[Test Scanner]"), std::string::npos);
  EXPECT_FALSE(Running());
}

// A writer killed at any moment of its saves leaves the last whole save: every value of one
// generation, never a mix or a cut file.
TEST_F(ProgramTest, AWriterKilledWhileSavingLeavesAWholeFile) {
  const QString key = "Software\\Dovantic Technologies\\Clarivo";
  for (int round = 0; round < 12; ++round) {
    pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      for (int generation = 1;; ++generation) {
        TRegIniFile reg(key);
        for (int i = 0; i < 300; ++i) {
          reg.WriteString("Bulk", QString("Value %1").arg(i),
                          QString("%1 ").arg(generation).repeated(20));
        }
        reg.UpdateFile();
      }
    }
    Children.push_back(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(40 + 17 * round));
    Kill(writer);
    TRegIniFile reg(key);
    QString first = reg.ReadString("Bulk", "Value 0", "");
    if (first.isEmpty()) continue;  // killed before its first save
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(reg.ReadString("Bulk", QString("Value %1").arg(i), "").toStdString(),
                first.toStdString())
          << "round " << round << ", value " << i;
    }
  }
}

}  // namespace
