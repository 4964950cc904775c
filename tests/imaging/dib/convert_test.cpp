#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dibunit.h"

namespace {

uint32_t Noise(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

int32_t BitsOf(uint8_t type) {
  return type == pt1bit ? 1 : type == pt4bit ? 4 : type == pt8bit ? 8 : 24;
}

// A page of pseudo-random pixels; the 4-bit page gets a palette whose grays are not 16 x i,
// and every padding byte is dirty so that a conversion that reads it shows.
std::unique_ptr<TDIB> NoisyPage(uint8_t type, int32_t width, int32_t height) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(width, height, type, 300, 150);
  dib->Fill(0xA5);
  uint32_t state = 12345u + width * 31u + type;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t r = Noise(state);
      // Plenty of zeros and extremes, which the 1-bit targets separate.
      if (r % 5 == 0) r = 0;
      if (r % 7 == 0) r = 0xFFFFFFFF;
      dib->SetPixel(
          x, y, static_cast<int32_t>(r & (type == pt24bit ? 0xFFFFFF : (1u << BitsOf(type)) - 1)));
    }
  if (type == pt4bit) {
    for (int32_t i = 0; i < 16; ++i)
      dib->SetPaletteEntry(i, 0x000000u | (i * 3) | (i * 5) << 8 | (i * 13) << 16);
  }
  return dib;
}

int32_t Gray24(int32_t color) {
  int32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return static_cast<int32_t>(std::nearbyint((30 * r + 59 * g + 11 * b) / 100.0));
}

// The pixel value the conversion must give, from the source pixel value.
int32_t Expected(const TDIB& source, uint8_t from, uint8_t to, int32_t v) {
  int32_t gray;  // the value as an 8-bit gray step would see it
  switch (from) {
    case pt1bit:
      gray = v != 0 ? 255 : 0;
      break;
    case pt4bit: {
      uint32_t e = source.GetPaletteEntry(v);
      gray = static_cast<int32_t>(((e & 0xFF) + ((e >> 8) & 0xFF) + ((e >> 16) & 0xFF)) / 3);
      if (to == pt1bit) return v != 0 ? 1 : 0;
      if (to == pt24bit) return 16 * v * 0x010101;
      break;
    }
    case pt8bit:
      gray = v;
      break;
    default:
      gray = Gray24(v);
  }
  switch (to) {
    case pt1bit:
      return gray > 0 ? 1 : 0;
    case pt4bit:
      return from == pt1bit ? (v != 0 ? 15 : 0) : gray >> 4;
    case pt8bit:
      return gray;
    default:
      return gray * 0x010101;
  }
}

void ExpectStandardPalette(const TDIB& dib) {
  switch (dib.PixelType()) {
    case pt1bit:
      EXPECT_EQ(dib.GetPaletteEntry(0), 0u);
      EXPECT_EQ(dib.GetPaletteEntry(1), 0xFFFFFFu);
      break;
    case pt4bit:
      for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(dib.GetPaletteEntry(i), 17 * i * 0x010101u);
      break;
    case pt8bit:
      for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(dib.GetPaletteEntry(i), i * 0x010101u);
      break;
    default:
      break;
  }
}

struct PathCase {
  uint8_t from;
  uint8_t to;
  int32_t width;
};

class ConvertPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ConvertPath, KeepsTheHandleAndEveryPixel) {
  const PathCase& c = GetParam();
  const int32_t height = 5;
  auto source = NoisyPage(c.from, c.width, height);
  auto dib = source->Duplicate();
  win32::HGLOBAL handle = dib->Handle();
  dib->ConvertPixelType(c.to);

  ASSERT_EQ(dib->PixelType(), c.to);
  EXPECT_EQ(dib->Handle(), handle);
  EXPECT_EQ(dib->LockCount(), 1);
  EXPECT_EQ(dib->Width(), c.width);
  EXPECT_EQ(dib->Height(), height);
  EXPECT_EQ(dib->BitCount(), BitsOf(c.to));
  EXPECT_EQ(dib->XResolution(), 300);
  EXPECT_EQ(dib->YResolution(), 150);
  TDIBLayout layout;
  TDIB::LayoutForType(c.width, height, c.to, layout);
  EXPECT_EQ(dib->BlockSize(), layout.BlockSize);
  EXPECT_EQ(win32::GlobalSize(handle), static_cast<size_t>(layout.BlockSize));
  EXPECT_EQ(dib->Header()->biSizeImage, static_cast<uint32_t>(height * layout.Stride));
  EXPECT_EQ(dib->Header()->biClrUsed, static_cast<uint32_t>(dib->ColorCount()));
  EXPECT_EQ(dib->Header()->biClrImportant, static_cast<uint32_t>(dib->ColorCount()));
  EXPECT_EQ(uint32_t{dib->FileHeader().bfOffBits}, 0u);  // packed member: copy it
  ExpectStandardPalette(*dib);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < c.width; ++x) {
      int32_t v = source->GetPixel(x, y);
      ASSERT_EQ(dib->GetPixel(x, y), Expected(*source, c.from, c.to, v))
          << "pixel " << x << "," << y << " source " << v;
    }
}

