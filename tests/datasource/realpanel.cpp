#include "realpanel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "registry.h"
#include "uDSUserInterface.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

uint16_t FreePort() {
  const int handle = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  uint16_t port = 0;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(handle);
  return port;
}

bool Accepts(uint16_t Port) {
  const int handle = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(Port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(handle);
  return connected;
}

}  // namespace

void RealPanelTest::SetUp() {
  Root =
      fs::temp_directory_path() / ("clarivo-ds-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(Root);
  for (const char* folder : {"config", "run", "windows/twain_32", "program", "tmp"}) {
    fs::create_directories(Root / folder);
  }
  // The program finds its cache and test folders beside itself: a link of its own.
  std::error_code error;
  fs::create_hard_link(CLARIVO_EXE, Root / "program" / "clarivo", error);
  if (error) fs::copy_file(CLARIVO_EXE, Root / "program" / "clarivo");
  ::setenv("CLARIVO_CONFIG_DIR", (Root / "config").c_str(), 1);
  ::setenv("CLARIVO_RUNTIME_DIR", (Root / "run").c_str(), 1);
  ::setenv("CLARIVO_WINDOWS_DIR", (Root / "windows").c_str(), 1);
  ::setenv("TMPDIR", (Root / "tmp").c_str(), 1);
  Port = FreePort();
  ASSERT_NE(Port, 0);
  Store("Scanner", "Name", "[Test Scanner]");
  Store("Scanner", "Timeout", "3");
  Store("Server", "Local Port", QString::number(Port));
  Store("Images", "Deskew", "0");
}

void RealPanelTest::TearDown() {
  StopPanel();
  for (const char* name :
       {"CLARIVO_CONFIG_DIR", "CLARIVO_RUNTIME_DIR", "CLARIVO_WINDOWS_DIR", "TMPDIR"}) {
    ::unsetenv(name);
  }
  std::error_code error;
  fs::remove_all(Root, error);
}

void RealPanelTest::Store(const QString& Section, const QString& Ident, const QString& Value) {
  TRegIniFile reg(TFormSource::RegistryKey);
  reg.WriteString(Section, Ident, Value);
  reg.UpdateFile();
}

bool RealPanelTest::StartPanel() {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (Root / "clarivo.err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string program = (Root / "program" / "clarivo").string();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const int spawned = posix_spawn(&Panel, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    Panel = -1;
    return false;
  }
  for (int i = 0; i < 600; ++i) {
    if (Accepts(Port)) return true;
    if (::waitpid(Panel, nullptr, WNOHANG) == Panel) {
      Panel = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void RealPanelTest::StopPanel() {
  if (Panel < 0) return;
  ::kill(Panel, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(Panel, nullptr, WNOHANG) == Panel) {
      Panel = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(Panel, SIGKILL);
  ::waitpid(Panel, nullptr, 0);
  Panel = -1;
}

std::string RealPanelTest::PanelOutput() const {
  std::ifstream in(Root / "clarivo.err");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
