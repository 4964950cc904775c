// Black-border detection along the sides that the surround does not reach across: the sheet's
// edge that lies there as a thin line is taken, what is the page's own is kept; and the check
// for dark paper with text, which must not take a thin surround for such paper.
#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"
#include "pagegen.h"

namespace {

constexpr int32_t kSide = 600;  // pixels, at 300 dpi: about 51 mm

std::unique_ptr<TDIB> PaperPage() {
  auto page = std::make_unique<TDIB>();
  page->NewImage(kSide, kSide, pt8bit, 300, 300);
  page->Fill(kPaperGray);
  return page;
}

void Paint(TDIB& Page, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, uint8_t Value) {
  for (int32_t y = Top; y <= Bottom; ++y) {
    std::memset(Page.Lines(y) + Left, Value, Right - Left + 1);
  }
}

void Dark(TDIB& Page, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  Paint(Page, Left, Top, Right, Bottom, 0);
}

int32_t RightEdge(const TDIB& Page) {
  TRect rect;
  Page.DetectBlackBorder(0, rect, 0.5);
  return rect.Right;
}

constexpr int32_t kLast = kSide - 1;

// The page lies in a surround along its left side; what lies along the right side is each
// case's.
struct TEdgeCase {
  const char* Name;
  void (*Draw)(TDIB& Page);
  int32_t Right;
};

const TEdgeCase kEdgeCases[] = {
    {"a line 3 columns wide along most of the side is the sheet's edge",
     [](TDIB& p) { Dark(p, kLast - 2, 0, kLast, 450); }, kLast - 3},
    {"behind a light edge of 4 columns at the side as well",
     [](TDIB& p) { Dark(p, kLast - 6, 0, kLast - 4, 450); }, kLast - 7},
    {"a ragged rim of single light pixels does not make it letters",
     [](TDIB& p) {
       Dark(p, kLast - 5, 0, kLast, 450);
       for (int32_t y = 0; y <= 450; y += 3) p.Lines(y)[kLast - 3] = kPaperGray;
     },
     kLast - 6},
    {"a line 5 mm long is no longer than a letter",
     [](TDIB& p) { Dark(p, kLast - 2, 100, kLast, 160); }, kLast},
    {"a line that turns into the page is the page's own",
     [](TDIB& p) {
       Dark(p, kLast - 2, 0, kLast, 450);
       Dark(p, kLast - 200, 440, kLast, 450);
     },
     kLast},
    {"letters with their counters hanging on a line are the page's",
     [](TDIB& p) {
       Dark(p, kLast - 1, 0, kLast, 450);
       for (int32_t y = 10; y < 440; y += 30) {
         Dark(p, kLast - 14, y, kLast - 2, y + 19);
         Paint(p, kLast - 10, y + 5, kLast - 6, y + 14, kPaperGray);
       }
     },
     kLast},
    {"a letter beside the line in the columns it would give up is kept",
     [](TDIB& p) {
       Dark(p, kLast - 9, 0, kLast, 400);
       Dark(p, kLast - 14, 450, kLast - 6, 490);
     },
     kLast},
};

TEST(SheetEdge, IsTakenWhereItIsALineAlongTheSideAndNothingOfThePage) {
  for (const TEdgeCase& c : kEdgeCases) {
    SCOPED_TRACE(c.Name);
    auto page = PaperPage();
    Dark(*page, 0, 0, 19, kLast);
    c.Draw(*page);
    EXPECT_EQ(RightEdge(*page), c.Right);
  }
}

TEST(SheetEdge, IsLeftOnAPageWithoutASurround) {
  // Nothing else of a surround anywhere: the line is the page's.
  auto page = PaperPage();
  kEdgeCases[0].Draw(*page);
  EXPECT_EQ(RightEdge(*page), kLast);
}

TEST(DarkPaperCheck, DoesNotTakeAThinSurroundForPaperWithText) {
  // A surround of two columns along the left side. Seen with the light edge in front of it,
  // or through its gray outer column alone (black at two places in five, a gray of 100 at the
  // others), it would have a light or gray median and black "ink" below it.
  struct TCase {
    const char* Name;
    int32_t Light;  // light columns at the side before the surround
    bool GrayOuter;
  };
  const TCase cases[] = {
      {"behind a light edge", 4, false},
      {"with a gray outer column", 0, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto page = PaperPage();
    Dark(*page, c.Light, 0, c.Light + 1, kLast);
    if (c.GrayOuter) {
      for (int32_t y = 0; y < kSide; ++y) page->Lines(y)[0] = y % 5 < 2 ? 0 : 100;
    }
    TRect rect;
    page->DetectBlackBorder(0, rect, 10);
    EXPECT_EQ(rect.Left, c.Light + 2);
  }
}

}  // namespace
