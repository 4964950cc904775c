// Skew detection against a plain version that projects every dark pixel on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "small_pages.h"

namespace {

TDIB::TRect ReferenceSheet(const TDIB& Page) {
  TDIB::TRect rect;
  Page.DetectBlackBorder(0, rect, 70);
  if (rect.Right - rect.Left < Page.Width() / 2 || rect.Bottom - rect.Top < Page.Height() / 2) {
    rect = {0, 0, Page.Width() - 1, Page.Height() - 1};
  }
  return rect;
}

uint8_t Gray(const TDIB& Page, int32_t X, int32_t Y) {
  const int32_t v = Page.GetPixel(X, Y);
  if (Page.PixelType() == pt8bit) return static_cast<uint8_t>(v);
  const uint8_t bgr[3] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v)};
  return GrayOf24(bgr);
}

// The sheet's dark pixels, one flag a pixel: the black ones of a 1-bit page, else those at or
// below Otsu's level of the sheet's every fourth line.
std::vector<std::vector<bool>> DarkPixels(const TDIB& Page, const TDIB::TRect& Sheet) {
  int32_t level = 0;
  if (Page.PixelType() != pt1bit) {
    THistogram histogram{};
    for (int32_t y = Sheet.Top; y <= Sheet.Bottom; y += 4) {
      for (int32_t x = Sheet.Left; x <= Sheet.Right; ++x) ++histogram[Gray(Page, x, y)];
    }
    level = OtsuLevel(histogram);
  }
  std::vector<std::vector<bool>> dark(Sheet.Bottom - Sheet.Top + 1,
                                      std::vector<bool>(Sheet.Right - Sheet.Left + 1));
  for (int32_t y = Sheet.Top; y <= Sheet.Bottom; ++y) {
    for (int32_t x = Sheet.Left; x <= Sheet.Right; ++x) {
      dark[y - Sheet.Top][x - Sheet.Left] = Page.PixelType() == pt1bit
                                                ? Page.GetPixel(x, y) == Page.BlackIndex()
                                                : Gray(Page, x, y) <= level;
    }
  }
  return dark;
}

// The projection of every dark pixel along displacement U over the width, each pixel moved by
// the whole lines that the slope falls up to the middle of its strip of StripWidth columns
// (half a line later with Half), in bins of Step lines with an empty bin at both ends; the
// sum of the squared differences of neighbouring bins.
int64_t ReferenceScore(const std::vector<std::vector<bool>>& Dark, int32_t U, bool Half,
                       int32_t StripWidth, int32_t Step) {
  const auto height = static_cast<int32_t>(Dark.size());
  const auto width = static_cast<int32_t>(Dark[0].size());
  const int32_t d = std::abs(U);
  std::vector<int64_t> lines(static_cast<size_t>(height + d) + 2);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (!Dark[y][x]) continue;
      const int32_t first = x / StripWidth * StripWidth;
      const int32_t last = std::min(first + StripWidth, width) - 1;
      const int64_t fall = (int64_t{d} * (first + last) + (Half ? width : 0)) / (2 * width);
      lines[static_cast<size_t>(y + (U < 0 ? d - fall : fall) + 1)] += 1;
    }
  }
  std::vector<int64_t> bins((lines.size() + Step - 1) / Step + 2);
  for (size_t i = 0; i < lines.size(); ++i) bins[Step == 1 ? i : i / Step + 1] += lines[i];
  if (Step == 1) bins.resize(lines.size());
  int64_t score = 0;
  for (size_t i = 1; i < bins.size(); ++i)
    score += (bins[i] - bins[i - 1]) * (bins[i] - bins[i - 1]);
  return score;
}

double ReferenceDetectSkew(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle) {
  if (std::fabs(MaxAngle) < 0.1) return 0;
  const TDIB::TRect sheet = ReferenceSheet(Page);
  const std::vector<std::vector<bool>> dark = DarkPixels(Page, sheet);
  const auto width = static_cast<int32_t>(dark[0].size());
  const auto height = static_cast<int32_t>(dark.size());
  const int32_t h = std::min(Round(width * std::sin(MaxAngle * M_PI / 180.0)), height);
  if (AngleStep <= 0) AngleStep = 0.1;
  const int32_t angles = std::max(Round(MaxAngle / AngleStep), 1);
  const int32_t m = std::max(h / angles, 1);
  const int32_t step = LineStep > 0 ? LineStep : 1;
  std::map<int32_t, int64_t> scored;  // on the wide strips
  auto coarse = [&](int32_t U) {
    return scored.try_emplace(U, ReferenceScore(dark, U, false, 32, step)).first->second;
  };
  // The coarse candidates, best first (ties: smaller displacement, falling before rising).
  std::vector<std::pair<int32_t, int64_t>> candidates;
  for (int32_t d = 0; d <= h; d += m) {
    candidates.push_back({-d, coarse(-d)});
    if (d > 0) candidates.push_back({d, coarse(d)});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  candidates.resize(std::min<size_t>(candidates.size(), 3));
  std::pair<int32_t, int64_t> best = candidates.front();
  for (auto around : candidates) {
    for (int32_t reach = m; reach > 1;) {
      const int32_t r = std::max(1, reach / 3);
      const int32_t centre = around.first;
      for (int32_t u = centre - reach + r; u < centre + reach; u += r) {
        if (u != centre && std::abs(u) <= h && coarse(u) > around.second) around = {u, coarse(u)};
      }
      reach = r;
    }
    if (around.second > best.second) best = around;
  }
  if (static_cast<double>(best.second) < 1.02 * static_cast<double>(coarse(0))) return 0;
  // Nor when it does not reach twice the lowest score of the unturned page and the page blurred
  // by a fall of 5 degrees either way.
  const int32_t blurred = std::min(std::max(h, Round(width * std::sin(5 * M_PI / 180.0))), height);
  if (best.second < 2 * std::min({coarse(0), coarse(-blurred), coarse(blurred)})) return 0;
  if (best.first == 0) return 0;
  // The final pass on strips of 8 columns, next to every displacement that came within 95 per
  // cent of the best on the wide strips.
  std::set<int32_t> near;
  for (const auto& [v, score] : scored) {
    if (score < static_cast<int64_t>(0.95 * best.second)) continue;
    for (int32_t w = v - 1; w <= v + 1; ++w) {
      if (w != 0 && std::abs(w) <= h) near.insert(w);
    }
  }
  // Each displacement at the better phase, summed with its two neighbours.
  auto phased = [&](int32_t V) {
    if (std::abs(V) > h) return int64_t{0};
    return std::max(ReferenceScore(dark, V, false, 8, step),
                    ReferenceScore(dark, V, true, 8, step));
  };
  auto smoothed = [&](int32_t V) { return phased(V - 1) + phased(V) + phased(V + 1); };
  int32_t u = best.first;
  int64_t score = smoothed(u);
  for (int32_t v : near) {
    if (const int64_t s = smoothed(v); s > score) {
      score = s;
      u = v;
    }
  }
  return std::asin(static_cast<double>(u) / width) * 180.0 / M_PI;
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
