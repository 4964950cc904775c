// Canvas changes, crop, shifts, flip, resize, rotation and drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dibunit.h"
#include "small_pages.h"

namespace {

int32_t MaxValue(uint8_t Type) {
  switch (Type) {
    case pt1bit:
      return 1;
    case pt4bit:
      return 15;
    case pt8bit:
      return 255;
    default:
      return 0xFFFFFF;
  }
}

// A pixel value that differs between neighbours, for any depth.
int32_t Pattern(uint8_t Type, int32_t X, int32_t Y) {
  return static_cast<int32_t>((X * 7919u + Y * 104729u + X * Y * 31u) % (MaxValue(Type) + 1u));
}

std::unique_ptr<TDIB> PatternPage(uint8_t Type, int32_t Width, int32_t Height) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, Type, 300, 300);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) page->SetPixel(x, y, Pattern(Type, x, y));
  }
  return page;
}

// The value a new pixel gets from a fill byte: its bits at the pixel's place.
int32_t FillPixel(uint8_t Type, int32_t X, uint8_t Fill) {
  switch (Type) {
    case pt1bit:
      return (Fill >> (7 - X % 8)) & 1;
    case pt4bit:
      return X % 2 == 0 ? Fill >> 4 : Fill & 15;
    case pt8bit:
      return Fill;
    default:
      return Fill * 0x010101;
  }
}

int32_t WhitePixel(uint8_t Type) {
  return Type == pt1bit ? 1 : Type == pt4bit ? 0 : MaxValue(Type);
}

void ExpectLayout(const TDIB& Page, int32_t Width, int32_t Height) {
  ASSERT_EQ(Page.Width(), Width);
  ASSERT_EQ(Page.Height(), Height);
  TDIBLayout layout;
  TDIB::LayoutForType(Width, Height, Page.PixelType(), layout);
  EXPECT_EQ(Page.BlockSize(), layout.BlockSize);
  EXPECT_GE(win32::GlobalSize(Page.Handle()), static_cast<size_t>(layout.BlockSize));
  EXPECT_EQ(Page.Header()->biSizeImage, static_cast<uint32_t>(Height * layout.Stride));
}

struct TCanvasCase {
  uint8_t Type;
  int32_t Width, Height, NewWidth, NewHeight;
};

const TCanvasCase kCanvasCases[] = {
    {pt1bit, 13, 5, 21, 9},  {pt1bit, 21, 9, 13, 5}, {pt1bit, 13, 9, 30, 4},
    {pt1bit, 30, 4, 3, 11},  {pt4bit, 7, 6, 12, 3},  {pt4bit, 12, 3, 7, 6},
    {pt4bit, 9, 4, 10, 4},   {pt8bit, 97, 3, 99, 3}, {pt8bit, 50, 20, 10, 40},
    {pt8bit, 10, 40, 50, 2}, {pt24bit, 5, 7, 9, 2},  {pt24bit, 9, 2, 5, 7},
    {pt8bit, 6, 6, 0, 4},    {pt24bit, 6, 6, 6, 0},
};

TEST(ResizeCanvas, KeepsTopLeftAndFillsNewPixels) {
  const uint8_t fill = 0xA6;
  for (const TCanvasCase& c : kCanvasCases) {
    SCOPED_TRACE(testing::Message() << int{c.Type} << ": " << c.Width << "x" << c.Height << " to "
                                    << c.NewWidth << "x" << c.NewHeight);
    auto page = PatternPage(c.Type, c.Width, c.Height);
    win32::HGLOBAL handle = page->Handle();
    page->ResizeCanvas(c.NewWidth, c.NewHeight, fill);
    EXPECT_EQ(page->Handle(), handle);
    ExpectLayout(*page, c.NewWidth, c.NewHeight);
    for (int32_t y = 0; y < c.NewHeight; ++y) {
      for (int32_t x = 0; x < c.NewWidth; ++x) {
        const bool old = x < c.Width && y < c.Height;
        ASSERT_EQ(page->GetPixel(x, y), old ? Pattern(c.Type, x, y) : FillPixel(c.Type, x, fill))
            << x << "," << y;
      }
    }
  }
}

TEST(ResizeCanvas, RowsStoredAfterAGapFollowThePalette) {
  // A loaded page may keep its rows further into the block than the palette's end.
  auto page = PatternPage(pt8bit, 5, 3);
  TDIB loaded;
  CopyWithGapBeforeRows(*page, 12, loaded);
  ASSERT_EQ(loaded.GetPixel(4, 2), Pattern(pt8bit, 4, 2));
  loaded.ResizeCanvas(6, 4, 1);
  ExpectLayout(loaded, 6, 4);
  EXPECT_EQ(loaded.GetPixel(4, 2), Pattern(pt8bit, 4, 2));
  EXPECT_EQ(loaded.GetPixel(0, 0), Pattern(pt8bit, 0, 0));
  EXPECT_EQ(loaded.GetPixel(5, 3), 1);
}

