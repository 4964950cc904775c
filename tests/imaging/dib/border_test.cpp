// Paper sizes, black-border and content detection, erase outside and auto-crop.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dibunit.h"
#include "pagegen.h"

namespace {

void ExpectRect(const TRect& Rect, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  EXPECT_EQ(Rect.Left, Left);
  EXPECT_EQ(Rect.Top, Top);
  EXPECT_EQ(Rect.Right, Right);
  EXPECT_EQ(Rect.Bottom, Bottom);
}

// An 8-bit page of paper gray.
std::unique_ptr<TDIB> PaperPage(int32_t Width, int32_t Height, int32_t DPI = 300) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, pt8bit, DPI, DPI);
  page->Fill(kPaperGray);
  return page;
}

TEST(PaperSizes, TableAndLookup) {
  double w = -1, h = -1;
  EXPECT_TRUE(PaperSizeByName("letter", w, h));
  EXPECT_EQ(w, 8.5);
  EXPECT_EQ(h, 11);
  EXPECT_TRUE(PaperSizeByName("a4", w, h));
  EXPECT_EQ(w, 8.27);
  w = h = -1;
  EXPECT_FALSE(PaperSizeByName("A7", w, h));
  EXPECT_FALSE(PaperSizeByName("A4;", w, h));
  EXPECT_EQ(w, -1);
  EXPECT_EQ(h, -1);
  EXPECT_STREQ(PaperSizes[10].Name, "Ledger");
  for (const TPaperSize& p : PaperSizes) EXPECT_LT(p.Width, p.Height) << p.Name;
}

TEST(DetectBlackBorder, FindsTheGeneratedFrame) {
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    TPageOptions o;
    o.Width = 1200;
    o.Height = 900;
    o.Margin = 100;
    o.PixelType = type;
    o.SkewDegrees = 0;  // an upright sheet: its frame has straight inner edges
    o.FrameLeft = 40;
    o.FrameTop = 25;
    o.FrameRight = 61;
    o.FrameBottom = 7;
    o.Speckles = 500;
    auto page = MakeReferencePage(o);
    TRect rect;
    page->DetectBlackBorder(0, rect, 0.5);
    SCOPED_TRACE(int{type});
    ExpectRect(rect, 40, 25, 1200 - 62, 900 - 8);
    page->DetectBlackBorder(-1, rect, 0.5);
    ExpectRect(rect, 40, 25, 1200 - 62, 900 - 8);

    page->EraseOutside(rect);
    page->DetectBlackBorder(0, rect, 0.5);
    ExpectRect(rect, 0, 0, 1199, 899);
    EXPECT_EQ(page->GetPixel(0, 0), page->BackgroundValue());
  }
}

TEST(DetectBlackBorder, GapCrossesNarrowLightLines) {
  // Black 0..29, a light line 30..39, black 40..59, then paper.
  auto page = PaperPage(400, 300);
  for (int32_t y = 0; y < 300; ++y) {
    std::memset(page->Lines(y), 0, 30);
    std::memset(page->Lines(y) + 40, 0, 20);
  }
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 30, 0, 399, 299);
  page->DetectBlackBorder(-1, rect, 0.5);  // 300 / 25 = 12 columns
  ExpectRect(rect, 60, 0, 399, 299);
  page->DetectBlackBorder(9, rect, 0.5);
  ExpectRect(rect, 30, 0, 399, 299);
}

TEST(DetectBlackBorder, PercentOfDarkPixels) {
  // Column 0 has 3 light pixels of 300.
  auto page = PaperPage(50, 300);
  for (int32_t y = 3; y < 300; ++y) page->Lines(y)[0] = 0;
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);  // limit Round(1.5) = 2 < 3
  EXPECT_EQ(rect.Left, 0);
  page->DetectBlackBorder(0, rect, 1);  // limit 3
  EXPECT_EQ(rect.Left, 1);
}

