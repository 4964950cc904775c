// The local minimum/maximum threshold against a plain version that takes each window's
// extreme column by column and then line by line, pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "small_pages.h"

namespace {

int32_t Window(int32_t Area, int32_t Size) {
  if (Area <= 1) Area = 2;
  if (Area >= Size) Area = Size - 1;
  return 2 * (Area / 2) + 1;
}

// The extremes of every pixel's window, line after line.
template <class TPick>
std::vector<uint8_t> PlainExtremes(const TDIB& Page, int32_t AreaW, int32_t AreaH, TPick Pick) {
  const int32_t w = Page.Width(), h = Page.Height();
  const int32_t ww = Window(AreaW, w), wh = Window(AreaH, h);
  std::vector<uint8_t> across(static_cast<size_t>(w) * h), out(across.size());
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t s = std::clamp(x - ww / 2, 0, w - ww);
      uint8_t best = Page.Lines(y)[s];
      for (int32_t i = s; i < s + ww; ++i) best = Pick(best, Page.Lines(y)[i]);
      across[static_cast<size_t>(y) * w + x] = best;
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    const int32_t s = std::clamp(y - wh / 2, 0, h - wh);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t best = across[static_cast<size_t>(s) * w + x];
      for (int32_t j = s; j < s + wh; ++j)
        best = Pick(best, across[static_cast<size_t>(j) * w + x]);
      out[static_cast<size_t>(y) * w + x] = best;
    }
  }
  return out;
}

void PlainAdaptiveThreshold(TDIB& Page, uint8_t Limit, int32_t AreaW, int32_t AreaH, uint8_t Global,
                            bool Convert) {
  const std::vector<uint8_t> lo =
      PlainExtremes(Page, AreaW, AreaH, [](uint8_t a, uint8_t b) { return std::min(a, b); });
  const std::vector<uint8_t> hi =
      PlainExtremes(Page, AreaW, AreaH, [](uint8_t a, uint8_t b) { return std::max(a, b); });
  for (int32_t y = 0; y < Page.Height(); ++y) {
    uint8_t* line = Page.Lines(y);
    for (int32_t x = 0; x < Page.Width(); ++x) {
      const size_t i = static_cast<size_t>(y) * Page.Width() + x;
      const bool light = hi[i] - lo[i] < Limit ? line[x] >= Global : line[x] >= (hi[i] + lo[i]) / 2;
      line[x] = light ? 255 : 0;
    }
  }
  if (Convert) Page.ConvertPixelType(pt1bit);
}

struct TArea {
  int32_t Width, Height, AreaW, AreaH;
  uint8_t Limit;
};

TEST(AdaptiveThresholdReference, SameBytesForEveryArea) {
  // The pipeline's call, the smallest window, uneven and even areas, the whole page, and
  // windows of as many lines as the page.
  const TArea areas[] = {{601, 397, 9, 9, 50},  {601, 397, 1, 1, 50}, {601, 397, 4, 16, 20},
                         {600, 400, 31, 2, 90}, {60, 40, 60, 40, 50}, {60, 40, 7, 39, 10},
                         {60, 40, 7, 40, 10},   {60, 2, 5, 2, 50},    {60, 1, 5, 1, 50}};
  for (const TArea& a : areas) {
    for (bool convert : {false, true}) {
      SCOPED_TRACE(testing::Message() << a.Width << " x " << a.Height << ", area " << a.AreaW
                                      << " x " << a.AreaH << ", convert " << convert);
      const std::unique_ptr<TDIB> page = SmallPage(pt8bit, a.Width, a.Height);
      std::unique_ptr<TDIB> fast = page->Duplicate();
      std::unique_ptr<TDIB> plain = page->Duplicate();
      fast->AdaptiveThreshold(a.Limit, a.AreaW, a.AreaH, 128, convert, 0, 255);
      PlainAdaptiveThreshold(*plain, a.Limit, a.AreaW, a.AreaH, 128, convert);
      ExpectSameBlock(*fast, *plain);
    }
  }
}

}  // namespace
