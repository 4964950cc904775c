#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "dibunit.h"
#include "source_pages.h"

namespace {

TEST(CopyRect, CopiesPixelsPaletteAndResolutionsOfEveryType) {
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    SCOPED_TRACE(+type);
    auto page = PatternPage(37, 21, type);
    auto copy = page->CopyRect(3, 5, 35, 20);
    ASSERT_EQ(copy->Width(), 33);
    ASSERT_EQ(copy->Height(), 16);
    EXPECT_EQ(copy->PixelType(), type);
    EXPECT_EQ(copy->XResolution(), 300);
    EXPECT_EQ(copy->YResolution(), 200);
    EXPECT_EQ(std::memcmp(copy->Palette(), page->Palette(), 4 * page->ColorCount()), 0);
    for (int32_t j = 0; j < 16; ++j) {
      for (int32_t k = 0; k < 33; ++k) {
        ASSERT_EQ(copy->GetPixel(k, j), page->GetPixel(3 + k, 5 + j)) << k << "," << j;
      }
    }
  }
}

TEST(CopyRect, OnePixelAndTheWholePage) {
  auto page = PatternPage(9, 4, pt8bit);
  auto one = page->CopyRect(8, 3, 8, 3);
  ASSERT_EQ(one->Width(), 1);
  ASSERT_EQ(one->Height(), 1);
  EXPECT_EQ(one->GetPixel(0, 0), page->GetPixel(8, 3));
  auto whole = page->CopyRect(0, 0, 8, 3);
  for (int32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(std::memcmp(whole->Lines(y), page->Lines(y), page->LineBytes()), 0);
  }
}

TEST(CopyRect, ReversedCornersGiveTheSizeAndStartAtLeftTop) {
  auto page = PatternPage(20, 10, pt8bit);
  auto copy = page->CopyRect(4, 6, 1, 3);
  ASSERT_EQ(copy->Width(), 4);
  ASSERT_EQ(copy->Height(), 4);
  EXPECT_EQ(copy->GetPixel(0, 0), page->GetPixel(4, 6));
  EXPECT_EQ(copy->GetPixel(3, 3), page->GetPixel(7, 9));
}

TEST(CopyRect, RectangleReachingOutsideRaisesBeforeAllocating) {
  auto page = PatternPage(20, 10, pt24bit);
  struct {
    int32_t left, top, right, bottom;
  } cases[] = {
      {-1, 0, 5, 5},  {0, -1, 5, 5}, {0, 0, 20, 5},      {0, 0, 5, 10},
      {15, 0, 10, 5}, {0, 8, 5, 4},  {19, 9, 19, 9 + 1}, {INT32_MIN, 0, INT32_MAX, 0},
  };
  size_t live = win32::GlobalLiveBytes();
  for (auto c : cases) {
    EXPECT_THROW(page->CopyRect(c.left, c.top, c.right, c.bottom), Exception)
        << c.left << "," << c.top << "," << c.right << "," << c.bottom;
  }
  EXPECT_EQ(win32::GlobalLiveBytes(), live);
  TDIB empty;
  EXPECT_THROW(empty.CopyRect(0, 0, 0, 0), Exception);
}

TEST(IsGray, ByTypeAndPalette) {
  TDIB page;
  page.NewImage(4, 4, pt1bit, 300, 300);
  page.SetPaletteEntry(0, 0x00FF00);
  EXPECT_TRUE(page.IsGray());
  page.NewImage(4, 4, pt8bit, 300, 300);
  EXPECT_TRUE(page.IsGray());
  page.SetPaletteEntry(200, 0x7F7F7F);  // gray, not the default level
  EXPECT_TRUE(page.IsGray());
  page.SetPaletteEntry(255, 0xFFFFFE);
  EXPECT_FALSE(page.IsGray());
  page.NewImage(4, 4, pt4bit, 300, 300);
  EXPECT_FALSE(page.IsGray());
  page.NewImage(4, 4, pt24bit, 300, 300);
  EXPECT_FALSE(page.IsGray());
  page.FreeImage();
  EXPECT_FALSE(page.IsGray());
}

TEST(SwapRedBlue, SwapsTheOuterBytesOfEveryPixel) {
  auto page = PatternPage(5, 3, pt24bit);
  auto before = page->Duplicate();
  page->SwapRedBlue();
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      int32_t v = before->GetPixel(x, y);
      int32_t swapped = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
      EXPECT_EQ(page->GetPixel(x, y), swapped);
    }
  }
  page->SwapRedBlue();
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), page->BlockSize()), 0);
}

TEST(SwapRedBlue, LeavesPagesOfOtherTypes) {
  // An 8-bit line holds one byte a pixel: swapping three-byte pixels over its width would run
  // past the line and, on the top line, past the block.
  for (uint8_t type : {pt1bit, pt4bit, pt8bit}) {
    auto page = PatternPage(6, 2, type);
    auto before = page->Duplicate();
    page->SwapRedBlue();
    EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), page->BlockSize()), 0) << +type;
  }
  TDIB empty;
  empty.SwapRedBlue();
}

TEST(Planes, HeaderPlaneCount) {
  TDIB page;
  EXPECT_EQ(page.Planes(), 0);
  page.NewImage(2, 2, pt8bit, 300, 300);
  EXPECT_EQ(page.Planes(), 1);
  page.Header()->biPlanes = 0xFFFF;
  EXPECT_EQ(page.Planes(), 65535);
}

}  // namespace

TEST(PaperNameBySize, ExactSizesOnlyAndTheNameKeptOtherwise) {
  std::string name = "unchanged";
  EXPECT_TRUE(PaperNameBySize(8.27, 11.69, name));
  EXPECT_EQ(name, "A4");
  EXPECT_TRUE(PaperNameBySize(11, 17, name));
  EXPECT_EQ(name, "Ledger");
  EXPECT_TRUE(PaperNameBySize(8.5, 14, name));
  EXPECT_EQ(name, "Legal");
  name = "unchanged";
  for (auto [w, h] :
       {std::pair{std::nextafter(8.27, 9.0), 11.69}, std::pair{8.27, std::nextafter(11.69, 0.0)},
        std::pair{11.69, 8.27}, std::pair{0.0, 0.0}}) {
    EXPECT_FALSE(PaperNameBySize(w, h, name)) << w << " x " << h;
  }
  EXPECT_EQ(name, "unchanged");
}
