// Outside PCX, Targa and BMP files read with the bitmap format module.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "bitmapfmt.h"
#include "bitmapfmt_images.h"
#include "gfx_png.h"
#include "testdata.h"

using namespace bitmapfmt;

namespace {

TReading ReadFile(const std::string& path, const char* options = "") {
  TReading r;
  int index = 0;
  r.Code = GuessFormat(path.c_str(), &index);
  if (r.Code != kOk) return r;
  TBitmapIo io = CurrentIo();
  const int handle = io.Open(path);
  if (handle < 0) return r;
  r = ReadAll(handle, index, options);
  io.Close(handle);
  return r;
}

// The pixels as colours, top row first.
std::vector<TRgb> Rendered(const TImage& image) {
  const TBitmapDesc& d = image.Desc;
  const int64_t stride = RowBytes(d.W, d.Bpp);
  std::vector<TRgb> out;
  for (int y = d.H - 1; y >= 0; --y) {
    const uint8_t* row = image.Data.data() + y * stride;
    for (int x = 0; x < d.W; ++x) {
      switch (d.Bpp) {
        case 1:
          out.push_back(image.Palette[(row[x / 8] >> (7 - x % 8)) & 1]);
          break;
        case 4:
          out.push_back(image.Palette[(x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4]);
          break;
        case 8:
          out.push_back(image.Palette[row[x]]);
          break;
        default:
          out.push_back({row[3 * x + 2], row[3 * x + 1], row[3 * x]});
      }
    }
  }
  return out;
}

// The colours of a PNG file, top row first.
std::vector<TRgb> PngColours(const std::string& path) {
  TMemoryStream stream(ReadFileBytes(path));
  TPNGImage png;
  png.LoadFromStream(stream);
  const uint8_t format = png.PixelFormat();
  const std::vector<TPNGColor>& palette = png.Palette();
  auto entry = [&](unsigned i) {
    const TPNGColor c = palette.at(i);
    return TRgb{c.Red, c.Green, c.Blue};
  };
  std::vector<TRgb> out;
  for (int y = 0; y < png.Height(); ++y) {
    const uint8_t* row = png.ScanLine(y);
    for (int x = 0; x < png.Width(); ++x) {
      switch (format) {
        case pf1bit:
          out.push_back(entry((row[x / 8] >> (7 - x % 8)) & 1));
          break;
        case pf4bit:
          out.push_back(entry((x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4));
          break;
        case pf8bit:
          out.push_back(entry(row[x]));
          break;
        default:
          out.push_back({row[3 * x + 2], row[3 * x + 1], row[3 * x]});
      }
    }
  }
  return out;
}

std::string Relative(const std::string& path) {
  return path.substr(TestDataDir().size() + 1);
}

// Files that must be refused, with their code; every other file of a known extension must read.
const std::map<std::string, int> kRefused = {
    {"bmp/bmpsuite-2.8/b/badbitcount.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/b/badheadersize.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/b/badplanes.bmp", kBmpPlanesNot1},
    {"bmp/bmpsuite-2.8/b/badwidth.bmp", kBadSize},
    {"bmp/bmpsuite-2.8/b/reallybig.bmp", kBadSize},
    {"bmp/bmpsuite-2.8/b/rgb16-880.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/b/rletopdown.bmp", kBadSize},
    {"bmp/bmpsuite-2.8/b/shortfile.bmp", kReadError},
    {"bmp/bmpsuite-2.8/g/pal8v4.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/g/pal8v5.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/g/rgb16-565.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb16-565pal.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb16.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb16bfdef.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb32.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb32bf.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/g/rgb32bfdef.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/pal1huffmsb.bmp", kBmpCompression},
    {"bmp/bmpsuite-2.8/q/pal2.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/pal2color.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb16-231.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb16-3103.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb16faketrns.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb24jpeg.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgb24lprof.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgb24png.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgb24rle24.bmp", kBmpCompression},
    {"bmp/bmpsuite-2.8/q/rgb32-111110.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb32-7187.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb32-xbgr.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgb32fakealpha.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgb32h52.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgba16-1924.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba16-4444.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba16-5551.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32-1.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32-1010102.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32-2.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32-61754.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32-81284.bmp", kBmpCbFix},
    {"bmp/bmpsuite-2.8/q/rgba32abf.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgba32h56.bmp", kBmpBitCount},
    {"bmp/bmpsuite-2.8/q/rgba64.bmp", kBmpBitCount},
    {"bmp/commons-imaging/V4-bitfields.bmp", kBmpCbFix},
    {"bmp/leptonica/weasel2.4c.bmp", kBmpCbFix},
    {"bmp/win1x-ddb/16.bmp", kBadMagic},
    {"bmp/win1x-ddb/2.bmp", kBadMagic},
    {"bmp/win1x-ddb/256.bmp", kBadMagic},
    {"bmp/zigimg/simple_v4.bmp", kBmpCbFix},
    {"pcx/commons-imaging/1plane1bppUncompressed.pcx", kPcxEncoding},
    {"pcx/commons-imaging/1plane24bppCompressed.pcx", kPcxPlanes},
    {"pcx/commons-imaging/1plane2bppCompressed.pcx", kPcxPlanes},
    {"pcx/commons-imaging/1plane32bppCompressed.pcx", kPcxPlanes},
    {"pcx/commons-imaging/1plane8bppUncompressed.pcx", kPcxEncoding},
    {"pcx/commons-imaging/2plane1bppCompressed.pcx", kPcxPlanes},
    {"pcx/commons-imaging/3plane1bppCompressed.pcx", kPcxPlanes},
    {"pcx/commons-imaging/3plane8bppUncompressed.pcx", kPcxEncoding},
    {"pcx/kde/dice_rgba.pcx", kPcxPlanes},
    {"pcx/pillow/01r_00.pcx", kBadSize},  // 88 pixels in lines of 12 bytes
    {"pcx/pillow/ossfuzz-4836216264589312.pcx", kPcxEncoding},
    {"tga/kde/colormapped.tga", kTgaColorMapEntry},
    {"tga/pillow/common/200x32_la_bl_raw.tga", kTgaCompression},
    {"tga/pillow/common/200x32_la_bl_rle.tga", kTgaCompression},
    {"tga/pillow/common/200x32_la_tl_raw.tga", kTgaCompression},
    {"tga/pillow/common/200x32_la_tl_rle.tga", kTgaCompression},
    {"tga/pillow/cross_scan_line_truncated.tga", kReadError},
    {"tga/pillow/la.tga", kTgaCompression},
    {"tga/pillow/p_16.tga", kTgaColorMapEntry},
    {"tga/pillow/p_8.tga", kTgaColorMapEntry},
};

TEST(BitmapFmtTestData, EveryFileReadsOrIsRefusedWithItsCode) {
  std::vector<std::string> paths;
  for (const char* sub : {"pcx", "tga", "bmp"})
    for (const std::string& path : TestDataFiles(sub)) paths.push_back(path);
  if (paths.empty()) GTEST_SKIP() << "no outside PCX, Targa or BMP files in ../shared/testdata";
  int read = 0;
  for (const std::string& path : paths) {
    int index = 0;
    if (GuessFormat(path.c_str(), &index) != kOk) continue;
    const std::string name = Relative(path);
    SCOPED_TRACE(name);
    const TReading r = ReadFile(path);
    auto refused = kRefused.find(name);
    if (refused != kRefused.end()) {
      EXPECT_EQ(r.Code, refused->second) << ErrorText(r.Code);
      continue;
    }
    ASSERT_EQ(r.Code, kOk) << ErrorText(r.Code);
    const TBitmapDesc& d = r.Image.Desc;
    EXPECT_EQ(r.Image.Data.size(), static_cast<size_t>(RowBytes(d.W, d.Bpp) * d.H));
    EXPECT_EQ(r.Image.Palette.size(), d.Bpp == 24 ? 0u : size_t{1} << d.Bpp);
    ++read;
  }
  EXPECT_GT(read, 80);
}

// Files that hold one picture in several variants (orientation, run-length coding, headers,
// formats) must give the same colours.
TEST(BitmapFmtTestData, VariantsOfOnePictureAgree) {
  const std::vector<std::vector<std::string>> groups = {
      {"tga/pillow/common/200x32_rgb_bl_raw.tga", "tga/pillow/common/200x32_rgb_bl_rle.tga",
       "tga/pillow/common/200x32_rgb_tl_raw.tga", "tga/pillow/common/200x32_rgb_tl_rle.tga"},
      {"tga/pillow/common/200x32_rgba_bl_raw.tga", "tga/pillow/common/200x32_rgba_bl_rle.tga",
       "tga/pillow/common/200x32_rgba_tl_raw.tga", "tga/pillow/common/200x32_rgba_tl_rle.tga"},
      {"tga/pillow/common/200x32_l_bl_raw.tga", "tga/pillow/common/200x32_l_bl_rle.tga",
       "tga/pillow/common/200x32_l_tl_raw.tga", "tga/pillow/common/200x32_l_tl_rle.tga"},
      {"tga/pillow/common/200x32_p_bl_raw.tga", "tga/pillow/common/200x32_p_bl_rle.tga",
       "tga/pillow/common/200x32_p_tl_raw.tga", "tga/pillow/common/200x32_p_tl_rle.tga"},
      {"tga/kde/rgb-gimp-2.8.10-bottom-left.tga", "tga/kde/rgb-gimp-2.8.10-top-left.tga",
       "tga/kde/rgb-gimp-2.8.10-rle-bottom-left.tga", "tga/kde/rgb-gimp-2.8.10-rle-top-left.tga"},
      {"tga/commons-imaging/Oregon Scientific DS6639 - DSC_0307 - small.tga",
       "pcx/commons-imaging/Oregon Scientific DS6639 - DSC_0307 - small.pcx"},
      {"bmp/bmpsuite-2.8/g/pal8.bmp", "bmp/bmpsuite-2.8/g/pal8rle.bmp",
       "bmp/bmpsuite-2.8/g/pal8os2.bmp", "bmp/bmpsuite-2.8/g/pal8topdown.bmp",
       "bmp/bmpsuite-2.8/g/pal8-0.bmp", "bmp/bmpsuite-2.8/q/pal8os2v2.bmp",
       "bmp/bmpsuite-2.8/q/pal8os2v2-16.bmp", "bmp/bmpsuite-2.8/q/pal8offs.bmp",
       "bmp/bmpsuite-2.8/q/pal8oversizepal.bmp", "bmp/bmpsuite-2.8/x/ba-bm.bmp"},
      {"bmp/bmpsuite-2.8/g/pal4.bmp", "bmp/bmpsuite-2.8/g/pal4rle.bmp"},
  };
  if (TestDataDir().empty()) GTEST_SKIP() << "no ../shared/testdata";
  for (const auto& group : groups) {
    const TReading first = ReadFile(TestDataDir() + "/" + group[0]);
    ASSERT_EQ(first.Code, kOk) << group[0];
    const std::vector<TRgb> expected = Rendered(first.Image);
    for (size_t i = 1; i < group.size(); ++i) {
      const TReading other = ReadFile(TestDataDir() + "/" + group[i]);
      ASSERT_EQ(other.Code, kOk) << group[i];
      EXPECT_TRUE(Rendered(other.Image) == expected) << group[i] << " differs from " << group[0];
    }
  }
}

// Files that come with their expected pixels as PNG (without transparency).
TEST(BitmapFmtTestData, PixelsLikeTheirReference) {
  const char* const names[] = {
      "pcx/kde/16color",
      "pcx/kde/indexed4",
      "pcx/kde/indexed8",
      "pcx/kde/mono",
      "pcx/kde/rgb",
      "tga/kde/bw",
      "tga/kde/rgb16",
      "tga/kde/rgb-gimp-2.8.10-bottom-left",
      "tga/kde/rgb-gimp-2.8.10-top-left",
      "tga/kde/rgb-gimp-2.8.10-rle-bottom-left",
      "tga/kde/rgb-gimp-2.8.10-rle-top-left",
      "tga/pillow/common/1x1_l",
      "tga/pillow/common/200x32_l",
      "tga/pillow/common/200x32_p",
      "tga/pillow/common/200x32_rgb",
  };
  if (TestDataDir().empty()) GTEST_SKIP() << "no ../shared/testdata";
  for (const std::string name : names) {
    const std::string base = TestDataDir() + "/" + name;
    const bool tga = name.rfind("tga/", 0) == 0;
    const std::string file = tga && name.find("pillow") != std::string::npos
                                 ? base + "_tl_raw.tga"
                                 : base + (tga ? ".tga" : ".pcx");
    const TReading r = ReadFile(file);
    ASSERT_EQ(r.Code, kOk) << file;
    EXPECT_TRUE(Rendered(r.Image) == PngColours(base + ".png")) << file;
  }
}

// These three files differ only in their descriptor byte, so the pictures are mirror images:
// pixels right to left, and rows top-down as well.
TEST(BitmapFmtTestData, TargaPixelOrder) {
  if (TestDataDir().empty()) GTEST_SKIP() << "no ../shared/testdata";
  const TReading plain = ReadFile(TestDataDir() + "/tga/pillow/rgb32rle.tga");
  const TReading right = ReadFile(TestDataDir() + "/tga/pillow/rgb32rle_bottom_right.tga");
  const TReading topRight = ReadFile(TestDataDir() + "/tga/pillow/rgb32rle_top_right.tga");
  ASSERT_EQ(plain.Code, kOk);
  ASSERT_EQ(right.Code, kOk);
  ASSERT_EQ(topRight.Code, kOk);
  const int w = plain.Image.Desc.W;
  const std::vector<TRgb> colours = Rendered(plain.Image);
  std::vector<TRgb> mirrored = colours;
  for (size_t row = 0; row < colours.size(); row += w)
    std::reverse(mirrored.begin() + row, mirrored.begin() + row + w);
  EXPECT_TRUE(Rendered(right.Image) == mirrored);
  const std::vector<TRgb> turned(colours.rbegin(), colours.rend());
  EXPECT_TRUE(Rendered(topRight.Image) == turned);
  EXPECT_FALSE(turned == colours);
}

}  // namespace
