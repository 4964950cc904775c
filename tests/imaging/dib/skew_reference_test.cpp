// Skew detection against a plain version that counts every staircase segment with the page's
// run counters.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "small_pages.h"

namespace {

using TCounter = std::function<int32_t(int32_t X, int32_t Y, int32_t N)>;

TDIB::TRect ReferenceSheet(const TDIB& Page) {
  TDIB::TRect rect;
  Page.DetectBlackBorder(0, rect, 70);
  if (rect.Right - rect.Left < Page.Width() / 4 || rect.Bottom - rect.Top < Page.Height() / 4) {
    rect = {0, 0, Page.Width() - 1, Page.Height() - 1};
  }
  return rect;
}

double ReferenceSkew(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
                     const TCounter& Dark) {
  if (std::fabs(MaxAngle) < 0.1) return 0;
  const TDIB::TRect sheet = ReferenceSheet(Page);
  const int32_t width = sheet.Right - sheet.Left + 1, height = sheet.Bottom - sheet.Top + 1;
  const int32_t h = std::min(Round(width * std::sin(MaxAngle * M_PI / 180.0)), height);
  if (AngleStep <= 0) AngleStep = 0.1;
  const int32_t angles = std::max(Round(MaxAngle / AngleStep), 1);
  const int32_t m = std::max(h / angles, 1);
  const int32_t step = std::max(LineStep > 0 ? LineStep : Round(Page.YResolution() / 2.54 / 20), 2);
  int64_t best = 0;
  int32_t u = 0;
  for (int32_t d = 0; d <= h; d += m) {
    const int32_t bands = (height - d) / step;
    if (bands <= 0) continue;
    std::vector<int32_t> down(static_cast<size_t>(bands)), up(static_cast<size_t>(bands));
    for (int32_t i = 0; i < bands; ++i) {
      for (int32_t k = 0; k <= d; ++k) {
        const int32_t first = static_cast<int32_t>(int64_t{k} * width / (d + 1));
        const int32_t end = static_cast<int32_t>(int64_t{k + 1} * width / (d + 1));
        const int32_t y = sheet.Top + i * step + k;
        down[i] += Dark(sheet.Left + first, y, end - first);
        up[i] += Dark(sheet.Left + width - end, y, end - first);
      }
    }
    if (const int64_t score = ProfileScore(down.data(), bands); score > best) {
      best = score;
      u = -d;
    }
    if (const int64_t score = ProfileScore(up.data(), bands); score > best) {
      best = score;
      u = d;
    }
  }
  return std::asin(static_cast<double>(u) / width) * 180.0 / M_PI;
}

double ReferenceDetectSkew(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle) {
  TDIB::THistogram histogram;
  Page.Histogram(histogram);
  const auto level = static_cast<uint8_t>(MeanStdDevLevel(histogram, 0));
  TCounter dark;
  switch (Page.PixelType()) {
    case pt1bit:
      dark = [&](int32_t x, int32_t y, int32_t n) {
        return Page.CountRunBits(x, y, n, Page.BlackIndex() == 1);
      };
      break;
    case pt8bit:
      dark = [&](int32_t x, int32_t y, int32_t n) { return Page.CountRunBelow(x, y, n, level); };
      break;
    default:
      dark = [&](int32_t x, int32_t y, int32_t n) { return Page.CountRunBelow24(x, y, n, level); };
      break;
  }
  return ReferenceSkew(Page, LineStep, AngleStep, MaxAngle, dark);
}

struct TSearch {
  int32_t LineStep;
  double AngleStep, MaxAngle;
};

TEST(DetectSkewReference, SameAngleAtEveryDepthAndSetting) {
  const TSearch searches[] = {{0, 0.1, 4}, {3, 0.25, 10}};
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    // The pages without text have only specks: their scores hang on every single count.
    for (uint32_t seed : {1u, 2u}) {
      std::unique_ptr<TDIB> page = SmallPage(type, 601, 397, seed);
      std::unique_ptr<TDIB> specks = SmallPage(type, 600, 400, seed, true);
      for (const TDIB* p : {page.get(), specks.get()}) {
        for (const TSearch& s : searches) {
          SCOPED_TRACE(testing::Message()
                       << "type " << int{type} << ", seed " << seed << ", specks only "
                       << (p == specks.get()) << ", max angle " << s.MaxAngle);
          EXPECT_EQ(p->DetectSkew(s.LineStep, s.AngleStep, s.MaxAngle),
                    ReferenceDetectSkew(*p, s.LineStep, s.AngleStep, s.MaxAngle));
        }
      }
    }
  }
}

}  // namespace
