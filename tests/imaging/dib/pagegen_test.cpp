#include "pagegen.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PageGenerator, DeterministicTypesAndFrame) {
  TPageOptions o = ReferencePageOptions(pt8bit);
  o.Width = 600;
  o.Height = 800;
  o.Margin = 80;
  auto a = MakeReferencePage(o);
  auto b = MakeReferencePage(o);
  ASSERT_EQ(a->BlockSize(), b->BlockSize());
  EXPECT_EQ(std::memcmp(a->Memory(), b->Memory(), a->BlockSize()), 0);
  EXPECT_EQ(a->XResolution(), 300);
  EXPECT_EQ(a->GetPixel(5, 5), o.FrameGray);
  EXPECT_EQ(a->GetPixel(300, 70), kPaperGray);  // paper between frame and text
  int ink = 0;
  for (int32_t y = 0; y < a->Height(); ++y)
    for (int32_t x = 0; x < a->Width(); ++x) ink += a->GetPixel(x, y) == kInkGray;
  EXPECT_GT(ink, 600 * 800 / 50);

  for (uint8_t type : {pt1bit, pt24bit}) {
    o.PixelType = type;
    auto page = MakeReferencePage(o);
    EXPECT_EQ(page->PixelType(), type);
    EXPECT_EQ(page->GetPixel(300, 70), type == pt1bit ? 1 : 0xE4F0F4);
  }
}
