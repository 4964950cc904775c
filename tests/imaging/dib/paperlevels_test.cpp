#include "paperlevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "dibunit.h"
#include "dibworkspace.h"

namespace {

const char* const kNeeds8Bit = "This operation requires 8 bit per pixel bitmap !";

void ExpectMessage(const std::function<void()>& f, const char* message) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), message);
  }
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
