// Bit inversion and size limits shared by the formats.
#include "bitmapfmt_bits.h"

#include "bitmapfmt_error.h"

namespace bitmapfmt {

void InvertRowBits(uint8_t* row, int width) {
  const int whole = width / 8;
  for (int i = 0; i < whole; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  if (const int rest = width % 8) row[whole] ^= static_cast<uint8_t>(0xff00 >> rest);
}

void CheckSize(int w, int h, int bpp) {
  constexpr int kMaxSide = 65535;
  constexpr int64_t kMaxBytes = int64_t{1} << 30;
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) Fail(kBadSize);
  if (RowBytes(w, bpp) * h > kMaxBytes) Fail(kBadSize);
}

}  // namespace bitmapfmt
