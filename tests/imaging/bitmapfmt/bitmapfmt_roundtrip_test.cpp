// Writing then reading with the bitmap format module, for every format, depth and option.
#include <gtest/gtest.h>

#include "bitmapfmt.h"
#include "bitmapfmt_images.h"

using namespace bitmapfmt;

namespace {

const TRgb kBlack{0, 0, 0};
const TRgb kWhite{255, 255, 255};

struct TSize {
  int W, H;
};
// Odd widths exercise the row padding and the partial last byte of 1 and 4-bit rows.
constexpr TSize kSizes[] = {{1, 1}, {13, 7}, {64, 3}, {203, 19}};

TEST(BitmapFmtRoundTrip, SamePixelsAndPalette) {
  struct {
    int Index;
    int Bpp;
    const char* Write;
  } cases[] = {
      {kBmp, 4, ""},        {kBmp, 8, ""},       {kBmp, 24, ""},   {kBmp, 4, "1.1"},
      {kBmp, 8, "1.1"},     {kBmp, 24, "1.1"},   {kBmp, 8, "win"}, {kBmp, 24, "2.0"},
      {kPcx, 4, ""},        {kPcx, 8, ""},       {kPcx, 24, ""},   {kTga, 8, ""},
      {kTga, 24, ""},       {kTga, 24, "24"},    {kTga, 24, "32"}, {kTga, 8, "ydown"},
      {kTga, 24, "yup 32"}, {kTga, 24, "ydown"},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    for (TSize s : kSizes) {
      SCOPED_TRACE(::testing::Message()
                   << c.Index << " " << c.Bpp << " '" << c.Write << "' " << s.W << "x" << s.H);
      TImage image = Pattern(s.W, s.H, c.Bpp);
      std::vector<uint8_t> bytes;
      ASSERT_EQ(WriteTo(files, c.Index, image, c.Write, &bytes), kOk);
      TReading r = ReadBytes(files, bytes, c.Index);
      ASSERT_EQ(r.Code, kOk);
      EXPECT_EQ(r.Image.Desc.W, s.W);
      EXPECT_EQ(r.Image.Desc.H, s.H);
      EXPECT_EQ(r.Image.Desc.Bpp, c.Bpp);
      EXPECT_EQ(r.Image.Data, image.Data);
      EXPECT_EQ(r.Image.Palette, image.Palette);
    }
  }
}

// A PCX header holds a plane line's bytes in 16 bits, rounded up to an even count: the widest
// lines that fit are written and read back, one more pixel is refused before anything is
// written.
TEST(BitmapFmtRoundTrip, WidestPcxLines) {
  struct {
    int Bpp, Widest;
  } cases[] = {{8, 65534}, {24, 65534}, {4, 65535}};
  TMemFiles files;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bpp);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteTo(files, kPcx, Pattern(c.Widest, 2, c.Bpp), "", &bytes), kOk);
    TReading r = ReadBytes(files, bytes, kPcx);
    ASSERT_EQ(r.Code, kOk);
    EXPECT_EQ(r.Image.Desc.W, c.Widest);
    if (c.Widest < 65535) {
      EXPECT_EQ(WriteTo(files, kPcx, Pattern(c.Widest + 1, 2, c.Bpp), "", &bytes), kBadSize);
      EXPECT_TRUE(bytes.empty());
    }
  }
}

// A 1-bit image comes back black-and-white; which bits are set depends on the options.
TEST(BitmapFmtRoundTrip, OneBitImages) {
  struct {
    int Index;
    TRgb First, Second;  // the palette given to the writer
    const char* Write;
    const char* Read;
    bool Inverted;  // the bits read are the inverse of those written
  } cases[] = {
      {kPcx, kBlack, kWhite, "", "", false},
      {kPcx, kWhite, kBlack, "", "", true},
      {kPcx, {200, 0, 0}, {0, 90, 0}, "", "", true},  // brightness 6000 against 5400
      {kPcx, {0, 90, 0}, {200, 0, 0}, "", "", false},
      {kBmp, kBlack, kWhite, "", "", false},
      {kBmp, kWhite, kBlack, "", "", false},
      {kBmp, kBlack, kWhite, "inv", "inv", false},
      {kBmp, kBlack, kWhite, "1.1", "", false},
      {kBmp, kBlack, kWhite, "invb", "", true},
      {kBmp, kBlack, kWhite, "", "invb", true},
      {kBmp, kBlack, kWhite, "invb", "invb", false},
      {kBmp, kBlack, kWhite, "darkfg", "", true},
      {kBmp, kWhite, kBlack, "darkfg", "", false},
      {kBmp, kBlack, kWhite, "lightfg", "", false},
      {kBmp, kWhite, kBlack, "lightfg", "", true},
      {kBmp, kWhite, kWhite, "lightfg", "", true},  // equal entries: not darker
      {kBmp, kBlack, kWhite, "darkfg invb", "", false},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Index << " '" << c.Write << "' '" << c.Read << "'");
    TImage image = Pattern(37, 5, 1);
    image.Palette = {c.First, c.Second};
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteTo(files, c.Index, image, c.Write, &bytes), kOk);
    TReading r = ReadBytes(files, bytes, c.Index, c.Read);
    ASSERT_EQ(r.Code, kOk);
    EXPECT_EQ(r.Image.Data, c.Inverted ? InvertedBits(image) : image.Data);
    const std::vector<TRgb> blackWhite{kBlack, kWhite};
    EXPECT_EQ(r.Image.Palette, blackWhite);
  }
}

