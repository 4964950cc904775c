// The program started as a user starts it, with settings and a runtime folder of each test's
// own; every child is ended by the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "childprocess.h"
#include "panelmutex.h"
#include "registry.h"

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

  // The program started with its standard output and error to the file Output of Root.
  std::unique_ptr<TChildProcess> Start(const std::string& Output) {
    return std::make_unique<TChildProcess>(CLARIVO_EXE, std::vector<std::string>{},
                                           (Root / Output).string());
  }
  void Kill(pid_t Pid) {
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
    std::erase(Children, Pid);
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
  std::unique_ptr<TChildProcess> first = Start("first.err");
  ASSERT_TRUE(WaitForPanel());
  std::unique_ptr<TChildProcess> second = Start("second.err");
  EXPECT_EQ(second->Wait(20), 0);
  EXPECT_NE(Read(Root / "second.err")
                .find("An other istance of Clarivo control panel is already running !"),
            std::string::npos);
  EXPECT_TRUE(first->Running());  // the first is not disturbed
  EXPECT_TRUE(PanelRunning());
}

TEST_F(ProgramTest, AfterTheFirstWasKilledANewStartRuns) {
  std::unique_ptr<TChildProcess> first = Start("first.err");
  ASSERT_TRUE(WaitForPanel());
  first.reset();  // killed
  EXPECT_FALSE(PanelRunning());
  std::unique_ptr<TChildProcess> next = Start("next.err");
  ASSERT_TRUE(WaitForPanel());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(next->Running());
  EXPECT_EQ(Read(Root / "next.err").find("already running"), std::string::npos);
}

TEST_F(ProgramTest, SigtermEndsTheSessionSavingWithoutTheQuestion) {
  std::unique_ptr<TChildProcess> panel = Start("clarivo.err");
  ASSERT_TRUE(WaitForPanel());
  panel->Signal(SIGTERM);
  EXPECT_EQ(panel->Wait(20), 0);
  EXPECT_EQ(Read(Root / "clarivo.err").find("Do you really want"), std::string::npos);
  std::string settings = Read(Settings());
  EXPECT_NE(settings.find("Local%20Port=7098"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Name=[Test Scanner]"), std::string::npos);
  EXPECT_FALSE(PanelRunning());
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