std::vector<PathCase> AllPaths() {
  std::vector<PathCase> cases;
  const uint8_t types[] = {pt1bit, pt4bit, pt8bit, pt24bit};
  for (uint8_t from : types)
    for (uint8_t to : types)
      if (from != to)
        for (int32_t width : {1, 2, 3, 7, 8, 9, 31, 32, 33, 700})
          cases.push_back({from, to, width});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ConvertPath, ::testing::ValuesIn(AllPaths()),
                         [](const auto& info) {
                           return "from" + std::to_string(info.param.from) + "_to" +
                                  std::to_string(info.param.to) + "_width" +
                                  std::to_string(info.param.width);
                         });

TEST(ConvertPixelType, OneBitLinesComeBackThroughEightBitsWithCleanTails) {
  auto source = NoisyPage(pt1bit, 13, 4);
  auto dib = source->Duplicate();
  dib->ConvertPixelType(pt8bit);
  dib->ConvertPixelType(pt1bit);
  for (int32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(dib->Lines(y)[0], source->Lines(y)[0]);
    EXPECT_EQ(dib->Lines(y)[1], source->Lines(y)[1] & 0xF8);  // bits after the last pixel 0
  }
}

TEST(ConvertPixelType, EightToFourToTwentyFourScalesLikeThePalettes) {
  TDIB dib;
  dib.NewImage(2, 1, pt8bit, 300, 300);
  dib.SetPixel8(0, 0, 255);
  dib.SetPixel8(1, 0, 16);
  dib.ConvertPixelType(pt4bit);
  EXPECT_EQ(dib.GetPixel4(0, 0), 15);
  EXPECT_EQ(dib.GetPaletteEntry(15), 0xFFFFFFu);
  dib.ConvertPixelType(pt24bit);
  EXPECT_EQ(dib.GetPixel24(0, 0), 240 * 0x010101);
  EXPECT_EQ(dib.GetPixel24(1, 0), 16 * 0x010101);
}

TEST(ConvertPixelType, CurrentTypeDoesNothingAndUnknownTypesRaise) {
  auto dib = NoisyPage(pt8bit, 5, 3);
  std::vector<uint8_t> before(static_cast<const uint8_t*>(dib->Memory()),
                              static_cast<const uint8_t*>(dib->Memory()) + dib->BlockSize());
  auto unchanged = [&] {
    return std::memcmp(before.data(), dib->Memory(), before.size()) == 0 &&
           dib->PixelType() == pt8bit;
  };
  dib->ConvertPixelType(pt8bit);
  EXPECT_TRUE(unchanged());
  for (uint8_t bad : {0, 4, 5, 7, 255}) {
    try {
      dib->ConvertPixelType(bad);
      ADD_FAILURE() << "type " << int{bad} << " accepted";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Function not available :-(");
    }
    EXPECT_TRUE(unchanged());
  }
}

TEST(ConvertPixelType, PageOfAnUnmappedBitCountIsLeftAlone) {
  TDIB source;
  source.NewImage(10, 10, pt8bit, 300, 300);
  source.Header()->biBitCount = 16;
  source.Header()->biClrUsed = 0;
  TDIB dib;
  dib.TakeImage(source);
  ASSERT_EQ(dib.BitCount(), 16);
  for (uint8_t type : {pt1bit, pt4bit, pt24bit}) {
    dib.ConvertPixelType(type);
    EXPECT_EQ(dib.BitCount(), 16);
  }
}

TEST(ConvertPixelType, EmptyObjectStaysEmpty) {
  TDIB dib;
  dib.ConvertPixelType(pt1bit);
  EXPECT_TRUE(dib.Empty());
}

struct GrayCase {
  uint32_t bgr;  // stored bytes blue, green, red as 0xBBGGRR read as a pixel value
  bool weighted, red, green, blue;
  int32_t gray;
};

class RGBToGrayCase : public ::testing::TestWithParam<GrayCase> {};

TEST_P(RGBToGrayCase, GivesTheGray) {
  const GrayCase& c = GetParam();
  TDIB dib;
  dib.NewImage(3, 1, pt24bit, 300, 300);
  for (int32_t x = 0; x < 3; ++x) dib.SetPixel24(x, 0, static_cast<int32_t>(c.bgr));
  dib.RGBToGray(c.weighted, c.red, c.green, c.blue);
  ASSERT_EQ(dib.PixelType(), pt8bit);
  ExpectStandardPalette(dib);
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(dib.GetPixel8(x, 0), c.gray);
}

// Pixel values are red + green * 256 + blue * 65536.
INSTANTIATE_TEST_SUITE_P(
    Channels, RGBToGrayCase,
    ::testing::Values(GrayCase{0xFF0000, true, true, true, true, 28},   // pure blue
                      GrayCase{0x00FF00, true, true, true, true, 150},  // pure green
                      GrayCase{0x0000FF, true, true, true, true, 76},   // pure red, 76.5
                      GrayCase{0xFFFFFF, true, true, true, true, 255},
                      GrayCase{0x646464, true, true, true, true, 100},
                      GrayCase{0x0000FF, true, true, true, false, 76},    // red and green only
                      GrayCase{0xFF00FF, true, true, true, false, 76},    // blue not counted
                      GrayCase{0x0000FF, false, true, true, true, 85},    // (255 + 0 + 0) / 3
                      GrayCase{0x0000FF, false, true, true, false, 128},  // 127.5 to even
                      GrayCase{0x000001, false, true, true, false, 0},    // 0.5 to even
                      GrayCase{0x030000, false, false, false, true, 3}));

TEST(RGBToGray, RaisesWithoutChannelsOrOnOtherTypes) {
  TDIB dib;
  dib.NewImage(3, 1, pt24bit, 300, 300);
  try {
    dib.RGBToGray(true, false, false, false);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to convert RGB to Gray without one channel selected !");
  }
  EXPECT_EQ(dib.PixelType(), pt24bit);
  TDIB gray;
  gray.NewImage(3, 1, pt8bit, 300, 300);
  try {
    gray.RGBToGray(true, true, true, true);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "This operation requires 24 bit per pixel bitmap !");
  }
}

