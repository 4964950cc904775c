// The dark pixels of border removal, one rule for every step of it: 1 bit, not the white
// index; 8 bits, darker than middle gray (128 counts as light on both kinds of palette);
// 24 bits, a gray value below 128.
#pragma once

#include <cstdint>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

// Calls Run(IsDark, Pixels) once for the page's depth: IsDark(Row, X) is 1 for a dark pixel X
// of Row and 0 for another, Pixels the depth's TRowPixels. Nothing for another depth. Level
// replaces middle gray for an 8-bit page whose white index is 255.
template <class TRun>
void WithBorderDark(const TDIB& Page, TRun&& Run, uint8_t Level = 128) {
  switch (Page.PixelType()) {
    case pt1bit: {
      const int32_t white = Page.WhiteIndex();
      Run([white](const uint8_t* row,
                  int32_t x) { return static_cast<uint8_t>(TRowPixels1::Get(row, x) != white); },
          TRowPixels1{});
      break;
    }
    case pt8bit:
      if (Page.WhiteIndex() == 255) {
        Run([Level](const uint8_t* row, int32_t x) { return static_cast<uint8_t>(row[x] < Level); },
            TRowPixels8{});
      } else {
        Run([](const uint8_t* row, int32_t x) { return static_cast<uint8_t>(row[x] > 128); },
            TRowPixels8{});
      }
      break;
    case pt24bit:
      Run([Level](const uint8_t* row,
                  int32_t x) { return static_cast<uint8_t>(GrayOf24(row + 3 * x) < Level); },
          TRowPixels24{});
      break;
    default:
      break;
  }
}
