// Real processes: the control panel `clarivo` with the test scanner (or SimScanner.ds) on a
// free port, with settings, a runtime folder, a program folder and a Windows directory of the
// test's own, and this test program as the TWAIN host that opens Clarivo.ds through
// TWAIN_32.DLL. Every control panel the test or the data source started is ended by the test.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pagegen.h"
#include "rawhost.h"
#include "registry.h"
#include "userprompt.h"
#include "vekTWAINDSStartup.h"

extern char** environ;

class TEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    Root = fs::temp_directory_path() /
           ("clarivo-ds-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Root);
    for (const char* dir : {"config", "run", "program/test", "windows/twain_32", "tmp"})
      fs::create_directories(Root / dir);
    std::error_code linked;
    fs::create_hard_link(CLARIVO_EXE, Root / "program" / "clarivo", linked);
    if (linked) fs::copy_file(CLARIVO_EXE, Root / "program" / "clarivo");
    fs::create_symlink(TWAIN_32_DLL, Root / "windows" / "TWAIN_32.DLL");
    fs::create_symlink(CLARIVO_DS, Root / "windows" / "twain_32" / "Clarivo.ds");
    fs::create_symlink(SIMSCANNER_DS, Root / "windows" / "twain_32" / "SimScanner.ds");
    setenv("CLARIVO_CONFIG_DIR", (Root / "config").c_str(), 1);
    setenv("CLARIVO_RUNTIME_DIR", (Root / "run").c_str(), 1);
    setenv("CLARIVO_WINDOWS_DIR", (Root / "windows").c_str(), 1);
    FPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    // The data source starts the control panel by its name, as the system finds it.
    setenv("PATH", ((Root / "program").string() + ":" + FPath).c_str(), 1);
    Port = FreePort();
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteInteger("Server", "Local Port", Port);
    reg.WriteString("Scanner", "Name", "[Test Scanner]");
    reg.WriteInteger("Scanner", "Timeout", 2);
    reg.WriteBool("Images", "Deskew", false);
    reg.WriteBool("Images", "Dynamic Thresholding", false);
    reg.WriteInteger("User Interface", "Image Type", 1);
    reg.WriteInteger("User Interface", "X Resolution", 100);
    reg.WriteInteger("User Interface", "Y Resolution", 100);
    reg.UpdateFile();
    win32::SetMessageBoxHook([this](const QString& Text, const QString&, unsigned) {
      Boxes.push_back(Text.toStdString());
      return win32::IDOK;
    });
  }
  void TearDown() override {
    win32::SetMessageBoxHook({});
    EndPanels();
    // The control panel the test started ran clean under the sanitizers, to its exit.
    std::ifstream log(Root / "clarivo.err");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
    setenv("PATH", FPath.c_str(), 1);
    for (const char* name : {"CLARIVO_CONFIG_DIR", "CLARIVO_RUNTIME_DIR", "CLARIVO_WINDOWS_DIR"})
      unsetenv(name);
    std::filesystem::remove_all(Root);
  }

  static uint16_t FreePort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &local.sin_addr);
    bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t length = sizeof local;
    getsockname(probe, reinterpret_cast<sockaddr*>(&local), &length);
    close(probe);
    return ntohs(local.sin_port);
  }

  // Starts the control panel and waits until it serves.
  void StartPanel() {
    std::string exe = (Root / "program" / "clarivo").string();
    char* argv[] = {exe.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (Root / "clarivo.err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(WaitUntilAccepting({"127.0.0.1", Port}, 20000));
  }

  // Ends every control panel of the test as a session ends (SIGTERM), so that it exits and
  // its leak check runs; one that does not end within ten seconds is killed.
  void EndPanels() {
    std::vector<pid_t> panels = Panels();
    for (pid_t pid : panels) ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Panels().empty() && std::chrono::steady_clock::now() < deadline) {
      for (pid_t pid : panels) ::waitpid(pid, nullptr, WNOHANG);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (pid_t pid : Panels()) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // The control panels running from the test's program folder, whoever started them.
  std::vector<pid_t> Panels() const {
    std::vector<pid_t> found;
    const std::filesystem::path exe = Root / "program" / "clarivo";
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      pid_t pid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
      if (pid <= 0) continue;
      std::error_code error;
      std::filesystem::path target = std::filesystem::read_symlink(entry.path() / "exe", error);
      if (!error && target == exe) found.push_back(pid);
    }
    return found;
  }

  // Pages of the feeder besides the test scanner's own: gray, at the request's resolution.
  void FeederPages(int Count) {
    for (int i = 0; i < Count; ++i) {
      TPageOptions o;
      o.Width = 850;
      o.Height = 1100;
      o.DPI = 100;
      o.Margin = 80;
      o.Seed = static_cast<uint32_t>(i + 1);
      MakeReferencePage(o)->SaveToFile(
          (Root / "program" / "test" / ("page" + std::to_string(i) + ".bmp")).string());
    }
  }

  // The "Scan !" button of the data source's dialog, once it is shown.
  static QPushButton* ScanButton() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      for (QPushButton* button : top->findChildren<QPushButton*>())
        if (button->text() == "Scan !") return button;
    }
    return nullptr;
  }

  std::filesystem::path Root;
  uint16_t Port = 0;
  std::vector<std::string> Boxes;

 private:
  std::string FPath;
};
