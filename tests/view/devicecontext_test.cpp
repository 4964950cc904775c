// Drawing a page onto a device context: the stretch modes as a user sees them, the clip box and
// the modes a drawing gives back.
#include <gtest/gtest.h>

#include "viewfixture.h"

namespace {

uint32_t Gray(uint32_t Level) {
  return kBlack | Level << 16 | Level << 8 | Level;
}

// Expected colour of pixel (X, Y) of a page as the drawing shows it.
uint32_t ColourOf(const TDIB& Page, int32_t X, int32_t Y) {
  const int32_t v = Page.GetPixel(X, Y);
  if (Page.BitCount() == 24)
    return kBlack | static_cast<uint32_t>(v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
  const win32::RGBQUAD c = Page.Palette()[v];
  return kBlack | uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
}

struct TTypeCase {
  uint8_t Type;
  const char* Name;
};

class DrawEveryType : public ::testing::TestWithParam<TTypeCase> {};

// One to one, every format shows each pixel in its palette colour, top line at the top.
TEST_P(DrawEveryType, OneToOneShowsEveryPixel) {
  auto page = WhitePage(37, 11, GetParam().Type);
  const int32_t colours = page->BitCount() == 24 ? 0x1000000 : 1 << page->BitCount();
  for (int32_t y = 0; y < 11; ++y) {
    for (int32_t x = 0; x < 37; ++x) page->SetPixel(x, y, (x * 7919 + y * 104729) % colours);
  }
  TMemoryDC dc(37, 11);
  page->Draw(dc, 0, 0, 37, 11, 0);
  for (int32_t y = 0; y < 11; ++y) {
    for (int32_t x = 0; x < 37; ++x)
      ASSERT_EQ(dc.At(x, y), ColourOf(*page, x, y)) << x << ", " << y;
  }
}

// Enlarging repeats each pixel over a block, in every mode alike.
TEST_P(DrawEveryType, EnlargingRepeatsPixels) {
  auto page = WhitePage(4, 3, GetParam().Type);
  page->SetPixel(1, 2, 0);
  for (uint8_t mode : {0, 1, 2, 3}) {
    TMemoryDC dc(12, 9);
    page->Draw(dc, 0, 0, 12, 9, mode);
    for (int32_t y = 0; y < 9; ++y) {
      for (int32_t x = 0; x < 12; ++x) {
        ASSERT_EQ(dc.At(x, y), ColourOf(*page, x / 3, y / 3))
            << int(mode) << ": " << x << ", " << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Types, DrawEveryType,
                         ::testing::Values(TTypeCase{pt1bit, "1bit"}, TTypeCase{pt4bit, "4bit"},
                                           TTypeCase{pt8bit, "8bit"}, TTypeCase{pt24bit, "24bit"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A page 100 wide with a 1-pixel vertical line at column 51 and a horizontal one at line 51,
// which a quarter-size nearest sample (columns 2, 6, 10 ...) passes by.
std::unique_ptr<TDIB> ThinLines(uint8_t Type, bool WhiteOnBlack) {
  auto page = WhitePage(100, 100, Type);
  const int32_t white = Type == pt24bit ? 0xFFFFFF : (1 << page->BitCount()) - 1;
  const int32_t ink = WhiteOnBlack ? white : 0, paper = WhiteOnBlack ? 0 : white;
  for (int32_t y = 0; y < 100; ++y) {
    for (int32_t x = 0; x < 100; ++x) page->SetPixel(x, y, (x == 51 || y == 51) ? ink : paper);
  }
  return page;
}

// At a quarter of the size, keeping black keeps a thin black line whole and pure black; keeping
// white keeps a thin white line on black; colour on colour drops it.
TEST(DrawModes, ShrinkingKeepsThinLinesByMode) {
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    for (bool whiteOnBlack : {false, true}) {
      auto page = ThinLines(type, whiteOnBlack);
      const uint32_t ink = whiteOnBlack ? kWhite : kBlack;
      TMemoryDC keep(25, 25), drop(25, 25);
      page->Draw(keep, 0, 0, 25, 25, whiteOnBlack ? 2 : 1);
      page->Draw(drop, 0, 0, 25, 25, 0);
      int kept = 0, dropped = 0;
      for (int32_t i = 0; i < 25; ++i) {
        kept += keep.At(12, i) == ink;
        kept += keep.At(i, 12) == ink;
        dropped += drop.At(12, i) == ink;
        dropped += drop.At(i, 12) == ink;
      }
      EXPECT_EQ(kept, 50) << "type " << int(type);
      EXPECT_EQ(dropped, 0) << "type " << int(type);
      // Nothing else turns to ink.
      EXPECT_NE(keep.At(3, 3), ink);
    }
  }
}

// Halftone averages what it drops: a checkerboard halves to middle gray.
TEST(DrawModes, HalftoneAverages) {
  auto page = WhitePage(8, 8, pt8bit);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) page->SetPixel(x, y, (x + y) % 2 == 0 ? 0 : 255);
  }
  TMemoryDC dc(4, 4);
  page->Draw(dc, 0, 0, 4, 4, 3);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dc.At(x, y), Gray(128));
  }
}

// Only the clip box is computed, and the viewport origin moves the drawing.
TEST(DrawModes, DrawsOnlyTheClipBoxAtTheViewportOrigin) {
  auto page = WhitePage(200, 200, pt8bit);
  page->SetPixel(0, 0, 0);
  TMemoryDC dc(400, 400, {100, 100, 150, 130});
  EXPECT_EQ(dc.StretchDIBits(0, 0, 400, 400, 0, 0, 200, 200, page->Bits(), *page->Header()), 30);
  EXPECT_EQ(dc.PaintedPixels(), 50 * 30);
  EXPECT_EQ(dc.At(120, 110), kWhite);
  EXPECT_EQ(dc.At(10, 10), 0u);  // outside the clip box: untouched

  TMemoryDC moved(50, 50);
  moved.SetViewportOrgEx({-10, 5});
  page->Draw(moved, 20, 0, 200, 200, 0);
  EXPECT_EQ(moved.At(10, 5), kBlack);
  EXPECT_EQ(moved.At(9, 5), 0u);
}

TEST(DrawModes, RefusesWhatItCannotDraw) {
  auto page = WhitePage(10, 10, pt8bit);
  TMemoryDC dc(10, 10);
  const auto& info = *page->Header();
  EXPECT_EQ(dc.StretchDIBits(0, 0, 10, 10, 0, 0, 11, 10, page->Bits(), info), 0);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 10, 10, -1, 0, 5, 5, page->Bits(), info), 0);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 0, 10, 0, 0, 10, 10, page->Bits(), info), 0);
  EXPECT_EQ(dc.StretchDIBits(20, 20, 10, 10, 0, 0, 10, 10, page->Bits(), info), 0);
  win32::BITMAPINFOHEADER sixteen = info;
  sixteen.biBitCount = 16;
  EXPECT_EQ(dc.StretchDIBits(0, 0, 10, 10, 0, 0, 10, 10, page->Bits(), sixteen), 0);
  EXPECT_EQ(dc.PaintedPixels(), 0);
  TDIB empty;
  empty.Draw(dc, 0, 0, 10, 10, 0);
  EXPECT_EQ(dc.PaintedPixels(), 0);
}

