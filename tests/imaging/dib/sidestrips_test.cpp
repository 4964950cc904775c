// The thin dark strips along the sides of a kept rectangle: a strip goes, letters and rules
// that only touch a side, deep or ragged dark regions and short strips stay, on pages of every
// depth that border removal reads.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "dibunit.h"

namespace {

// At 300 dpi: the page is about 51 mm square, a strip 10 pixels deep is 0.85 mm.
constexpr int32_t kSide = 600, kLast = kSide - 1;

struct TDepth {
  uint8_t Type;
  int32_t Paper, Ink;
};

const TDepth kDepths[] = {
    {pt1bit, 1, 0},
    {pt8bit, 240, 0},
    {pt24bit, 240 * 0x010101, 0x101010},
};

// A page of paper that Draw puts dark shapes on, through Dark(Page, Left, Top, Right, Bottom).
using TDark = std::function<void(int32_t, int32_t, int32_t, int32_t)>;

struct TStripCase {
  const char* Name;
  void (*Draw)(const TDark& Dark);
  TDIB::TRect Gone;  // every pixel of it ends as paper (empty: none)
  TDIB::TRect Kept;  // every pixel of it stays as it was drawn
};

constexpr TDIB::TRect kNone = {0, 0, -1, -1};

// Letters Width pixels wide and Height high, one line of them every Pitch lines, from column
// Left.
void Letters(const TDark& Dark, int32_t Left, int32_t Width, int32_t Height, int32_t Pitch) {
  for (int32_t y = 10; y + Height < kSide; y += Pitch) {
    Dark(Left, y, Left + Width - 1, y + Height - 1);
  }
}

const TStripCase kStripCases[] = {
    {"a strip along the right side with letters touching it: the letters' inner parts stay",
     [](const TDark& d) {
       d(kLast - 9, 0, kLast, kLast);
       Letters(d, kLast - 25, 20, 20, 60);
     },
     {kLast - 9, 0, kLast, kLast},
     {0, 0, kLast - 10, kLast}},
    {"a strip along the left side behind a light edge of 3 columns",
     [](const TDark& d) { d(3, 0, 12, kLast); },
     {0, 0, 12, kLast},
     {13, 0, kLast, kLast}},
    {"a strip along the top side",
     [](const TDark& d) { d(0, 0, kLast, 7); },
     {0, 0, kLast, 7},
     kNone},
    {"a strip along the bottom side over two thirds of it, to its end",
     [](const TDark& d) { d(0, kLast - 5, 400, kLast); },
     {0, kLast - 5, 400, kLast},
     {401, 0, kLast, kLast}},
    {"a letter just beyond a strip's end loses its part within the strip's depth only",
     [](const TDark& d) {
       d(0, kLast - 5, 400, kLast);
       d(401, kLast - 29, 420, kLast);
     },
     {0, kLast - 5, 420, kLast},
     {0, 0, kLast, kLast - 6}},
    {"a letter alone touching the side stays",
     [](const TDark& d) { d(kLast - 19, 200, kLast, 229); },
     kNone,
     {0, 0, kLast, kLast}},
    {"a rule across the page touching the side stays",
     [](const TDark& d) { d(100, 300, kLast, 303); },
     kNone,
     {0, 0, kLast, kLast}},
    {"a column of letters a light edge away from the side stays",
     [](const TDark& d) { Letters(d, kLast - 14, 10, 30, 50); },
     kNone,
     {0, 0, kLast, kLast}},
    {"a dark region 13 mm deep along the side stays",
     [](const TDark& d) { d(kLast - 149, 0, kLast, kLast); },
     kNone,
     {0, 0, kLast, kLast}},
    {"a ragged dark region along the side stays",
     [](const TDark& d) {
       for (int32_t y = 0; y <= kLast; ++y) d(kLast - 4 - (y * 37) % 60, y, kLast, y);
     },
     kNone,
     {0, 0, kLast, kLast}},
    {"a strip 20 mm long stays",
     [](const TDark& d) { d(kLast - 9, 100, kLast, 335); },
     kNone,
     {0, 0, kLast, kLast}},
};

std::unique_ptr<TDIB> DrawnPage(const TDepth& Depth, const TStripCase& Case) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(kSide, kSide, Depth.Type, 300, 300);
  page->FillRect({0, 0, kLast, kLast}, Depth.Paper);
  Case.Draw([&](int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    page->FillRect({Left, Top, Right, Bottom}, Depth.Ink);
  });
  return page;
}

