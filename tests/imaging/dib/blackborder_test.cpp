// The black-border walk on small pages that show where a walk over dark columns alone goes
// wrong: dense text beside the surround, a light edge in front of it, a surround along one
// side, the wedges that a turned sheet leaves inside a straight surround, the letters of a text
// cut off between such wedges, paper that is itself darker than middle gray, and the striped
// page edges of a thick book.
#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"
#include "pagegen.h"

namespace {

std::unique_ptr<TDIB> PaperPage(int32_t Width, int32_t Height, int32_t DPI = 300) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, pt8bit, DPI, DPI);
  page->Fill(kPaperGray);
  return page;
}

void Dark(TDIB& Page, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  for (int32_t y = Top; y <= Bottom; ++y) std::memset(Page.Lines(y) + Left, 0, Right - Left + 1);
}

void ExpectRect(const TRect& Rect, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  EXPECT_EQ(Rect.Left, Left);
  EXPECT_EQ(Rect.Top, Top);
  EXPECT_EQ(Rect.Right, Right);
  EXPECT_EQ(Rect.Bottom, Bottom);
}

TEST(BlackBorderWalk, StopsWhereTheSurroundNoLongerReaches) {
  // A surround of 20 columns, then 100 columns of "dense text": each column 30 per cent dark,
  // in strokes that the strokes of the next column do not touch. Every column is dark enough
  // for border, but only the first one touches the surround.
  auto page = PaperPage(200, 300);
  Dark(*page, 0, 0, 19, 299);
  for (int32_t x = 20; x < 120; ++x) {
    for (int32_t y = x % 2 == 0 ? 0 : 5; y < 300; y += 10) Dark(*page, x, y, x, y + 2);
  }
  TRect rect;
  page->DetectBlackBorder(0, rect, 70);  // border from 30 per cent dark on
  EXPECT_EQ(rect.Left, 21);
  EXPECT_EQ(rect.Right, 199);
}

// The left edge found on a page 200 x 100 at 300 dpi with dark columns First .. Last and,
// with a Light column, 20 more dark columns after it.
int32_t LeftEdge(int32_t First, int32_t Last, int32_t Light = -1) {
  auto page = PaperPage(200, 100);
  Dark(*page, First, 0, Last, 99);
  if (Light >= 0) Dark(*page, Light + 1, 0, Light + 20, 99);
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);
  return rect.Left;
}

TEST(BlackBorderWalk, CrossesALightEdgeAtTheSideOnly) {
  // Two light columns at the very side, then 30 dark ones: the walk takes all 32.
  EXPECT_EQ(LeftEdge(2, 31), 32);
  // A light column 40 columns in is not an edge: the walk stops there as before.
  EXPECT_EQ(LeftEdge(0, 39, 40), 40);
  // Lighter than the edge allowance (about 1 mm, 12 columns at 300 dpi) there is no border.
  EXPECT_EQ(LeftEdge(14, 40), 0);
}

TEST(BlackBorderWalk, ASurroundAlongOneSideLeavesTheOtherSides) {
  // The right 40 per cent of the page is dark: every line is 40 per cent dark, but the lines
  // count between the left and right edges, so the top and bottom stay.
  auto page = PaperPage(200, 100);
  Dark(*page, 120, 0, 199, 99);
  TRect rect;
  page->DetectBlackBorder(0, rect, 70);
  ExpectRect(rect, 0, 0, 119, 99);
}