// Draw sets the stretch mode (and for halftone the brush origin) and gives both back, also
// when the device fails; a mode it does not know draws with the context's own.
TEST(DrawModes, GivesTheContextsModesBack) {
  const struct {
    uint8_t Mode;
    int32_t During;
  } cases[] = {{0, win32::COLORONCOLOR},
               {1, win32::BLACKONWHITE},
               {2, win32::WHITEONBLACK},
               {3, win32::HALFTONE},
               {9, win32::WHITEONBLACK}};
  auto page = WhitePage(4, 4, pt8bit);
  for (const auto& c : cases) {
    static TMemoryDC* current = nullptr;
    static int32_t seenMode = 0;
    static win32::POINT seenOrigin;
    TMemoryDC dc(4, 4);
    current = &dc;
    dc.SetStretchBltMode(win32::WHITEONBLACK);
    dc.SetBrushOrgEx({3, 4});
    dc.FailOnPut = [] {
      seenMode = current->GetStretchBltMode();
      seenOrigin = current->BrushOrg();
      return true;
    };
    EXPECT_THROW(page->Draw(dc, 0, 0, 4, 4, c.Mode), Exception);
    EXPECT_EQ(seenMode, c.During) << int(c.Mode);
    EXPECT_EQ(seenOrigin.x, c.Mode == 3 ? 0 : 3);
    EXPECT_EQ(dc.GetStretchBltMode(), win32::WHITEONBLACK);
    EXPECT_EQ(dc.BrushOrg().x, 3);
    EXPECT_EQ(dc.BrushOrg().y, 4);
  }
}

}  // namespace