struct TShiftCase {
  uint8_t Type;
  int32_t Width, N;
};

TEST(ShiftLine, MovesPixelsAndWhitensTheVacated) {
  const TShiftCase cases[] = {
      {pt1bit, 13, 1},  {pt1bit, 13, -1}, {pt1bit, 13, 9}, {pt1bit, 13, -11}, {pt1bit, 13, 13},
      {pt1bit, 40, -8}, {pt1bit, 40, 17}, {pt4bit, 7, 1},  {pt4bit, 7, -1},   {pt4bit, 8, -3},
      {pt4bit, 7, 30},  {pt8bit, 9, 4},   {pt8bit, 9, -4}, {pt24bit, 5, 2},   {pt24bit, 5, -7},
  };
  for (const TShiftCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.Type} << " width " << c.Width << " by " << c.N);
    auto page = PatternPage(c.Type, c.Width, 2);
    page->ShiftLine(1, c.N);
    for (int32_t x = 0; x < c.Width; ++x) {
      const int32_t from = x - c.N;
      ASSERT_EQ(page->GetPixel(x, 0), Pattern(c.Type, x, 0)) << "other line, x " << x;
      ASSERT_EQ(page->GetPixel(x, 1),
                from >= 0 && from < c.Width ? Pattern(c.Type, from, 1) : WhitePixel(c.Type))
          << "x " << x;
    }
  }
}

TEST(ShiftLine, NibblesMoveByOnePlace) {
  TDIB page;
  page.NewImage(4, 1, pt4bit, 300, 300);
  page.Lines(0)[0] = 0x12;
  page.Lines(0)[1] = 0x34;
  page.ShiftLine(0, 1);
  EXPECT_EQ(page.Lines(0)[0], 0x01);  // the 16-level palette has no white: index 0 fills
  EXPECT_EQ(page.Lines(0)[1], 0x23);
}

TEST(ShiftVertical, MovesLinesAndWhitensTheVacated) {
  for (int32_t n : {2, -3, 0, 7, -9}) {
    auto page = PatternPage(pt1bit, 11, 7);
    page->ShiftVertical(n);
    for (int32_t y = 0; y < 7; ++y) {
      for (int32_t x = 0; x < 11; ++x) {
        const int32_t from = y - n;
        ASSERT_EQ(page->GetPixel(x, y), from >= 0 && from < 7 ? Pattern(pt1bit, x, from) : 1)
            << n << ": " << x << "," << y;
      }
    }
  }
}

TEST(Crop, KeepsTheRectangle) {
  struct TCropCase {
    uint8_t Type;
    TRect Rect;
  };
  const TCropCase cases[] = {{pt1bit, {3, 2, 17, 6}},   {pt1bit, {0, 0, 9, 4}},
                             {pt4bit, {1, 1, 6, 8}},    {pt8bit, {5, 0, 24, 9}},
                             {pt24bit, {2, 3, 23, 12}}, {pt8bit, {-2, -1, 10, 10}}};
  for (const TCropCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.Type} << ": " << c.Rect.Left << "," << c.Rect.Top);
    auto page = PatternPage(c.Type, 20, 10);
    page->Crop(c.Rect);
    const int32_t w = c.Rect.Right - c.Rect.Left + 1, h = c.Rect.Bottom - c.Rect.Top + 1;
    ExpectLayout(*page, w, h);
    const int32_t dx = std::max(c.Rect.Left, 0), dy = std::max(c.Rect.Top, 0);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const int32_t sx = x + dx, sy = y + dy;
        // Inside the old canvas: the shifted picture with white shifted in; beyond it, byte 0.
        int32_t expected = 0;
        if (x < 20 && y < 10)
          expected = sx < 20 && sy < 10 ? Pattern(c.Type, sx, sy) : WhitePixel(c.Type);
        ASSERT_EQ(page->GetPixel(x, y), expected) << x << "," << y;
      }
    }
  }
}

TEST(Crop, EmptyRectangleLeavesThePage) {
  auto page = PatternPage(pt8bit, 8, 8);
  page->Crop({8, 0, -1, 7});
  EXPECT_EQ(page->Width(), 8);
  EXPECT_EQ(page->GetPixel(3, 3), Pattern(pt8bit, 3, 3));
}

TEST(FlipVertical, SwapsLines) {
  for (int32_t height : {1, 4, 5}) {
    auto page = PatternPage(pt24bit, 3, height);
    page->FlipVertical();
    for (int32_t y = 0; y < height; ++y) {
      EXPECT_EQ(page->GetPixel(2, y), Pattern(pt24bit, 2, height - 1 - y));
    }
  }
}

// ---- Resize ----

