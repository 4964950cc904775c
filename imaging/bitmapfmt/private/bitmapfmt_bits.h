// Small helpers of the bitmap format module: little-endian fields, brightness, bit inversion
// and the size limits of a bitmap.
#pragma once

#include <cstdint>

#include "bitmapfmt.h"

namespace bitmapfmt {

inline unsigned Le16(const uint8_t* p) {
  return p[0] | (p[1] << 8);
}
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, unsigned v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v & 0xffff);
  PutLe16(p + 2, v >> 16);
}

// Brightness of a palette entry, for choosing which of two entries is the darker.
inline int Brightness(const TRgb& c) {
  return 30 * c.R + 60 * c.G + 10 * c.B;
}

// Inverts the bits of the first width pixels of a 1-bit row; the padding stays as it is.
void InvertRowBits(uint8_t* row, int width);

// Raises kBadSize unless the bitmap has 1 to 65535 pixels a side and fits 1 GiB.
void CheckSize(int w, int h, int bpp);

}  // namespace bitmapfmt
