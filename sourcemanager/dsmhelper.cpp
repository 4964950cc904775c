#include "dsmhelper.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "windowsdir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr char kHelperName[] = "twain_32-helper";

using TClock = std::chrono::steady_clock;

// Beside the library as it was loaded, else beside the file a link to it leads to; the link
// may be gone meanwhile, so also beside the file that the Windows directory's manager is.
std::string HelperProgram() {
  Dl_info info{};
  static int anchor;
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return "";
  fs::path loaded(info.dli_fname);
  std::error_code error;
  fs::path windows = fs::path(win32::GetWindowsDirectory()) / "TWAIN_32.DLL";
  for (const fs::path& library :
       {loaded, fs::canonical(loaded, error), fs::canonical(windows, error)}) {
    fs::path helper = library.parent_path() / kHelperName;
    if (!library.empty() && access(helper.c_str(), X_OK) == 0) return helper.string();
  }
  return "";
}

int MillisecondsLeft(TClock::time_point Deadline, bool Limited) {
  if (!Limited) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now());
  return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

// Reads the helper's output until it closes it or the time is up; false on the time-out.
bool ReadAll(int Fd, std::string& Output, TClock::time_point Deadline, bool Limited) {
  char buffer[4096];
  for (;;) {
    pollfd fd{Fd, POLLIN, 0};
    int ready = poll(&fd, 1, MillisecondsLeft(Deadline, Limited));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t n = read(Fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    Output.append(buffer, static_cast<size_t>(n));
  }
}

// Waits for the helper's end until the deadline; -1 when it is still running, -2 when the
// process cannot tell (SIGCHLD ignored: the child was reaped by the system).
int WaitFor(pid_t Pid, TClock::time_point Deadline, bool Limited) {
  for (;;) {
    int status = 0;
    pid_t done = waitpid(Pid, &status, WNOHANG);
    if (done == Pid) return status;
    if (done < 0 && errno == ECHILD) return -2;
    if (done < 0 && errno != EINTR) return -2;
    if (Limited && TClock::now() >= Deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string Ending(int Status) {
  if (WIFSIGNALED(Status)) return std::string("it crashed (") + strsignal(WTERMSIG(Status)) + ")";
  return "it gave no answer (exit status " + std::to_string(WEXITSTATUS(Status)) + ")";
}

}  // namespace

THelperRun RunHelper(const std::vector<std::string>& Arguments, int TimeoutMs) {
  THelperRun run;
  std::string program = HelperProgram();
  if (program.empty()) {
    run.Why = std::string("the helper program ") + kHelperName + " is missing";
    return run;
  }
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    run.Why = "no pipe to the helper program";
    return run;
  }
  std::vector<char*> argv{program.data()};
  std::vector<std::string> arguments = Arguments;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    run.Why = std::string("the helper program cannot start: ") + std::strerror(spawned);
    return run;
  }
  const bool limited = TimeoutMs >= 0;
  const auto deadline = TClock::now() + std::chrono::milliseconds(std::max(TimeoutMs, 0));
  bool answered = ReadAll(out[0], run.Output, deadline, limited);
  close(out[0]);
  int status = answered ? WaitFor(pid, deadline, limited) : -1;
  if (status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    run.Why = "it did not answer within " + std::to_string(TimeoutMs / 1000) + " s";
    return run;
  }
  if (status >= 0 && WIFEXITED(status)) run.ExitStatus = WEXITSTATUS(status);
  run.Finished = status == -2 || run.ExitStatus == 0;
  if (!run.Finished) run.Why = Ending(status);
  return run;
}
