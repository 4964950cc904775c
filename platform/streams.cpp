#include "streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "exception.h"

int64_t TStream::Size() {
  int64_t position = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

int64_t TStream::Remaining() {
  return std::max<int64_t>(0, Size() - Position());
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
  int64_t left = count;
  while (left > 0) {
    int64_t chunk = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    left -= chunk;
  }
  return count;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t available = Size() - FPosition;
  int64_t n = std::clamp<int64_t>(count, 0, std::max<int64_t>(available, 0));
  if (n > 0) std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (FPosition + count > Size()) FData.resize(static_cast<size_t>(FPosition + count));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? FPosition
                                                    : Size();
  if (base + offset < 0) throw Exception("Stream seek error");
  FPosition = base + offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw Exception("Stream size error");
  FData.resize(static_cast<size_t>(size));
  FPosition = std::min(FPosition, size);
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  Clear();
  SetSize(file.Size());
  file.ReadBuffer(FData.data(), Size());
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmCreate);
  file.WriteBuffer(FData.data(), Size());
}

// ---- TFileStream ----

namespace {

int OpenFlags(TFileMode mode) {
  switch (mode) {
    case TFileMode::fmOpenRead:
      return O_RDONLY;
    case TFileMode::fmOpenWrite:
      return O_WRONLY;
    case TFileMode::fmOpenReadWrite:
      return O_RDWR;
    case TFileMode::fmCreate:
      return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  FHandle = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0644);
  if (FHandle < 0) {
    const int error = errno;
    std::string reason = std::strerror(error);
    if (mode == TFileMode::fmCreate) {
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
    }
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason, error);
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::FillBuffer() {
  if (FBuffer.empty()) FBuffer.resize(static_cast<size_t>(kBufferBytes));
  FBufferStart = FPosition;
  FBuffered = 0;
  for (;;) {
    ssize_t n = ::pread(FHandle, FBuffer.data(), FBuffer.size(), static_cast<off_t>(FPosition));
    if (n < 0 && errno == EINTR) continue;
    FBuffered = n > 0 ? n : 0;
    return FBuffered;
  }
}

void TFileStream::DropBuffer() {
  FBuffered = 0;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < count) {
    int64_t at = FPosition - FBufferStart;
    if (at >= 0 && at < FBuffered) {
      int64_t n = std::min(count - done, FBuffered - at);
      std::memcpy(out + done, FBuffer.data() + at, static_cast<size_t>(n));
      done += n;
      FPosition += n;
    } else if (count - done >= kBufferBytes) {
      // Large reads go straight into the caller's memory.
      ssize_t n = ::pread(FHandle, out + done, static_cast<size_t>(count - done),
                          static_cast<off_t>(FPosition));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
      FPosition += n;
    } else if (FillBuffer() == 0) {
      break;
    }
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  DropBuffer();
  FSize = -1;
  int64_t done = 0;
  auto* in = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::pwrite(FHandle, in + done, static_cast<size_t>(count - done),
                         static_cast<off_t>(FPosition));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
    FPosition += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? FPosition
                                                    : Size();
  if (offset > std::numeric_limits<int64_t>::max() - std::max<int64_t>(base, 0) ||
      base + offset < 0) {
    throw Exception("Stream seek error");
  }
  FPosition = base + offset;
  return FPosition;
}

int64_t TFileStream::Size() {
  if (FSize < 0) {
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) throw Exception("Stream size error");
    FSize = static_cast<int64_t>(info.st_size);
  }
  return FSize;
}

void TFileStream::SetSize(int64_t size) {
  DropBuffer();
  FSize = -1;
  if (size < 0 || ::ftruncate(FHandle, static_cast<off_t>(size)) != 0) {
    throw Exception("Stream size error");
  }
  if (FPosition > size) FPosition = size;
}
