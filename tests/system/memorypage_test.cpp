// Pages put together from memory strips: rows in order, padding dropped, red and blue back in
// the page's order, and strips that lie about themselves refused before they touch the page.
#include "memorypage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "exception.h"
#include "vekTWAINFix.h"

namespace {

TW_IMAGEINFO Info(int32_t Width, int32_t Height, int16_t Bits, int16_t PixelType) {
  TW_IMAGEINFO info{};
  info.XResolution = FloatToFIX32(300);
  info.YResolution = FloatToFIX32(150);
  info.ImageWidth = Width;
  info.ImageLength = Height;
  info.BitsPerPixel = Bits;
  info.PixelType = PixelType;
  return info;
}

// Rows of BytesPerRow bytes, byte i of row y holding y * 16 + i.
std::vector<uint8_t> Rows(uint32_t Count, uint32_t BytesPerRow, uint32_t First = 0) {
  std::vector<uint8_t> bytes(Count * BytesPerRow);
  for (uint32_t y = 0; y < Count; ++y)
    for (uint32_t i = 0; i < BytesPerRow; ++i)
      bytes[y * BytesPerRow + i] = static_cast<uint8_t>((First + y) * 16 + i);
  return bytes;
}

TW_IMAGEMEMXFER Strip(uint32_t BytesPerRow, uint32_t Rows, uint32_t YOffset) {
  TW_IMAGEMEMXFER strip{};
  strip.BytesPerRow = BytesPerRow;
  strip.Rows = Rows;
  strip.YOffset = YOffset;
  strip.BytesWritten = BytesPerRow * Rows;
  return strip;
}

// A 24-bit page 3 pixels wide (9 bytes a row) in strips padded to 12 bytes, of 3 rows and 1.
TEST(MemoryPage, JoinsPaddedStripsTopRowFirstInThePagesColourOrder) {
  TMemoryPage page(Info(3, 4, 24, TWPT_RGB));
  std::vector<uint8_t> first = Rows(3, 12), second = Rows(1, 12, 3);
  page.Take(Strip(12, 3, 0), first.data(), static_cast<uint32_t>(first.size()));
  page.Take(Strip(12, 0, 3), nullptr, 0);  // a strip of no rows takes nothing
  page.Take(Strip(12, 1, 3), second.data(), static_cast<uint32_t>(second.size()));
  EXPECT_EQ(page.RowsTaken(), 4);
  std::unique_ptr<TDIB> dib = page.Finish();
  ASSERT_EQ(dib->BitCount(), 24);
  EXPECT_EQ(dib->XResolution(), 300);
  EXPECT_EQ(dib->YResolution(), 150);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      const uint8_t* pixel = dib->Lines(y) + 3 * x;
      uint8_t red = static_cast<uint8_t>(y * 16 + 3 * x);
      EXPECT_EQ(pixel[2], red) << x << "," << y;
      EXPECT_EQ(pixel[1], red + 1) << x << "," << y;
      EXPECT_EQ(pixel[0], red + 2) << x << "," << y;
    }
  }
}

TEST(MemoryPage, TakesThePaletteOfAPalettePage) {
  TMemoryPage page(Info(4, 1, 8, TWPT_PALETTE));
  TW_PALETTE8 palette{};
  palette.NumColors = 2;
  palette.Colors[1] = {1, 0x10, 0x20, 0x30};
  page.SetPalette(palette);
  std::vector<uint8_t> row = Rows(1, 4);
  page.Take(Strip(4, 1, 0), row.data(), 4);
  std::unique_ptr<TDIB> dib = page.Finish();
  EXPECT_EQ(dib->GetPaletteEntry(1), 0x102030u);
  EXPECT_EQ(std::memcmp(dib->Lines(0), row.data(), 4), 0);
}

TEST(MemoryPage, RefusesKindsItCannotHold) {
  EXPECT_THROW(TMemoryPage(Info(8, 8, 16, TWPT_RGB)), Exception);
  EXPECT_THROW(TMemoryPage(Info(8, 8, 24, TWPT_GRAY)), Exception);
  TW_IMAGEINFO compressed = Info(8, 8, 1, TWPT_BW);
  compressed.Compression = TWCP_GROUP4;
  EXPECT_THROW(TMemoryPage{compressed}, Exception);
}

struct TBadStrip {
  const char* Name;
  std::function<void(TW_IMAGEMEMXFER&)> Spoil;
};

void PrintTo(const TBadStrip& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class MemoryPageRefuses : public ::testing::TestWithParam<TBadStrip> {};

// An 8-bit page 8 pixels wide and 4 rows high, of which 2 rows are in; the next strip, of 2
// rows of 8 bytes in a 32-byte buffer, is spoilt one way each.
TEST_P(MemoryPageRefuses, AStripThatDoesNotFitLeavingThePageAsItWas) {
  TMemoryPage page(Info(8, 4, 8, TWPT_GRAY));
  std::vector<uint8_t> rows = Rows(2, 8);
  page.Take(Strip(8, 2, 0), rows.data(), 16);
  TW_IMAGEMEMXFER strip = Strip(8, 2, 2);
  GetParam().Spoil(strip);
  std::vector<uint8_t> next = Rows(4, 8, 2);
  EXPECT_THROW(page.Take(strip, next.data(), 32), Exception);
  EXPECT_EQ(page.RowsTaken(), 2);
  std::unique_ptr<TDIB> dib = page.Finish();
  EXPECT_EQ(dib->Lines(2)[0], 0);  // as the new page was; the strip would bring 0x20
}

INSTANTIATE_TEST_SUITE_P(
    Strips, MemoryPageRefuses,
    ::testing::Values(
        TBadStrip{"RowsShorterThanThePage", [](TW_IMAGEMEMXFER& s) { s.BytesPerRow = 7; }},
        TBadStrip{"MoreBytesThanTheBuffer", [](TW_IMAGEMEMXFER& s) { s.BytesWritten = 40; }},
        TBadStrip{"MoreRowsThanItsBytes", [](TW_IMAGEMEMXFER& s) { s.Rows = 3; }},
        TBadStrip{"BelowTheLastRow",
                  [](TW_IMAGEMEMXFER& s) {
                    s.Rows = 3;
                    s.BytesWritten = 24;
                  }},
        TBadStrip{"OverTheRowsAlreadyIn", [](TW_IMAGEMEMXFER& s) { s.YOffset = 1; }},
        TBadStrip{"AfterAGap",
                  [](TW_IMAGEMEMXFER& s) {
                    s.YOffset = 3;
                    s.Rows = 1;
                    s.BytesWritten = 8;
                  }}),
    [](const ::testing::TestParamInfo<TBadStrip>& info) { return info.param.Name; });

}  // namespace
