// Skew detection on generated pages, and straightening by rotation.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "dibunit.h"
#include "dibworkspace.h"
#include "pagegen.h"

namespace {

double Degrees(double Radians) {
  return Radians * 180.0 / M_PI;
}

// A white 1-bit page with black bands Thickness lines thick every Pitch lines, each falling
// by Drop lines from the left edge to the right edge.
std::unique_ptr<TDIB> BandPage(int32_t Width, int32_t Height, int32_t Drop, int32_t Pitch,
                               int32_t Thickness) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, pt1bit, 300, 300);
  page->Fill(0xFF);
  for (int32_t x = 0; x < Width; ++x) {
    const int32_t dy = static_cast<int32_t>(std::floor(static_cast<double>(Drop) * x / Width));
    for (int32_t y = 0; y < Height; ++y) {
      const int32_t v = y - dy;
      if (v >= 0 && v % Pitch < Thickness) page->SetPixel(x, y, 0);
    }
  }
  return page;
}

TEST(ProfileScore, SumsSquaresIn64Bits) {
  const int32_t small[] = {1, 2, 3, 6};  // sum 12, mean 3
  EXPECT_EQ(ProfileScore(small, 4), 4 + 1 + 0 + 9);
  const int32_t truncated[] = {0, 1};  // mean 1 div 2 = 0
  EXPECT_EQ(ProfileScore(truncated, 2), 1);
  const int32_t large[] = {0, 100000, 0, 100000};
  EXPECT_EQ(ProfileScore(large, 4), int64_t{4} * 50000 * 50000);
  EXPECT_EQ(ProfileScore(large, 0), 0);
}

TEST(DetectSkew, TrivialCases) {
  auto bands = BandPage(600, 400, 20, 40, 10);
  EXPECT_EQ(bands->DetectSkew(0, 0.1, 0.05), 0);
  EXPECT_EQ(bands->DetectSkew(0, 0.1, -5), 0);
  auto blank = BandPage(600, 400, 0, 40, 0);
  EXPECT_EQ(blank->DetectSkew(0, 0.1, 5), 0);
  TDIB four;
  four.NewImage(600, 400, pt4bit, 300, 300);
  EXPECT_EQ(four.DetectSkew(0, 0.1, 5), 0);
  EXPECT_NE(bands->DetectSkew(0, 0, 5), 0) << "a zero step is taken as 0.1";
}

TEST(DetectSkew, WorkedCandidateSet) {
  // Width 2000, at most 5 degrees: candidates d = 0, 3, ..., 174; bands falling by 21 lines
  // to the right are found at d = 21.
  auto page = BandPage(2000, 900, 21, 48, 16);
  EXPECT_DOUBLE_EQ(page->DetectSkew(0, 0.1, 5), Degrees(std::asin(-21.0 / 2000)));
  EXPECT_NEAR(page->DetectSkew(0, 0.1, 5), -0.6016, 1e-4);
  // Rising bands: the staircase going down to the left, a positive angle.
  page->FlipVertical();
  EXPECT_DOUBLE_EQ(page->DetectSkew(0, 0.1, 5), Degrees(std::asin(21.0 / 2000)));
}

TEST(DetectSkew, WideDenseProfilesNeedSixtyFourBits) {
  // At the true slope the band profile alternates between 0 and 6000 dark pixels over 400
  // bands: its score is far beyond 32 bits, where the sum wrapped and chose another slope.
  const int32_t width = 6000, height = 2400, drop = 100;
  auto page = BandPage(width, height, drop, 60, 30);
  const int32_t w = width / (drop + 1);
  std::vector<int32_t> profile;
  for (int32_t b = 0; b + drop < height; b += 6) {
    int32_t p = 0;
    for (int32_t k = 0; k <= drop; ++k) p += page->CountRunBits(k * w, b + k, w, false);
    profile.push_back(p);
  }
  ASSERT_GT(ProfileScore(profile.data(), static_cast<int32_t>(profile.size())), INT32_MAX);
  EXPECT_DOUBLE_EQ(page->DetectSkew(0, 0.1, 5), Degrees(std::asin(-drop / 6000.0)));
}

