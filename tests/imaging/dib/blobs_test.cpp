// Connected components, despeckling and the pixel counters.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "dibunit.h"

namespace {

// A white 1-bit page (default palette: 0 black, 1 white).
std::unique_ptr<TDIB> WhitePage(int32_t Width, int32_t Height, int32_t DPI = 300) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, pt1bit, DPI, DPI);
  page->Fill(0xFF);
  return page;
}

void Black(TDIB& Page, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1) {
  for (int32_t y = Y0; y <= Y1; ++y) {
    for (int32_t x = X0; x <= X1; ++x) Page.SetPixel(x, y, 0);
  }
}

std::vector<TBlob> AllBlobs(TDIB& Page) {
  TBlobList list;
  Page.FindBlobs(0, 0, 0, INT32_MAX, INT32_MAX, INT32_MAX, &list);
  std::vector<TBlob> blobs;
  for (int32_t i = 0; i < list.Count(); ++i) blobs.push_back(list.Items(i));
  return blobs;
}

TEST(BlobList, AddsCopiesAndRefusesBadIndexes) {
  TBlobList list;
  EXPECT_EQ(list.Add(1, 2, 3, 4, 5, 0, 0), 0);
  EXPECT_EQ(list.Add(6, 7, 8, 9, 10, 11, 12), 1);
  const TBlob& b = list.Items(1);
  EXPECT_EQ(b.Left, 6);
  EXPECT_EQ(b.Bottom, 9);
  EXPECT_EQ(b.Reserved, 0);
  EXPECT_EQ(b.Count, 10);
  EXPECT_EQ(b.Data2, 12);
  EXPECT_THROW(list.Items(2), Exception);
  EXPECT_THROW(list.Items(-1), Exception);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(FindBlobs, SinglePixelAndCornerNeighbours) {
  auto page = WhitePage(20, 10);
  page->SetPixel(3, 4, 0);
  std::vector<TBlob> blobs = AllBlobs(*page);
  ASSERT_EQ(blobs.size(), 1u);
  EXPECT_EQ(blobs[0].Count, 1);
  EXPECT_EQ(blobs[0].Left, 3);
  EXPECT_EQ(blobs[0].Right, 3);
  EXPECT_EQ(blobs[0].Top, 4);
  EXPECT_EQ(blobs[0].Bottom, 4);

  page->SetPixel(4, 5, 0);  // touches only at a corner
  blobs = AllBlobs(*page);
  ASSERT_EQ(blobs.size(), 1u);
  EXPECT_EQ(blobs[0].Count, 2);
  EXPECT_EQ(blobs[0].Right, 4);
  EXPECT_EQ(blobs[0].Bottom, 5);
}

TEST(FindBlobs, ListsComponentsInColumnScanOrder) {
  auto page = WhitePage(40, 30);
  Black(*page, 20, 0, 21, 1);    // first in a line scan, second in a column scan
  Black(*page, 5, 20, 6, 25);    // leftmost
  Black(*page, 20, 10, 20, 10);  // same column as the first, lower
  // A hook whose top-left pixel is not its first pixel in the column scan.
  Black(*page, 30, 5, 35, 5);
  Black(*page, 29, 6, 29, 9);
  std::vector<TBlob> blobs = AllBlobs(*page);
  ASSERT_EQ(blobs.size(), 4u);
  EXPECT_EQ(blobs[0].Left, 5);
  EXPECT_EQ(blobs[1].Top, 0);
  EXPECT_EQ(blobs[2].Top, 10);
  EXPECT_EQ(blobs[3].Left, 29);
  EXPECT_EQ(blobs[3].Count, 10);
}

TEST(FindBlobs, BlackIsTheBlackIndexAndEdgesClip) {
  // Palette reversed: black is index 1, so set bits are the foreground.
  auto page = WhitePage(9, 9);
  page->ReversePalette();  // all bits now 0 = white
  page->SetPixel(0, 0, 1);
  page->SetPixel(8, 8, 1);
  page->SetPixel(7, 8, 1);
  std::vector<TBlob> blobs = AllBlobs(*page);
  ASSERT_EQ(blobs.size(), 2u);
  EXPECT_EQ(blobs[1].Count, 2);
}

struct TSizeCase {
  int32_t W, H;
  bool Kept;
};

TEST(FindBlobs, SizeLimitsAreInclusive) {
  const TSizeCase cases[] = {{4, 3, true}, {5, 3, false}, {4, 4, false}, {1, 1, true}};
  for (const TSizeCase& c : cases) {
    auto page = WhitePage(30, 30);
    Black(*page, 10, 10, 10 + c.W - 1, 10 + c.H - 1);
    TBlobList list;
    page->FindBlobs(0, 0, 0, 4, 3, INT32_MAX, &list);
    EXPECT_EQ(list.Count(), c.Kept ? 1 : 0) << c.W << " x " << c.H;
    TBlobList counted;
    page->FindBlobs(0, 0, c.W * c.H + 1, 100, 100, INT32_MAX, &counted);
    EXPECT_EQ(counted.Count(), 0) << "pixel count below the minimum";
  }
}

TEST(FindBlobs, WorksWithoutTargetList) {
  auto page = WhitePage(10, 10);
  Black(*page, 2, 2, 3, 3);
  page->FindBlobs(0, 0, 0, 10, 10, INT32_MAX, nullptr);
}

struct TSpeckCase {
  int32_t DPI;
  int32_t Size;  // the default speck size at that resolution
};

TEST(Despeckle, DefaultSizeIsHalfAMillimetre) {
  const TSpeckCase cases[] = {{300, 6}, {200, 4}, {25, 2}};
  for (const TSpeckCase& c : cases) {
    auto page = WhitePage(100, 60, c.DPI);
    Black(*page, 5, 5, 5 + c.Size - 1, 5 + c.Size - 1);  // a speck
    Black(*page, 30, 5, 30 + c.Size, 5 + c.Size - 1);    // one pixel too wide
    Black(*page, 60, 5, 60 + c.Size - 1, 5 + c.Size);    // one pixel too high
    EXPECT_EQ(page->Despeckle(0, -1), 1) << c.DPI;
    EXPECT_EQ(page->GetPixel(5, 5), 1);
    EXPECT_EQ(page->GetPixel(30, 5), 0);
    EXPECT_EQ(page->GetPixel(60, 5), 0);
  }
}

TEST(Despeckle, PaintsTheWholeBoxOfASpeck) {
  auto page = WhitePage(40, 40);
  Black(*page, 0, 20, 39, 22);  // a long stroke
  // An L-shaped speck whose box reaches into the stroke's lines without touching it.
  Black(*page, 10, 15, 10, 18);
  Black(*page, 10, 18, 12, 18);
  Black(*page, 25, 14, 25, 14);
  EXPECT_EQ(page->Despeckle(3, 4), 2);
  for (int32_t y = 15; y <= 18; ++y) {
    for (int32_t x = 10; x <= 12; ++x) EXPECT_EQ(page->GetPixel(x, y), 1);
  }
  EXPECT_EQ(page->GetPixel(25, 14), 1);
  EXPECT_EQ(page->CountLineBits(21), 0) << "the stroke stays";
}

TEST(Despeckle, BlankPageIsLeftAlone) {
  auto page = WhitePage(33, 7);
  auto before = page->Duplicate();
  EXPECT_EQ(page->Despeckle(3, 3), 0);
  EXPECT_EQ(std::memcmp(page->Memory(), before->Memory(), page->BlockSize()), 0);
}

TEST(Despeckle, AllBlackA4PageIsOneLargeComponent) {
  TDIB page;
  page.NewImage(2480, 3508, pt1bit, 300, 300);  // all bits 0: black
  EXPECT_EQ(page.Despeckle(3, 3), 0);
  EXPECT_EQ(page.CountLineBits(0), 0);
  EXPECT_EQ(page.CountLineBits(3507), 0);
}

TEST(Despeckle, LongSerpentineAt600DpiIsOneComponent) {
  // One stroke that winds over the whole A4 page at 600 dpi: a recursive search would need
  // millions of frames.
  TDIB page;
  const int32_t width = 4960, height = 7016, pitch = 8;
  page.NewImage(width, height, pt1bit, 600, 600);
  page.Fill(0xFF);
  int64_t pixels = 0;
  for (int32_t y = 0, n = 0; y + pitch < height; y += pitch, ++n) {
    std::memset(page.Lines(y), 0, page.LineBytes());
    pixels += width;
    const int32_t x = n % 2 == 0 ? width - 1 : 0;
    for (int32_t k = 1; k < pitch; ++k) page.SetPixel(x, y + k, 0);
    pixels += pitch - 1;
  }
  std::vector<TBlob> blobs = AllBlobs(page);
  ASSERT_EQ(blobs.size(), 1u);
  EXPECT_EQ(blobs[0].Count, pixels);
  EXPECT_EQ(blobs[0].Right, width - 1);
}

TEST(Despeckle, OtherDepthsAreRefused) {
  for (uint8_t type : {pt4bit, pt8bit, pt24bit}) {
    TDIB page;
    page.NewImage(8, 8, type, 300, 300);
    auto before = page.Duplicate();
    for (auto call :
         {+[](TDIB& p) { p.Despeckle(3, 3); },
          +[](TDIB& p) { p.FindBlobs(0, 0, 0, 9, 9, 99, nullptr); },
          +[](TDIB& p) { p.CountLineBits(0); }, +[](TDIB& p) { p.CountColumnBits(0); }}) {
      try {
        call(page);
        ADD_FAILURE() << "no exception for type " << int{type};
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "This operation requires 1 bit per pixel bitmap !");
      }
    }
    EXPECT_EQ(std::memcmp(page.Memory(), before->Memory(), page.BlockSize()), 0);
  }
}

