#include <gtest/gtest.h>

#include <cstring>

#include "dibunit.h"
#include "testdata.h"

namespace {

std::unique_ptr<TDIB> Patterned(int32_t w, int32_t h, uint8_t type) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(w, h, type, 300, 150);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t i = 0; i < dib->LineBytes(); ++i)
      dib->Lines(y)[i] = static_cast<uint8_t>(y * 31 + i * 7);
  }
  if (dib->ColorCount() > 0) dib->SetPaletteEntry(1, 0x00C0FFEE);
  return dib;
}

TMemoryStream Saved(TDIB& dib) {
  TMemoryStream s;
  dib.SaveToStream(s);
  s.SetPosition(0);
  return s;
}

// A BMP file image from raw parts, for the refusals.
struct TBmpBytes {
  win32::BITMAPFILEHEADER file{win32::kBitmapSignature, 0, 0, 0, 0};
  win32::BITMAPINFOHEADER info{40, 4, 2, 1, 8, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> palette = std::vector<uint8_t>(1024, 0);
  std::vector<uint8_t> rows = std::vector<uint8_t>(8, 0x55);
  bool fixSizes = true;

  TMemoryStream Stream() {
    if (fixSizes) {
      file.bfOffBits = static_cast<uint32_t>(54 + palette.size());
      file.bfSize = static_cast<uint32_t>(file.bfOffBits + rows.size());
    }
    TMemoryStream s;
    s.WriteBuffer(&file, 14);
    s.WriteBuffer(&info, 40);
    s.WriteBuffer(palette.data(), static_cast<int64_t>(palette.size()));
    s.WriteBuffer(rows.data(), static_cast<int64_t>(rows.size()));
    s.SetPosition(0);
    return s;
  }
};

TEST(BMP, SaveWritesTheFileImage) {
  struct {
    uint8_t type;
    int32_t prefix;
  } cases[] = {{pt1bit, 62}, {pt4bit, 118}, {pt8bit, 1078}, {pt24bit, 54}};
  for (auto c : cases) {
    auto dib = Patterned(10, 10, c.type);
    TMemoryStream s = Saved(*dib);
    ASSERT_EQ(s.Size(), c.prefix + 10 * dib->Stride());
    const uint8_t* b = s.Memory();
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    uint32_t fileSize, offBits;
    std::memcpy(&fileSize, b + 2, 4);
    std::memcpy(&offBits, b + 10, 4);
    EXPECT_EQ(fileSize, static_cast<uint32_t>(s.Size()));
    EXPECT_EQ(offBits, static_cast<uint32_t>(c.prefix));
    EXPECT_EQ(std::memcmp(b + 14, dib->Memory(), dib->BlockSize()), 0);
  }
  auto one = Patterned(10, 10, pt1bit);
  EXPECT_EQ(Saved(*one).Size(), 102);
}

TEST(BMP, RoundTripIsByteExact) {
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    for (int32_t w : {1, 7, 33, 64}) {
      auto dib = Patterned(w, 5, type);
      TMemoryStream s = Saved(*dib);
      TDIB back;
      back.LoadFromStream(s);
      ASSERT_EQ(back.BlockSize(), dib->BlockSize());
      EXPECT_EQ(std::memcmp(back.Memory(), dib->Memory(), dib->BlockSize()), 0);
      EXPECT_EQ(back.PixelType(), type);
      EXPECT_EQ(back.XResolution(), 300);
      EXPECT_EQ(back.YResolution(), 150);
      EXPECT_EQ(s.Position(), s.Size());
    }
  }
}

TEST(BMP, LoadsFromTheMiddleOfAStream) {
  auto dib = Patterned(9, 4, pt8bit);
  TMemoryStream s;
  s.WriteBuffer("reply-head", 10);
  dib->SaveToStream(s);
  s.WriteBuffer("tail", 4);
  s.SetPosition(10);
  EXPECT_TRUE(IsBMP(s));
  EXPECT_EQ(s.Position(), 10);
  TDIB back;
  back.LoadFromStream(s);
  EXPECT_EQ(std::memcmp(back.Memory(), dib->Memory(), dib->BlockSize()), 0);
  EXPECT_EQ(s.Position(), s.Size() - 4);
}

TEST(BMP, SignatureTestsNeverMoveTheStream) {
  TMemoryStream s;
  s.WriteBuffer("xxMM\x00\x2a", 6);
  s.SetPosition(2);
  EXPECT_FALSE(IsBMP(s));
  EXPECT_TRUE(IsTIFF(s));
  EXPECT_FALSE(IsPNG(s));
  EXPECT_EQ(s.Position(), 2);
}

