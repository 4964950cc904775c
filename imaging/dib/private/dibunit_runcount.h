// Counting kernels over a run of pixels in one row, for the run counters of the page. (Skew
// detection counts the same pixels through its dark map.)
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace runcount {

constexpr std::array<uint8_t, 256> MakeBitCounts() {
  std::array<uint8_t, 256> counts{};
  for (int i = 0; i < 256; ++i) {
    for (int b = i; b != 0; b >>= 1) counts[i] += b & 1;
  }
  return counts;
}
inline constexpr std::array<uint8_t, 256> kBitCounts = MakeBitCounts();

// The bits of a byte from pixel X mod 8 onwards, and up to pixel X mod 8.
inline constexpr uint8_t kFirstMask[8] = {255, 127, 63, 31, 15, 7, 3, 1};
inline constexpr uint8_t kLastMask[8] = {128, 192, 224, 240, 248, 252, 254, 255};

// Set bits among pixels X..X+N-1 of a 1-bit row (N > 0).
inline int32_t SetBits(const uint8_t* Row, int32_t X, int32_t N) {
  const int32_t first = X >> 3, last = (X + N - 1) >> 3;
  const uint8_t firstMask = kFirstMask[X & 7], lastMask = kLastMask[(X + N - 1) & 7];
  if (first == last) return kBitCounts[Row[first] & firstMask & lastMask];
  int32_t count = kBitCounts[Row[first] & firstMask] + kBitCounts[Row[last] & lastMask];
  for (int32_t i = first + 1; i < last; ++i) count += kBitCounts[Row[i]];
  return count;
}

// Bytes of Run[0..N-1] below Level.
inline int32_t BytesBelow(const uint8_t* Run, int32_t N, uint8_t Level) {
  if (Level == 0) return 0;
  int32_t count = 0, i = 0;
#ifdef __SSE2__
  // Sixteen bytes at a time: a byte is below Level when min(byte, Level - 1) is the byte. The
  // byte counters take at most 255 rounds before they are summed.
  const __m128i top = _mm_set1_epi8(static_cast<char>(Level - 1));
  while (N - i >= 16) {
    const int32_t rounds = std::min((N - i) / 16, 255);
    __m128i counters = _mm_setzero_si128();
    for (int32_t r = 0; r < rounds; ++r, i += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Run + i));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(_mm_min_epu8(bytes, top), bytes));
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
  }
  // The rest of a run of at least 16 bytes: its last 16 bytes, without those counted above.
  if (i < N && N >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Run + N - 16));
    const uint32_t below =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, top), bytes)));
    const uint32_t rest = below >> (16 - (N - i));
    return count + kBitCounts[rest & 0xFF] + kBitCounts[rest >> 8];
  }
#endif
  for (; i < N; ++i) count += Run[i] < Level;
  return count;
}

// 24-bit pixels of Run[0..N-1] (stored blue, green, red) whose gray value lies below Level.
// The gray value (11 blue + 59 green + 30 red) div 100 lies below Level exactly when the
// weighted sum lies below 100 x Level.
inline int32_t GrayBelow(const uint8_t* Run, int32_t N, uint8_t Level) {
  const int32_t limit = 100 * Level;
  int32_t count = 0;
  for (int32_t i = 0; i < N; ++i, Run += 3)
    count += 11 * Run[0] + 59 * Run[1] + 30 * Run[2] < limit;
  return count;
}

}  // namespace runcount
