#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "dibunit.h"
#include "dibworkspace.h"
#include "localthreshold.h"
#include "paperlevels.h"

namespace {

std::unique_ptr<TDIB> NoisyGray(int32_t width, int32_t height, uint32_t seed) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(width, height, pt8bit, 300, 300);
  uint32_t state = seed * 2654435761u + 7;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      // Runs of equal values and extremes, as on paper with ink.
      uint32_t v = state % 4 == 0 ? 240 : state % 7 == 0 ? 10 : state >> 24;
      dib->SetPixel8(x, y, static_cast<int32_t>(v));
    }
  return dib;
}

std::vector<uint8_t> Pixels(const TDIB& dib) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x)
      out.push_back(static_cast<uint8_t>(dib.GetPixel(x, y)));
  return out;
}

void ExpectMessage(const std::function<void()>& f, const char* message) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

const char* const kNeeds8Bit = "This operation requires 8 bit per pixel bitmap !";

TEST(Threshold, MapsAboveTheLevelToLightAndConverts) {
  auto page = NoisyGray(13, 5, 1);
  auto copy = page->Duplicate();
  page->Threshold(100, false, 7, 9);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 13; ++x)
      ASSERT_EQ(page->GetPixel8(x, y), copy->GetPixel8(x, y) > 100 ? 9 : 7);

  page = copy->Duplicate();
  page->Threshold(255, false, 0, 255);
  for (uint8_t v : Pixels(*page)) ASSERT_EQ(v, 0);
  page = copy->Duplicate();
  page->Threshold(0, true, 0, 255);
  ASSERT_EQ(page->PixelType(), pt1bit);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 13; ++x)
      ASSERT_EQ(page->GetPixel1(x, y), copy->GetPixel8(x, y) != 0 ? 1 : 0);

  TDIB bw;
  bw.NewImage(8, 8, pt1bit, 300, 300);
  ExpectMessage([&] { bw.Threshold(128, true, 0, 255); }, kNeeds8Bit);
}

TEST(AutoThreshold, MethodsPickTheirLevels) {
  // Values 40 and 200 in equal parts.
  auto make = [] {
    auto p = std::make_unique<TDIB>();
    p->NewImage(4, 4, pt8bit, 300, 300);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 4; ++x) p->SetPixel8(x, y, y < 2 ? 40 : 200);
    return p;
  };
  struct Case {
    uint8_t method;
    uint8_t level;
  };
  for (Case c :
       {Case{0, 40}, Case{1, 120}, Case{2, 120}, Case{4, 120}, Case{5, 127}, Case{200, 127}}) {
    auto page = make();
    EXPECT_EQ(page->AutoThreshold(c.method, true, 0, 255), c.level) << "method " << int{c.method};
    ASSERT_EQ(page->PixelType(), pt1bit);
    EXPECT_EQ(page->GetPixel1(0, 0), 0);
    EXPECT_EQ(page->GetPixel1(0, 3), 1);
  }
  auto page = make();
  EXPECT_EQ(page->AutoThreshold(3, false, 0, 255), page->BlockRankLevel());

  TDIB colour;
  colour.NewImage(4, 4, pt24bit, 300, 300);
  ExpectMessage([&] { colour.AutoThreshold(0, true, 0, 255); }, kNeeds8Bit);
  EXPECT_EQ(colour.PixelType(), pt24bit);
}

// The minimum or maximum over the window the operation must use, one pixel at a time.
std::vector<uint8_t> ReferenceExtreme(const TDIB& page, int32_t areaW, int32_t areaH,
                                      bool maximum) {
  auto window = [](int32_t area, int32_t size) {
    if (area <= 1) area = 2;
    if (area >= size) area = size - 1;
    return 2 * (area / 2) + 1;
  };
  int32_t w = page.Width(), h = page.Height();
  int32_t ww = window(areaW, w), wh = window(areaH, h);
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int32_t sx = std::clamp(x - ww / 2, 0, w - ww), sy = std::clamp(y - wh / 2, 0, h - wh);
      int32_t best = maximum ? 0 : 255;
      for (int32_t j = sy; j < sy + wh; ++j)
        for (int32_t i = sx; i < sx + ww; ++i)
          best =
              maximum ? std::max(best, page.GetPixel8(i, j)) : std::min(best, page.GetPixel8(i, j));
      out.push_back(static_cast<uint8_t>(best));
    }
  return out;
}

