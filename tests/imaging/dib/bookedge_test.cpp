// Black-border detection beside the light face of a book's page block: the dark band where the
// page leaves the block, which runs on into the surround, goes with the face; a band of the
// page's own, one too deep, or one with a word of the page before it stays.
#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"
#include "pagegen.h"

namespace {

// At 300 dpi: 12 pixels to the millimetre.
constexpr int32_t kWidth = 1800, kHeight = 700;
constexpr int32_t kBookTop = 80;  // the surround above the book; the book runs off the foot
constexpr int32_t kFace = 60;     // the surround left of the face

void Paint(TDIB& Page, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, uint8_t Value) {
  for (int32_t y = Top; y <= Bottom; ++y) {
    std::memset(Page.Lines(y) + Left, Value, Right - Left + 1);
  }
}

// A book on a dark backing: the surround above it and left of it (Face columns, none when 0),
// its light face from there to the band of columns Band .. Band + 39, its paper after that
// with three text lines; the band runs from Reach down to the foot.
std::unique_ptr<TDIB> BookPage(int32_t Face, int32_t Band, int32_t Reach) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(kWidth, kHeight, pt8bit, 300, 300);
  page->Fill(0);
  Paint(*page, Face, kBookTop, kWidth - 1, kHeight - 1, kPaperGray);
  Paint(*page, Band, Reach, Band + 39, kHeight - 1, 0);
  for (int32_t y = 200; y < 500; y += 100) {
    for (int32_t x = Band + 140; x < kWidth - 100; x += 30) Paint(*page, x, y, x + 17, y + 23, 0);
  }
  return page;
}

int32_t LeftEdge(const TDIB& Page) {
  TRect rect;
  Page.DetectBlackBorder(0, rect, 10);
  return rect.Left;
}

struct TBookCase {
  const char* Name;
  int32_t Face, Band, Reach;  // as BookPage
  void (*Draw)(TDIB& Page);   // what else lies on the face
  int32_t Left;
};

void Nothing(TDIB&) {}

const TBookCase kBookCases[] = {
    {"the band behind the face is the book's edge", kFace, 160, 0, Nothing, 200},
    {"with the thumb-index tabs across the face", kFace, 160, 0,
     [](TDIB& p) {
       Paint(p, kFace, 400, 159, 599, 0);
       for (int32_t y = 410; y < 600; y += 40) Paint(p, kFace, y, 150, y + 5, kPaperGray);
     },
     200},
    {"and with slivers of page edges along it", kFace, 160, 0,
     [](TDIB& p) {
       for (int32_t y = 120; y < 650; y += 90) Paint(p, 100, y, 111, y + 40, 0);
     },
     200},
    {"a band that does not reach the surround is the page's", kFace, 160, 100, Nothing, kFace},
    {"a word before the band is the page's", kFace, 160, 0,
     [](TDIB& p) {
       for (int32_t x = 80; x < 140; x += 22) Paint(p, x, 300, x + 14, 319, 0);
     },
     kFace},
    {"a band more than 30 mm in is the page's", kFace, 460, 0, Nothing, kFace},
    {"a band along a side without surround is the page's", 0, 100, 0, Nothing, 0},
};

TEST(BookEdge, GoesWithTheFaceWhereNothingOfThePageLiesBeforeIt) {
  for (const TBookCase& c : kBookCases) {
    SCOPED_TRACE(c.Name);
    auto page = BookPage(c.Face, c.Band, c.Reach);
    c.Draw(*page);
    EXPECT_EQ(LeftEdge(*page), c.Left);
  }
}

}  // namespace
