#include "programstart.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace win32 {

namespace {

// Reads what the started program's parent told through the pipe: nothing (end of file) once
// the program runs, else the error of its start.
bool StartedOnReport(int ReadEnd) {
  int error = 0;
  ssize_t got;
  do {
    got = read(ReadEnd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == 0;
}

}  // namespace

// The program is the grandchild of the caller: the child only starts a session, forks it and
// ends at once, so the caller has nothing to wait for and the program is the system's to reap.
// The start's failure comes back through a pipe that the program's exec closes.
bool WinExec(const std::string& Program, int /*ShowMode*/) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  std::string name = Program;
  char* argv[] = {name.data(), nullptr};
  pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    setsid();
    pid_t program = fork();
    if (program == 0) {
      execvp(argv[0], argv);
      int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    if (program < 0) {
      int error = errno;
      (void)!write(report[1], &error, sizeof error);
    }
    _exit(0);
  }
  close(report[1]);
  bool started = false;
  if (child > 0) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    started = StartedOnReport(report[0]);
  }
  close(report[0]);
  return started;
}

}  // namespace win32