TEST(Resize, SameSizeChangesNothing) {
  auto page = PatternPage(pt8bit, 9, 9);
  auto before = page->Duplicate();
  page->Resize(9, 9, true);
  page->Resize(9, 9, false);
  EXPECT_EQ(std::memcmp(page->Memory(), before->Memory(), page->BlockSize()), 0);
}

TEST(Resize, NearestSampleTakesTheRoundedSource) {
  const int32_t sizes[][4] = {{20, 10, 7, 4}, {7, 4, 20, 10}, {20, 4, 7, 10}, {7, 10, 20, 4}};
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    for (const auto& s : sizes) {
      SCOPED_TRACE(testing::Message()
                   << int{type} << ": " << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3]);
      auto page = PatternPage(type, s[0], s[1]);
      page->Resize(s[2], s[3], false);
      ExpectLayout(*page, s[2], s[3]);
      const double fx = static_cast<double>(s[0]) / s[2], fy = static_cast<double>(s[1]) / s[3];
      for (int32_t y = 0; y < s[3]; ++y) {
        for (int32_t x = 0; x < s[2]; ++x) {
          const int32_t sx = std::min(Round(fx * x), s[0] - 1);
          const int32_t sy = std::min(Round(fy * y), s[1] - 1);
          ASSERT_EQ(page->GetPixel(x, y), Pattern(type, sx, sy)) << x << "," << y;
        }
      }
    }
  }
}

TEST(Resize, AverageOfBoxes) {
  // Halving: each new pixel averages a 2 x 2 box.
  TDIB gray;
  gray.NewImage(4, 2, pt8bit, 300, 300);
  const uint8_t rows[2][4] = {{10, 20, 0, 255}, {30, 41, 255, 255}};
  for (int32_t y = 0; y < 2; ++y) std::memcpy(gray.Lines(y), rows[y], 4);
  gray.Resize(2, 1, true);
  EXPECT_EQ(gray.GetPixel(0, 0), 25);   // 101 / 4 = 25.25
  EXPECT_EQ(gray.GetPixel(1, 0), 191);  // 765 / 4 = 191.25

  TDIB colour;
  colour.NewImage(2, 2, pt24bit, 300, 300);
  colour.SetPixel(0, 0, 0x0A0000);
  colour.SetPixel(1, 0, 0x0B0001);
  colour.SetPixel(0, 1, 0x0C0002);
  colour.SetPixel(1, 1, 0x0D0003);
  colour.Resize(1, 1, true);
  EXPECT_EQ(colour.GetPixel(0, 0), 0x0C0002);  // 11.5 -> 12, 1.5 -> 2: halves to even
}

TEST(Resize, HalvingBilevelTakesTheMajority) {
  // Boxes with 0 to 4 set pixels: 1 only from three on.
  TDIB page;
  page.NewImage(10, 2, pt1bit, 300, 300);
  const int32_t set[5] = {0, 1, 2, 3, 4};
  for (int32_t b = 0; b < 5; ++b) {
    for (int32_t i = 0; i < set[b]; ++i) page.SetPixel(2 * b + i % 2, i / 2, 1);
  }
  page.Resize(5, 1, true);
  const int32_t expected[5] = {0, 0, 0, 1, 1};
  for (int32_t b = 0; b < 5; ++b) EXPECT_EQ(page.GetPixel(b, 0), expected[b]) << set[b];
}

// ---- Rotation ----

TEST(Rotate, SmallAnglesAnd4BitVariantsChangeNothing) {
  auto page = PatternPage(pt8bit, 30, 20);
  auto before = page->Duplicate();
  page->Rotate(true, true, 0.05, 0.05, true);
  page->Rotate(true, false, 0.09, 3, true);
  EXPECT_EQ(std::memcmp(page->Memory(), before->Memory(), page->BlockSize()), 0);
  auto four = PatternPage(pt4bit, 30, 20);
  auto fourBefore = four->Duplicate();
  four->Rotate(true, true, 3, 3, true);
  EXPECT_EQ(std::memcmp(four->Memory(), fourBefore->Memory(), four->BlockSize()), 0);
}

TEST(Rotate, GenericIgnoresTheSecondAngle) {
  auto a = PatternPage(pt4bit, 40, 30);
  auto b = a->Duplicate();
  a->Rotate(false, false, 2.5, 2.5, false);
  b->Rotate(false, false, 2.5, -7, false);
  EXPECT_EQ(std::memcmp(a->Memory(), b->Memory(), a->BlockSize()), 0);
}

