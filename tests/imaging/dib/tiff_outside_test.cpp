// Every TIFF file from outside: it loads, or it is refused with one of the reader's messages.
// A loaded page is checked against libtiff's own RGBA rendering of the same page, so that
// pixel type, palette and polarity are seen to give the picture the file holds.
#include <gtest/gtest.h>

#include "dibunit.h"
#include "testdata.h"
#include "tiffstream.h"

namespace {

const char* const kMessages[] = {
    "TIFFOpen",
    "TIFFGetField: Tag = ",
    "TIFFGetField3: Tag = ",
    "TIFFReadEncodedStrip",
    "TIFFReadScanline",
    "TIFFReadRGBAImage",
    "Unsupported bit count: ",
    "TIFFSetDirectory: Page = ",
    "Image size not allowed",
    "Image too large",
    "TIFF strip too large",
    "TIFFScanlineSize",
    "TIFF strips or tiles lie beyond the end of the file",
    "TIFF JPEG data are corrupt or end early",
};

bool IsReaderMessage(const std::string& text) {
  for (const char* m : kMessages) {
    if (text.rfind(m, 0) == 0) return true;
  }
  return false;
}

TMemoryStream FileStream(const std::string& path) {
  std::vector<unsigned char> bytes = ReadFileBytes(path);
  return TMemoryStream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// The colour of a page pixel as red + green * 256 + blue * 65536.
int32_t ColourOf(const TDIB& dib, int32_t x, int32_t y) {
  int32_t value = dib.GetPixel(x, y);
  if (dib.PixelType() == pt24bit) return value;
  uint32_t entry = dib.GetPaletteEntry(value);
  return static_cast<int32_t>(((entry >> 16) & 0xFF) | (entry & 0xFF00) | ((entry & 0xFF) << 16));
}

// Pixels that differ from libtiff's rendering; -1 when there is nothing to compare with:
// libtiff cannot render the page, its rows are not stored top row first, or it is a CCITT
// page marked min-is-black, which the reader takes as min-is-white on purpose. Colour maps
// may differ by one level: libtiff scales 16-bit entries by 256, the reader by 65535 / 255.
int64_t DifferencesFromLibtiff(const TDIB& dib, TMemoryStream& s) {
  s.SetPosition(0);
  tiffstream::TTIFFHandle tif = tiffstream::TIFFStreamOpen(s, tiffstream::tmRead);
  uint16_t orientation = 1, photometric = 0, compression = 1, samples = 1;
  TIFFGetField(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &compression);
  bool ccitt = compression == 2 || compression == 3 || compression == 4 || compression == 32771;
  if (orientation != 1 || (ccitt && photometric == 1)) return -1;
  // libtiff premultiplies by an alpha sample; the reader drops it.
  if (photometric == PHOTOMETRIC_RGB && samples > 3) return -1;
  int32_t w = dib.Width(), h = dib.Height();
  if (int64_t{w} * h > 4'000'000) return -1;  // keeps the test fast
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  if (TIFFReadRGBAImage(tif.get(), w, h, raster.data(), 1) != 1) return -1;
  int64_t differences = 0;
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* row = raster.data() + static_cast<size_t>(h - 1 - y) * w;
    for (int32_t x = 0; x < w; ++x) {
      int32_t ours = ColourOf(dib, x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(((ours >> shift) & 0xFF) - static_cast<int>((row[x] >> shift) & 0xFF)) > 1) {
          ++differences;
          break;
        }
      }
    }
  }
  return differences;
}

struct TExpectation {
  const char* file;
  uint8_t type;         // 0: refused
  int32_t dpi;          // -1: not checked
  const char* message;  // the refusal's start
};

