// The dark pixels of border removal, one rule for every step of it: 1 bit, not the white
// index; 8 bits, darker than middle gray (128 counts as light on both kinds of palette);
// 24 bits, a gray value below 128. A step may read gray pages below their paper's own level
// instead (TDIB::AdaptiveGlobalLevel, middle gray on paper from 192 up).
#pragma once

#include <cstdint>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

enum class TBorderLevel { Middle, Paper };

// Calls Run(IsDark, Pixels) once for the page's depth: IsDark(Row, X) is 1 for a dark pixel X
// of Row and 0 for another, Pixels the depth's TRowPixels. Nothing for another depth. With
// TBorderLevel::Paper the level of an 8-bit page whose white index is 255 and of a 24-bit page
// is their paper's.
template <class TRun>
void WithBorderDark(const TDIB& Page, TRun&& Run, TBorderLevel Gray = TBorderLevel::Middle) {
  auto level = [&Page, Gray] {
    return Gray == TBorderLevel::Paper ? Page.AdaptiveGlobalLevel() : uint8_t{128};
  };
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
        Run([Level = level()](const uint8_t* row,
                              int32_t x) { return static_cast<uint8_t>(row[x] < Level); },
            TRowPixels8{});
      } else {
        Run([](const uint8_t* row, int32_t x) { return static_cast<uint8_t>(row[x] > 128); },
            TRowPixels8{});
      }
      break;
    case pt24bit:
      Run(
          [Level = level()](const uint8_t* row, int32_t x) {
            return static_cast<uint8_t>(GrayOf24(row + 3 * x) < Level);
          },
          TRowPixels24{});
      break;
    default:
      break;
  }
}
