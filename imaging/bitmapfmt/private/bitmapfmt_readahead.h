// The read-ahead buffer of 16,384 bytes through which the formats read a file. A short read
// raises kReadError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmapfmt.h"

namespace bitmapfmt {

class TReadAhead {
 public:
  static constexpr size_t kBufferBytes = 16384;

  TReadAhead(const TBitmapIo& io, int handle);

  // Moves to an absolute position; the buffered bytes are dropped.
  void Seek(int64_t position);
  // The length of the file; the position is then undefined until the next Seek.
  int64_t FileSize();
  // Raises kReadError unless the bytes from offset to the end of the file, each of which can
  // stand for at most perByte units of the bitmap, can make up needed units.
  void RequireData(int64_t offset, int64_t needed, int64_t perByte);

  uint8_t Byte() {
    if (FNext == FEnd) Fill();
    return FBuffer[FNext++];
  }
  void Read(void* buffer, size_t count);

 private:
  void Fill();

  const TBitmapIo& FIo;
  int FHandle;
  std::vector<uint8_t> FBuffer;
  size_t FNext = 0;
  size_t FEnd = 0;
};

}  // namespace bitmapfmt
