#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "dibunit.h"
#include "fullstream.h"
#include "tiff_fixture.h"
#include "tiffstream.h"

namespace {

std::unique_ptr<TDIB> Patterned(int32_t w, int32_t h, uint8_t type) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(w, h, type, 300, 200);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t i = 0; i < dib->LineBytes(); ++i) {
      // Smooth enough for JPEG, varied enough to catch swapped or shifted bytes.
      dib->Lines(y)[i] = static_cast<uint8_t>(
          type == pt1bit || type == pt4bit ? y * 31 + i * 7 : 40 + y * 3 + (i % 3) * 50 + i / 3);
    }
  }
  return dib;
}

TMemoryStream Written(TDIB& dib, uint8_t compression, int32_t rowsPerStrip = 16) {
  TMemoryStream s;
  dib.SaveTIFFToStream(s, false, compression, rowsPerStrip);
  s.SetPosition(0);
  return s;
}

// A tag of the first directory, read while the file is open (Use copies what it needs).
template <typename T, typename TUse>
auto Tag(TMemoryStream& s, uint32_t tag, TUse Use) {
  s.SetPosition(0);
  tiffstream::TTIFFHandle tif = tiffstream::TIFFStreamOpen(s, tiffstream::tmRead);
  EXPECT_TRUE(tif);
  T value{};
  tiffstream::TIFFGetField(tif.get(), tag, &value);
  s.SetPosition(0);
  return Use(value);
}

template <typename T>
T Tag(TMemoryStream& s, uint32_t tag) {
  return Tag<T>(s, tag, [](T v) { return v; });
}

std::string TextTag(TMemoryStream& s, uint32_t tag) {
  return Tag<const char*>(s, tag, [](const char* v) { return std::string(v); });
}

// Largest difference between two pages' pixels (per channel for 24 bits).
int MaxRowDifference(const TDIB& a, const TDIB& b) {
  int worst = 0;
  for (int32_t y = 0; y < a.Height(); ++y) {
    for (int32_t x = 0; x < a.Width(); ++x) {
      int32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        worst = std::max(worst, std::abs(((p >> shift) & 0xFF) - ((q >> shift) & 0xFF)));
      }
    }
  }
  return worst;
}

uint32_t FirstStripOffset(TMemoryStream& s) {
  return Tag<uint32_t*>(s, TIFFTAG_STRIPOFFSETS, [](uint32_t* v) { return v[0]; });
}

void ExpectLoadFails(TMemoryStream s, const std::string& message, int32_t page = 0) {
  TDIB dib;
  try {
    dib.LoadFromStream(s, page);
    ADD_FAILURE() << "loaded, expected: " << message;
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, message.size()), message);
  }
  EXPECT_TRUE(dib.Empty());
}

// ---- Writing ----

// The last strip and the directory reach the stream only at the end of the write: a stream
// that refuses them fails the save instead of leaving a file that will not open.
TEST(TIFFWrite, AStreamThatFillsUpFailsTheSave) {
  auto dib = Patterned(45, 21, pt8bit);
  for (int64_t limit : {8, 100, 1000}) {
    TFullStream s(limit);
    EXPECT_THROW(dib->SaveTIFFToStream(s, false, 1, 16), Exception) << limit;
  }
}

TEST(TIFFWrite, EveryCodeRoundTripsOnEveryTypeItsCodecTakes) {
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    for (uint8_t code = 0; code <= 9; ++code) {
      SCOPED_TRACE("type " + std::to_string(type) + " code " + std::to_string(code));
      auto dib = Patterned(45, 21, type);
      bool ccitt = code >= 3 && code <= 5;
      bool jpeg = code == 7 || (code == 0 && (type == pt8bit || type == pt24bit));
      if ((ccitt && type != pt1bit) || (code == 7 && (type == pt1bit || type == pt4bit))) {
        TMemoryStream s;
        EXPECT_THROW(
            {
              try {
                dib->SaveTIFFToStream(s, false, code, 16);
              } catch (const Exception& e) {
                EXPECT_STREQ(e.what(), "TIFFWriteScanLine");
                throw;
              }
            },
            Exception);
        continue;
      }
      TMemoryStream s = Written(*dib, code);
      TDIB back;
      back.LoadFromStream(s);
      ASSERT_EQ(back.PixelType(), type);
      ASSERT_EQ(back.Width(), 45);
      ASSERT_EQ(back.Height(), 21);
      EXPECT_EQ(back.XResolution(), 300);
      EXPECT_EQ(back.YResolution(), 200);
      EXPECT_LE(MaxRowDifference(*dib, back), jpeg ? 12 : 0);
    }
  }
}