// ---- ScaleToGray ----

// A 1-bit page with the first Counts[o] pixels of box o (boxes Box wide, one box high) set.
std::unique_ptr<TDIB> BoxPage(const std::vector<int32_t>& counts, int32_t box) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(static_cast<int32_t>(counts.size()) * box, box, pt1bit, 300, 200);
  for (size_t o = 0; o < counts.size(); ++o)
    for (int32_t k = 0; k < counts[o]; ++k)
      dib->SetPixel1(static_cast<int32_t>(o) * box + k % box, k / box, 1);
  return dib;
}

TEST(ScaleToGray, QuarterSizeBoxesGiveSixteenCountsMinusOne) {
  std::vector<int32_t> counts = {0, 1, 2, 5, 8, 15, 16, 3};
  auto page = BoxPage(counts, 4);
  auto gray = page->ScaleToGray(256, 25);
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(gray->PixelType(), pt8bit);
  EXPECT_EQ(gray->Width(), 8);
  EXPECT_EQ(gray->Height(), 1);
  EXPECT_EQ(gray->XResolution(), 300);  // not scaled
  EXPECT_EQ(gray->YResolution(), 200);
  for (size_t o = 0; o < counts.size(); ++o)
    EXPECT_EQ(gray->GetPixel8(static_cast<int32_t>(o), 0), counts[o] == 0 ? 0 : 16 * counts[o] - 1);
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(gray->GetPaletteEntry(i), i * 0x010101u);
}

TEST(ScaleToGray, EighthSizeAndSixteenLevels) {
  std::vector<int32_t> counts = {0, 1, 33, 64};
  auto page = BoxPage(counts, 8);
  auto gray = page->ScaleToGray(256, 12.5);
  ASSERT_NE(gray, nullptr);
  for (size_t o = 0; o < counts.size(); ++o)
    EXPECT_EQ(gray->GetPixel8(static_cast<int32_t>(o), 0), counts[o] == 0 ? 0 : 4 * counts[o] - 1);

  std::vector<int32_t> small = {0, 1, 2, 9, 16};
  auto page4 = BoxPage(small, 4);
  auto gray4 = page4->ScaleToGray(16, 25);
  ASSERT_NE(gray4, nullptr);
  EXPECT_EQ(gray4->PixelType(), pt4bit);
  for (size_t o = 0; o < small.size(); ++o)
    EXPECT_EQ(gray4->GetPixel4(static_cast<int32_t>(o), 0), small[o] == 0 ? 0 : small[o] - 1);
  for (uint32_t i = 0; i < 16; ++i)
    EXPECT_EQ(gray4->GetPaletteEntry(i), std::min(255u, 17 * i) * 0x010101u);
}

