#include "panelprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "freeport.h"
#include "registry.h"

extern char** environ;

namespace fs = std::filesystem;

TPanelProcess::TPanelProcess(const std::string& Name, const std::string& Clarivo,
                             const std::string& Manager, const std::string& DataSource) {
  Root = fs::temp_directory_path() / ("clarivo-" + Name + "-" + std::to_string(::getpid()));
  ProgramDir = Root / "program";
  fs::remove_all(Root);
  for (const char* dir : {"config", "run", "program/test", "windows/twain_32", "tmp"})
    fs::create_directories(Root / dir);
  // The program keeps its "cache" and "test" folders beside itself.
  std::error_code linked;
  fs::create_hard_link(Clarivo, ProgramDir / "clarivo", linked);
  if (linked) fs::copy_file(Clarivo, ProgramDir / "clarivo");
  if (!Manager.empty()) fs::create_symlink(Manager, Root / "windows" / "TWAIN_32.DLL");
  if (!DataSource.empty())
    fs::create_symlink(DataSource, Root / "windows" / "twain_32" / "Clarivo.ds");
  setenv("CLARIVO_CONFIG_DIR", (Root / "config").c_str(), 1);
  setenv("CLARIVO_RUNTIME_DIR", (Root / "run").c_str(), 1);
  setenv("CLARIVO_WINDOWS_DIR", (Root / "windows").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  FHadTmpDir = getenv("TMPDIR") != nullptr;
  if (FHadTmpDir) FTmpDir = getenv("TMPDIR");
  setenv("TMPDIR", (Root / "tmp").c_str(), 1);
  FPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
  // A data source starts the control panel by its name, as the system finds it.
  setenv("PATH", (ProgramDir.string() + ":" + FPath).c_str(), 1);
  Port = FreePort();
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteInteger("Server", "Local Port", Port);
  reg.WriteString("Scanner", "Name", "[Test Scanner]");
  reg.WriteInteger("Scanner", "Timeout", 2);
  reg.WriteBool("Images", "Deskew", false);
  reg.WriteBool("Images", "Dynamic Thresholding", false);
  reg.UpdateFile();
}

TPanelProcess::~TPanelProcess() {
  End();
  setenv("PATH", FPath.c_str(), 1);
  if (FHadTmpDir)
    setenv("TMPDIR", FTmpDir.c_str(), 1);
  else
    unsetenv("TMPDIR");
  for (const char* name : {"CLARIVO_CONFIG_DIR", "CLARIVO_RUNTIME_DIR", "CLARIVO_WINDOWS_DIR"})
    unsetenv(name);
  std::error_code ignored;
  fs::remove_all(Root, ignored);
}

bool TPanelProcess::Start() {
  std::string exe = (ProgramDir / "clarivo").string();
  char* argv[] = {exe.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (Root / "clarivo.err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  FStatus = -1;
  int failed = posix_spawn(&FChild, exe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    FChild = -1;
    return false;
  }
  for (int i = 0; i < 800; ++i) {
    if (AcceptsOnPort(Port)) return true;
    if (Wait(0) != -1) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

int TPanelProcess::Terminate(int Seconds) {
  if (FChild > 0) ::kill(FChild, SIGTERM);
  return Wait(Seconds);
}

int TPanelProcess::Wait(int Seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (FChild > 0) {
    Reap(FChild, WNOHANG);
    if (FChild <= 0) break;
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return FStatus;
}

void TPanelProcess::Reap(int Pid, int Options) {
  int status = 0;
  if (::waitpid(Pid, &status, Options) != Pid || Pid != FChild) return;
  FChild = -1;
  FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void TPanelProcess::End() {
  std::vector<int> panels = Running();
  for (int pid : panels) ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Running().empty() && std::chrono::steady_clock::now() < deadline) {
    for (int pid : panels) Reap(pid, WNOHANG);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (int pid : Running()) {
    ::kill(pid, SIGKILL);
    Reap(pid, 0);
  }
  Wait(0);
}

std::vector<int> TPanelProcess::Running() const {
  std::vector<int> found;
  const fs::path exe = ProgramDir / "clarivo";
  for (const auto& entry : fs::directory_iterator("/proc")) {
    int pid = std::atoi(entry.path().filename().c_str());
    if (pid <= 0) continue;
    std::error_code error;
    fs::path target = fs::read_symlink(entry.path() / "exe", error);
    if (!error && target == exe) found.push_back(pid);
  }
  return found;
}

std::string TPanelProcess::ErrorLog() const {
  std::ifstream log(Root / "clarivo.err");
  return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
}