// The palette a BMP file holds for a 1-bit image, and how reading treats it.
TEST(BitmapFmtRoundTrip, OneBitBmpPaletteIsExchanged) {
  TMemFiles files;
  TImage image = Pattern(8, 2, 1);
  image.Palette = {kBlack, kWhite};
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteTo(files, kBmp, image, "", &bytes), kOk);
  EXPECT_EQ(bytes[54], 255);  // entry 0 white, entry 1 black
  EXPECT_EQ(bytes[58], 0);
  EXPECT_EQ(ReadBytes(files, bytes, kBmp, "inv").Image.Palette,
            (std::vector<TRgb>{kWhite, kBlack}));
  ASSERT_EQ(WriteTo(files, kBmp, image, "inv", &bytes), kOk);
  EXPECT_EQ(bytes[54], 0);
  EXPECT_EQ(bytes[58], 255);
}

// Targa stores 24-bit pixels in 16 bits with five bits a colour; reading widens them again.
TEST(BitmapFmtRoundTrip, TargaSixteenBits) {
  TMemFiles files;
  TImage image = Pattern(19, 6, 24);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteTo(files, kTga, image, "16 ydown", &bytes), kOk);
  EXPECT_EQ(bytes[16], 16);
  EXPECT_EQ(bytes[17] & 0x20, 0x20);
  TReading r = ReadBytes(files, bytes, kTga);
  ASSERT_EQ(r.Code, kOk);
  ASSERT_EQ(r.Image.Data.size(), image.Data.size());
  const int64_t stride = RowBytes(19, 24);
  for (int y = 0; y < 6; ++y) {
    for (int i = 0; i < 19 * 3; ++i) {
      const uint8_t v = image.Data[y * stride + i] >> 3;
      EXPECT_EQ(r.Image.Data[y * stride + i], (v << 3) | (v >> 2)) << y << " " << i;
    }
  }
}

TEST(BitmapFmtRoundTrip, ConflictingOptionsGive3) {
  struct {
    int Index;
    int Bpp;
    const char* Write;
  } cases[] = {
      {kTga, 24, "16 24"},         {kTga, 24, "24 32"},  {kTga, 24, "16 32"},
      {kTga, 24, "yup ydown"},     {kTga, 8, "24"},      {kTga, 8, "16"},
      {kTga, 8, "yup,ydown"},      {kBmp, 8, "1.1 win"}, {kBmp, 24, "2.0 1.1"},
      {kBmp, 1, "darkfg lightfg"},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteTo(files, c.Index, Pattern(4, 4, c.Bpp), c.Write, &bytes), kBadOption)
        << c.Index << " " << c.Write;
    EXPECT_TRUE(bytes.empty());
  }
  std::vector<uint8_t> bytes;
  EXPECT_EQ(WriteTo(files, kBmp, Pattern(4, 4, 8), "win 2.0", &bytes), kOk);
}

// What the writers put in the files, beyond what reading back shows.
TEST(BitmapFmtRoundTrip, WrittenLayout) {
  TMemFiles files;
  std::vector<uint8_t> bytes;

  TImage bmp = Pattern(3, 2, 8);
  ASSERT_EQ(WriteTo(files, kBmp, bmp, "1.1", &bytes), kOk);
  EXPECT_EQ(bytes.size(), 14u + 12 + 256 * 3 + 2 * 4);
  EXPECT_EQ(bytes[14], 12);
  EXPECT_EQ(bytes[10] | (bytes[11] << 8), 14 + 12 + 768);
  ASSERT_EQ(WriteTo(files, kBmp, bmp, "", &bytes), kOk);
  EXPECT_EQ(bytes.size(), 14u + 40 + 256 * 4 + 2 * 4);
  EXPECT_EQ(bytes[2] | (bytes[3] << 8), static_cast<int>(bytes.size()));

  // A PCX line of 200 bytes of 7 then one byte of 200: runs of at most 63, the lone byte of 200
  // as a run of one; lines padded to an even length.
  TImage pcx = Pattern(201, 1, 8);
  std::fill(pcx.Data.begin(), pcx.Data.begin() + 200, 7);
  pcx.Data[200] = 200;
  ASSERT_EQ(WriteTo(files, kPcx, pcx, "", &bytes), kOk);
  EXPECT_EQ(bytes[1], 5);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[65], 1);
  EXPECT_EQ(bytes[66], 202);
  const std::vector<uint8_t> coded(bytes.begin() + 128, bytes.end() - 769);
  const std::vector<uint8_t> expected{0xff, 7, 0xff, 7, 0xff, 7, 0xcb, 7, 0xc1, 200, 0};
  EXPECT_EQ(coded, expected);
  EXPECT_EQ(bytes[bytes.size() - 769], 12);

  TImage rgb = Pattern(5, 2, 24);
  ASSERT_EQ(WriteTo(files, kPcx, rgb, "", &bytes), kOk);
  EXPECT_EQ(bytes[3], 8);
  EXPECT_EQ(bytes[65], 3);

  TImage sixteen = Pattern(5, 2, 4);
  ASSERT_EQ(WriteTo(files, kPcx, sixteen, "", &bytes), kOk);
  EXPECT_EQ(bytes[3], 1);
  EXPECT_EQ(bytes[65], 4);
}

}  // namespace
