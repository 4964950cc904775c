// Arbitrary bytes read by the bitmap format module's three readers, with and without their
// options: every call answers a code, nothing is read or written outside a buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bitmapfmt.h"

namespace {

const uint8_t* gData = nullptr;
int64_t gSize = 0;
int64_t gPosition = 0;
constexpr int kHandle = 7;

bitmapfmt::TBitmapIo MemoryIo() {
  bitmapfmt::TBitmapIo io;
  io.Seek = [](int handle, int64_t offset, TSeekOrigin origin) -> int64_t {
    if (handle != kHandle) return -1;
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                         : origin == TSeekOrigin::soCurrent ? gPosition
                                                            : gSize;
    if (base + offset < 0) return -1;
    return gPosition = base + offset;
  };
  io.Read = [](int handle, void* buffer, int64_t count) -> int64_t {
    if (handle != kHandle) return -1;
    const int64_t n = std::max<int64_t>(0, std::min(count, gSize - gPosition));
    if (n > 0) std::memcpy(buffer, gData + gPosition, static_cast<size_t>(n));
    gPosition += n;
    return n;
  };
  io.Write = [](int, const void*, int64_t) -> int64_t { return -1; };
  return io;
}

void ReadWith(int index, const char* options) {
  bitmapfmt::TBitmapDesc desc;
  if (bitmapfmt::ReadHeader("fuzz", kHandle, index, &desc, options) != bitmapfmt::kOk) return;
  std::vector<bitmapfmt::TRgb> palette;
  bitmapfmt::ReadPalette(kHandle, index, &desc, &palette);
  std::vector<uint8_t> data;
  if (bitmapfmt::ReadData(kHandle, index, &desc, &data) == bitmapfmt::kOk &&
      static_cast<int64_t>(data.size()) != bitmapfmt::RowBytes(desc.W, desc.Bpp) * desc.H)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int installed = bitmapfmt::SetIo(MemoryIo());
  (void)installed;
  gData = data;
  gSize = static_cast<int64_t>(size);
  gPosition = 0;
  ReadWith(0, "");
  ReadWith(0, "inv invb");
  ReadWith(1, "");
  ReadWith(1, "trunc");
  ReadWith(2, "");
  return 0;
}