struct AreaCase {
  int32_t width, height, areaW, areaH;
};

class LocalExtremes : public ::testing::TestWithParam<AreaCase> {};

TEST_P(LocalExtremes, MatchTheWindowAboutEachPixel) {
  const AreaCase& c = GetParam();
  auto page = NoisyGray(c.width, c.height, static_cast<uint32_t>(c.width * 100 + c.areaW));
  TDIB lo, hi;
  lo.NewImage(c.width, c.height, pt8bit, 1, 1);
  hi.NewImage(c.width, c.height, pt8bit, 1, 1);
  page->LocalMinimum(lo, c.areaW, c.areaH);
  page->LocalMaximum(hi, c.areaW, c.areaH);
  EXPECT_EQ(Pixels(lo), ReferenceExtreme(*page, c.areaW, c.areaH, false));
  EXPECT_EQ(Pixels(hi), ReferenceExtreme(*page, c.areaW, c.areaH, true));
}

INSTANTIATE_TEST_SUITE_P(Areas, LocalExtremes,
                         ::testing::Values(AreaCase{23, 17, 1, 1}, AreaCase{23, 17, 4, 6},
                                           AreaCase{23, 17, 5, 3}, AreaCase{23, 17, 23, 17},
                                           AreaCase{24, 16, 24, 16}, AreaCase{23, 17, 50, 2},
                                           AreaCase{40, 31, 9, 13}, AreaCase{1, 9, 3, 3},
                                           AreaCase{9, 1, 3, 3}, AreaCase{2, 2, 2, 2},
                                           AreaCase{1, 1, 1, 1}));

TEST(LocalExtremes, TargetMustBeAnEightBitPageOfTheSameSize) {
  auto page = NoisyGray(8, 8, 3);
  TDIB small, bw;
  small.NewImage(7, 8, pt8bit, 1, 1);
  bw.NewImage(8, 8, pt1bit, 1, 1);
  EXPECT_THROW(page->LocalMinimum(small, 3, 3), Exception);
  ExpectMessage([&] { page->LocalMaximum(bw, 3, 3); }, kNeeds8Bit);
}

TEST(AdaptiveThreshold, LocalMiddleOrGlobalLevelByContrast) {
  auto page = NoisyGray(31, 19, 5);
  auto copy = page->Duplicate();
  const uint8_t limit = 60, global = 128;
  page->AdaptiveThreshold(limit, 5, 7, global, false, 3, 250);
  std::vector<uint8_t> lo = ReferenceExtreme(*copy, 5, 7, false),
                       hi = ReferenceExtreme(*copy, 5, 7, true);
  std::vector<uint8_t> got = Pixels(*page), source = Pixels(*copy);
  for (size_t i = 0; i < got.size(); ++i) {
    bool light = hi[i] - lo[i] < limit ? source[i] >= global : source[i] >= (hi[i] + lo[i]) / 2;
    ASSERT_EQ(got[i], light ? 250 : 3) << "pixel " << i;
  }
}

TEST(AdaptiveThreshold, AreaChecksAndThePipelineCall) {
  auto page = NoisyGray(20, 10, 6);
  for (auto [w, h] : {std::pair{0, 3}, {3, 0}, {21, 3}, {3, 11}, {-1, -1}}) {
    auto copy = page->Duplicate();
    ExpectMessage([&] { copy->AdaptiveThreshold(30, w, h, 128, true, 0, 255); },
                  "Bad AreaW or AreaH value");
    EXPECT_EQ(Pixels(*copy), Pixels(*page));
  }
  auto whole = page->Duplicate();
  whole->AdaptiveThreshold(30, 20, 10, 128, true, 0, 255);
  EXPECT_EQ(whole->PixelType(), pt1bit);
  TDIB bw;
  bw.NewImage(8, 8, pt1bit, 300, 300);
  ExpectMessage([&] { bw.AdaptiveThreshold(30, 3, 3, 128, true, 0, 255); }, kNeeds8Bit);
}