// One workspace through a large page, a smaller one and the large one again, at each depth:
// every angle is the one found without a workspace, and the memory grows for the large page
// only.
TEST(DetectSkew, WorkingMemoryGrowsOnlyForALargerPage) {
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    SCOPED_TRACE(int{type});
    auto large = BandPage(2000, 900, 21, 48, 16);
    auto small = BandPage(600, 400, -9, 40, 10);
    for (TDIB* page : {large.get(), small.get()}) {
      if (type != pt1bit) page->ConvertPixelType(pt8bit);
      if (type == pt24bit) page->ConvertPixelType(pt24bit);
    }
    TDIBWorkspace workspace;
    EXPECT_EQ(large->DetectSkew(0, 0.1, 5, workspace), large->DetectSkew(0, 0.1, 5));
    const size_t afterLarge = workspace.Capacity();
    EXPECT_GT(afterLarge, 0u);
    EXPECT_EQ(small->DetectSkew(0, 0.1, 5, workspace), small->DetectSkew(0, 0.1, 5));
    EXPECT_EQ(workspace.Capacity(), afterLarge);
    EXPECT_EQ(large->DetectSkew(0, 0.1, 5, workspace), large->DetectSkew(0, 0.1, 5));
    EXPECT_EQ(workspace.Capacity(), afterLarge);
  }
}

struct TSkewCase {
  uint8_t Type;
  double Angle;
};

class GeneratedSkew : public testing::TestWithParam<TSkewCase> {};

TEST_P(GeneratedSkew, IsFoundAndStraightened) {
  TPageOptions o;
  o.Width = 2480;  // A4 wide, at 300 dpi
  o.Height = 1200;
  o.Margin = 150;
  o.Seed = 7;
  o.PixelType = GetParam().Type;
  o.SkewDegrees = GetParam().Angle;
  o.Speckles = 300;
  auto page = MakeReferencePage(o);
  const double found = page->DetectSkew(0, 0.1, 5);
  EXPECT_NEAR(found, o.SkewDegrees, 0.15);
  page->Rotate(true, true, found, found, false);
  EXPECT_LT(std::fabs(page->DetectSkew(0, 0.1, 5)), 0.15);
}

// Faint print or pencil: every stroke lies above middle gray, and it is the stroke that the
// search counts, not nothing.
TEST(DetectSkew, FindsTheLinesOfFaintPrint) {
  for (uint8_t type : {pt8bit, pt24bit}) {
    SCOPED_TRACE(int{type});
    TPageOptions o;
    o.Height = 1200;
    o.Margin = 150;
    o.SkewDegrees = -1.8;
    auto page = MakeReferencePage(o);
    for (int32_t y = 0; y < page->Height(); ++y) {
      uint8_t* line = page->Lines(y);
      for (int32_t x = 0; x < page->Width(); ++x)
        line[x] = static_cast<uint8_t>(150 + line[x] * 80 / 255);
    }
    if (type == pt24bit) page->ConvertPixelType(pt24bit);
    EXPECT_NEAR(page->DetectSkew(0, 0.1, 5), o.SkewDegrees, 0.15);
  }
}

const TSkewCase kSkewCases[] = {
    {pt1bit, -4}, {pt1bit, -1.3}, {pt1bit, 0}, {pt1bit, 2.2}, {pt1bit, 4},    {pt8bit, -4},
    {pt8bit, -2}, {pt8bit, 3.1},  {pt8bit, 4}, {pt24bit, -4}, {pt24bit, 1.7}, {pt24bit, 4},
};
INSTANTIATE_TEST_SUITE_P(Pages, GeneratedSkew, testing::ValuesIn(kSkewCases));

}  // namespace
