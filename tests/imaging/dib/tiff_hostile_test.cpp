// TIFF files that claim more than they hold: refused before memory is filled for what is not
// there; valid files of large pages load with nothing beside the page but a small working set.
#include <gtest/gtest.h>

#include <algorithm>

#include "../peak_memory.h"
#include "dibunit.h"
#include "load_error.h"
#include "tiff_fixture.h"

namespace {

constexpr int64_t kWorkingSet = int64_t{64} << 20;

void SetGrayTags(TIFF* tif, uint32_t w, uint32_t h, uint16_t compression) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
}

uint8_t Level(uint32_t x, uint32_t y) {
  return static_cast<uint8_t>((x / 64) * 7 + y * 3);
}

// A large page in one deflated strip loads without a buffer of the strip beside the page.
TEST(TIFFHostile, AOneStripPageLoadsWithoutASecondCopy) {
  const uint32_t w = 8192, h = 8192;
  TMemoryStream s = LibtiffFile(
      [&](TIFF* tif) {
        SetGrayTags(tif, w, h, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
      },
      [&](TIFF* tif) {
        std::vector<uint8_t> row(w);
        for (uint32_t y = 0; y < h; ++y) {
          for (uint32_t x = 0; x < w; ++x) row[x] = Level(x, y);
          TIFFWriteScanline(tif, row.data(), y, 0);
        }
      });
  ASSERT_LT(s.Size(), 4 << 20);
  TPeakMemory peak;
  TDIB dib;
  dib.LoadFromStream(s);
  ASSERT_EQ(dib.Width(), 8192);
  if (peak.Available()) {
    EXPECT_LT(peak.Growth(), dib.BlockSize() + (int64_t{16} << 20));
  }
  EXPECT_EQ(dib.Lines(5000)[4000], Level(4000, 5000));
  EXPECT_EQ(dib.Lines(h - 1)[w - 1], Level(w - 1, h - 1));
}

// Strips that all point at the same bytes, or reach beyond the file.
TEST(TIFFHostile, StripsMustLieInsideTheFile) {
  const uint32_t w = 4096, h = 4096;
  TTiffBytes shared = RawPage(w, 1, 8, 1, 1, w);
  shared.Long(257, {h}).Long(278, {1});
  shared.Long(273, std::vector<uint32_t>(h, 8)).Long(279, std::vector<uint32_t>(h, w));
  TMemoryStream s = shared.Stream();
  TPeakMemory peak;
  EXPECT_EQ(LoadError(s), "TIFF strips or tiles lie beyond the end of the file");
  if (peak.Available()) {
    EXPECT_LT(peak.Growth(), kWorkingSet);
  }

  TTiffBytes beyond = RawPage(64, 64, 8, 1, 1, 64);
  beyond.Long(273, {0x7FFFFFF0u});
  TMemoryStream b = beyond.Stream();
  EXPECT_EQ(LoadError(b), "TIFF strips or tiles lie beyond the end of the file");
}

// A tiled page whose tiles hold a few bytes of nonsense: refused at the first band, without a
// raster of the whole page.
TEST(TIFFHostile, TilesOfNonsenseAreRefusedWithoutARasterOfThePage) {
  const uint32_t w = 8000, h = 8000, tile = 256;
  const uint32_t tiles = ((w + tile - 1) / tile) * ((h + tile - 1) / tile);
  TTiffBytes t;
  t.Long(256, {w}).Long(257, {h}).Short(258, {8, 8, 8}).Short(259, {COMPRESSION_ADOBE_DEFLATE});
  t.Short(262, {PHOTOMETRIC_RGB}).Short(277, {3}).Short(284, {1});
  t.Long(322, {tile}).Long(323, {tile});
  std::vector<uint32_t> counts(tiles, 0);
  counts[0] = 4;
  t.Long(324, std::vector<uint32_t>(tiles, 8)).Long(325, counts);
  t.Pixels = {0x78, 0x9c, 0xff, 0xff};
  TMemoryStream s = t.Stream();
  ASSERT_LT(s.Size(), 32 << 10);
  TPeakMemory peak;
  EXPECT_NE(LoadError(s), "loaded");
  if (peak.Available()) {
    EXPECT_LT(peak.Growth(), kWorkingSet);
  }
}

// Pages rendered by libtiff come in bands; rows stored bottom-up still end the right way up.
TEST(TIFFHostile, BandsOfARenderedPageMeetInOrder) {
  const uint32_t w = 65472, h = 200;
  for (uint16_t orientation : {ORIENTATION_TOPLEFT, ORIENTATION_BOTLEFT}) {
    TMemoryStream s = LibtiffFile(
        [&](TIFF* tif) {
          SetGrayTags(tif, w, h, COMPRESSION_ADOBE_DEFLATE);
          TIFFSetField(tif, TIFFTAG_TILEWIDTH, 4096);
          TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
          TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
        },
        [&](TIFF* tif) {
          std::vector<uint8_t> tileData(4096 * 16);
          for (uint32_t ty = 0; ty < h; ty += 16) {
            for (uint32_t tx = 0; tx < w; tx += 4096) {
              for (uint32_t y = 0; y < 16; ++y) {
                for (uint32_t x = 0; x < 4096; ++x) tileData[y * 4096 + x] = Level(tx + x, ty + y);
              }
              TIFFWriteTile(tif, tileData.data(), tx, ty, 0, 0);
            }
          }
        });
    TDIB dib;
    dib.LoadFromStream(s);
    ASSERT_EQ(dib.Height(), static_cast<int32_t>(h));
    for (uint32_t y = 0; y < h; ++y) {
      uint32_t stored = orientation == ORIENTATION_TOPLEFT ? y : h - 1 - y;
      for (uint32_t x : {0u, 4095u, 4096u, 40000u, w - 1}) {
        ASSERT_EQ(dib.Lines(static_cast<int32_t>(y))[x], Level(x, stored))
            << orientation << " " << x << " " << y;
      }
    }
  }
}

// JPEG strip data that end after 64 bytes of the scan: libtiff's codec would fill the rest.
TEST(TIFFHostile, JPEGStripsWhoseDataEndEarlyAreRefused) {
  const uint32_t w = 1024, h = 1024;
  TMemoryStream s = LibtiffFile(
      [&](TIFF* tif) {
        SetGrayTags(tif, w, h, COMPRESSION_JPEG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
      },
      [&](TIFF* tif) {
        std::vector<uint8_t> row(w);
        for (uint32_t y = 0; y < h; ++y) {
          for (uint32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(x * y);
          TIFFWriteScanline(tif, row.data(), y, 0);
        }
      });
  TDIB whole;
  whole.LoadFromStream(s);
  EXPECT_EQ(whole.Width(), 1024);
  std::vector<uint8_t> bytes = s.Bytes();
  const uint8_t sos[] = {0xFF, 0xDA};
  auto at = std::search(bytes.begin(), bytes.end(), sos, sos + 2);
  ASSERT_NE(at, bytes.end());
  size_t scan = static_cast<size_t>(at - bytes.begin()) + 2 + (at[2] << 8 | at[3]);
  bytes[scan + 64] = 0xFF;
  bytes[scan + 65] = 0xD9;
  TMemoryStream cut(bytes);
  EXPECT_EQ(LoadError(cut), "TIFF JPEG data are corrupt or end early");
}

}  // namespace
