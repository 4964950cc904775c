// The program `clarivo` as a user starts it, with the test scanner, settings, a runtime folder
// and a program folder of the test's own and a free port, serving pages to the protocol's test
// client; the test ends the program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QString>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "UnitSharedParam.h"
#include "dibunit.h"
#include "registry.h"
#include "streams.h"
#include "testclient.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TBytes FileBytes(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<TDIB> PageOf(const TBytes& Bmp) {
  TMemoryStream stream;
  stream.WriteBuffer(Bmp.data(), static_cast<int64_t>(Bmp.size()));
  stream.SetPosition(0);
  auto page = std::make_unique<TDIB>();
  page->LoadFromStream(stream);
  return page;
}

class ProgramServingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() / ("clarivo-serving-" + std::to_string(::getpid()));
    fs::remove_all(Root);
    for (const char* dir : {"config", "run", "program/test", "windows"}) {
      fs::create_directories(Root / dir);
    }
    // The program keeps its "cache" and "test" folders beside itself.
    std::error_code linked;
    fs::create_hard_link(CLARIVO_EXE, Root / "program" / "clarivo", linked);
    if (linked) fs::copy_file(CLARIVO_EXE, Root / "program" / "clarivo");
    ::setenv("CLARIVO_CONFIG_DIR", (Root / "config").c_str(), 1);
    ::setenv("CLARIVO_RUNTIME_DIR", (Root / "run").c_str(), 1);
    ::setenv("CLARIVO_WINDOWS_DIR", (Root / "windows").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Port = FreePort();
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteInteger("Server", "Local Port", Port);
    reg.WriteString("Scanner", "Name", "[Test Scanner]");
    reg.WriteInteger("Scanner", "Timeout", 2);
    reg.WriteBool("Images", "Deskew", false);
    reg.WriteBool("Images", "Dynamic Thresholding", false);
    reg.UpdateFile();
  }
  void TearDown() override {
    if (Child > 0) {
      ::kill(Child, SIGKILL);
      ::waitpid(Child, nullptr, 0);
    }
    fs::remove_all(Root);
  }
  void Start() {
    std::string exe = (Root / "program" / "clarivo").string();
    char* argv[] = {exe.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (Root / "clarivo.err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(posix_spawn(&Child, exe.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  // A connection once the program listens, within 20 s.
  std::unique_ptr<TTestClient> Connect() {
    for (int i = 0; i < 400; ++i) {
      auto client = std::make_unique<TTestClient>(Port);
      if (client->Connected) return client;
      std::this_thread::sleep_for(50ms);
    }
    return nullptr;
  }
  // The exit code once the program ended by itself within 20 s, else -1.
  int Wait() {
    for (int i = 0; i < 400; ++i) {
      int status = 0;
      if (::waitpid(Child, &status, WNOHANG) == Child) {
        Child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(50ms);
    }
    return -1;
  }

  fs::path Root;
  uint16_t Port = 0;
  pid_t Child = -1;
};

TEST_F(ProgramServingTest, ServesTheTestScannersPagesOverTheProtocol) {
  {
    TDIB extra;
    extra.NewImage(80, 60, pt8bit, 100, 100);
    extra.Clear();
    extra.SaveToFile((Root / "program" / "test" / "extra.bmp").string());
  }
  Start();
  std::unique_ptr<TTestClient> c = Connect();
  ASSERT_NE(c, nullptr);
  TScanRequest request{};
  request.ImageCount = -1;
  request.XResolution = request.YResolution = 100;
  request.PageWidth = 2;
  request.PageHeight = 3;
  request.PixelType = 1;
  c->Send(TTestClient::Request(CMD_START_SCAN,
                               TBytes(reinterpret_cast<const char*>(&request), sizeof request)));
  c->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\xff\xff\xff\xff", 8));

  c->Send(TTestClient::Request(CMD_GET_PAGE));
  TBytes page = c->Reply();
  ASSERT_GT(page.size(), 9u);
  EXPECT_EQ(Int32At(page, 5), static_cast<int32_t>(page.size() - 9));
  std::unique_ptr<TDIB> front = PageOf(page.substr(9));
  EXPECT_EQ(front->PixelType(), pt8bit);
  EXPECT_EQ(front->Width(), 200);
  EXPECT_EQ(front->Height(), 300);

  c->Send(TTestClient::Request(CMD_GET_ORIGINAL));
  TBytes original = c->Reply();
  EXPECT_EQ(original.substr(8), FileBytes(Root / "program" / "test" / "front.bmp"));

  c->Send(TTestClient::Request(CMD_GET_PAGE_FILE));
  TBytes file = c->Reply();
  ASSERT_GT(file.size(), 9u);
  std::string path = file.substr(9);
  EXPECT_EQ(PageOf(FileBytes(path))->Width(), 80);
  fs::remove(path);

  c->Send(TTestClient::Request(CMD_GET_PAGE));
  EXPECT_EQ(c->Reply().size(), 9u);
  c->Send(TTestClient::Request(CMD_STOP_SCAN));
  c->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  c.reset();

  // The end of the session: the program ends by itself and clears its cache.
  ::kill(Child, SIGTERM);
  EXPECT_EQ(Wait(), 0);
  EXPECT_TRUE(fs::exists(Root / "program" / "test" / "front.bmp"));
  EXPECT_TRUE(fs::is_empty(Root / "program" / "cache"));
}

// With "Share Local Scanner" off, another computer (played from 127.0.0.2) is refused while
// this computer is served.
TEST_F(ProgramServingTest, SharingOffRefusesAnotherComputer) {
  {
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteBool("Scanner", "Share", false);
    reg.UpdateFile();
  }
  Start();
  std::unique_ptr<TTestClient> local = Connect();
  ASSERT_NE(local, nullptr);
  TTestClient other(Port, "127.0.0.2");
  ASSERT_TRUE(other.Connected);
  EXPECT_TRUE(other.Closed());
  local->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(local->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  local.reset();
  ::kill(Child, SIGTERM);
  EXPECT_EQ(Wait(), 0);
}

}  // namespace
