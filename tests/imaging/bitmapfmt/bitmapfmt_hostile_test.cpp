// Small files that claim huge bitmaps: each is refused before memory is taken for its pixels.
#include <gtest/gtest.h>

#include "../peak_memory.h"
#include "bitmapfmt.h"
#include "bitmapfmt_memfiles.h"
#include "le_bytes.h"

using namespace bitmapfmt;

namespace {

constexpr int kW = 30000;
constexpr int kH = 30000;
// What reading one of these files may take beside the file itself.
constexpr int64_t kWorkingSet = int64_t{64} << 20;

TBytes Targa(int type) {
  TBytes b(18, 0);
  b[2] = static_cast<uint8_t>(type);
  Put16(b, 12, kW);
  Put16(b, 14, kH);
  b[16] = 8;
  return b;
}

TBytes Pcx() {
  TBytes b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = 1;
  b[3] = 8;
  Put16(b, 8, kW - 1);
  Put16(b, 10, kH - 1);
  b[65] = 1;
  Put16(b, 66, kW);
  return b;
}

// An 8-bit BMP with a full palette followed by the given data.
TBytes Bmp(uint32_t compression, const TBytes& data) {
  TBytes b(14 + 40 + 1024, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 10, static_cast<uint32_t>(b.size()));
  Put32(b, 14, 40);
  Put32(b, 18, kW);
  Put32(b, 22, kH);
  Put16(b, 26, 1);
  Put16(b, 28, 8);
  Put32(b, 30, compression);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

TEST(BitmapFmtHostile, SmallFilesOfHugeBitmapsAreRefusedBeforeTheirPixels) {
  struct {
    const char* Name;
    TBytes File;
    int Index;
  } cases[] = {
      {"Targa gray, header only", Targa(3), 2},
      {"Targa gray runs, one packet",
       [] {
         TBytes b = Targa(11);
         b.insert(b.end(), {0xff, 0});
         return b;
       }(),
       2},
      {"PCX header only", Pcx(), 1},
      {"PCX runs, a few lines",
       [] {
         TBytes b = Pcx();
         for (int i = 0; i < 64; ++i) b.insert(b.end(), {0xff, 7});
         return b;
       }(),
       1},
      {"BMP rows missing", Bmp(0, TBytes(100, 1)), 0},
      {"BMP RLE8, end of bitmap only", Bmp(1, {0, 1}), 0},
      {"BMP RLE8, deltas to the top",
       [] {
         TBytes codes;
         for (int i = 0; i < kH / 255 + 1; ++i) codes.insert(codes.end(), {0, 2, 0, 255});
         return Bmp(1, codes);
       }(),
       0},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    TBitmapDesc desc;
    const int handle = files.Add(c.File);
    ASSERT_EQ(ReadHeader("x", handle, c.Index, &desc, ""), kOk) << c.Name;
    TPeakMemory peak;
    std::vector<uint8_t> data;
    EXPECT_EQ(ReadData(handle, c.Index, &desc, &data), kReadError) << c.Name;
    EXPECT_TRUE(data.empty()) << c.Name;
    if (peak.Available()) {
      EXPECT_LT(peak.Growth(), kWorkingSet) << c.Name;
    }
  }
}

// Codes that can make every pixel are read, however few bytes they take.
TEST(BitmapFmtHostile, DenseRunsOfALargeBitmapStillRead) {
  const int w = 2550;
  const int h = 20;
  TBytes codes;
  for (int y = 0; y < h; ++y) {
    for (int i = 0; i < 10; ++i) codes.insert(codes.end(), {255, static_cast<uint8_t>(y)});
    codes.insert(codes.end(), {0, 0});
  }
  TBytes file = Bmp(1, codes);
  Put32(file, 18, w);
  Put32(file, 22, h);
  TMemFiles files;
  const int handle = files.Add(file);
  TBitmapDesc desc;
  ASSERT_EQ(ReadHeader("x", handle, 0, &desc, ""), kOk);
  std::vector<uint8_t> data;
  ASSERT_EQ(ReadData(handle, 0, &desc, &data), kOk);
  EXPECT_EQ(data[RowBytes(w, 8) * 7 + w - 1], 7);
}

}  // namespace