// The level for plain paper comes from the middle half of the page only: its bytes that 95 per
// cent lie at or below, less 64 but not below half that value, and never above 128.
TEST(AdaptiveGlobalLevel, FollowsThePaperOfTheMiddleHalfBelowMiddleGray) {
  const struct {
    uint8_t Outside, Middle;  // the outer quarters of the 40 x 40 page and its middle half
    int32_t Bright;           // pixels of the middle's 400 set to 255
    uint8_t Level;
  } cases[] = {
      {255, 255, 0, 128}, {0, 192, 0, 128},    {0, 191, 0, 127},  {255, 140, 0, 76},
      {255, 140, 16, 76}, {255, 140, 24, 128}, {255, 100, 0, 50}, {0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.Outside} << " " << int{c.Middle} << " " << c.Bright);
    TDIB page;
    page.NewImage(40, 40, pt8bit, 300, 300);
    page.Fill(c.Outside);
    for (int32_t i = 0; i < 400; ++i) {
      page.SetPixel8(10 + i % 20, 10 + i / 20, i < c.Bright ? 255 : c.Middle);
    }
    EXPECT_EQ(page.AdaptiveGlobalLevel(), c.Level);
    std::unique_ptr<TDIB> colour = page.Duplicate();
    colour->ConvertPixelType(pt24bit);
    EXPECT_EQ(colour->AdaptiveGlobalLevel(), c.Level);
  }
  TDIB bw, empty;
  bw.NewImage(8, 8, pt1bit, 300, 300);
  ExpectMessage([&] { bw.AdaptiveGlobalLevel(); }, kNeeds8Bit);
  ExpectMessage([&] { empty.AdaptiveGlobalLevel(); }, kNeeds8Bit);
}

// The local mean/deviation filter exactly as the window moves: lines enter and leave the column
// sums one by one, output lines at odd counts while the window fills and empties; the same
// along each line. Sums are 64-bit, the square root is the table's.
std::vector<uint8_t> ReferenceLocalStats(const TDIB& page, int32_t ww, int32_t wh, double k) {
  int32_t w = page.Width(), h = page.Height();
  int64_t K = static_cast<int64_t>(k * 256);
  if (wh > h) wh = h - 1;
  if (ww >= w) ww = w - 1;
  if (ww % 2 == 0) ++ww;
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  std::vector<int64_t> cs(w, 0), cq(w, 0);
  int32_t first = 0, count = 0, next = 0;
  auto add = [&](int32_t y, int32_t sign) {
    for (int32_t x = 0; x < w; ++x) {
      int64_t v = page.GetPixel8(x, y);
      cs[x] += sign * v;
      cq[x] += sign * v * v;
    }
  };
  auto line = [&]() {
    int32_t y = next++;
    int32_t cfirst = 0, ccount = 0, cnext = 0;
    int64_t s = 0, q = 0;
    auto pixel = [&]() {
      int32_t x = cnext++;
      int64_t n = int64_t{count} * ccount, mean = s / n, var = (q - s * mean) / n;
      int64_t dev = SqrtTable[var];
      double value = page.GetPixel8(x, y) - dev * K / 256.0 - mean;
      out[static_cast<size_t>(y) * w + x] = static_cast<int64_t>(value) >= 0 ? 255 : 0;
    };
    for (int32_t x = 0; x < ww; ++x) {
      s += cs[x], q += cq[x], ++ccount;
      if (ccount % 2 == 1) pixel();
    }
    for (int32_t x = ww; x < w; ++x) {
      s += cs[x] - cs[cfirst], q += cq[x] - cq[cfirst], ++cfirst;
      pixel();
    }
    while (ccount > 1) {
      s -= cs[cfirst], q -= cq[cfirst], ++cfirst, --ccount;
      if (ccount % 2 == 1) pixel();
    }
  };
  for (int32_t y = 0; y < wh; ++y) {
    add(y, 1), ++count;
    if (count % 2 == 1) line();
  }
  for (int32_t y = wh; y < h; ++y) {
    add(y, 1), add(first++, -1);
    line();
  }
  while (count > 1) {
    add(first++, -1), --count;
    if (count % 2 == 1) line();
  }
  return out;
}

