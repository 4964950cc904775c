// The dark pixels of a rectangle of a page for counting runs of them: per 8 pixels of a line
// one entry that holds the number of dark pixels of the line before them and, in its low
// byte, the 8 pixels as bits. The dark pixels of any run of a line take two look-ups. Skew
// detection counts millions of short runs on one page.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dibunit.h"

namespace darkmap {

// kLowBits[b][r]: the set bits of byte b among its bits 0 .. r - 1.
constexpr std::array<std::array<uint8_t, 8>, 256> MakeLowBits() {
  std::array<std::array<uint8_t, 8>, 256> counts{};
  for (int b = 0; b < 256; ++b) {
    for (int r = 1; r < 8; ++r) counts[b][r] = counts[b][r - 1] + ((b >> (r - 1)) & 1);
  }
  return counts;
}
inline constexpr std::array<std::array<uint8_t, 8>, 256> kLowBits = MakeLowBits();

// The marking kernels of the depths: bit i mod 8 of Bits[i div 8] is set when pixel X + i of
// Row is dark (Bits start cleared).
// Bytes below Level (8-bit).
void MarkBytesBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level, uint8_t* Bits);
// Pixels whose gray value lies below Level (24-bit).
void MarkGrayBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level, uint8_t* Bits);
// Pixels whose bit equals Set (1-bit).
void MarkBits(const uint8_t* Row, int32_t X, int32_t N, bool Set, uint8_t* Bits);

}  // namespace darkmap

class TDarkMap {
 public:
  // One line of the map.
  struct TLine {
    const uint32_t* Entries;
    // Dark pixels among the line's pixels 0 .. X - 1 (0 <= X <= the map's width).
    int32_t Upto(int32_t X) const {
      const uint32_t e = Entries[X >> 3];
      return static_cast<int32_t>(e >> 8) + darkmap::kLowBits[e & 0xFF][X & 7];
    }
  };

  // The map of Rect (inclusive) of Page, whose dark pixels Mark(Row, Left, Width, Bits) marks
  // (as the kernels above do) for pixels Left .. Left + Width - 1 of Row.
  template <class TMark>
  TDarkMap(const TDIB& Page, const TDIB::TRect& Rect, TMark&& Mark) {
    const int32_t width = Rect.Right - Rect.Left + 1, height = Rect.Bottom - Rect.Top + 1;
    Allocate(width, height);
    for (int32_t y = 0; y < height; ++y) {
      std::fill(FBits.begin(), FBits.end(), 0);
      Mark(Page.Lines(Rect.Top + y), Rect.Left, width, FBits.data());
      Enter(y);
    }
  }

  TLine Line(int32_t Y) const { return {FEntries.data() + Offset(Y)}; }

 private:
  void Allocate(int32_t Width, int32_t Height);
  void Enter(int32_t Y);  // FBits as line Y
  size_t Offset(int32_t Y) const { return static_cast<size_t>(Y) * FBits.size(); }

  std::vector<uint8_t> FBits;  // one line's bits; one byte more than the pixels need, so that
                               // Upto(width) is a look-up
  std::vector<uint32_t> FEntries;
};
