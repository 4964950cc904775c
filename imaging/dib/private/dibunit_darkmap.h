// The dark pixels of a rectangle of a page, counted per line in strips of columns: the table
// that skew detection projects along every candidate slope. Counting each pixel once and then
// moving whole strips makes a candidate cost one addition per strip and line.
#pragma once

#include <cstdint>
#include <vector>

#include "dibunit.h"

namespace darkmap {

// The marking kernels of the depths: Bits[k] gets one set bit for each dark pixel among pixels
// X + 8 k .. X + 8 k + 7 of Row (Bits start cleared). The strips only count the bits, so the
// order of the bits within a byte is each kernel's own.
// Bytes below Level (8-bit).
void MarkBytesBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level, uint8_t* Bits);
// Pixels whose gray value lies below Level (24-bit).
void MarkGrayBelow(const uint8_t* Row, int32_t X, int32_t N, uint8_t Level, uint8_t* Bits);
// Pixels whose bit equals Set (1-bit).
void MarkBits(const uint8_t* Row, int32_t X, int32_t N, bool Set, uint8_t* Bits);

}  // namespace darkmap

class TDarkStrips {
 public:
  // The table of Rect (inclusive) of Page in strips of 8 columns, whose dark pixels
  // Mark(Row, Left, Width, Bits) marks (as the kernels above do) for pixels Left .. Left +
  // Width - 1 of Row. The table lives in Counts, and Bits holds one line's marks while it is
  // made; both keep their memory for the next page.
  template <class TMark>
  TDarkStrips(const TDIB& Page, const TDIB::TRect& Rect, TMark&& Mark, std::vector<uint8_t>& Bits,
              std::vector<uint16_t>& Counts)
      : FCounts(Counts) {
    const int32_t width = Rect.Right - Rect.Left + 1, height = Rect.Bottom - Rect.Top + 1;
    Allocate(width, height, Bits);
    for (int32_t y = 0; y < height; ++y) {
      std::fill(Bits.begin(), Bits.end(), 0);
      Mark(Page.Lines(Rect.Top + y), Rect.Left, width, Bits.data());
      Enter(y, Bits);
    }
  }

  // The table of the same pixels in strips Factor times as wide, kept in Into.
  TDarkStrips Merged(int32_t Factor, std::vector<uint16_t>& Into) const;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t Strips() const { return FStrips; }
  // The middle column of strip S, doubled (so that it stays whole).
  int32_t DoubleMiddle(int32_t S) const;
  // The dark pixels of strip S in each line, from the top.
  const uint16_t* Counts(int32_t S) const {
    return FCounts.data() + static_cast<size_t>(S) * FHeight;
  }

 private:
  explicit TDarkStrips(std::vector<uint16_t>& Counts) : FCounts(Counts) {}
  void Allocate(int32_t Width, int32_t Height, std::vector<uint8_t>& Bits);
  void Enter(int32_t Y, const std::vector<uint8_t>& Bits);  // Bits as line Y

  int32_t FWidth = 0, FHeight = 0, FStrips = 0, FStripWidth = 8;
  std::vector<uint16_t>& FCounts;
};
