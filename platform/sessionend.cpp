#include "sessionend.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "exception.h"

namespace {

int gWriteFd = -1;

extern "C" void OnSessionEnd(int) {
  int saved = errno;
  char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(gWriteFd, &byte, 1);
  errno = saved;
}

int MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw Exception(std::string("Unable to watch for the end of the session: ") +
                    std::strerror(errno));
  }
  gWriteFd = fds[1];
  struct sigaction action {};
  action.sa_handler = OnSessionEnd;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  return fds[0];
}

}  // namespace

int SessionEndSignalFd() {
  static const int readFd = MakePipe();
  return readFd;
}

void DrainSessionEndSignal(int Fd) {
  char buffer[64];
  while (::read(Fd, buffer, sizeof buffer) > 0) {
  }
}
