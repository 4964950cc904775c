// PNG pages loaded into the page object, and pages loaded from the middle of a stream.
#include <gtest/gtest.h>

#include "dibunit.h"
#include "gfx_png.h"
#include "png_testfiles.h"

namespace {

std::vector<uint8_t> EncodedPage(uint8_t Format, int32_t XDPI, int32_t YDPI) {
  TPNGImage png;
  png.NewBitmap(11, 3, Format);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t i = 0; i < png.Stride(); ++i) png.ScanLine(y)[i] = static_cast<uint8_t>(y + 3 * i);
  }
  std::vector<TPNGColor> palette = png.Palette();
  if (!palette.empty()) palette[0] = {1, 2, 3};
  png.SetPalette(palette);
  png.Chunks().First<TChunkPHYS>()->SetXDPI(XDPI);
  png.Chunks().First<TChunkPHYS>()->SetYDPI(YDPI);
  TMemoryStream s;
  png.SaveToStream(s);
  return s.Bytes();
}

TEST(PngPage, RowsPaletteAndResolution) {
  struct {
    uint8_t format;
    uint8_t type;
  } cases[] = {{pf1bit, pt1bit}, {pf4bit, pt4bit}, {pf8bit, pt8bit}, {pf24bit, pt24bit}};
  for (auto c : cases) {
    SCOPED_TRACE(int(c.format));
    TMemoryStream s(EncodedPage(c.format, 300, 200));
    TDIB page;
    page.LoadFromStream(s);
    ASSERT_EQ(page.PixelType(), c.type);
    EXPECT_EQ(page.Width(), 11);
    EXPECT_EQ(page.Height(), 3);
    EXPECT_EQ(page.XResolution(), 300);
    EXPECT_EQ(page.YResolution(), 200);
    for (int32_t y = 0; y < 3; ++y) {
      for (int32_t i = 0; i < page.LineBytes(); ++i) {
        EXPECT_EQ(page.Lines(y)[i], static_cast<uint8_t>(y + 3 * i));
      }
    }
    if (page.ColorCount() > 0) {
      EXPECT_EQ(page.GetPaletteEntry(0), 0x00010203u);
      // The codec's gray ramp of 2, 16 or 256 levels.
      uint32_t level = c.type == pt1bit ? 255 : c.type == pt4bit ? 17 : 1;
      EXPECT_EQ(page.GetPaletteEntry(1), level * 0x010101u);
    }
  }
}

TEST(PngPage, WithoutPHYsTheResolutionIsZero) {
  TMemoryStream s(TPngFile().IHDR(2, 2, 8, 0).IDAT({0, 1, 2, 0, 3, 4}).IEND().Bytes);
  TDIB page;
  page.LoadFromStream(s);
  EXPECT_EQ(page.XResolution(), 0);
  EXPECT_EQ(page.YResolution(), 0);
  EXPECT_EQ(page.GetPixel(1, 1), 4);
  EXPECT_TRUE(page.HasGrayPalette());
}

// A stream holding some other data, then the page.
TMemoryStream AfterPrefix(const std::vector<uint8_t>& Page, int64_t& Start) {
  std::vector<uint8_t> bytes{'R', 'E', 'P', 'L', 'Y', 0, 0, 0, 9};
  Start = static_cast<int64_t>(bytes.size());
  bytes.insert(bytes.end(), Page.begin(), Page.end());
  TMemoryStream s(bytes);
  s.SetPosition(Start);
  return s;
}

TEST(PngPage, PagesAreReadFromTheMiddleOfAStream) {
  int64_t start = 0;
  TMemoryStream png = AfterPrefix(EncodedPage(pf8bit, 200, 200), start);
  TDIB page;
  page.LoadFromStream(png);
  EXPECT_EQ(page.Width(), 11);
  EXPECT_EQ(page.Lines(2)[4], 14);

  TMemoryStream bmp;
  page.SaveToStream(bmp);
  TMemoryStream afterBmp = AfterPrefix(bmp.Bytes(), start);
  TDIB fromBmp;
  fromBmp.LoadFromStream(afterBmp);
  EXPECT_EQ(fromBmp.Width(), 11);
  EXPECT_EQ(std::memcmp(fromBmp.Memory(), page.Memory(), page.BlockSize()), 0);

  // Each signature test looks at the position and leaves it there.
  struct {
    std::vector<uint8_t> bytes;
    bool png, bmp;
  } cases[] = {{EncodedPage(pf8bit, 200, 200), true, false},
               {bmp.Bytes(), false, true},
               {{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}, false, false}};
  for (const auto& c : cases) {
    TMemoryStream s = AfterPrefix(c.bytes, start);
    EXPECT_EQ(IsPNG(s), c.png);
    EXPECT_EQ(s.Position(), start);
    EXPECT_EQ(IsBMP(s), c.bmp);
    EXPECT_EQ(s.Position(), start);
    EXPECT_FALSE(IsTIFF(s));
    EXPECT_EQ(s.Position(), start);
  }
}

TEST(PngPage, AFailedLoadLeavesThePageEmpty) {
  std::vector<uint8_t> file = EncodedPage(pf24bit, 100, 100);
  file.resize(file.size() - 20);
  TMemoryStream s(file);
  TDIB page;
  page.NewImage(3, 3, pt1bit, 0, 0);
  EXPECT_THROW(page.LoadFromStream(s), EPNGImageException);
  EXPECT_TRUE(page.Empty());
}

}  // namespace