struct WindowCase {
  int32_t width, height, window, aggressivity;
};

class LocalStats : public ::testing::TestWithParam<WindowCase> {};

TEST_P(LocalStats, MatchesTheMovingWindow) {
  const WindowCase& c = GetParam();
  auto page = NoisyGray(c.width, c.height, static_cast<uint32_t>(c.window * 7 + c.height));
  TDIB target;
  target.NewImage(c.width, c.height, pt8bit, 1, 1);
  double k = -c.aggressivity / 100.0;
  LocalStatsThreshold(c.window, *page, target, k);
  EXPECT_EQ(Pixels(target), ReferenceLocalStats(*page, c.window, c.window, k));
}

INSTANTIATE_TEST_SUITE_P(Windows, LocalStats,
                         ::testing::Values(WindowCase{23, 17, 1, 50}, WindowCase{23, 17, 3, 50},
                                           WindowCase{23, 17, 2, 50},   // even: width 3, height 2
                                           WindowCase{23, 17, 6, 128},  // K -327
                                           WindowCase{23, 17, 9, 0}, WindowCase{23, 17, 17, 50},
                                           WindowCase{23, 17, 18, 50},  // above the height
                                           WindowCase{23, 17, 40, 255}, WindowCase{1, 12, 5, 50},
                                           WindowCase{2, 2, 2, 50}, WindowCase{64, 48, 11, 20}));

TEST(LocalStats, WindowsBeyondThirtyTwoBitSumsStayExact) {
  // 241 x 241 windows of values near 255: the squared sums pass 2^31 (241^2 x 65025 > 3.7e9).
  auto page = NoisyGray(260, 250, 9);
  for (int32_t y = 0; y < 250; ++y)
    for (int32_t x = 0; x < 260; ++x)
      if (page->GetPixel8(x, y) < 200) page->SetPixel8(x, y, 255 - page->GetPixel8(x, y) / 8);
  TDIB target;
  target.NewImage(260, 250, pt8bit, 1, 1);
  LocalStatsThreshold(241, *page, target, -0.5);
  EXPECT_EQ(Pixels(target), ReferenceLocalStats(*page, 241, 241, -0.5));
}

TEST(LocalStats, SqrtTableHoldsFlooredRoots) {
  EXPECT_EQ(SqrtTable[0], 0);
  EXPECT_EQ(SqrtTable[3], 1);
  EXPECT_EQ(SqrtTable[4], 2);
  EXPECT_EQ(SqrtTable[16383], 127);
  EXPECT_EQ(SqrtTable[16384], 128);
  EXPECT_EQ(SqrtTable[16640], 128);
}

TEST(LocalStats, NonPositiveWindowsActAsOne) {
  auto page = NoisyGray(9, 7, 4);
  TDIB zero, one;
  zero.NewImage(9, 7, pt8bit, 1, 1);
  one.NewImage(9, 7, pt8bit, 1, 1);
  LocalStatsThreshold(0, *page, zero, -0.5);
  LocalStatsThreshold(1, *page, one, -0.5);
  EXPECT_EQ(Pixels(zero), Pixels(one));
  for (uint8_t v : Pixels(one)) EXPECT_EQ(v, 255);  // every pixel is its own mean
}

TEST(NiblackThreshold, PipelineCallGivesAOneBitPageOfTheFilter) {
  auto page = NoisyGray(30, 20, 8);
  TDIB filtered;
  filtered.NewImage(30, 20, pt8bit, 1, 1);
  LocalStatsThreshold(7, *page, filtered, -0.5);
  win32::HGLOBAL handle = page->Handle();
  page->NiblackThreshold(7, 50, true, 0, 255);
  ASSERT_EQ(page->PixelType(), pt1bit);
  EXPECT_EQ(page->Handle(), handle);
  EXPECT_EQ(page->XResolution(), 300);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x)
      ASSERT_EQ(page->GetPixel1(x, y), filtered.GetPixel8(x, y) == 255 ? 1 : 0);

  auto light = NoisyGray(30, 20, 8);
  light->NiblackThreshold(7, 50, false, 20, 30);
  std::vector<uint8_t> want = Pixels(filtered);
  for (uint8_t& v : want) v = v == 255 ? 30 : 20;
  EXPECT_EQ(Pixels(*light), want);

  TDIB bw;
  bw.NewImage(8, 8, pt1bit, 300, 300);
  ExpectMessage([&] { bw.NiblackThreshold(7, 50, true, 0, 255); }, kNeeds8Bit);
}

