#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"

namespace {

uint64_t Total(const THistogram& h) {
  uint64_t total = 0;
  for (int32_t i = 0; i < 256; ++i) total += h[i];
  return total;
}

// A histogram already full of counts, so that a fill that forgets to clear shows.
THistogram Dirty() {
  THistogram h;
  for (int32_t i = 0; i < 256; ++i) h[i] = 1000 + i;
  return h;
}

TEST(Histogram, EightBitGrayCountsEveryPixelOfOddWidths) {
  TDIB dib;
  dib.NewImage(7, 3, pt8bit, 300, 300);
  dib.Fill(9);  // padding bytes must not count
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 7; ++x) dib.SetPixel8(x, y, x == 6 ? 200 : y);
  THistogram h = Dirty();
  dib.Histogram(h);
  EXPECT_EQ(h[0], 6u);
  EXPECT_EQ(h[1], 6u);
  EXPECT_EQ(h[2], 6u);
  EXPECT_EQ(h[200], 3u);
  EXPECT_EQ(h[9], 0u);
  EXPECT_EQ(Total(h), 21u);
}

TEST(Histogram, EightBitWithOtherPaletteCountsThroughTheBlueByte) {
  TDIB dib;
  dib.NewImage(5, 2, pt8bit, 300, 300);
  dib.SetPaletteEntry(3, 0x00102030);  // blue 0x30
  dib.Fill(3);
  dib.SetPixel8(0, 0, 255);
  THistogram h = Dirty();
  dib.Histogram(h);
  EXPECT_EQ(h[0x30], 9u);
  EXPECT_EQ(h[255], 1u);
  EXPECT_EQ(h[3], 0u);
  EXPECT_EQ(Total(h), 10u);
}

TEST(Histogram, OneBitCountsSetPixelsAndIgnoresBitsAfterTheLastPixel) {
  TDIB dib;
  dib.NewImage(13, 2, pt1bit, 300, 300);
  dib.Fill(0xFF);  // also sets the three bits after pixel 12 and the padding
  dib.SetPixel1(0, 0, 0);
  dib.SetPixel1(12, 1, 0);
  THistogram h = Dirty();
  dib.Histogram(h);
  EXPECT_EQ(h[1], 24u);
  EXPECT_EQ(h[0], 2u);
  EXPECT_EQ(Total(h), 26u);
}

TEST(Histogram, TwentyFourBitCountsTruncatedWeightedGray) {
  TDIB dib;
  dib.NewImage(3, 2, pt24bit, 300, 300);
  dib.Fill(255);                   // white stays 255, not 254
  dib.SetPixel24(0, 0, 0x0000FF);  // red: 76.5 -> 76
  dib.SetPixel24(1, 0, 0x00FF00);  // green: 150.45 -> 150
  dib.SetPixel24(2, 0, 0xFF0000);  // blue: 28.05 -> 28
  dib.SetPixel24(0, 1, 0x646464);  // gray 100 stays 100
  THistogram h = Dirty();
  dib.Histogram(h);
  EXPECT_EQ(h[76], 1u);
  EXPECT_EQ(h[150], 1u);
  EXPECT_EQ(h[28], 1u);
  EXPECT_EQ(h[100], 1u);
  EXPECT_EQ(h[255], 2u);
  EXPECT_EQ(Total(h), 6u);
}

TEST(Histogram, FourBitPageRaisesAndDirectLeavesItCleared) {
  TDIB dib;
  dib.NewImage(4, 4, pt4bit, 300, 300);
  THistogram h = Dirty();
  EXPECT_THROW(
      {
        try {
          dib.Histogram(h);
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "This operation requires 8 bit per pixel bitmap !");
          throw;
        }
      },
      Exception);
  h = Dirty();
  dib.HistogramDirect(h);
  EXPECT_EQ(Total(h), 0u);
  EXPECT_THROW(dib.HistogramByPalette(h), Exception);
}

TEST(Histogram, EmptyObjectAndPageWithoutPixelsGiveClearedHistograms) {
  TDIB empty;
  THistogram h = Dirty();
  empty.Histogram(h);
  EXPECT_EQ(Total(h), 0u);
  TDIB flat;
  flat.NewImage(0, 5, pt1bit, 300, 300);
  h = Dirty();
  flat.Histogram(h);
  EXPECT_EQ(Total(h), 0u);
}

THistogram FromCounts(std::initializer_list<std::pair<int32_t, uint64_t>> counts) {
  THistogram h{};
  for (auto [level, count] : counts) h[level] = count;
  return h;
}

TEST(HistogramRange, FindsBinsAboveTheLimitAndLeavesOutputsWhenNone) {
  THistogram h = FromCounts({{3, 1}, {10, 5}, {200, 5}, {250, 2}});
  int32_t first = -7, last = -7;
  HistogramRange(h, 0, first, last);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 250);
  HistogramRange(h, 2, first, last);
  EXPECT_EQ(first, 10);
  EXPECT_EQ(last, 200);
  first = last = -7;
  HistogramRange(h, 5, first, last);
  EXPECT_EQ(first, -7);
  EXPECT_EQ(last, -7);
  HistogramRange(h, -1, first, last);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 255);
}

TEST(MeanStdDevLevel, MeanPlusKDeviationsTruncated) {
  THistogram one = FromCounts({{77, 40}});
  EXPECT_EQ(MeanStdDevLevel(one, 0), 77);
  EXPECT_EQ(MeanStdDevLevel(one, 3), 77);
  // Levels 10 and 30 in equal parts: mean 20, deviation 10.
  THistogram two = FromCounts({{10, 4}, {30, 4}});
  EXPECT_EQ(MeanStdDevLevel(two, 0), 20);
  EXPECT_EQ(MeanStdDevLevel(two, 0.55), 25);
  EXPECT_EQ(MeanStdDevLevel(two, -0.55), 14);  // 14.5 truncated
  // Mean 10.5 truncates to 10.
  THistogram skew = FromCounts({{10, 1}, {11, 1}});
  EXPECT_EQ(MeanStdDevLevel(skew, 0), 10);
}

TEST(MeanStdDevLevel, EmptyHistogramRaisesInsteadOfANonsenseLevel) {
  THistogram empty{};
  EXPECT_THROW(MeanStdDevLevel(empty, 0), Exception);
}

}  // namespace