// ---- Counters ----

TEST(Counters, LineAndColumnBitsIgnoreThePadding) {
  TDIB page;
  page.NewImage(10, 4, pt1bit, 300, 300);
  std::memset(page.Lines(1), 0xFF, page.Stride());  // padding bits set too
  EXPECT_EQ(page.CountLineBits(1), 10);
  EXPECT_EQ(page.CountLineBits(0), 0);
  page.SetPixel(9, 0, 1);
  page.SetPixel(9, 3, 1);
  EXPECT_EQ(page.CountColumnBits(9), 3);
  EXPECT_EQ(page.CountColumnBits(0), 1);
}

struct TRunCase {
  int32_t X, N;
  int32_t Set;  // set pixels among X..X+N-1 of the pattern below
};

TEST(Counters, RunBitsMaskBothEnds) {
  TDIB page;
  page.NewImage(40, 1, pt1bit, 300, 300);
  // Pixels 3..5 and 9..20 and 31 set.
  for (int32_t x : {3, 4, 5, 31}) page.SetPixel(x, 0, 1);
  for (int32_t x = 9; x <= 20; ++x) page.SetPixel(x, 0, 1);
  const TRunCase cases[] = {{0, 0, 0},   {4, 1, 1},    {2, 3, 2},  {3, 3, 3},  {5, 6, 3},
                            {0, 40, 16}, {10, 20, 11}, {31, 1, 1}, {32, 8, 0}, {8, 2, 1}};
  for (const TRunCase& c : cases) {
    EXPECT_EQ(page.CountRunBits(c.X, 0, c.N, true), c.Set) << c.X << "+" << c.N;
    EXPECT_EQ(page.CountRunBits(c.X, 0, c.N, false), c.N - c.Set) << c.X << "+" << c.N;
  }
}