TEST(DetectBlackBorder, PagesWithoutAFrameOrWithoutPaper) {
  auto blank = PaperPage(30, 20);
  auto before = blank->Duplicate();
  TRect rect;
  blank->DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 0, 0, 29, 19);
  blank->EraseOutside(rect);
  EXPECT_EQ(std::memcmp(blank->Memory(), before->Memory(), blank->BlockSize()), 0);

  TDIB four;
  four.NewImage(30, 20, pt4bit, 300, 300);
  four.DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 0, 0, 29, 19);
  four.DetectContent(0, rect, 0.5);
  ExpectRect(rect, 0, 0, 29, 19);

  // All dark: every column and line is border, so nothing is kept and nothing is changed.
  TDIB black;
  black.NewImage(30, 20, pt8bit, 300, 300);
  auto blackBefore = black.Duplicate();
  black.DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 30, 20, -1, -1);
  black.EraseOutside(rect);
  black.Crop(rect);
  ASSERT_EQ(black.Width(), 30);
  EXPECT_EQ(std::memcmp(black.Memory(), blackBefore->Memory(), black.BlockSize()), 0);
}

TEST(DetectBlackBorder, MidGrayCountsInBothClasses) {
  TDIB page;
  page.NewImage(20, 10, pt8bit, 300, 300);
  page.Fill(128);
  TRect rect;
  page.DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 0, 0, 19, 9);
  page.DetectContent(0, rect, 0.5);
  ExpectRect(rect, 0, 0, 19, 9);
}

TEST(BackgroundValue, MostFrequentLightValue) {
  auto gray = PaperPage(20, 10);
  for (int32_t y = 0; y < 4; ++y) std::memset(gray->Lines(y), 0, 20);
  gray->Lines(5)[0] = 255;
  EXPECT_EQ(gray->BackgroundValue(), kPaperGray);
  TDIB colour;
  colour.NewImage(4, 4, pt24bit, 300, 300);
  colour.Fill(200);
  EXPECT_EQ(colour.BackgroundValue(), 0xC8C8C8);
  TDIB bilevel;
  bilevel.NewImage(4, 4, pt1bit, 300, 300);
  EXPECT_EQ(bilevel.BackgroundValue(), 1);
}

TEST(EraseOutside, PaintsTheFourBands) {
  TDIB page;
  page.NewImage(40, 20, pt8bit, 300, 300);
  page.Fill(7);              // all ink
  page.SetPixel(0, 0, 250);  // the only light value: the background
  page.EraseOutside({10, 5, 29, 14});
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x <= 29 && y >= 5 && y <= 14;
      ASSERT_EQ(page.GetPixel(x, y), inside ? 7 : 250) << x << "," << y;
    }
  }
}

// A page with a dark box as content, for auto-crop.
std::unique_ptr<TDIB> ContentPage(int32_t Width, int32_t Height, int32_t DPI, TRect Content) {
  auto page = PaperPage(Width, Height, DPI);
  if (Content.Right >= Content.Left) page->FillRect(Content, 0);
  return page;
}

TEST(AutoCrop, WorkedLetterExampleKeepsThePage) {
  auto page = ContentPage(1700, 2200, 200, {50, 50, 1649, 2149});
  auto before = page->Duplicate();
  page->AutoCrop("A4;Letter;", 0.5f, 0, 5);
  ASSERT_EQ(page->Width(), 1700);
  ASSERT_EQ(page->Height(), 2200);
  EXPECT_EQ(std::memcmp(page->Memory(), before->Memory(), page->BlockSize()), 0);
}

TEST(AutoCrop, CropsToTheBestFittingPaper) {
  // Content 2000 x 3000 at 300 dpi with half an inch of margin: A4 (2481 x 3507) fits upright.
  auto page = ContentPage(2800, 3800, 300, {400, 400, 2399, 3399});
  page->AutoCrop("a4;", 0.5f, 0.5f, 5);
  EXPECT_EQ(page->Width(), 2482) << "one pixel more than the paper";
  EXPECT_EQ(page->Height(), 3508);
  // Centred on the content: 2300 wide with margin, (2481 - 2300) / 2 = 90 more on the left.
  EXPECT_EQ(page->GetPixel(239, 1000), kPaperGray);
  EXPECT_EQ(page->GetPixel(240, 1000), 0);
}

