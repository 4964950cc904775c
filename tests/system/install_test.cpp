// The system installed into a prefix of the test's own, then its programs started from there
// as a user starts them: no CLARIVO_WINDOWS_DIR, settings and runtime folders of the test's
// own, every child ended by the test.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "childprocess.h"
#include "namedmutex.h"

namespace {

namespace fs = std::filesystem;

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "clarivo-install-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
    ::unsetenv("CLARIVO_WINDOWS_DIR");
    TChildProcess install(CMAKE_COMMAND, {"--install", BUILD_TREE, "--prefix", Prefix().string()},
                          (FRoot / "install.txt").string());
    ASSERT_EQ(install.Wait(120), 0) << install.Output();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }
  fs::path Prefix() const { return FRoot / "prefix"; }
  fs::path ProgramDir() const { return Prefix() / "lib" / "clarivo"; }
  fs::path WindowsDir() const { return ProgramDir() / "windows"; }
  fs::path Root() const { return FRoot; }

 private:
  fs::path FRoot;
};

TEST_F(Installed, LaysTheSystemOutAsItRuns) {
  for (std::string program : {"clarivo", "twain-acquire"}) {
    fs::path onPath = Prefix() / "bin" / program;
    ASSERT_TRUE(fs::is_symlink(onPath)) << program;
    EXPECT_EQ(fs::canonical(onPath), fs::canonical(ProgramDir() / program));
    EXPECT_EQ(::access(onPath.c_str(), X_OK), 0) << program;
  }
  EXPECT_TRUE(fs::is_regular_file(ProgramDir() / "libclarivo_messages.so"));
  EXPECT_TRUE(fs::is_regular_file(WindowsDir() / "TWAIN_32.DLL"));
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
                        {"--pages", "1", "--timeout", "10", "--out", (Root() / "pages").string()},
                        (Root() / "acquire.txt").string());
  EXPECT_EQ(acquire.Wait(60), 0) << acquire.Output();
  EXPECT_TRUE(fs::is_regular_file(Root() / "pages" / "native-1.bmp"));
  EXPECT_TRUE(fs::is_regular_file(Root() / "pages" / "memory-1.bmp"));
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
  EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
  ::close(fd);
  return ntohs(address.sin_port);
}

TEST_F(Installed, PanelRunsFromThePrefixAndEndsOnSigterm) {
  fs::path config = Root() / "config";
  fs::create_directories(config / "Dovantic Technologies");
  fs::create_directories(Root() / "run");
  std::ofstream(config / "Dovantic Technologies" / "Clarivo.conf")
      << "[Server]\nLocal%20Port=" << FreePort() << "\n";
  ::setenv("CLARIVO_CONFIG_DIR", config.c_str(), 1);
  ::setenv("CLARIVO_RUNTIME_DIR", (Root() / "run").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TChildProcess panel((Prefix() / "bin" / "clarivo").string(), {},
                      (Root() / "clarivo.txt").string());
  bool running = false;
  for (int i = 0; i < 400 && !running; ++i) {
    running = win32::OpenMutex("Clarivo Control Panel") != nullptr;
    if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ASSERT_TRUE(running) << panel.Output();
  EXPECT_TRUE(fs::is_directory(ProgramDir() / "test"));
  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.Wait(30), 0) << panel.Output();
  ::unsetenv("CLARIVO_CONFIG_DIR");
  ::unsetenv("CLARIVO_RUNTIME_DIR");
}

}  // namespace