TEST(BlackBorderWalk, ShrinksOverTheWedgesOfATurnedSheet) {
  // A dark surround whose inner edges lean: the left edge runs from column 20 at the top to
  // column 40 at the bottom, the top edge from line 10 at the left to line 25 at the right.
  // The rectangle keeps none of the surround but a trace, and all of the sheet inside it; also
  // when light specks (of a thresholded surround) break the wedges' runs.
  const int32_t w = 400, h = 400;
  auto leftEdge = [](int32_t y) { return 20 + y * 20 / h; };
  auto topEdge = [](int32_t x) { return 10 + x * 15 / w; };
  for (bool speckled : {false, true}) {
    SCOPED_TRACE(speckled);
    auto page = PaperPage(w, h);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        if (x < leftEdge(y) || y < topEdge(x) || x >= w - 10 || y >= h - 10) page->Lines(y)[x] = 0;
      }
      const bool sheet = y >= topEdge(w - 1) && y < h - 10;  // the lines of the left wedge
      for (int32_t x = 20; speckled && sheet && y % 5 == 0 && x < leftEdge(y); x += 6) {
        page->Lines(y)[x + y % 3] = kPaperGray;
      }
    }
    TRect rect;
    page->DetectBlackBorder(0, rect, 0.5);
    EXPECT_LE(rect.Left, leftEdge(h - 1));
    EXPECT_GE(rect.Left, leftEdge(h - 1) - 2);
    EXPECT_LE(rect.Top, topEdge(w - 1));
    EXPECT_GE(rect.Top, topEdge(w - 1) - 2);
    EXPECT_EQ(rect.Right, w - 11);
    EXPECT_EQ(rect.Bottom, h - 11);
    int32_t dark = 0;
    for (int32_t y = rect.Top; y <= rect.Bottom; ++y) {
      for (int32_t x = rect.Left; x <= rect.Right; ++x) dark += page->Lines(y)[x] == 0;
    }
    EXPECT_LE(dark, (rect.Right - rect.Left + rect.Bottom - rect.Top) / 100);
  }
}

}  // namespace

TEST(BlackBorderWalk, StopsAtAMarkOnTheBorderThatDoesNotThin) {
  // At 100 dpi, a surround of 20 columns with a dark bar 20 lines high and 45 columns long
  // touching it: unlike a wedge, the bar does not thin as the side moves in, and the side stops
  // within 3 mm (12 columns) instead of cutting through to its end.
  auto page = PaperPage(400, 300, 100);
  Dark(*page, 0, 0, 19, 299);
  Dark(*page, 20, 140, 64, 159);
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);
  EXPECT_GE(rect.Left, 20);
  EXPECT_LE(rect.Left, 20 + 13);
}

TEST(BlackBorderWalk, KeepsTheLettersThatTouchTheSurround) {
  // At 300 dpi, a straight surround of 20 columns and, touching it, the cut first letters of
  // seven text lines: 10 columns wide, 40 lines (3.4 mm) high, a line every 80. They lie along
  // the side no longer than a letter is high, so they are the page's, not the surround's.
  auto page = PaperPage(600, 600);
  Dark(*page, 0, 0, 19, 599);
  for (int32_t y = 20; y < 580; y += 80) Dark(*page, 20, y, 29, y + 39);
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);
  ExpectRect(rect, 20, 0, 599, 599);
}

TEST(BlackBorderWalk, LeavesAPageWhoseOwnPaperPassesForSurround) {
  // The left part of a dim photograph of a page, text and paper alike, lies below middle
  // gray: taking it for surround would take its text. The page is left whole, whether the dim
  // part is most of the page or a band along its side.
  for (int32_t dim : {120, 60}) {
    SCOPED_TRACE(dim);
    auto page = PaperPage(200, 100);
    for (int32_t y = 0; y < 100; ++y) std::memset(page->Lines(y), 100, dim);
    for (int32_t y = 10; y < 90; y += 8) Dark(*page, 20, y, dim - 10, y + 2);
    TRect rect;
    page->DetectBlackBorder(0, rect, 10);
    ExpectRect(rect, 0, 0, 199, 99);
  }
}

