#include "namedmutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "envvalue.h"
#include "exception.h"

namespace win32 {

namespace {

// A mutex name may hold any character; the file name keeps it readable but never a path.
std::string FileNameOf(const std::string& Name) {
  std::string file = Name;
  for (char& c : file) {
    if (c == '/') c = '_';
  }
  return file + ".mutex";
}

[[noreturn]] void RaiseLockError(const std::string& Path) {
  throw Exception("Unable to use the mutex lock file " + Path + ": " + std::strerror(errno));
}

int OpenLockFile(const std::string& Path) {
  int fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) RaiseLockError(Path);
  return fd;
}

int LockRetryingSignals(int Fd, int Operation) {
  int result;
  do {
    result = ::flock(Fd, Operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

// A closed descriptor on every path out, unless released to a handle.
class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  int Release() { return std::exchange(FFd, -1); }

 private:
  int FFd;
};

// Tests and takes the mutex in one step that no other process can interleave with: the guard
// file is held exclusively meanwhile, since flock cannot turn a lock into another atomically.
std::unique_ptr<TMutexHandle> Acquire(const std::string& Name, bool CreateWhenMissing) {
  std::string path = MutexLockPath(Name);
  TFd guard(OpenLockFile(path + ".guard"));
  if (LockRetryingSignals(guard.Get(), LOCK_EX) != 0) RaiseLockError(path + ".guard");
  TFd lock(OpenLockFile(path));
  bool existed;
  if (LockRetryingSignals(lock.Get(), LOCK_EX | LOCK_NB) == 0) {
    existed = false;
  } else if (errno == EWOULDBLOCK) {
    existed = true;
  } else {
    RaiseLockError(path);
  }
  if (!existed && !CreateWhenMissing) return nullptr;
  if (LockRetryingSignals(lock.Get(), LOCK_SH) != 0) RaiseLockError(path);
  return std::make_unique<TMutexHandle>(lock.Release(), existed);
}

}  // namespace

TMutexHandle::~TMutexHandle() {
  ::close(FFd);
}

std::string MutexLockPath(const std::string& Name) {
  std::string dir = EnvValue("CLARIVO_RUNTIME_DIR");
  if (dir.empty()) dir = EnvValue("XDG_RUNTIME_DIR");
  std::string prefix;
  if (dir.empty()) {
    dir = EnvValue("TMPDIR");
    if (dir.empty()) dir = "/tmp";
    prefix = "uid" + std::to_string(::getuid()) + "-";
  }
  if (dir.back() != '/') dir += '/';
  return dir + prefix + FileNameOf(Name);
}

std::unique_ptr<TMutexHandle> CreateMutex(const std::string& Name) {
  return Acquire(Name, true);
}

std::unique_ptr<TMutexHandle> OpenMutex(const std::string& Name) {
  return Acquire(Name, false);
}

}  // namespace win32