TEST(TIFFWrite, CompressionAndPhotometricFollowTheCode) {
  struct {
    uint8_t type, code;
    uint16_t compression, photometric;
  } cases[] = {
      {pt1bit, 0, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE},
      {pt1bit, 2, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK},
      {pt1bit, 3, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE},
      {pt1bit, 4, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE},
      {pt1bit, 8, COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK},
      {pt1bit, 42, COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK},
      {pt4bit, 0, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK},
      {pt8bit, 0, COMPRESSION_JPEG, PHOTOMETRIC_MINISBLACK},
      {pt8bit, 6, COMPRESSION_DEFLATE, PHOTOMETRIC_MINISBLACK},
      {pt24bit, 0, COMPRESSION_JPEG, PHOTOMETRIC_RGB},
      {pt24bit, 1, COMPRESSION_NONE, PHOTOMETRIC_RGB},
  };
  for (auto c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " code " + std::to_string(c.code));
    auto dib = Patterned(16, 8, c.type);
    TMemoryStream s = Written(*dib, c.code);
    EXPECT_EQ(Tag<uint16_t>(s, TIFFTAG_COMPRESSION), c.compression);
    EXPECT_EQ(Tag<uint16_t>(s, TIFFTAG_PHOTOMETRIC), c.photometric);
  }
  auto dib = Patterned(16, 8, pt1bit);
  TMemoryStream s = Written(*dib, 4);
  EXPECT_EQ(Tag<uint32_t>(s, TIFFTAG_GROUP3OPTIONS), GROUP3OPT_2DENCODING);
}

TEST(TIFFWrite, RowsAreStoredAsThePhotometricSays) {
  // Uncompressed rows: min-is-black rows as stored, 24-bit rows as red, green, blue.
  auto one = Patterned(16, 2, pt1bit);
  TMemoryStream s = Written(*one, 1);
  uint32_t offset = FirstStripOffset(s);
  EXPECT_EQ(s.Memory()[offset], one->Lines(0)[0]);
  EXPECT_EQ(s.Memory()[offset + 2], one->Lines(1)[0]);

  TDIB color;
  color.NewImage(2, 1, pt24bit, 0, 0);
  color.SetPixel24(0, 0, 0x302010);  // red 0x10, green 0x20, blue 0x30
  TMemoryStream c = Written(color, 1);
  offset = FirstStripOffset(c);
  EXPECT_EQ(c.Memory()[offset], 0x10);
  EXPECT_EQ(c.Memory()[offset + 2], 0x30);
  EXPECT_EQ(color.Lines(0)[0], 0x30);  // the page itself is left as it was
}

TEST(TIFFWrite, RowsPerStrip) {
  auto dib = Patterned(16, 40, pt8bit);
  struct {
    uint8_t code;
    int32_t asked;
    uint32_t written;
  } cases[] = {{1, 16, 16}, {1, 5, 5}, {1, 0, 16}, {1, -3, 16}, {7, 16, 8}, {7, 0, 8}};
  for (auto c : cases) {
    TMemoryStream s = Written(*dib, c.code, c.asked);
    EXPECT_EQ(Tag<uint32_t>(s, TIFFTAG_ROWSPERSTRIP), c.written) << int(c.code) << " " << c.asked;
  }
}

