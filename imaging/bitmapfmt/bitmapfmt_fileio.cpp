// File callbacks over TFileStream: each open stream is kept under a small integer handle.
#include "bitmapfmt_fileio.h"

#include <map>
#include <memory>
#include <mutex>

namespace bitmapfmt {

namespace {

class TOpenFiles {
 public:
  int Add(const std::string& fileName, TFileMode mode) {
    try {
      auto stream = std::make_shared<TFileStream>(fileName, mode);
      std::lock_guard<std::mutex> lock(FLock);
      const int handle = FNextHandle++;
      FFiles.emplace(handle, std::move(stream));
      return handle;
    } catch (...) {
      return -1;
    }
  }

  int Remove(int handle) {
    std::lock_guard<std::mutex> lock(FLock);
    return FFiles.erase(handle) == 1 ? 0 : -1;
  }

  std::shared_ptr<TFileStream> Find(int handle) {
    std::lock_guard<std::mutex> lock(FLock);
    auto it = FFiles.find(handle);
    return it == FFiles.end() ? nullptr : it->second;
  }

 private:
  std::mutex FLock;
  std::map<int, std::shared_ptr<TFileStream>> FFiles;
  int FNextHandle = 1;
};

TOpenFiles& OpenFiles() {
  static TOpenFiles files;
  return files;
}

// Runs f on the stream of the handle; -1 when there is none or the stream fails.
template <class F>
int64_t OnStream(int handle, F f) {
  try {
    std::shared_ptr<TFileStream> stream = OpenFiles().Find(handle);
    return stream ? f(*stream) : -1;
  } catch (...) {
    return -1;
  }
}

}  // namespace

TBitmapIo DefaultIo() {
  TBitmapIo io;
  io.Open = [](const std::string& name) { return OpenFiles().Add(name, TFileMode::fmOpenRead); };
  io.Create = [](const std::string& name) { return OpenFiles().Add(name, TFileMode::fmCreate); };
  io.Close = [](int handle) { return OpenFiles().Remove(handle); };
  io.Seek = [](int handle, int64_t offset, TSeekOrigin origin) {
    return OnStream(handle, [&](TStream& s) { return s.Seek(offset, origin); });
  };
  io.Read = [](int handle, void* buffer, int64_t count) {
    return OnStream(handle, [&](TStream& s) { return s.Read(buffer, count); });
  };
  io.Write = [](int handle, const void* buffer, int64_t count) {
    return OnStream(handle, [&](TStream& s) { return s.Write(buffer, count); });
  };
  return io;
}

}  // namespace bitmapfmt
