// A deterministic generator of scanned-looking pages for tests and benchmarks: text-like
// strokes in lines on white paper, turned by a known skew, with speckles and a dark frame.
#pragma once

#include <cstdint>
#include <memory>

#include "dibunit.h"

struct TPageOptions {
  int32_t Width = 2480;  // A4 at 300 dpi
  int32_t Height = 3508;
  int32_t DPI = 300;
  uint8_t PixelType = pt8bit;  // 1, 3 or 6
  // The text lines rise to the right by this many degrees (a counter-clockwise turn of the
  // page content about its centre, as a person looking at the page sees it).
  double SkewDegrees = 0;
  // Dark surround along each edge of the upright page, in pixels: the scanner's background
  // around a smaller sheet. It turns with the sheet, as a skewed sheet lies on the glass.
  int32_t FrameLeft = 0;
  int32_t FrameTop = 0;
  int32_t FrameRight = 0;
  int32_t FrameBottom = 0;
  uint8_t FrameGray = 32;
  // Dark specks of 1 to 3 pixels scattered over the sheet.
  int32_t Speckles = 0;
  // Blank paper around the text block, in pixels.
  int32_t Margin = 300;
  uint32_t Seed = 1;
};

inline TPageOptions ReferencePageOptions(uint8_t PixelType = pt8bit) {
  TPageOptions o;
  o.PixelType = PixelType;
  o.SkewDegrees = 2.0;
  o.FrameLeft = o.FrameTop = o.FrameRight = o.FrameBottom = 60;
  o.Speckles = 2000;
  return o;
}

// Paper and ink levels of the 8-bit page; the 24-bit page tints them, the 1-bit page has
// white = 1 (the default palette).
inline constexpr uint8_t kPaperGray = 240;
inline constexpr uint8_t kInkGray = 24;

std::unique_ptr<TDIB> MakeReferencePage(const TPageOptions& Options);
