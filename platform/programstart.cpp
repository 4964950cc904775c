#include "programstart.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace win32 {

bool WinExec(const std::string& Program, int /*ShowMode*/) {
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::string name = Program;
  char* argv[] = {name.data(), nullptr};
  pid_t pid = 0;
  int failed = posix_spawnp(&pid, name.c_str(), nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) return false;
  // The caller never waits for it; this thread collects its exit so that none lingers.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace win32