// Straight from the box definition, one pixel at a time.
std::vector<int32_t> ReferenceScale(const TDIB& page, int32_t levels, double percent) {
  double step = 100 / percent;
  int32_t q = std::min(static_cast<int32_t>(step + 0.5), 8);
  int32_t w = Round(page.Width() / 100.0 * percent), h = Round(page.Height() / 100.0 * percent);
  std::vector<int32_t> out;
  for (int32_t oy = 0; oy < h; ++oy)
    for (int32_t ox = 0; ox < w; ++ox) {
      int32_t x0 = std::min(Round(ox * step), page.Width() - 1),
              x1 = std::min(x0 + q - 1, page.Width() - 1);
      int32_t y0 = std::min(Round(oy * step), page.Height() - 1),
              y1 = std::min(y0 + q - 1, page.Height() - 1);
      int32_t c = 0;
      for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x) c += page.GetPixel1(x, y);
      int32_t i = 0;
      while (i < levels - 1 && c > (i + 1) * (q * q / static_cast<double>(levels))) ++i;
      out.push_back(i);
    }
  return out;
}

TEST(ScaleToGray, BoxesAcrossBytesAndClippedAtTheEdgesMatchTheDefinition) {
  auto page = NoisyPage(pt1bit, 53, 37);
  for (auto [levels, percent] : {std::pair{256, 20.0},
                                 {256, 25.0},
                                 {16, 30.0},
                                 {64, 12.5},
                                 {256, 10.0},
                                 {100, 33.3},
                                 {256, 1.0}}) {
    auto gray = page->ScaleToGray(levels, percent);
    ASSERT_NE(gray, nullptr);
    std::vector<int32_t> want = ReferenceScale(*page, levels, percent);
    std::vector<int32_t> got;
    for (int32_t y = 0; y < gray->Height(); ++y)
      for (int32_t x = 0; x < gray->Width(); ++x) got.push_back(gray->GetPixel(x, y));
    EXPECT_EQ(got, want) << levels << " levels at " << percent << " %";
  }
}

TEST(ScaleToGray, OutOfRangeArgumentsAreClamped) {
  auto page = NoisyPage(pt1bit, 40, 30);
  auto same = page->ScaleToGray(256, 150);
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->Width(), 40);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(same->GetPixel8(x, y), page->GetPixel1(x, y) * 255);
  auto tiny0 = page->ScaleToGray(256, 0);
  auto tinyNaN = page->ScaleToGray(256, std::nan(""));
  auto tiny1 = page->ScaleToGray(256, 1);
  ASSERT_TRUE(tiny0 && tinyNaN && tiny1);
  EXPECT_EQ(tiny0->Width(), tiny1->Width());
  EXPECT_EQ(tinyNaN->Height(), tiny1->Height());
  auto two = page->ScaleToGray(2, 25);
  auto four = page->ScaleToGray(4, 25);
  ASSERT_TRUE(two && four);
  EXPECT_EQ(two->PixelType(), pt4bit);
  EXPECT_EQ(std::memcmp(two->Memory(), four->Memory(), four->BlockSize()), 0);
  auto seventeen = page->ScaleToGray(17, 25);
  ASSERT_NE(seventeen, nullptr);
  EXPECT_EQ(seventeen->GetPaletteEntry(16), 0xFFFFFFu);
}

TEST(ScaleToGray, PaletteWithWhiteAtZeroMakesFullBoxesBlack) {
  auto page = BoxPage({16, 0}, 4);
  page->SetPaletteEntry(0, 0xFFFFFF);
  page->SetPaletteEntry(1, 0);
  auto gray = page->ScaleToGray(256, 25);
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(gray->GetPaletteEntry(gray->GetPixel8(0, 0)), 0u);
  EXPECT_EQ(gray->GetPaletteEntry(gray->GetPixel8(1, 0)), 0xFFFFFFu);
  auto seventeen = page->ScaleToGray(17, 25);
  EXPECT_EQ(seventeen->GetPaletteEntry(16), 0u);
}

TEST(ScaleToGray, RequiresOneBitAndLeavesThePageAlone) {
  auto gray = NoisyPage(pt8bit, 8, 8);
  try {
    gray->ScaleToGray(256, 25);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "This operation requires 1 bit per pixel bitmap !");
  }
  auto page = NoisyPage(pt1bit, 9, 9);
  auto copy = page->Duplicate();
  auto result = page->ScaleToGray(256, 25);
  EXPECT_EQ(std::memcmp(page->Memory(), copy->Memory(), page->BlockSize()), 0);
}

TEST(ScaleToGray, ResultsThatRoundToNoPixels) {
  auto page = NoisyPage(pt1bit, 1, 1);
  auto gray = page->ScaleToGray(256, 25);
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(gray->Width(), 0);
  EXPECT_EQ(gray->Height(), 0);
}

}  // namespace
