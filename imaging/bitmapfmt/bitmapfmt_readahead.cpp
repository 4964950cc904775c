// The read-ahead buffer over the file callbacks.
#include "bitmapfmt_readahead.h"

#include <algorithm>
#include <cstring>

#include "bitmapfmt_error.h"

namespace bitmapfmt {

TReadAhead::TReadAhead(const TBitmapIo& io, int handle)
    : FIo(io), FHandle(handle), FBuffer(kBufferBytes) {}

void TReadAhead::Seek(int64_t position) {
  FNext = FEnd = 0;
  if (position < 0 || FIo.Seek(FHandle, position, TSeekOrigin::soBeginning) != position)
    Fail(kReadError);
}

int64_t TReadAhead::FileSize() {
  FNext = FEnd = 0;
  const int64_t size = FIo.Seek(FHandle, 0, TSeekOrigin::soEnd);
  if (size < 0) Fail(kReadError);
  return size;
}

void TReadAhead::RequireData(int64_t offset, int64_t needed, int64_t perByte) {
  const int64_t available = FileSize() - offset;
  if (available < 0 || available * perByte < needed) Fail(kReadError);
}

void TReadAhead::Fill() {
  const int64_t got = FIo.Read(FHandle, FBuffer.data(), static_cast<int64_t>(FBuffer.size()));
  if (got <= 0 || got > static_cast<int64_t>(FBuffer.size())) Fail(kReadError);
  FNext = 0;
  FEnd = static_cast<size_t>(got);
}

void TReadAhead::Read(void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    if (FNext == FEnd) Fill();
    const size_t n = std::min(count, FEnd - FNext);
    std::memcpy(out, FBuffer.data() + FNext, n);
    FNext += n;
    out += n;
    count -= n;
  }
}

}  // namespace bitmapfmt
