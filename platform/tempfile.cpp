#include "tempfile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "exception.h"

std::string win32::GetTempPath() {
  const char* variable = std::getenv("TMPDIR");
  std::string path = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string WriteUniqueFile(const std::string& Prefix, const std::string& Suffix, const void* Data,
                            size_t Count) {
  std::string name = Prefix + "XXXXXX" + Suffix;
  // mkstemps makes the file with mode 0600 and fails rather than open an existing one.
  int handle = mkstemps(name.data(), static_cast<int>(Suffix.size()));
  if (handle < 0) {
    throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(errno));
  }
  auto* bytes = static_cast<const char*>(Data);
  while (Count > 0) {
    ssize_t written = write(handle, bytes, Count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      int error = written < 0 ? errno : ENOSPC;
      close(handle);
      unlink(name.c_str());
      throw EWriteError("Stream write error: " + name + ": " + std::strerror(error));
    }
    bytes += written;
    Count -= static_cast<size_t>(written);
  }
  if (close(handle) != 0) {
    int error = errno;
    unlink(name.c_str());
    throw EWriteError("Stream write error: " + name + ": " + std::strerror(error));
  }
  return name;
}
