// scripts/scan-installed on an installed prefix, run as a user runs it on a machine without a
// display: the panel started or found, a batch from the simulated scanner, the source closed,
// and the panel stopped or left as it was.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "installed_fixture.h"
#include "session_helpers.h"

namespace {

namespace fs = std::filesystem;

class Scan : public Installed {
 protected:
  void SetUp() override {
    Installed::SetUp();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      ::unsetenv(variable);
    // The panel's log and every temporary file of the run stay in the test's folder.
    const char* tmp = std::getenv("TMPDIR");
    FSavedTmp = tmp != nullptr ? tmp : "";
    fs::create_directory(Root() / "tmp");
    ::setenv("TMPDIR", (Root() / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (FSavedTmp.empty())
      ::unsetenv("TMPDIR");
    else
      ::setenv("TMPDIR", FSavedTmp.c_str(), 1);
    Installed::TearDown();
  }
  // The exit code; Output() holds what the script wrote.
  int Run(std::vector<std::string> Arguments) {
    Arguments.insert(Arguments.begin(), {SCAN_INSTALLED, "--prefix", Prefix().string()});
    TChildProcess script("bash", Arguments, (Root() / "scan.txt").string());
    int rc = script.Wait(120);
    FOutput = script.Output();
    return rc;
  }
  void ExpectSays(const std::string& Text) {
    EXPECT_NE(FOutput.find(Text), std::string::npos) << Text << "\nin\n" << FOutput;
  }
  const std::string& Output() const { return FOutput; }
  fs::path Pages() const { return Root() / "pages"; }
  std::vector<std::string> FromSimScanner() const {
    return {"--simscanner", SIMSCANNER_DS, "--out", Pages().string()};
  }

 private:
  std::string FOutput;
  std::string FSavedTmp;
};

TEST_F(Scan, StartsThePanelTakesTheBatchAndStopsThePanel) {
  ASSERT_EQ(Run(FromSimScanner()), 0) << Output();
  ExpectSays("no display found: clarivo and the data source run with the offscreen platform");
  ExpectSays("scan-installed: clarivo started (pid ");
  for (std::string page : {"native page 1", "native page 2", "memory page 1", "memory page 2"})
    ExpectSays(page + ": " + Pages().string());
  ExpectSays("scan-installed: the source is closed\nscan-installed: clarivo is stopped\n");
  ExpectSays("log " + (Root() / "tmp").string() + "/clarivo-");
  EXPECT_TRUE(fs::is_regular_file(Pages() / "memory-2.bmp"));
  EXPECT_FALSE(PanelRunning());
  EXPECT_FALSE(fs::exists(WindowsDir() / "twain_32" / "SimScanner.ds"));  // never installed
}

TEST_F(Scan, LeavesThePanelRunningWhenAsked) {
  std::vector<std::string> arguments = FromSimScanner();
  arguments.push_back("--keep");
  ASSERT_EQ(Run(arguments), 0) << Output();
  ExpectSays("scan-installed: clarivo is left running (pid ");
  ASSERT_TRUE(PanelRunning());
  std::string pid = Output().substr(Output().find("left running (pid ") + 18);
  ::kill(std::stoi(pid), SIGTERM);
  for (int i = 0; i < 400 && PanelRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_FALSE(PanelRunning());
}

TEST_F(Scan, UsesAPanelThatRunsAlreadyAndLeavesItRunning) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TChildProcess panel((Prefix() / "bin" / "clarivo").string(), {},
                      (Root() / "clarivo.txt").string());
  ASSERT_TRUE(WaitForPanel()) << panel.Output();
  ::unsetenv("QT_QPA_PLATFORM");
  ASSERT_EQ(Run(FromSimScanner()), 0) << Output();
  ExpectSays("scan-installed: clarivo is already running; the scan uses it");
  ExpectSays("scan-installed: clarivo was running before and is left running");
  EXPECT_TRUE(panel.Running());
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.Wait(30), 0);
}

// Through Clarivo.ds from the panel's test scanner: both sides of its sheet, the back the front
// upside down, each the same by native and by memory transfer.
TEST_F(Scan, TakesTheBatchThroughTheDataSource) {
  if (!HAS_CLARIVO_DS) GTEST_SKIP() << "Clarivo.ds is not built";
  ASSERT_EQ(Run({"--out", Pages().string()}), 0) << Output();
  ExpectSays("scan-installed: the source is closed\nscan-installed: clarivo is stopped\n");
  EXPECT_FALSE(PanelRunning());
  TDIB front, back;
  front.LoadFromFile((Pages() / "native-1.bmp").string());
  back.LoadFromFile((Pages() / "native-2.bmp").string());
  for (int n = 1; n <= 2; ++n) {
    TDIB memory;
    memory.LoadFromFile((Pages() / ("memory-" + std::to_string(n) + ".bmp")).string());
    ExpectSameRows(memory, n == 1 ? front : back);
  }
  ASSERT_EQ(back.Height(), front.Height());
  for (int32_t y = 0; y < front.Height(); ++y)
    ASSERT_EQ(std::memcmp(back.Lines(y), front.Lines(front.Height() - 1 - y), front.LineBytes()), 0)
        << "row " << y;
}

TEST_F(Scan, WithoutTheDataSourceSaysWhatToDo) {
  if (HAS_CLARIVO_DS) GTEST_SKIP() << "Clarivo.ds is installed";
  EXPECT_EQ(Run({"--out", Pages().string()}), 1);
  ExpectSays("Clarivo.ds is not installed; with --simscanner the pages come from the simulated");
  EXPECT_FALSE(PanelRunning());
}

TEST_F(Scan, RefusesAPrefixWithoutThePanel) {
  EXPECT_EQ(Run({"--prefix", (Root() / "nothing").string()}), 2);
  ExpectSays("scan-installed: no clarivo in " + (Root() / "nothing").string() + "/bin");
}

}  // namespace