TEST(Counters, RunBelowCountsBytesAndGrayValues) {
  TDIB gray;
  gray.NewImage(6, 1, pt8bit, 300, 300);
  const uint8_t values[] = {0, 99, 100, 101, 255, 7};
  std::memcpy(gray.Lines(0), values, 6);
  EXPECT_EQ(gray.CountRunBelow(0, 0, 6, 100), 3);
  EXPECT_EQ(gray.CountRunBelow(1, 0, 3, 101), 2);
  EXPECT_EQ(gray.CountRunBelow(0, 0, 0, 255), 0);
  EXPECT_EQ(gray.CountRunBelow(0, 0, -3, 255), 0);

  TDIB colour;
  colour.NewImage(4, 1, pt24bit, 300, 300);
  colour.SetPixel24(0, 0, 0xFFFFFF);  // gray 255
  colour.SetPixel24(1, 0, 100);       // red 100: gray 30
  colour.SetPixel24(2, 0, 100 << 8);  // green 100: gray 59
  colour.SetPixel24(3, 0, 0x646464);  // 100, 100, 100: gray exactly 100
  EXPECT_EQ(colour.CountRunBelow24(0, 0, 4, 255), 3);
  EXPECT_EQ(colour.CountRunBelow24(0, 0, 4, 100), 2);
  EXPECT_EQ(colour.CountRunBelow24(0, 0, 4, 101), 3);
  EXPECT_EQ(colour.CountRunBelow24(1, 0, 2, 59), 1);
}

}  // namespace
