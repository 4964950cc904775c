#include "vekTWAINStrips.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// An image of Rows rows of Stride bytes with a guard zone after it.
struct TGuardedImage {
  TGuardedImage(size_t Stride, size_t Rows)
      : Bytes(Stride * Rows + 64, 0xEE), Size(Stride * Rows) {}
  std::vector<uint8_t> Bytes;
  size_t Size;
  bool GuardIntact() const {
    for (size_t i = Size; i < Bytes.size(); ++i) {
      if (Bytes[i] != 0xEE) return false;
    }
    return true;
  }
};

// The source writes Rows rows of BytesPerRow bytes (row r filled with r + 1) at To.
TMemStrip Write(uint8_t* To, uint32_t BytesPerRow, uint32_t Rows, uint32_t FirstRow) {
  for (uint32_t r = 0; r < Rows; ++r)
    std::memset(To + r * BytesPerRow, FirstRow + r + 1, BytesPerRow);
  return TMemStrip{BytesPerRow, Rows, BytesPerRow * Rows};
}

}  // namespace

TEST(Strips, RowsPaddedDifferentlyAreSpreadToTheStride) {
  // 2550 gray pixels a row: the source sends 2550 bytes, the DIB keeps 2552, and the other
  // way round a source that pads to 8 bytes sends 2552 + 4.
  for (uint32_t bytesPerRow : {2550u, 2556u, 2552u}) {
    const size_t stride = 2552;
    TGuardedImage image(stride, 33);
    TStripImage strips(image.Bytes.data(), image.Size, stride);
    uint32_t row = 0;
    while (row < 33) {
      // A source sends as many rows as fit the buffer offered.
      const size_t room = strips.Offer(bytesPerRow * 10);
      const uint32_t rows = std::min<uint32_t>(33 - row, static_cast<uint32_t>(room / bytesPerRow));
      TMemStrip strip = Write(strips.Next(), bytesPerRow, rows, row);
      ASSERT_GT(rows, 0u);
      ASSERT_TRUE(strips.Take(strip, room)) << bytesPerRow;
      row += rows;
    }
    EXPECT_EQ(strips.Filled(), image.Size);
    for (size_t r = 0; r < 33; ++r) {
      for (size_t x = 0; x < 2550; ++x) {
        ASSERT_EQ(image.Bytes[r * stride + x], r + 1) << bytesPerRow << " row " << r;
      }
    }
    EXPECT_TRUE(image.GuardIntact());
  }
}

TEST(Strips, LyingStripsAreRefusedAndNothingOutsideIsWritten) {
  const size_t stride = 16;
  TGuardedImage image(stride, 4);
  TStripImage strips(image.Bytes.data(), image.Size, stride);
  // The room offered never reaches beyond the image.
  EXPECT_EQ(strips.Offer(1000), image.Size);
  // More rows than the image has left.
  EXPECT_FALSE(strips.Take(TMemStrip{12, 5, 60}, 64));
  // A strip longer than its buffer.
  EXPECT_FALSE(strips.Take(TMemStrip{16, 2, 40}, 32));
  // Fewer bytes than its rows.
  EXPECT_FALSE(strips.Take(TMemStrip{12, 3, 20}, 64));
  // Rows wider than the stride keep the stride's bytes.
  std::memset(image.Bytes.data(), 7, 2 * 20);
  EXPECT_TRUE(strips.Take(TMemStrip{20, 2, 40}, 64));
  EXPECT_EQ(strips.Filled(), 32u);
  // An image already full takes no more.
  // The last rows, at the source's wider rows, come through a buffer of their own.
  EXPECT_EQ(strips.Offer(64), 40u);
  EXPECT_NE(strips.Next(), image.Bytes.data() + 32);
  EXPECT_FALSE(strips.Take(TMemStrip{20, 3, 60}, 40));
  EXPECT_TRUE(strips.Take(TMemStrip{20, 2, 40}, 40));
  EXPECT_EQ(strips.Offer(64), 0u);
  EXPECT_FALSE(strips.Take(TMemStrip{16, 1, 16}, 16));
  EXPECT_TRUE(image.GuardIntact());
}

TEST(Strips, LeadingBytesBeforeTheRowsAreDropped) {
  const size_t stride = 8;
  TGuardedImage image(stride, 2);
  TStripImage strips(image.Bytes.data(), image.Size, stride);
  ASSERT_EQ(strips.Offer(16), 16u);
  uint8_t* at = strips.Next();
  std::memset(at, 9, 2);
  Write(at + 2, 6, 2, 0);
  ASSERT_TRUE(strips.Take(TMemStrip{6, 2, 14}, 16));
  EXPECT_EQ(image.Bytes[0], 1);
  EXPECT_EQ(image.Bytes[5], 1);
  EXPECT_EQ(image.Bytes[8], 2);
  EXPECT_EQ(image.Bytes[13], 2);
}
