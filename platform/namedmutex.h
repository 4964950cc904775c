// Named mutexes shared between processes of one user. A mutex is a lock file in the runtime
// directory: it exists while some process holds a shared lock on that file, and it is gone
// when the last holder closes its handle, ends or dies. The directory is $CLARIVO_RUNTIME_DIR,
// else $XDG_RUNTIME_DIR, else the temporary directory (with the user's id in the file name).
#pragma once

#include <memory>
#include <string>

namespace win32 {

// One process's hold on a named mutex; closing it (destruction) lets the mutex go.
class TMutexHandle {
 public:
  TMutexHandle(int Fd, bool AlreadyExisted) : FFd(Fd), FAlreadyExisted(AlreadyExisted) {}
  ~TMutexHandle();
  TMutexHandle(const TMutexHandle&) = delete;
  TMutexHandle& operator=(const TMutexHandle&) = delete;

  // True when another process held the mutex before this handle was made.
  bool AlreadyExisted() const { return FAlreadyExisted; }

 private:
  int FFd;
  bool FAlreadyExisted;
};

// Creates the mutex, or opens it when it exists (AlreadyExisted() then tells). Raises an
// Exception naming the lock file when the file cannot be made or locked.
std::unique_ptr<TMutexHandle> CreateMutex(const std::string& Name);
// Opens the mutex only when it exists; nullptr when no process holds it.
std::unique_ptr<TMutexHandle> OpenMutex(const std::string& Name);

// The lock file that stands for the mutex of this name.
std::string MutexLockPath(const std::string& Name);

}  // namespace win32