TEST(Rotate, GenericWithEnlargeKeepsEveryPixel) {
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    for (double angle : {4.0, -3.0}) {
      SCOPED_TRACE(testing::Message() << int{type} << " by " << angle);
      TDIB page;
      page.NewImage(60, 40, type, 300, 300);
      const int32_t white = WhitePixel(type), ink = type == pt4bit ? 15 : 0;
      page.FillRect({0, 0, 59, 39}, white);
      for (auto [x, y] : {std::pair{0, 0}, {59, 0}, {0, 39}, {59, 39}, {30, 20}}) {
        page.SetPixel(x, y, ink);
      }
      page.RotateGeneric(true, true, angle);
      const int32_t hRow = Round(40 * std::sin(angle * M_PI / 180));
      const int32_t vCol = Round(60 * std::sin(angle * M_PI / 180));
      ASSERT_EQ(page.Width(), 60 + std::abs(hRow));
      ASSERT_EQ(page.Height(), 40 + std::abs(vCol));
      int32_t inked = 0;
      for (int32_t y = 0; y < page.Height(); ++y) {
        for (int32_t x = 0; x < page.Width(); ++x) inked += page.GetPixel(x, y) == ink;
      }
      EXPECT_EQ(inked, 5);
    }
  }
}

// The lowest line holding ink in column X, or -1.
int32_t InkLine(const TDIB& Page, int32_t X, int32_t Ink) {
  for (int32_t y = Page.Height() - 1; y >= 0; --y) {
    if (Page.GetPixel(X, y) == Ink) return y;
  }
  return -1;
}

TEST(Rotate, PositiveAnglesTurnClockwise) {
  // A horizontal stroke: after a clockwise turn its right end lies lower than its left end.
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    for (bool variants : {true, false}) {
      TDIB page;
      page.NewImage(200, 100, type, 300, 300);
      page.FillRect({0, 0, 199, 99}, WhitePixel(type));
      page.FillRect({20, 48, 179, 51}, 0);
      page.Rotate(true, variants, 3, 3, false);
      const int32_t left = InkLine(page, 30, 0), right = InkLine(page, 170, 0);
      ASSERT_GE(left, 0);
      EXPECT_NEAR(right - left, 140 * std::tan(3 * M_PI / 180), 2)
          << int{type} << (variants ? " variant" : " generic");
    }
  }
}

TEST(Rotate, VariantsMixNeighbours) {
  // A gray ramp sheared by a fraction of a pixel takes values between its neighbours.
  TDIB page;
  page.NewImage(100, 100, pt8bit, 300, 300);
  for (int32_t y = 0; y < 100; ++y) {
    for (int32_t x = 0; x < 100; ++x) page.SetPixel(x, y, 2 * x);
  }
  page.Rotate8(true, false, 1.5, 0);  // rows only: 3 pixels over the height
  const double t = 3.0 / 100 * 40;
  const int32_t j = static_cast<int32_t>(std::trunc(t));
  const double f = t - j;
  EXPECT_EQ(page.GetPixel(10, 40), Round(f * 2 * (10 + j) + (1 - f) * 2 * (10 + j - 1)));
  EXPECT_EQ(page.GetPixel(99, 40), 255) << "vacated pixels get the white background";
}

TEST(MixColors, RoundsEachChannelHalvesToEven) {
  EXPECT_EQ(MixColors(0x000000, 0xFFFFFF, 0.5), 0x808080);
  EXPECT_EQ(MixColors(0x030201, 0x040302, 0.5), 0x040202);   // 1.5 -> 2, 2.5 -> 2, 3.5 -> 4
  EXPECT_EQ(MixColors(0x0A0000, 0x140000, 0.25), 0x120000);  // 17.5 -> 18
  EXPECT_EQ(MixColors(0x123456, 0x654321, 1), 0x123456);
}

// ---- Drawing ----

TEST(DrawLine, SlantedLinesRunFromTheSecondPoint) {
  TDIB page;
  page.NewImage(5, 3, pt8bit, 300, 300);
  page.DrawLine(0, 0, 3, 1, 9);
  int32_t count = 0;
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) count += page.GetPixel(x, y) == 9;
  }
  EXPECT_EQ(count, 4);
  for (auto [x, y] : {std::pair{3, 1}, {2, 1}, {1, 0}, {0, 0}}) EXPECT_EQ(page.GetPixel(x, y), 9);
}

TEST(DrawLine, RectanglesAndPointsOutsideThePicture) {
  TDIB page;
  page.NewImage(6, 5, pt1bit, 300, 300);
  page.FrameRect({1, 1, 4, 3}, 1);
  EXPECT_EQ(page.CountLineBits(1), 4);
  EXPECT_EQ(page.CountLineBits(2), 2);
  EXPECT_EQ(page.CountColumnBits(4), 3);
  page.FillRect({5, 4, 0, 3}, 1);
  EXPECT_EQ(page.CountLineBits(4), 6);
  page.DrawLine(-3, -2, 9, 8, 1);  // never written outside the block
  page.DrawLine(-5, 2, 40, 2, 1);
  EXPECT_EQ(page.CountLineBits(2), 6);
}

}  // namespace
