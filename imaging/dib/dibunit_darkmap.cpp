#include "dibunit_darkmap.h"

#include <algorithm>

#include "dibunit_runcount.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

void SetBit(uint8_t* Bits, int32_t I) {
  Bits[I >> 3] |= static_cast<uint8_t>(1 << (I & 7));
}

}  // namespace

void TDarkStrips::Allocate(int32_t Width, int32_t Height, std::vector<uint8_t>& Bits) {
  FWidth = Width;
  FHeight = Height;
  FStrips = (Width + 7) / 8;
  Bits.assign(static_cast<size_t>(FStrips), 0);
  FCounts.resize(static_cast<size_t>(FStrips) * Height);
}

void TDarkStrips::Enter(int32_t Y, const std::vector<uint8_t>& Bits) {
  for (int32_t s = 0; s < FStrips; ++s) {
    FCounts[static_cast<size_t>(s) * FHeight + Y] = runcount::kBitCounts[Bits[s]];
  }
}

TDarkStrips TDarkStrips::Merged(int32_t Factor, std::vector<uint16_t>& Into) const {
  TDarkStrips merged(Into);
  merged.FWidth = FWidth;
  merged.FHeight = FHeight;
  merged.FStripWidth = FStripWidth * Factor;
  merged.FStrips = (FStrips + Factor - 1) / Factor;
  merged.FCounts.assign(static_cast<size_t>(merged.FStrips) * FHeight, 0);
  for (int32_t s = 0; s < FStrips; ++s) {
    uint16_t* into = merged.FCounts.data() + static_cast<size_t>(s / Factor) * FHeight;
    const uint16_t* from = Counts(s);
    for (int32_t y = 0; y < FHeight; ++y) into[y] = static_cast<uint16_t>(into[y] + from[y]);
  }
  return merged;
}

int32_t TDarkStrips::DoubleMiddle(int32_t S) const {
  const int32_t first = S * FStripWidth, last = std::min(first + FStripWidth, FWidth) - 1;
  return first + last;
}

void darkmap::MarkBytesBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level,
                             uint8_t* Bits) {
  if (Level == 0) return;
  const uint8_t* run = Row + X;
  int32_t i = 0;
#ifdef __SSE2__
  // A byte is below Level when min(byte, Level - 1) is the byte.
  const __m128i top = _mm_set1_epi8(static_cast<char>(Level - 1));
  for (; i + 16 <= N; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run + i));
    const int below = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, top), bytes));
    Bits[i >> 3] = static_cast<uint8_t>(below);
    Bits[(i >> 3) + 1] = static_cast<uint8_t>(below >> 8);
  }
#endif
  for (; i < N; ++i) {
    if (run[i] < Level) SetBit(Bits, i);
  }
}

// The gray value (11 blue + 59 green + 30 red) div 100 of a pixel stored blue, green, red lies
// below Level exactly when the weighted sum lies below 100 x Level.
void darkmap::MarkGrayBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level,
                            uint8_t* Bits) {
  const int32_t limit = 100 * Level;
  const uint8_t* p = Row + 3 * X;
  for (int32_t i = 0; i < N; ++i, p += 3) {
    if (11 * p[0] + 59 * p[1] + 30 * p[2] < limit) SetBit(Bits, i);
  }
}

// Eight pixels at a time, each byte as the row holds it (its first pixel in the high bit). A
// byte after the last pixel's byte is never read.
void darkmap::MarkBits(const uint8_t* Row, int32_t X, int32_t N, bool Set, uint8_t* Bits) {
  const uint8_t flip = Set ? 0x00 : 0xFF;
  const int32_t shift = X & 7;
  const uint8_t* p = Row + (X >> 3);
  const uint8_t* last = Row + ((X + N - 1) >> 3);
  for (int32_t i = 0; i < N; i += 8, ++p) {
    uint32_t pair = static_cast<uint32_t>(p[0]) << 8;
    if (shift != 0 && p < last) pair |= p[1];
    auto eight = static_cast<uint8_t>(((pair << shift) >> 8) ^ flip);
    if (N - i < 8) eight &= static_cast<uint8_t>(0xFF00 >> (N - i));
    Bits[i >> 3] = eight;
  }
}