TEST(BlackBorderWalk, KeepsTheLettersOfATextCutOffBetweenTheWedges) {
  // At 300 dpi, a sheet's edge that leans from 1 column at the top to 12 at the bottom, and
  // beside its thin part the last letters of ten text lines (1.4 mm high), cut off by the
  // sheet's edge a column apart and a light column or more away from the edge: shrinking over
  // the wedge takes 12 columns, which would cut the letters; every letter stays whole, with a
  // light column beside the last.
  const int32_t w = 400, h = 1200;
  auto page = PaperPage(w, h);
  for (int32_t y = 0; y < h; ++y) Dark(*page, w - 1 - 11 * y / (h - 1), y, w - 1, y);
  for (int32_t line = 0; line < 10; ++line) {
    const int32_t end = w - 13 + line;  // the edge is at most 2 columns wide up to line 218
    Dark(*page, end - 9, 10 + 20 * line, end, 25 + 20 * line);
  }
  TRect rect;
  page->DetectBlackBorder(0, rect, 0.5);
  EXPECT_EQ(rect.Right, w - 3);
}

TEST(BlackBorderWalk, GivesBackALetterThatTheShrinkingPassedRightBeside) {
  // At 300 dpi, the same leaning edge, and in its thin part a letter that lies wholly in the
  // columns the shrinking gives up, up to the column beside the side, a light column away from
  // the edge: an outline 8 columns wide and 16 lines high comes back with a light column
  // beside it; a solid block of the same size is a piece of the surround and stays out.
  const int32_t w = 400, h = 1200;
  auto page = PaperPage(w, h);
  for (int32_t y = 0; y < h; ++y) Dark(*page, w - 1 - 11 * y / (h - 1), y, w - 1, y);
  TRect shrunk;
  page->DetectBlackBorder(0, shrunk, 0.5);
  ASSERT_LT(shrunk.Right, w - 11);
  const int32_t left = shrunk.Right + 1, right = shrunk.Right + 8;
  ASSERT_LT(right, w - 3);  // a light column before the edge at lines 10..25
  for (bool solid : {false, true}) {
    SCOPED_TRACE(solid);
    auto lettered = page->Duplicate();
    Dark(*lettered, left, 10, right, 25);
    for (int32_t y = 12; !solid && y <= 23; ++y) {
      std::memset(lettered->Lines(y) + left + 2, kPaperGray, right - left - 3);
    }
    TRect rect;
    lettered->DetectBlackBorder(0, rect, 0.5);
    EXPECT_EQ(rect.Right, solid ? shrunk.Right : right + 1);
  }
}

TEST(BlackBorderWalk, TakesTheStripedEdgesOfAThickBookAlongASide) {
  // At 100 dpi, the page edges of a thick book along the left side: a dark band that narrows
  // from 30 columns at the top to 10 at the bottom, crossed by slanted light stripes a pixel
  // wide, so that no column is 90 per cent dark and the walk finds no border. Past 5 mm of
  // paper, the text begins. The side moves in over the band and stops before the text, also
  // when the shadow of a hand lies in the bottom corner a few columns past the band's end
  // (a set no larger than a letter, which reaches the page's bottom side and is not given back
  // as one).
  const int32_t w = 400, h = 600, text = 50;
  auto bandEnd = [](int32_t y) { return 30 - 20 * y / h; };
  for (bool hand : {false, true}) {
    SCOPED_TRACE(hand);
    auto page = PaperPage(w, h, 100);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < bandEnd(y); ++x) {
        if ((x + y / 10) % 7 != 0) page->Lines(y)[x] = 0;
      }
    }
    for (int32_t y = 20; y < h - 60; y += 40) Dark(*page, text, y, text + 60, y + 12);
    if (hand) Dark(*page, 16, h - 40, 45, h - 1);
    TRect rect;
    page->DetectBlackBorder(0, rect, 10);
    EXPECT_GE(rect.Left, bandEnd(0) - 2);
    EXPECT_LE(rect.Left, text);
    EXPECT_EQ(rect.Top, 0);
    EXPECT_EQ(rect.Right, w - 1);
  }
}