TEST(AutoCrop, LandscapeContentTakesTurnedPaper) {
  // 3500 x 2450: Letter turned is too narrow (3300 < 3500 - 175), A4 turned fits.
  auto page = ContentPage(3800, 2800, 300, {150, 175, 3649, 2624});
  page->AutoCrop("Letter;A4;", 0.5f, 0, 5);
  EXPECT_NEAR(page->Width() / 300.0, 11.69, 0.01);
  EXPECT_NEAR(page->Height() / 300.0, 8.27, 0.01);
}

TEST(AutoCrop, EmptyListCropsToTheContent) {
  auto page = ContentPage(600, 400, 100, {100, 50, 299, 149});
  page->AutoCrop("", 0.5f, 0.1f, 5);  // margin 10 pixels
  EXPECT_EQ(page->Width(), 220);
  EXPECT_EQ(page->Height(), 120);
  EXPECT_EQ(page->GetPixel(10, 10), 0);
  EXPECT_EQ(page->GetPixel(9, 10), kPaperGray);
}

// The content is the rectangle of the columns and lines with more than Round(length x percent
// / 100) dark pixels, found from each side with gap 0: a sparser column of marks at a side is
// margin, a denser one is content, however far from the rest.
TEST(DetectContent, SideMarksCountByThePercent) {
  struct TCase {
    int32_t Dark;  // pixels of column 20 and of line 30, on a 600 x 400 page
    int32_t Left, Top;
  };
  const TCase cases[] = {
      {2, 200, 100},  // column limit Round(2) = 2, line limit Round(3) = 3: both margin
      {3, 20, 100},   // the column counts, the line not yet
      {4, 20, 30},    // both count
  };
  for (const TCase& c : cases) {
    auto page = ContentPage(600, 400, 100, {200, 100, 399, 299});
    for (int32_t i = 0; i < c.Dark; ++i) {
      page->SetPixel(20, 10 + 2 * i, 0);
      page->SetPixel(500 + 2 * i, 30, 0);
    }
    TRect rect;
    page->DetectContent(0, rect, 0.5);
    SCOPED_TRACE(c.Dark);
    ExpectRect(rect, c.Left, c.Top, 399, 299);
  }
}

int64_t DarkPixels(const TDIB& Page) {
  int64_t dark = 0;
  for (int32_t y = 0; y < Page.Height(); ++y) {
    for (int32_t x = 0; x < Page.Width(); ++x) dark += Page.GetPixel(x, y) < 128;
  }
  return dark;
}

