// The whole-pixel rotation against a plain version that moves one pixel at a time through
// GetPixel and SetPixel.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "small_pages.h"

namespace {

void ReferenceRotateGeneric(TDIB& Page, bool FillWhite, bool Enlarge, double Angle) {
  if (std::fabs(Angle) < 0.1) return;
  const double sine = std::sin(Angle * M_PI / 180.0);
  const int32_t hRow = Round(Page.Height() * sine);
  const int32_t vCol = Round(Page.Width() * sine);
  const double w = static_cast<double>(std::abs(hRow)) / Page.Height();
  const double v = static_cast<double>(std::abs(vCol)) / Page.Width();
  const int32_t bg = FillWhite ? Page.WhiteIndex() : Page.BlackIndex();
  if (Enlarge) {
    uint8_t fill = static_cast<uint8_t>(bg);
    if (Page.PixelType() == pt24bit) fill = 255;
    if (Page.PixelType() == pt1bit) fill = bg > 0 ? 0xFF : 0;
    if (Page.PixelType() == pt4bit) fill = static_cast<uint8_t>((bg & 0x0F) * 0x11);
    Page.ResizeCanvas(Page.Width() + std::abs(hRow), Page.Height() + std::abs(vCol), fill);
    if (vCol < 0) Page.ShiftVertical(-vCol);
    if (hRow > 0) Page.ShiftHorizontal(hRow);
  }
  const int32_t width = Page.Width(), height = Page.Height();
  const bool positive = Angle >= 0;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t s = Round(w * y);
    for (int32_t n = 0; s != 0 && n < width; ++n) {
      const int32_t x = positive ? n : width - 1 - n;
      const int32_t from = positive ? x + s : x - s;
      Page.SetPixel(x, y, from >= 0 && from < width ? Page.GetPixel(from, y) : bg);
    }
  }
  std::vector<int32_t> shifts(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) shifts[x] = Round(v * x);
  for (int32_t n = 0; n < height; ++n) {
    const int32_t k = positive ? height - 1 - n : n;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t s = shifts[x];
      if (s == 0) continue;
      const int32_t from = positive ? k - s : k + s;
      Page.SetPixel(x, k, from >= 0 && from < height ? Page.GetPixel(x, from) : bg);
    }
  }
}

struct TSize {
  int32_t Width, Height;
};

TEST(RotateGenericReference, SameBytesAtEveryDepthAngleAndFill) {
  // The tall narrow page has line shifts beyond its width.
  const TSize sizes[] = {{600, 400}, {601, 397}, {37, 400}};
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    for (const TSize& size : sizes) {
      const std::unique_ptr<TDIB> page = SmallPage(type, size.Width, size.Height);
      for (double angle : {2.0, -2.0, -0.1, -35.0}) {
        // White fill in place, black fill on an enlarged canvas.
        for (bool fillWhite : {true, false}) {
          SCOPED_TRACE(testing::Message()
                       << "type " << int{type} << ", " << size.Width << " x " << size.Height
                       << ", angle " << angle << ", white " << fillWhite);
          std::unique_ptr<TDIB> fast = page->Duplicate();
          std::unique_ptr<TDIB> plain = page->Duplicate();
          fast->RotateGeneric(fillWhite, !fillWhite, angle);
          ReferenceRotateGeneric(*plain, fillWhite, !fillWhite, angle);
          ExpectSameBlock(*fast, *plain);
        }
      }
    }
  }
}

}  // namespace