const TExpectation kExpected[] = {
    {"commons-imaging/1pagefax.tif", pt1bit, 204, nullptr},
    {"libtiffpic/jim___dg.tif", pt8bit, 125, nullptr},  // min-is-white
    {"libtiffpic/jim___ah.tif", pt1bit, 300, nullptr},
    {"pillow/hopper_g4.tif", pt1bit, 96, nullptr},   // 37.79 per centimetre
    {"libtiffpic/strike.tif", pt24bit, 3, nullptr},  // unit "none": taken as centimetres
    {"pillow/hopper4I.tif", pt4bit, -1, nullptr},
    {"pillow/hopper2.tif", 0, -1, "Unsupported bit count: 2"},
    {"image-tiff/minisblack-1c-3b.tiff", 0, -1, "Unsupported bit count: 3"},
    {"image-tiff/extra_bits_gray_8b.tiff", 0, -1, "Unsupported bit count: 16"},
    {"pillow/libtiff_segfault.tif", 0, -1, ""},
    {"pillow/multipage.tiff", pt1bit, -1, nullptr},  // 1-bit palette
    {"commons-imaging/IndexColorPaletteTiled.tif", pt24bit, -1, nullptr},
    {"zigimg/sample-pal8-raw.tiff", pt8bit, 72, nullptr},
    {"libtiffpic/ladoga.tif", pt24bit, -1, nullptr},  // 16-bit gray
    {"image-tiff/no_rows_per_strip.tiff", pt24bit, -1, nullptr},
    {"libtiffpic/quad-jpeg.tif", pt24bit, -1, nullptr},
    {"image-tiff/fax4.tiff", pt1bit, -1, nullptr},  // G4 marked min-is-black
};

TEST(TIFFOutside, EveryFileLoadsOrIsRefused) {
  std::vector<std::string> files = TestDataFiles("tiff");
  if (files.empty()) GTEST_SKIP() << "no outside TIFF files in ../shared/testdata/tiff";
  int loaded = 0, compared = 0, matched = 0;
  for (const std::string& path : files) {
    TMemoryStream s = FileStream(path);
    if (!IsTIFF(s)) continue;
    SCOPED_TRACE(path);
    TDIB dib;
    std::string refusal;
    try {
      dib.LoadFromStream(s);
      ++loaded;
    } catch (const Exception& e) {
      refusal = e.what();
      EXPECT_TRUE(IsReaderMessage(refusal)) << refusal;
      EXPECT_TRUE(dib.Empty());
    }
    if (refusal.empty()) {
      int64_t differences = DifferencesFromLibtiff(dib, s);
      if (differences >= 0) {
        ++compared;
        EXPECT_EQ(differences, 0) << "pixels unlike libtiff's rendering";
      }
    }
    for (const TExpectation& e : kExpected) {
      if (!path.ends_with(std::string("/") + e.file)) continue;
      ++matched;
      if (e.type == 0) {
        EXPECT_EQ(refusal.rfind(e.message, 0), 0u) << refusal;
        continue;
      }
      ASSERT_EQ(refusal, "");
      EXPECT_EQ(dib.PixelType(), e.type);
      if (e.dpi >= 0) {
        EXPECT_EQ(dib.XResolution(), e.dpi);
      }
    }
  }
  EXPECT_EQ(matched, static_cast<int>(std::size(kExpected)));
  EXPECT_GT(loaded, 100);
  EXPECT_GT(compared, 80);
}

TEST(TIFFOutside, PagesOfAMultiPageFile) {
  std::string dir = TestDataDir();
  if (dir.empty()) GTEST_SKIP() << "no ../shared/testdata";
  TMemoryStream s = FileStream(dir + "/tiff/pillow/multipage.tiff");
  EXPECT_EQ(TDIB::PageCountFromStream(s), 3);
  TDIB dib;
  s.SetPosition(0);
  dib.LoadFromStream(s, 2);
  EXPECT_FALSE(dib.Empty());
  s.SetPosition(0);
  EXPECT_THROW(dib.LoadFromStream(s, 3), Exception);
  // An IFD chain that loops ends the count instead of running forever.
  TMemoryStream loop = FileStream(dir + "/tiff/pillow/multipage_multiple_frame_loop.tiff");
  EXPECT_LE(TDIB::PageCountFromStream(loop), 3);
}

}  // namespace