// A 300 dpi page whose paper at (X, Y) is PaperAt(X, Y).
std::unique_ptr<TDIB> PageOf(int32_t Width, int32_t Height,
                             const std::function<uint8_t(int32_t, int32_t)>& PaperAt,
                             int32_t Dpi = 300) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, pt8bit, Dpi, Dpi);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) page->SetPixel8(x, y, PaperAt(x, y));
  }
  return page;
}

// Paper of 230 that darkens towards the right side from x = 400 on, to 90 at the side: a
// book's gutter.
uint8_t Gutter(int32_t X, int32_t Width) {
  return X < 400 ? 230 : static_cast<uint8_t>(230 - 140 * (X - 400) / (Width - 1 - 400));
}

// The levels of every line; a line said to be the same as the one above is.
std::vector<uint8_t> LevelsOf(const TPaperLevels& Levels) {
  const auto width = static_cast<size_t>(Levels.Width());
  std::vector<uint8_t> all(width * Levels.Height());
  for (int32_t y = 0; y < Levels.Height(); ++y) {
    uint8_t* line = all.data() + y * width;
    Levels.Line(y, line);
    if (Levels.SameAsAbove(y)) {
      EXPECT_TRUE(std::equal(line, line + width, line - width)) << y;
    }
  }
  EXPECT_FALSE(Levels.SameAsAbove(0));
  return all;
}

// Bars of ink 4 pixels wide, 8 apart, over rows 100 .. 129 of the page: 4 x 30 pixels each.
int32_t AddBars(TDIB& Page, uint8_t Ink) {
  int32_t bars = 0;
  for (int32_t x = 20; x + 4 < Page.Width() - 20; x += 8, ++bars) {
    for (int32_t y = 100; y < 130; ++y) {
      for (int32_t i = 0; i < 4; ++i) Page.SetPixel8(x + i, y, Ink);
    }
  }
  return bars;
}

int64_t BlackPixels(const TDIB& Page) {
  int64_t black = 0;
  for (int32_t y = 0; y < Page.Height(); ++y) {
    for (int32_t x = 0; x < Page.Width(); ++x) black += Page.GetPixel(x, y) == Page.BlackIndex();
  }
  return black;
}

// The levels follow the paper about each place, within half the page's level and the page's
// level, and run smoothly: no step of more than 2 between neighbouring pixels.
TEST(PaperLevels, FollowThePaperAboutEachPlaceWithinThePagesLevel) {
  const struct {
    const char* Name;
    int32_t Width, Height;
    std::function<uint8_t(int32_t, int32_t)> PaperAt;
    uint8_t Least, Most;  // of all the levels
  } cases[] = {
      {"white paper", 600, 400, [](int32_t, int32_t) { return uint8_t{230}; }, 128, 128},
      {"a gutter's shadow", 1000, 500, [](int32_t x, int32_t) { return Gutter(x, 1000); }, 64, 128},
      // A dark block 34 mm wide: deep inside it no light paper lies near, half the page's 128.
      {"a dark block", 1000, 1000,
       [](int32_t x, int32_t y) {
         return uint8_t{std::abs(x - 500) < 200 && std::abs(y - 500) < 200 ? uint8_t{40}
                                                                           : uint8_t{230}};
       },
       64, 128},
      {"dark paper", 600, 400, [](int32_t, int32_t) { return uint8_t{110}; }, 55, 55},
      // Lighter paper in the margin of a dark page does not raise the level above the page's.
      {"a light margin on dark paper", 800, 400,
       [](int32_t x, int32_t) { return uint8_t{x < 150 ? uint8_t{250} : uint8_t{110}}; }, 55, 55},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPaperLevels levels(*PageOf(c.Width, c.Height, c.PaperAt));
    ASSERT_EQ(levels.Width(), c.Width);
    ASSERT_EQ(levels.Height(), c.Height);
    const std::vector<uint8_t> all = LevelsOf(levels);
    EXPECT_EQ(*std::min_element(all.begin(), all.end()), c.Least);
    EXPECT_EQ(*std::max_element(all.begin(), all.end()), c.Most);
    int32_t steepest = 0;
    for (int32_t y = 0; y < c.Height; ++y) {
      for (int32_t x = 0; x < c.Width; ++x) {
        const int32_t level = all[static_cast<size_t>(y) * c.Width + x];
        if (x > 0) steepest = std::max(steepest, std::abs(level - all[y * c.Width + x - 1]));
        if (y > 0) steepest = std::max(steepest, std::abs(level - all[(y - 1) * c.Width + x]));
        // Plain paper stays light wherever it lies.
        if (c.PaperAt(x, y) >= 90) {
          ASSERT_LE(level + 20, c.PaperAt(x, y)) << x << "," << y;
        }
      }
    }
    EXPECT_LE(steepest, 2);
  }
}

