// Faults of the page object: a header that counts the palette its block holds, skew detection
// of pages without pixels, and the page's own lock after a conversion.
#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"

namespace {

// A BMP file of a 2 x 2 page whose header counts ColorsUsed palette entries; the palette
// stored is the full one of the bit depth.
std::vector<uint8_t> Bmp(uint16_t Bits, uint32_t ColorsUsed) {
  const uint32_t colors = Bits <= 8 ? 1u << Bits : 0;
  const uint32_t stride = ((2 * Bits + 31) / 32) * 4;
  const uint32_t offBits = 54 + 4 * colors;
  std::vector<uint8_t> b(offBits + 2 * stride, 0);
  auto put16 = [&](size_t at, uint32_t v) { b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, offBits);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  put16(26, 1);
  put16(28, Bits);
  put32(46, ColorsUsed);
  put32(50, ColorsUsed);
  for (uint32_t i = 0; i < colors; ++i) b[54 + 4 * i] = static_cast<uint8_t>(i);
  for (size_t i = offBits; i < b.size(); ++i) b[i] = 0x5A;
  return b;
}

// A reader of the block (clipboard, native transfer) finds the rows where the header's count
// of palette entries says they are.
TEST(PageFaults, TheHeaderCountsThePaletteTheBlockHolds) {
  struct {
    uint16_t Bits;
    uint32_t ColorsUsed;
  } cases[] = {{8, 300}, {4, 40}, {24, 300}, {1, 7}, {8, 0}, {8, 256}};
  for (const auto& c : cases) {
    TMemoryStream s(Bmp(c.Bits, c.ColorsUsed));
    TDIB dib;
    dib.LoadFromStream(s);
    const auto* header = static_cast<const win32::BITMAPINFOHEADER*>(dib.Memory());
    const uint32_t full = c.Bits <= 8 ? 1u << c.Bits : 0;
    uint32_t entries = header->biClrUsed == 0 ? full : header->biClrUsed;
    EXPECT_EQ(entries, full) << c.Bits << " " << c.ColorsUsed;
    EXPECT_LE(header->biClrImportant, full) << c.Bits << " " << c.ColorsUsed;
    const auto* rows = static_cast<const uint8_t*>(dib.Memory()) + 40 + 4 * entries;
    EXPECT_EQ(rows, dib.Bits()) << c.Bits << " " << c.ColorsUsed;
  }
}

TEST(PageFaults, SkewOfAPageWithoutPixelsIsZero) {
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    TDIB dib;
    dib.NewImage(64, 64, type, 300, 300);
    dib.FreeImage();
    EXPECT_EQ(dib.DetectSkew(1, 0.1, 5), 0) << int{type};
    TDIB empty;
    empty.NewImage(0, 0, type, 300, 300);
    EXPECT_EQ(empty.DetectSkew(1, 0.1, 5), 0) << int{type};
  }
}

// Blocks of the same size before and after: a 4 x 128 page takes 1576 bytes at 24 and at 8
// bits, a 2 x 256 page 2088; the others grow or shrink.
TEST(PageFaults, AConversionLeavesThePageLockedOnce) {
  const struct {
    int32_t Width, Height;
  } sizes[] = {{4, 128}, {4, 100}, {4, 200}, {2, 256}, {2, 255}, {2, 257}};
  for (const auto& size : sizes) {
    for (uint8_t type : {pt8bit, pt4bit, pt1bit}) {
      TDIB dib;
      dib.NewImage(size.Width, size.Height, pt24bit, 300, 300);
      dib.ConvertPixelType(type);
      EXPECT_EQ(dib.LockCount(), 1) << size.Width << " x " << size.Height << " to " << int{type};
      EXPECT_EQ(win32::GlobalLockCount(dib.Handle()), 1u)
          << size.Width << " x " << size.Height << " to " << int{type};
    }
  }
}

}  // namespace