TEST(BMP, ShortPalettesAndGapsBecomeThePackedLayout) {
  TBmpBytes bytes;
  bytes.info.biBitCount = 8;
  bytes.palette.assign(8, 0);  // two entries, and the header says so
  bytes.info.biClrUsed = 2;
  bytes.palette[0] = 0x11;
  bytes.palette[4] = 0x22;
  TMemoryStream s = bytes.Stream();
  TDIB dib;
  dib.LoadBMP(s);
  EXPECT_EQ(dib.BlockSize(), 1064 + 8);
  EXPECT_EQ(dib.GetPaletteEntry(0), 0x11u);
  EXPECT_EQ(dib.GetPaletteEntry(1), 0x22u);
  EXPECT_EQ(dib.GetPaletteEntry(2), 0u);
  EXPECT_EQ(dib.GetPixel(3, 1), 0x55);
  EXPECT_EQ(uint32_t{dib.FileHeader().bfOffBits}, 1078u);
  EXPECT_EQ(dib.Header()->biClrUsed, 256u);  // whoever reads the block finds the rows

  TBmpBytes gap;  // a 24-bit file with 12 bytes between header and rows
  gap.info.biBitCount = 24;
  gap.info.biWidth = 1;
  gap.palette.assign(12, 0xEE);
  gap.rows = {1, 2, 3, 0, 4, 5, 6, 0};
  TMemoryStream g = gap.Stream();
  dib.LoadFromStream(g);
  EXPECT_EQ(dib.BlockSize(), 48);
  EXPECT_EQ(dib.GetPixel(0, 1), 0x010203);  // the bottom row is stored first
  EXPECT_EQ(dib.GetPixel(0, 0), 0x040506);
  TMemoryStream again = Saved(dib);
  EXPECT_EQ(again.Size(), 62);

  dib.FreeImage();
  TMemoryStream none;
  EXPECT_THROW(dib.SaveToStream(none), Exception);
  EXPECT_EQ(none.Size(), 0);
}

TEST(BMP, RefusalsLeaveTheObjectEmpty) {
  struct Case {
    const char* name;
    void (*spoil)(TBmpBytes&);
    const char* text;
  } cases[] = {
      {"signature", [](TBmpBytes& b) { b.file.bfType = 0x4D49; }, "Invalid bitmap file !"},
      {"header size", [](TBmpBytes& b) { b.info.biSize = 108; }, "header size"},
      {"planes", [](TBmpBytes& b) { b.info.biPlanes = 2; }, "planes"},
      {"bit count", [](TBmpBytes& b) { b.info.biBitCount = 16; }, "bits per pixel"},
      {"compression", [](TBmpBytes& b) { b.info.biCompression = 1; }, "compression"},
      {"top-down", [](TBmpBytes& b) { b.info.biHeight = -2; }, "top-down"},
      {"zero width", [](TBmpBytes& b) { b.info.biWidth = 0; }, "size"},
      {"huge", [](TBmpBytes& b) { b.info.biWidth = 65536; }, "Image size not allowed"},
      {"too large", [](TBmpBytes& b) { b.info.biWidth = b.info.biHeight = 40000; },
       "Image too large"},
      {"file size",
       [](TBmpBytes& b) {
         b.fixSizes = false;
         b.file.bfOffBits = 1078;
         b.file.bfSize = 1080;
       },
       "file size"},
      {"bits offset",
       [](TBmpBytes& b) {
         b.fixSizes = false;
         b.file.bfOffBits = 20;
         b.file.bfSize = 1086;
       },
       "bits offset"},
      {"truncated",
       [](TBmpBytes& b) {
         b.rows.resize(3);
         b.fixSizes = false;
         b.file.bfOffBits = 1078;
         b.file.bfSize = 1086;
       },
       "truncated"},
  };
  for (const Case& c : cases) {
    TBmpBytes bytes;
    c.spoil(bytes);
    TMemoryStream s = bytes.Stream();
    TDIB dib;
    dib.NewImage(3, 3, pt8bit, 0, 0);
    try {
      dib.LoadBMP(s);
      ADD_FAILURE() << c.name;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos)
          << c.name << ": " << e.what();
    }
    EXPECT_TRUE(dib.Empty()) << c.name;
  }
}

// Every outside BMP file either loads as a sound page or is refused with a message.
TEST(BMP, OutsideFiles) {
  std::vector<std::string> files = TestDataFiles("bmp");
  if (files.empty()) GTEST_SKIP() << "../shared/testdata/bmp is absent";
  int loaded = 0;
  for (const std::string& file : files) {
    if (file.size() < 4 || file.substr(file.size() - 4) != ".bmp") continue;
    std::vector<unsigned char> bytes = ReadFileBytes(file);
    TMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TDIB dib;
    try {
      if (!IsBMP(s)) continue;
      dib.LoadBMP(s);
      ++loaded;
      EXPECT_GT(dib.Width(), 0) << file;
      EXPECT_EQ(dib.BlockSize(), 40 + 4 * dib.ColorCount() + dib.Height() * dib.Stride());
      // Touch the last pixel of the first and last rows.
      dib.GetPixel(dib.Width() - 1, 0);
      dib.GetPixel(dib.Width() - 1, dib.Height() - 1);
    } catch (const Exception& e) {
      EXPECT_GT(std::strlen(e.what()), 5u) << file;
      EXPECT_TRUE(dib.Empty()) << file;
    }
  }
  EXPECT_GT(loaded, 20);
}

}  // namespace