// In the gutter's shadow the plain paper comes out white and the ink black; with the one level
// 128 the shadow's paper from gray 127 down came out black.
TEST(PaperLevels, KeepTheShadowedPaperOfAGutterWhite) {
  const auto page = PageOf(1000, 240, [](int32_t x, int32_t) { return Gutter(x, 1000); });
  const int32_t bars = AddBars(*page, 30);
  const std::unique_ptr<TDIB> once = page->Duplicate();
  TDIBWorkspace workspace;
  page->AdaptiveThreshold(50, 9, 9, TPaperLevels(*page), true, 0, 255, workspace);
  ASSERT_EQ(page->PixelType(), pt1bit);
  EXPECT_EQ(BlackPixels(*page), bars * 4 * 30);
  once->AdaptiveThreshold(50, 9, 9, 128, true, 0, 255, workspace);
  EXPECT_GT(BlackPixels(*once), bars * 4 * 30 + 240 * 100);
}

// Small pages, pages of one tile, and resolutions that would make tiles of no pixel or more
// than the page: every line has a level, the page's own.
TEST(PaperLevels, SmallPagesAndOddResolutions) {
  const struct {
    int32_t Width, Height, Dpi;
  } cases[] = {{1, 1, 300},   {3, 500, 300},        {500, 3, 300}, {200, 100, 0},
               {200, 100, 1}, {200, 100, 50000000}, {5000, 40, 25}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " at " << c.Dpi);
    const auto page = PageOf(
        c.Width, c.Height, [](int32_t, int32_t) { return uint8_t{200}; }, c.Dpi);
    const std::vector<uint8_t> all = LevelsOf(TPaperLevels(*page));
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](uint8_t l) { return l == 128; }));
  }
}

TEST(PaperLevels, TakeEightBitPagesOfTheThresholdsSize) {
  TDIB bw, colour, empty;
  bw.NewImage(8, 8, pt1bit, 300, 300);
  colour.NewImage(8, 8, pt24bit, 300, 300);
  ExpectMessage([&] { TPaperLevels{bw}; }, kNeeds8Bit);
  ExpectMessage([&] { TPaperLevels{colour}; }, kNeeds8Bit);
  ExpectMessage([&] { TPaperLevels{empty}; }, kNeeds8Bit);
  const auto page = PageOf(40, 30, [](int32_t x, int32_t) { return static_cast<uint8_t>(x * 6); });
  const TPaperLevels levels(*PageOf(40, 31, [](int32_t, int32_t) { return uint8_t{200}; }));
  TDIBWorkspace workspace;
  ExpectMessage([&] { page->AdaptiveThreshold(50, 3, 3, levels, true, 0, 255, workspace); },
                "The paper levels must have the size of the page");
  EXPECT_EQ(page->PixelType(), pt8bit);
  EXPECT_EQ(page->GetPixel8(39, 0), 234);
  ExpectMessage([&] { bw.AdaptiveThreshold(50, 3, 3, levels, true, 0, 255, workspace); },
                kNeeds8Bit);
}

}  // namespace
