#include <gtest/gtest.h>

#include <cmath>

#include "dibunit.h"

namespace {

THistogram FromCounts(std::initializer_list<std::pair<int32_t, uint64_t>> counts) {
  THistogram h{};
  for (auto [level, count] : counts) h[level] = count;
  return h;
}

std::unique_ptr<TDIB> GrayPage(int32_t width, int32_t height, std::initializer_list<int32_t> rows) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(width, height, pt8bit, 300, 300);
  auto v = rows.begin();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) dib->SetPixel8(x, y, *v++);
  return dib;
}

TEST(LevelFunctions, OneGrayValue) {
  THistogram h = FromCounts({{93, 500}});
  EXPECT_EQ(OtsuLevel(h), 127);
  EXPECT_EQ(MeanLevel(h), 93);
  EXPECT_EQ(IntermeansLevel(h), 93);
  EXPECT_EQ(MeanStdDevLevel(h, 0), 93);
}

TEST(LevelFunctions, EmptyHistogram) {
  THistogram h{};
  EXPECT_EQ(OtsuLevel(h), 127);
  EXPECT_EQ(MeanLevel(h), -1);
  EXPECT_EQ(IntermeansLevel(h), 127);
}

TEST(LevelFunctions, OtsuTakesTheFirstBestSplit) {
  // Every level from 50 to 199 splits the two clusters equally well: the first one wins.
  EXPECT_EQ(OtsuLevel(FromCounts({{50, 100}, {200, 100}})), 50);
  // N 100, mean 93: the score at 10 (2952.4) beats the one at 100 (2862.25).
  EXPECT_EQ(OtsuLevel(FromCounts({{10, 30}, {100, 50}, {200, 20}})), 10);
  EXPECT_EQ(OtsuLevel(FromCounts({{10, 10}, {100, 50}, {200, 40}})), 100);
}

TEST(LevelFunctions, MeanRoundsHalvesToEven) {
  EXPECT_EQ(MeanLevel(FromCounts({{10, 1}, {11, 1}})), 10);
  EXPECT_EQ(MeanLevel(FromCounts({{11, 1}, {12, 1}})), 12);
  EXPECT_EQ(MeanLevel(FromCounts({{0, 3}, {255, 1}})), 64);  // 63.75
}

TEST(LevelFunctions, IntermeansSettlesBetweenTheClusterMeans) {
  EXPECT_EQ(IntermeansLevel(FromCounts({{50, 100}, {200, 100}})), 125);
  // Starts at the mean 70, moves to (20 + 220) / 2.
  EXPECT_EQ(IntermeansLevel(FromCounts({{20, 300}, {220, 100}})), 120);
  // Starts at 66 (930 / 14); (52.3 + 250) / 2 rounds to 151, which holds.
  EXPECT_EQ(IntermeansLevel(FromCounts({{50, 10}, {60, 3}, {250, 1}})), 151);
}

TEST(Brightness, MeanGrayThroughThePalette) {
  auto gray = GrayPage(2, 2, {0, 100, 200, 255});
  EXPECT_DOUBLE_EQ(gray->MeasureBrightness(), 555 / 4.0);

  TDIB bw;
  bw.NewImage(10, 3, pt1bit, 300, 300);  // palette black, white
  for (int32_t x = 0; x < 7; ++x) bw.SetPixel1(x, 1, 1);
  EXPECT_DOUBLE_EQ(bw.MeasureBrightness(), 255.0 * 7 / 30);

  auto tinted = GrayPage(2, 1, {3, 3});
  tinted->SetPaletteEntry(3, 0x00500003);  // blue 3 keeps the bin; red 0x50 gives the level
  EXPECT_DOUBLE_EQ(tinted->MeasureBrightness(), 0x50);

  TDIB colour;
  colour.NewImage(2, 1, pt24bit, 300, 300);
  colour.SetPixel24(0, 0, 0x0000FF);  // gray 76
  colour.SetPixel24(1, 0, 0xFFFFFF);
  EXPECT_DOUBLE_EQ(colour.MeasureBrightness(), (76 + 255) / 2.0);

  TDIB none;
  none.NewImage(0, 4, pt8bit, 300, 300);
  EXPECT_EQ(none.MeasureBrightness(), 0);
  TDIB nibbles;
  nibbles.NewImage(2, 2, pt4bit, 300, 300);
  EXPECT_THROW(nibbles.MeasureBrightness(), Exception);
}

