// The installed system's layout, and its programs started from the prefix as a user starts
// them; every child is ended by the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "installed_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST_F(Installed, LaysTheSystemOutAsItRuns) {
  for (std::string program : {"clarivo", "twain-acquire"}) {
    fs::path onPath = Prefix() / "bin" / program;
    ASSERT_TRUE(fs::is_symlink(onPath)) << program;
    EXPECT_EQ(fs::canonical(onPath), fs::canonical(ProgramDir() / program));
    EXPECT_EQ(::access(onPath.c_str(), X_OK), 0) << program;
  }
  EXPECT_TRUE(fs::is_regular_file(ProgramDir() / "libclarivo_messages.so"));
  EXPECT_TRUE(fs::is_regular_file(WindowsDir() / "TWAIN_32.DLL"));
  // The manager's helper program, which asks the sources for their identity.
  EXPECT_EQ(::access((WindowsDir() / "twain_32-helper").c_str(), X_OK), 0);
  EXPECT_TRUE(fs::is_directory(ProgramDir() / "test"));
  EXPECT_EQ(fs::is_regular_file(WindowsDir() / "twain_32" / "Clarivo.ds"), HAS_CLARIVO_DS != 0);
  EXPECT_FALSE(fs::exists(ProgramDir() / "cache"));  // a user's, made when the panel runs
}

// Programs started from the program path load the installed manager, which lists the sources
// below its own folder.
TEST_F(Installed, ProgramsFindTheManagerAndTheSourcesBelowIt) {
  fs::create_directories(WindowsDir() / "twain_32");
  fs::copy_file(SIMSCANNER_DS, WindowsDir() / "twain_32" / "SimScanner.ds");
  std::string path = (Prefix() / "bin").string() + ":" + std::getenv("PATH");
  ::setenv("PATH", path.c_str(), 1);
  {
    TChildProcess list("twain-acquire", {"--list"}, (Root() / "list.txt").string());
    ASSERT_EQ(list.Wait(60), 0) << list.Output();
    EXPECT_NE(list.Output().find("SimScanner\n"), std::string::npos) << list.Output();
  }
  TChildProcess acquire("twain-acquire",
                        {"--source", "SimScanner", "--pages", "1", "--timeout", "10", "--out",
                         (Root() / "pages").string()},
                        (Root() / "acquire.txt").string());
  EXPECT_EQ(acquire.Wait(60), 0) << acquire.Output();
  EXPECT_TRUE(fs::is_regular_file(Root() / "pages" / "native-1.bmp"));
  EXPECT_TRUE(fs::is_regular_file(Root() / "pages" / "memory-1.bmp"));
}

TEST_F(Installed, PanelRunsFromThePrefixAndEndsOnSigterm) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TChildProcess panel((Prefix() / "bin" / "clarivo").string(), {},
                      (Root() / "clarivo.txt").string());
  ASSERT_TRUE(WaitForPanel()) << panel.Output();
  EXPECT_TRUE(fs::is_directory(ProgramDir() / "test"));
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.Wait(30), 0) << panel.Output();
}

}  // namespace