bool Inside(const TDIB::TRect& R, int32_t X, int32_t Y) {
  return X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom;
}

TEST(SideStrips, TakeTheStripsAndNothingElse) {
  for (const TDepth& depth : kDepths) {
    for (const TStripCase& c : kStripCases) {
      SCOPED_TRACE(std::string(c.Name) + ", type " + std::to_string(depth.Type));
      const std::unique_ptr<TDIB> page = DrawnPage(depth, c);
      const std::unique_ptr<TDIB> drawn = page->Duplicate();
      page->EraseSideStrips({0, 0, kLast, kLast});
      int32_t notGone = 0, notKept = 0;
      for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
          const int32_t now = page->GetPixel(x, y);
          notGone += Inside(c.Gone, x, y) && now != depth.Paper;
          notKept += Inside(c.Kept, x, y) && now != drawn->GetPixel(x, y);
        }
      }
      EXPECT_EQ(notGone, 0);
      EXPECT_EQ(notKept, 0);
    }
  }
}

// The strip along the side of the kept rectangle goes; what lies outside the rectangle (here a
// dark band along the page's side) stays, however it looks.
TEST(SideStrips, WorkInsideTheRectangleOnly) {
  TDIB page;
  page.NewImage(kSide, kSide, pt8bit, 300, 300);
  page.FillRect({0, 0, kLast, kLast}, 240);
  page.FillRect({0, 0, 49, kLast}, 0);
  page.FillRect({50, 0, 57, kLast}, 0);
  page.EraseSideStrips({50, 0, kLast, kLast});
  EXPECT_EQ(page.GetPixel(49, 300), 0);
  EXPECT_EQ(page.GetPixel(50, 300), 240);
  EXPECT_EQ(page.GetPixel(57, 300), 240);
}

// Gray pages whose palette runs from white to black count the high values as dark, and the
// strip takes the background value as erasing outside does.
TEST(SideStrips, ReadAnInvertedGrayPalette) {
  TDIB page;
  page.NewImage(kSide, kSide, pt8bit, 300, 300);
  page.ReversePalette();
  page.FillRect({0, 0, kLast, kLast}, 15);
  page.FillRect({kLast - 9, 0, kLast, kLast}, 255);
  const int32_t background = page.BackgroundValue();
  page.EraseSideStrips({0, 0, kLast, kLast});
  EXPECT_EQ(page.GetPixel(kLast, 300), background);
  EXPECT_EQ(page.GetPixel(kLast - 10, 300), 15);
}

// On paper darker than middle gray the strip is told from the paper by the paper's own level:
// read at middle gray, every line of the paper would run dark from the side.
TEST(SideStrips, GoOnPaperDarkerThanMiddleGray) {
  for (const uint8_t type : {pt8bit, pt24bit}) {
    SCOPED_TRACE(type);
    TDIB page;
    page.NewImage(kSide, kSide, pt8bit, 300, 300);
    page.Fill(110);
    page.FillRect({0, 0, 9, kLast}, 0);
    Letters(
        [&](int32_t L, int32_t T, int32_t R, int32_t B) {
          page.FillRect({L, T, R, B}, 30);
        },
        200, 20, 20, 60);
    if (type == pt24bit) page.ConvertPixelType(pt24bit);
    const std::unique_ptr<TDIB> drawn = page.Duplicate();
    const int32_t background = page.BackgroundValue();
    page.EraseSideStrips({0, 0, kLast, kLast});
    int32_t notGone = 0, notKept = 0;
    for (int32_t y = 0; y < kSide; ++y) {
      for (int32_t x = 0; x < kSide; ++x) {
        notGone += x <= 9 && page.GetPixel(x, y) != background;
        notKept += x > 9 && page.GetPixel(x, y) != drawn->GetPixel(x, y);
      }
    }
    EXPECT_EQ(notGone, 0);
    EXPECT_EQ(notKept, 0);
  }
}

TEST(SideStrips, LeaveEmptyAndTinyPagesAlone) {
  TDIB empty;
  EXPECT_NO_THROW(empty.EraseSideStrips({0, 0, 10, 10}));
  TDIB tiny;
  tiny.NewImage(1, 1, pt8bit, 300, 300);
  tiny.FillRect({0, 0, 0, 0}, 0);
  tiny.EraseSideStrips({0, 0, 0, 0});
  EXPECT_EQ(tiny.GetPixel(0, 0), 0);
}

}  // namespace