// Interior pixels 100 and 50 on black: eight neighbours give 50 x 9 and 100 x 7, four give
// 50 x 5 and 100 x 3.
std::unique_ptr<TDIB> TwoInteriorPixels() {
  return GrayPage(4, 3, {0, 0, 0, 0, 0, 100, 50, 0, 0, 0, 0, 0});
}

TEST(DifferenceHistogram, EightAndFourNeighboursOfInteriorPixels) {
  auto page = TwoInteriorPixels();
  THistogram h;
  page->DifferenceHistogram(true, h);
  EXPECT_EQ(h[50], 9u);
  EXPECT_EQ(h[100], 7u);
  EXPECT_EQ(h[0], 0u);
  page->DifferenceHistogram(false, h);
  EXPECT_EQ(h[50], 5u);
  EXPECT_EQ(h[100], 3u);

  TDIB colour;
  colour.NewImage(4, 3, pt24bit, 300, 300);
  colour.SetPixel24(1, 1, 0x0000FF);  // gray 76
  colour.SetPixel24(2, 1, 0x646464);  // gray 100
  colour.DifferenceHistogram(false, h);
  EXPECT_EQ(h[76], 3u);
  EXPECT_EQ(h[100], 3u);
  EXPECT_EQ(h[24], 2u);
  EXPECT_THROW(colour.DifferenceHistogram(true, h), Exception);
}

TEST(DifferenceHistogram, PagesWithoutInteriorAreEmpty) {
  auto narrow = GrayPage(2, 5, {0, 9, 0, 9, 0, 9, 0, 9, 0, 9});
  THistogram h;
  narrow->DifferenceHistogram(true, h);
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(h[i], 0u);
  EXPECT_EQ(narrow->MeasureContrast(true, -1, 0), 0);
}

TEST(Contrast, MeanOfTheStrongerDifferences) {
  auto page = TwoInteriorPixels();
  EXPECT_DOUBLE_EQ(page->MeasureContrast(true, -1, 0), 100);  // split (50 + 100) / 2
  EXPECT_DOUBLE_EQ(page->MeasureContrast(true, 0, 0), (9 * 50 + 7 * 100) / 16.0);
  EXPECT_DOUBLE_EQ(page->MeasureContrast(false, -1, -1), 100);
  EXPECT_EQ(page->MeasureContrast(true, -1, 8), 0);  // only 7 strong differences
  EXPECT_DOUBLE_EQ(page->MeasureContrast(true, -1, 7), 100);
  EXPECT_EQ(page->MeasureContrast(true, 300, 0), 0);  // split 254: nothing above
  auto flat = GrayPage(3, 3, {7, 7, 7, 7, 7, 7, 7, 7, 7});
  EXPECT_EQ(flat->MeasureContrast(false, -1, 0), 0);
  TDIB bw;
  bw.NewImage(4, 4, pt1bit, 300, 300);
  EXPECT_THROW(bw.MeasureContrast(false, -1, 0), Exception);
}

TEST(BlockRankLevel, TwoLevelBlocksAndPagesWithoutBlocks) {
  // Blocks of 20 and of 200: r is 1 between them and 0 outside.
  TDIB page;
  page.NewImage(5, 5, pt8bit, 300, 300);  // the last line and column are not in a block
  page.Fill(99);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) page.SetPixel8(x, y, x < 2 ? 20 : 200);
  EXPECT_EQ(page.BlockRankLevel(), 200);
  // Half the pixels of each block dark: above 20 the value under the root is negative, below
  // it r is 0.58; both count as r < 1, and the search ends with t = 1.
  for (int32_t x = 0; x < 4; ++x) page.SetPixel8(x, 0, 0);
  for (int32_t x = 0; x < 4; ++x) page.SetPixel8(x, 2, 0);
  EXPECT_EQ(page.BlockRankLevel(), 1);

  auto line = GrayPage(5, 1, {1, 2, 3, 4, 5});
  EXPECT_EQ(line->BlockRankLevel(), 127);
  TDIB bw;
  bw.NewImage(4, 4, pt1bit, 300, 300);
  EXPECT_THROW(bw.BlockRankLevel(), Exception);
}

}  // namespace