// Content wider than Statement (550 x 850 at 100 dpi) by less than the tolerance: the paper
// fits, and the crop, centred on the content with its margin, takes from the margin but never
// leaves out a column of the content itself.
TEST(AutoCrop, APaperSmallerThanTheContentNeverCutsIt) {
  struct TCase {
    const char* What;
    TRect Content;
    float Margin;
    int32_t Width, Height;  // of the crop
    int32_t Left;           // the content's first column in it
  };
  const TCase cases[] = {
      // 560 wide: the crop holds the content rather than be one pixel wider than the paper.
      {"no margin", {100, 100, 659, 899}, 0, 560, 851, 0},
      // 540 wide, 560 with the margin: centred, 5 margin columns go on each side.
      {"margin", {110, 100, 649, 899}, 0.1f, 551, 851, 5},
      // At the page side, 547 wide, with 3 columns of margin on the left and 10 on the right:
      // centring would take 5 from each side, so the crop starts at the content.
      {"page side", {3, 100, 549, 899}, 0.1f, 551, 851, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    auto page = ContentPage(800, 1000, 100, c.Content);
    const int64_t ink = DarkPixels(*page);
    page->AutoCrop("Statement;", 0.5f, c.Margin, 5);
    EXPECT_EQ(page->Width(), c.Width);
    EXPECT_EQ(page->Height(), c.Height);
    EXPECT_EQ(DarkPixels(*page), ink);
    EXPECT_EQ(page->GetPixel(c.Left, 500), 0);
    if (c.Left > 0) {
      EXPECT_EQ(page->GetPixel(c.Left - 1, 500), kPaperGray);
    }
  }
}

// Content 500 x 800 at 100 dpi, centred on Statement (550 x 850): the crop would start at
// column 175 and line 75. A stroke of single pixels runs from the content out into the
// margin, where its columns or lines count as margin. The crop holds a stroke joined to the
// content whole, with the paper beside it, on every pixel type; a dash apart from it, or a
// stroke that runs on to the page side, is margin.
TEST(AutoCrop, NeverCutsAStrokeThatRunsOutOfTheContent) {
  struct TCase {
    const char* What;
    int32_t X, Y, DX, DY, Length;  // the stroke's first pixel, its step and its pixels
    bool Joined;                   // to the content: every dark pixel stays
    int32_t Left, Top;             // of the crop on the page
    int32_t Width, Height;
  };
  const TCase cases[] = {
      // Columns 100..199: the crop starts just before it and grows to hold the content.
      {"out to the left", 199, 500, -1, 0, 100, true, 99, 75, 601, 851},
      {"held by the centred crop", 199, 500, -1, 0, 20, true, 175, 75, 551, 851},
      {"a dash apart from it", 190, 500, -1, 0, 91, false, 175, 75, 551, 851},
      // On to the page side, as a surround runs: the scan has cut it, the crop may too.
      {"out to the page side", 199, 500, -1, 0, 200, false, 175, 75, 551, 851},
      // Lines 59..99 and columns 260..300, from the top edge up and to the left.
      {"out of the top, slanting", 300, 99, -1, -1, 41, true, 175, 58, 551, 851},
  };
  for (uint8_t type : {uint8_t{pt1bit}, uint8_t{pt8bit}, uint8_t{pt24bit}}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.What) + ", type " + std::to_string(type));
      auto page = ContentPage(800, 1000, 100, {200, 100, 699, 899});
      for (int32_t i = 0; i < c.Length; ++i) page->SetPixel(c.X + i * c.DX, c.Y + i * c.DY, 0);
      const int64_t ink = DarkPixels(*page);
      page->ConvertPixelType(type);
      page->AutoCrop("Statement;", 0.5f, 0, 5);
      page->ConvertPixelType(pt8bit);
      EXPECT_EQ(DarkPixels(*page) == ink, c.Joined);
      EXPECT_EQ(page->Width(), c.Width);
      EXPECT_EQ(page->Height(), c.Height);
      if (page->Width() != c.Width || page->Height() != c.Height) continue;
      EXPECT_EQ(page->GetPixel(200 - c.Left, 100 - c.Top), 0);
      EXPECT_GT(page->GetPixel(200 - c.Left, 99 - c.Top), 128);
    }
  }
}

TEST(AutoCrop, LeavesPagesItCannotImprove) {
  struct TCase {
    const char* List;
    TRect Content;
    float Margin;
  };
  const TCase cases[] = {
      {"A4;", {5, 5, 594, 394}, 0.1f},         // content and margin reach every side
      {"", {5, 5, 594, 394}, 0.1f},            // also with an empty list
      {"A0;Ledger;", {100, 50, 299, 149}, 0},  // no paper fits
      {"", {0, 0, -1, -1}, 0},                 // no content at all
  };
  for (const TCase& c : cases) {
    auto page = ContentPage(600, 400, 100, c.Content);
    auto before = page->Duplicate();
    page->AutoCrop(c.List, 0.5f, c.Margin, 5);
    ASSERT_EQ(page->Width(), 600) << c.List;
    EXPECT_EQ(std::memcmp(page->Memory(), before->Memory(), page->BlockSize()), 0) << c.List;
  }
}

}  // namespace
