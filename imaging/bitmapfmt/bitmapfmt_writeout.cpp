// The write buffer over the file callbacks.
#include "bitmapfmt_writeout.h"

#include <algorithm>

#include "bitmapfmt_error.h"

namespace bitmapfmt {

TWriteOut::TWriteOut(const TBitmapIo& io, int handle) : FIo(io), FHandle(handle) {
  FBuffer.reserve(kBufferBytes);
}

void TWriteOut::Put(const void* buffer, size_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    if (FBuffer.size() == kBufferBytes) Flush();
    const size_t n = std::min(count, kBufferBytes - FBuffer.size());
    FBuffer.insert(FBuffer.end(), in, in + n);
    in += n;
    count -= n;
  }
}

void TWriteOut::Flush() {
  const auto count = static_cast<int64_t>(FBuffer.size());
  if (count > 0 && FIo.Write(FHandle, FBuffer.data(), count) != count) Fail(kWriteError);
  FBuffer.clear();
}

}  // namespace bitmapfmt