TEST(TIFFWrite, SoftwareAndDateTime) {
  auto dib = Patterned(8, 8, pt8bit);
  TMemoryStream s = Written(*dib, 1);
  EXPECT_EQ(TextTag(s, TIFFTAG_SOFTWARE), "Dovantic Image Library");
  std::string when = TextTag(s, TIFFTAG_DATETIME);
  EXPECT_EQ(when.size(), 19u);
  EXPECT_TRUE(std::regex_match(when, std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)"))) << when;
  EXPECT_EQ(Tag<uint16_t>(s, TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
  EXPECT_FLOAT_EQ(Tag<float>(s, TIFFTAG_XRESOLUTION), 300.0f);
}

TEST(TIFFWrite, AppendingAddsPagesThatReadBack) {
  TMemoryStream s;
  for (int32_t i = 0; i < 3; ++i) {
    auto dib = Patterned(10 + i, 5, i == 1 ? pt24bit : pt1bit);
    dib->SaveTIFFToStream(s, i > 0, 0, 16);
    s.SetPosition(0);
    EXPECT_EQ(TDIB::PageCountFromStream(s), i + 1);
  }
  TDIB page;
  s.SetPosition(0);
  page.LoadFromStream(s, 1);
  EXPECT_EQ(page.Width(), 11);
  EXPECT_EQ(page.PixelType(), pt24bit);
  s.SetPosition(0);
  page.LoadFromStream(s, 2);
  EXPECT_EQ(page.Width(), 12);
  s.SetPosition(0);
  ExpectLoadFails(std::move(s), "TIFFSetDirectory: Page = 3 is past the last page", 3);
}

TEST(TIFFWrite, FilesAndPageCounts) {
  std::string dir = testing::TempDir() + "/clarivo_tiff_files";
  std::filesystem::create_directories(dir);
  std::string tif = dir + "/pages.tif";
  std::filesystem::remove(tif);
  auto dib = Patterned(20, 10, pt1bit);
  dib->SaveTIFF(tif, true, 0, 16);  // append to a file that is not there: a new file
  EXPECT_EQ(TDIB::PageCount(tif), 1);
  dib->SaveTIFF(tif, true, 2, 16);
  dib->SaveTIFF(tif, true, 0, 16);
  EXPECT_EQ(TDIB::PageCount(tif), 3);
  dib->SaveTIFF(tif, false, 0, 16);
  EXPECT_EQ(TDIB::PageCount(tif), 1);

  dib->SaveToFile(dir + "/page.bmp");
  EXPECT_EQ(TDIB::PageCount(dir + "/page.bmp"), 1);
  auto gray = Patterned(20, 10, pt8bit);
  gray->SaveJPEG(dir + "/page.jpg", false, 80);
  EXPECT_EQ(TDIB::PageCount(dir + "/page.jpg"), 1);
  TMemoryStream png(std::vector<uint8_t>{137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13});
  png.SaveToFile(dir + "/page.png");
  EXPECT_EQ(TDIB::PageCount(dir + "/page.png"), 1);
  std::filesystem::remove_all(dir);
}

TEST(TIFFWrite, AppendToSomethingThatIsNoTIFF) {
  TMemoryStream s(std::vector<uint8_t>(64, 7));
  auto dib = Patterned(8, 8, pt8bit);
  EXPECT_THROW(dib->SaveTIFFToStream(s, true, 1, 16), Exception);
  TMemoryStream junk(std::vector<uint8_t>{'M', 'M', 1, 2, 3});
  EXPECT_THROW(TDIB::PageCountFromStream(junk), Exception);
}

// ---- Reading: layouts, palettes and polarity ----

TEST(TIFFRead, LayoutsBecomeTheirPixelTypes) {
  struct {
    const char* name;
    uint16_t bits, samples, photometric;
    uint8_t type;
    bool inverted;
    const char* error;
  } cases[] = {
      {"1-bit min-is-black", 1, 1, 1, pt1bit, false, nullptr},
      {"1-bit min-is-white", 1, 1, 0, pt1bit, true, nullptr},
      {"4-bit min-is-black", 4, 1, 1, pt4bit, false, nullptr},
      {"4-bit min-is-white", 4, 1, 0, pt4bit, true, nullptr},
      {"8-bit min-is-black", 8, 1, 1, pt8bit, false, nullptr},
      {"8-bit min-is-white", 8, 1, 0, pt8bit, true, nullptr},
      {"RGB", 8, 3, 2, pt24bit, false, nullptr},
      // Scanlines longer than the page's rows: only the page's line length is taken.
      {"4 bits x 2 samples", 4, 2, 1, pt4bit, false, nullptr},
      {"1 bit x 8 samples", 1, 8, 1, pt1bit, false, nullptr},
      {"2-bit", 2, 1, 1, 0, false, "Unsupported bit count: 2"},
      {"gray with alpha", 8, 2, 1, 0, false, "Unsupported bit count: 16"},
      {"8 bits x 5 samples", 8, 5, 1, 0, false, "Unsupported bit count: 40"},
  };
  const uint32_t w = 24, h = 5;
  for (auto c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t scanline = (w * c.bits * c.samples + 7) / 8;
    TMemoryStream s = RawPage(w, h, c.bits, c.samples, c.photometric, scanline).Stream();
    if (c.error != nullptr) {
      ExpectLoadFails(std::move(s), c.error);
      continue;
    }
    TDIB dib;
    dib.LoadFromStream(s);
    ASSERT_EQ(dib.PixelType(), c.type);
    for (int32_t y = 0; y < 5; ++y) {
      if (c.type == pt24bit) {
        EXPECT_EQ(dib.GetPixel24(1, y), RawByte(y, 3) | RawByte(y, 4) << 8 | RawByte(y, 5) << 16);
        continue;
      }
      for (int32_t i = 0; i < dib.LineBytes(); ++i) {
        uint8_t raw = RawByte(y, i);
        ASSERT_EQ(dib.Lines(y)[i], c.inverted ? static_cast<uint8_t>(~raw) : raw) << y << " " << i;
      }
    }
    if (c.type == pt4bit) {
      for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(dib.GetPaletteEntry(i), 0x111111u * i);
    }
    if (c.type == pt1bit) {
      EXPECT_EQ(dib.GetPaletteEntry(0), 0u);
      EXPECT_EQ(dib.GetPaletteEntry(1), 0xFFFFFFu);
    }
  }
}

TEST(TIFFRead, ColorMaps) {
  auto map = [](int entries, uint16_t scale) {
    std::vector<uint16_t> m;
    for (int channel = 0; channel < 3; ++channel) {
      for (int i = 0; i < entries; ++i)
        m.push_back(static_cast<uint16_t>((i * 3 + channel * 5) * scale));
    }
    return m;
  };
  {  // 8-bit indices, a 16-bit map: scaled to 0..255
    TTiffBytes t = RawPage(8, 2, 8, 1, 3, 8);
    t.Short(320, map(256, 257));
    TMemoryStream s = t.Stream();
    TDIB dib;
    dib.LoadFromStream(s);
    ASSERT_EQ(dib.PixelType(), pt8bit);
    EXPECT_EQ(dib.Lines(1)[2], RawByte(1, 2));
    EXPECT_EQ(dib.GetPaletteEntry(10), 0x1E2328u);  // red 30, green 35, blue 40
  }
  {  // 4-bit indices, a map holding 8-bit values: the low bytes as they are
    TTiffBytes t = RawPage(8, 2, 4, 1, 3, 4);
    t.Short(320, map(16, 1));
    TMemoryStream s = t.Stream();
    TDIB dib;
    dib.LoadFromStream(s);
    ASSERT_EQ(dib.PixelType(), pt4bit);
    EXPECT_EQ(dib.GetPaletteEntry(15), 0x2D3237u);  // red 45, green 50, blue 55
  }
  {  // 1-bit indices stay a 1-bit page with the file's two colours
    TTiffBytes t = RawPage(16, 2, 1, 1, 3, 2);
    t.Short(320, {65535, 0, 65535, 0, 65535, 65535});  // white, blue
    TMemoryStream s = t.Stream();
    TDIB dib;
    dib.LoadFromStream(s);
    ASSERT_EQ(dib.PixelType(), pt1bit);
    EXPECT_EQ(dib.GetPaletteEntry(0), 0xFFFFFFu);
    EXPECT_EQ(dib.GetPaletteEntry(1), 0x0000FFu);
    EXPECT_EQ(dib.Lines(1)[1], RawByte(1, 1));
  }
}

TEST(TIFFRead, WithoutRowsPerStripTheImageIsOneStrip) {
  TTiffBytes t = RawPage(7, 40, 8, 1, 1, 7);
  t.Without(278);
  TMemoryStream s = t.Stream();
  TDIB dib;
  dib.LoadFromStream(s);
  for (int32_t y = 0; y < 40; ++y) ASSERT_EQ(dib.Lines(y)[3], RawByte(y, 3)) << y;
}

TEST(TIFFRead, Resolution) {
  struct {
    int unit;  // 0: no tag
    uint32_t numerator, denominator;
    bool present;
    int32_t dpi;
  } cases[] = {{2, 300, 1, true, 300},
               {3, 11811, 100, true, 300},
               {0, 150, 1, true, 150},
               {1, 100, 1, true, 254},
               {2, 0, 1, false, 0}};
  for (auto c : cases) {
    TTiffBytes t = RawPage(8, 1, 8, 1, 1, 8);
    if (c.unit != 0) t.Short(296, {static_cast<uint16_t>(c.unit)});
    if (c.present)
      t.Rational(282, c.numerator, c.denominator).Rational(283, c.numerator, c.denominator);
    TMemoryStream s = t.Stream();
    TDIB dib;
    dib.LoadFromStream(s);
    EXPECT_EQ(dib.XResolution(), c.dpi) << c.unit << " " << c.numerator;
    EXPECT_EQ(dib.YResolution(), c.dpi);
  }
}

TEST(TIFFRead, MissingTags) {
  ExpectLoadFails(RawPage(8, 1, 8, 1, 1, 8).Without(258).Stream(), "TIFFGetField: Tag = 258");
  // A CCITT page without BitsPerSample is 1 bit; without a photometric it is min-is-white.
  auto dib = Patterned(40, 12, pt1bit);
  TMemoryStream fax = Written(*dib, 5);
  TDIB back;
  back.LoadFromStream(fax);
  EXPECT_EQ(MaxRowDifference(*dib, back), 0);
}

// Pages that the whole-image path reads: libtiff's RGBA reader has already applied the
// photometric, so they come out as the stored picture, not its negative.
TEST(TIFFRead, WholeImagePathKeepsPolarity) {
  const uint32_t w = 32, h = 16;
  std::vector<uint8_t> gray(w * h);
  for (uint32_t i = 0; i < gray.size(); ++i)
    gray[i] = static_cast<uint8_t>(60 + (i % w) * 4 + i / w);
  auto setup = [&](uint16_t compression, uint16_t bits) {
    return [=](TIFF* tif) {
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
      TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    };
  };
  auto rows = [&](TIFF* tif) {
    for (uint32_t y = 0; y < h; ++y) TIFFWriteScanline(tif, gray.data() + y * w, y, 0);
  };
  TDIB plain, jpeg;
  TMemoryStream a = LibtiffFile(setup(COMPRESSION_NONE, 8), rows);
  plain.LoadFromStream(a);
  TMemoryStream b = LibtiffFile(setup(COMPRESSION_JPEG, 8), rows);
  jpeg.LoadFromStream(b);
  EXPECT_EQ(plain.Lines(3)[5], static_cast<uint8_t>(~gray[3 * w + 5]));
  EXPECT_LE(MaxRowDifference(plain, jpeg), 8);

  // 1-bit min-is-white in tiles.
  std::vector<uint8_t> tile(16 * 16 / 8);
  for (size_t i = 0; i < tile.size(); ++i) tile[i] = static_cast<uint8_t>(i * 29 + 3);
  TMemoryStream c = LibtiffFile(
      [&](TIFF* tif) {
        setup(COMPRESSION_NONE, 1)(tif);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
      },
      [&](TIFF* tif) {
        TIFFWriteTile(tif, tile.data(), 0, 0, 0, 0);
        TIFFWriteTile(tif, tile.data(), 16, 0, 0, 0);
      });
  TDIB tiled;
  tiled.LoadFromStream(c);
  ASSERT_EQ(tiled.PixelType(), pt1bit);
  for (int32_t y = 0; y < 16; ++y) {
    EXPECT_EQ(tiled.Lines(y)[0], static_cast<uint8_t>(~tile[y * 2])) << y;
    EXPECT_EQ(tiled.Lines(y)[3], static_cast<uint8_t>(~tile[y * 2 + 1])) << y;
  }
}

TEST(TIFFRead, TiledAndStrippedColourAgree) {
  auto dib = Patterned(32, 32, pt24bit);
  TMemoryStream strips = Written(*dib, 8);
  std::vector<uint8_t> rgb(16 * 16 * 3);
  TMemoryStream tiles = LibtiffFile(
      [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 32);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 32);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
      },
      [&](TIFF* tif) {
        for (int32_t ty = 0; ty < 32; ty += 16) {
          for (int32_t tx = 0; tx < 32; tx += 16) {
            for (int32_t y = 0; y < 16; ++y) {
              std::copy_n(dib->Lines(ty + y) + tx * 3, 48, rgb.begin() + y * 48);
              SwapRGBTriples(rgb.data() + y * 48, 48);
            }
            TIFFWriteTile(tif, rgb.data(), tx, ty, 0, 0);
          }
        }
      });
  TDIB a, b;
  a.LoadFromStream(strips);
  b.LoadFromStream(tiles);
  EXPECT_EQ(MaxRowDifference(*dib, a), 0);
  EXPECT_EQ(MaxRowDifference(*dib, b), 0);
}

TEST(TIFFRead, Group4MarkedMinIsBlackIsReadAsMinIsWhite) {
  std::vector<uint8_t> row = {0xF0, 0x0F, 0xAA, 0x55};
  TMemoryStream s = LibtiffFile(
      [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 32);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
      },
      [&](TIFF* tif) {
        for (uint32_t y = 0; y < 4; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
      });
  TDIB dib;
  dib.LoadFromStream(s);
  ASSERT_EQ(dib.PixelType(), pt1bit);
  EXPECT_EQ(dib.GetPaletteEntry(0), 0u);
  EXPECT_EQ(dib.Lines(2)[0], 0x0F);
  EXPECT_EQ(dib.Lines(2)[3], 0xAA);
}

TEST(TIFFRead, BitsPastARowsLastPixelAreClear) {
  // A fax decoder writes a row's pixels only; the bits after the last one must not bring
  // whatever the row buffer held into the page (the sanitizer's heap fills new blocks with a
  // pattern, so this fails there when the buffer is not cleared).
  auto dib = Patterned(45, 21, pt1bit);
  for (uint8_t code : {0, 3, 4}) {
    SCOPED_TRACE("code " + std::to_string(code));
    TMemoryStream s = Written(*dib, code);
    TDIB back;
    back.LoadFromStream(s);
    ASSERT_EQ(back.Width(), 45);
    // The three bits after pixel 44 are all alike (the decoder's fill, maybe inverted).
    for (int32_t y = 0; y < back.Height(); ++y) {
      int32_t past = back.Lines(y)[5] & 0x07;
      EXPECT_TRUE(past == 0 || past == 0x07) << "row " << y << ": " << past;
    }
  }
}

TEST(TIFFRead, SixteenBitGrayBecomesColour) {
  TTiffBytes t = RawPage(4, 2, 16, 1, 1, 8);
  TMemoryStream s = t.Stream();
  TDIB dib;
  dib.LoadFromStream(s);
  ASSERT_EQ(dib.PixelType(), pt24bit);
  uint8_t high = RawByte(1, 1);  // little-endian: the second byte of a sample is its high byte
  EXPECT_EQ(dib.GetPixel24(0, 1), high | high << 8 | high << 16);
}

// ---- Reading: what comes from outside ----

TEST(TIFFRead, RefusesBrokenFiles) {
  ExpectLoadFails(TMemoryStream(std::vector<uint8_t>{'M', 'M', 0, 42, 1, 2, 3}), "TIFFOpen");
  ExpectLoadFails(RawPage(8, 1, 8, 1, 1, 8).Stream(), "TIFFSetDirectory: Page = 1", 1);
  ExpectLoadFails(RawPage(8, 1, 8, 1, 1, 8).Stream(), "TIFFSetDirectory: Page = -1", -1);
  // Header sizes beyond the limits, refused before anything is allocated.
  ExpectLoadFails(RawPage(70000, 1, 8, 1, 1, 8).Stream(), "Image size not allowed");
  ExpectLoadFails(RawPage(60000, 60000, 8, 1, 1, 8).Stream(), "Image too large");
  ExpectLoadFails(RawPage(0, 10, 8, 1, 1, 8).Stream(), "");
  // The strip is shorter than its byte count says: its data end with the file.
  TTiffBytes shortStrip = RawPage(64, 64, 8, 1, 1, 64);
  shortStrip.Long(279, {64 * 64});
  shortStrip.Pixels.resize(100);
  ExpectLoadFails(shortStrip.Stream(), "TIFF strips or tiles lie beyond the end of the file");
  // A strip whose LZW codes make no sense.
  TTiffBytes lzw = RawPage(64, 4, 8, 1, 1, 64);
  lzw.Short(259, {5});
  for (uint8_t& b : lzw.Pixels) b = 0xFF;
  ExpectLoadFails(lzw.Stream(), "TIFFReadEncodedStrip");
  // The written file cut short.
  auto dib = Patterned(64, 64, pt8bit);
  TMemoryStream whole = Written(*dib, 8);
  std::vector<uint8_t> cut(whole.Bytes().begin(), whole.Bytes().begin() + whole.Size() / 2);
  ExpectLoadFails(TMemoryStream(cut), "TIFFOpen");
}

TEST(SwapRGBTriples, SwapsWholeTriplesOnly) {
  uint8_t b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  SwapRGBTriples(b, 8);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 8), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 7, 8}));
}

}  // namespace
