// Skew detection, straightening, black borders and auto-crop on real scanned pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "dibunit.h"
#include "testdata.h"

namespace {

bool IsPage(const std::string& Path) {
  for (const char* ext : {".tif", ".TIFF", ".png", ".jpg"}) {
    const std::string e = ext;
    if (Path.size() > e.size() && Path.compare(Path.size() - e.size(), e.size(), e) == 0) {
      return Path.find("GroundTruth") == std::string::npos;
    }
  }
  return false;
}

bool IsDark(const TDIB& Page, int32_t X, int32_t Y) {
  const int32_t v = Page.GetPixel(X, Y);
  switch (Page.PixelType()) {
    case pt1bit:
      return v == Page.BlackIndex();
    case pt8bit:
      return (Page.GetPaletteEntry(v) & 0xFF) < 128;
    default:
      return ((v & 0xFF) * 30 + ((v >> 8) & 0xFF) * 59 + ((v >> 16) & 0xFF) * 11) / 100 < 128;
  }
}

// The share of dark pixels (below the middle gray) in column X, or in line Y when X < 0.
double DarkShare(const TDIB& Page, int32_t X, int32_t Y) {
  const int32_t n = X >= 0 ? Page.Height() : Page.Width();
  int32_t dark = 0;
  for (int32_t i = 0; i < n; ++i) dark += X >= 0 ? IsDark(Page, X, i) : IsDark(Page, i, Y);
  return static_cast<double>(dark) / n;
}

// A page on a dark backing: one of its side lines is mostly dark.
bool OnDarkBacking(const TDIB& Page) {
  const int32_t w = Page.Width(), h = Page.Height();
  return std::max({DarkShare(Page, 0, -1), DarkShare(Page, w - 1, -1), DarkShare(Page, -1, 0),
                   DarkShare(Page, -1, h - 1)}) > 0.5;
}

TEST(RealScans, DeskewBorderAndAutoCrop) {
  const std::vector<std::string> files = TestDataFiles("scans");
  if (files.empty()) GTEST_SKIP() << "no scanned pages in " << TestDataDir() << "/scans";
  int32_t read = 0;
  for (const std::string& file : files) {
    if (!IsPage(file)) continue;
    SCOPED_TRACE(file);
    TDIB page;
    try {
      page.LoadFromFile(file);
    } catch (const Exception& e) {
      std::printf("skipped %s: %s\n", file.c_str(), e.what());
      continue;
    }
    ++read;
    const double angle = page.DetectSkew(0, 0.1, 5);
    EXPECT_LE(std::fabs(angle), 5.0);
    if (page.PixelType() != pt4bit) {
      // The corners that the turn uncovers take the colour of the backing, as the pipeline's
      // black background does for a sheet on a dark backing: white corners would stand out
      // against it as edges at the angle turned by.
      page.Rotate(!OnDarkBacking(page), true, angle, angle, false);
      EXPECT_LT(std::fabs(page.DetectSkew(0, 0.1, 5)), 0.15) << "detected " << angle;
    }
    TRect rect;
    page.DetectBlackBorder(0, rect, 0.5);
    std::printf("%s: %d x %d, type %d, skew %.3f, border %d %d %d %d\n", file.c_str(), page.Width(),
                page.Height(), page.PixelType(), angle, rect.Left, rect.Top, rect.Right,
                rect.Bottom);
    ASSERT_LE(rect.Left, rect.Right);
    ASSERT_LE(rect.Top, rect.Bottom);
    // The columns and lines just outside the rectangle are almost all dark, or hold more than
    // a trace of the surround that reaches in (a wedge of a turned sheet's edge).
    for (int32_t x : {rect.Left - 1, rect.Right + 1}) {
      if (x >= 0 && x < page.Width()) {
        EXPECT_GE(DarkShare(page, x, -1), 0.005) << "column " << x;
      }
    }
    for (int32_t y : {rect.Top - 1, rect.Bottom + 1}) {
      if (y >= 0 && y < page.Height()) {
        EXPECT_GE(DarkShare(page, -1, y), 0.005) << "line " << y;
      }
    }
    page.Crop(rect);
    page.AutoCrop("A6;A5;A4;A3;Statement;Letter;Legal;Ledger;", 0.5f, 0.1f, 5);
    EXPECT_GT(page.Width(), 0);
  }
  if (read == 0) GTEST_SKIP() << "none of the scanned pages can be read yet";
}

}  // namespace
