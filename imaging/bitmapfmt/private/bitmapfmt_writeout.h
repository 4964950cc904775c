// Buffered writing through the file callbacks. A short write raises kWriteError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmapfmt.h"

namespace bitmapfmt {

class TWriteOut {
 public:
  static constexpr size_t kBufferBytes = 16384;

  TWriteOut(const TBitmapIo& io, int handle);

  void Put(const void* buffer, size_t count);
  // Writes what is buffered; the destructor drops it, so a failed writing writes no more.
  void Flush();

 private:
  const TBitmapIo& FIo;
  int FHandle;
  std::vector<uint8_t> FBuffer;
};

}  // namespace bitmapfmt
