#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dibunit.h"
#include "fullstream.h"
#include "testdata.h"

namespace {

std::unique_ptr<TDIB> Smooth(int32_t w, int32_t h, uint8_t type, int32_t xdpi, int32_t ydpi) {
  auto dib = std::make_unique<TDIB>();
  dib->NewImage(w, h, type, xdpi, ydpi);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      int32_t level = 40 + x * 2 + y;
      dib->SetPixel(x, y, type == pt24bit ? (200 | (level << 8) | (30 << 16)) : level);
    }
  }
  return dib;
}

TMemoryStream Jpeg(TDIB& dib, bool progressive = false) {
  TMemoryStream s;
  dib.SaveJPEGToStream(s, progressive, 90);
  s.SetPosition(0);
  return s;
}

int MaxDifference(const TDIB& a, const TDIB& b) {
  int worst = 0;
  for (int32_t y = 0; y < a.Height(); ++y) {
    for (int32_t i = 0; i < a.LineBytes(); ++i) {
      worst = std::max(worst, std::abs(a.Lines(y)[i] - b.Lines(y)[i]));
    }
  }
  return worst;
}

// The JFIF segment our writer puts first: unit at byte 13, densities big-endian at 14 and 16.
void SetDensity(TMemoryStream& s, uint8_t unit, uint16_t x, uint16_t y) {
  uint8_t* b = s.Memory();
  ASSERT_EQ(std::string(reinterpret_cast<char*>(b) + 6, 4), "JFIF");
  b[13] = unit;
  b[14] = static_cast<uint8_t>(x >> 8);
  b[15] = static_cast<uint8_t>(x);
  b[16] = static_cast<uint8_t>(y >> 8);
  b[17] = static_cast<uint8_t>(y);
}

TEST(JPEG, RoundTripsGrayAndColour) {
  for (bool progressive : {false, true}) {
    for (uint8_t type : {pt8bit, pt24bit}) {
      auto dib = Smooth(37, 21, type, 300, 200);
      TMemoryStream s = Jpeg(*dib, progressive);
      TDIB back;
      back.LoadFromStream(s);
      ASSERT_EQ(back.PixelType(), type);
      ASSERT_EQ(back.Width(), 37);
      EXPECT_LE(MaxDifference(*dib, back), 10) << progressive;
      if (type == pt24bit) {
        EXPECT_NEAR(back.Lines(4)[9 * 3 + 2], 200, 10);  // red is stored last
      }
      if (type == pt8bit) {
        EXPECT_TRUE(back.HasGrayPalette());
      }
    }
  }
}

TEST(JPEG, DensityCarriesTheResolution) {
  auto dib = Smooth(16, 16, pt8bit, 300, 200);
  TMemoryStream s = Jpeg(*dib);
  const uint8_t* b = s.Memory();
  EXPECT_EQ(b[13], 1);
  EXPECT_EQ(b[14] << 8 | b[15], 300);
  EXPECT_EQ(b[16] << 8 | b[17], 200);
  struct {
    uint8_t unit;
    uint16_t x, y;
    int32_t xdpi, ydpi;
  } cases[] = {{1, 300, 200, 300, 200}, {2, 118, 80, 300, 203}, {0, 1, 1, 0, 0}};
  for (auto c : cases) {
    SetDensity(s, c.unit, c.x, c.y);
    s.SetPosition(0);
    TDIB back;
    back.LoadFromStream(s);
    EXPECT_EQ(back.XResolution(), c.xdpi) << int(c.unit);
    EXPECT_EQ(back.YResolution(), c.ydpi) << int(c.unit);
  }
}

TEST(JPEG, OnlyGrayAndColourPagesAreWritten) {
  std::string file = testing::TempDir() + "/clarivo_depth.jpg";
  for (uint8_t type : {pt1bit, pt4bit}) {
    auto dib = Smooth(8, 8, type, 0, 0);
    try {
      dib->SaveJPEG(file, false, 80);
      ADD_FAILURE() << "wrote a JPEG of type " << int(type);
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Invalid bit depth !");
    }
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
  }
  std::filesystem::remove(file);
}

TEST(JPEG, AStreamFailureIsRaisedAsItself) {
  auto dib = Smooth(300, 300, pt24bit, 0, 0);
  TFullStream s(5000);
  EXPECT_THROW(dib->SaveJPEGToStream(s, false, 100), EWriteError);
}

TEST(JPEG, RefusesWhatIsNoWholeJPEG) {
  auto dib = Smooth(64, 64, pt24bit, 0, 0);
  TMemoryStream whole = Jpeg(*dib);
  std::vector<std::vector<uint8_t>> broken = {
      {},
      {1, 2, 3, 4, 5, 6, 7, 8, 9},
      {whole.Bytes().begin(), whole.Bytes().begin() + whole.Size() / 2},
      {whole.Bytes().begin(), whole.Bytes().begin() + 20},
      {whole.Bytes().begin(), whole.Bytes().end() - 2},  // only the end marker missing
  };
  std::vector<uint8_t> scanCut(whole.Bytes().begin(), whole.Bytes().begin() + whole.Size() / 2);
  scanCut.insert(scanCut.end(), {0xFF, 0xD9});  // the scan cut short, the end marker kept
  broken.push_back(scanCut);
  for (auto& bytes : broken) {
    TMemoryStream s(bytes);
    TDIB back;
    EXPECT_THROW(back.LoadFromStream(s), Exception) << bytes.size();
    EXPECT_TRUE(back.Empty());
  }
}

TEST(JPEG, ReadsFromTheStreamsPosition) {
  auto dib = Smooth(16, 8, pt8bit, 0, 0);
  TMemoryStream jpeg = Jpeg(*dib);
  TMemoryStream s;
  s.WriteBuffer("reply", 5);
  s.CopyFrom(jpeg, 0);
  s.SetPosition(5);
  TDIB back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.Width(), 16);
}

// ---- Files from outside ----

struct TJpegExpectation {
  const char* file;
  uint8_t type;  // 0: refused
  int32_t xdpi;
};

TEST(JPEGOutside, EveryFileLoadsOrIsRefused) {
  std::vector<std::string> files = TestDataFiles("jpeg");
  if (files.empty()) GTEST_SKIP() << "no outside JPEG files in ../shared/testdata/jpeg";
  const TJpegExpectation expected[] = {
      {"pillow/hopper_gray.jpg", pt8bit, -1},
      {"pillow/hopper.jpg", pt24bit, 96},
      {"libjpeg-turbo/testorig.jpg", pt24bit, 0},
      {"pillow/jfif_unit_cm.jpg", pt8bit, -1},
      {"jpeg-decoder/mozilla/jpg-progressive.jpg", pt24bit, -1},
      {"jpeg-decoder/mozilla/jpg-cmyk-1.jpg", 0, 0},
      {"jpeg-decoder/crashtest/empty.jpg", 0, 0},
      {"pillow/truncated_jpeg.jpg", 0, 0},
  };
  int loaded = 0;
  for (const std::string& path : files) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (ext != ".jpg" && ext != ".jpeg") continue;
    SCOPED_TRACE(path);
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    TMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TDIB dib;
    bool ok = true;
    try {
      dib.LoadFromStream(s);
      ++loaded;
      EXPECT_TRUE(dib.PixelType() == pt8bit || dib.PixelType() == pt24bit);
    } catch (const Exception&) {
      ok = false;
      EXPECT_TRUE(dib.Empty());
    }
    for (const TJpegExpectation& e : expected) {
      if (!path.ends_with(std::string("/") + e.file)) continue;
      EXPECT_EQ(ok, e.type != 0);
      if (!ok) continue;
      EXPECT_EQ(dib.PixelType(), e.type);
      if (e.xdpi >= 0) {
        EXPECT_EQ(dib.XResolution(), e.xdpi);
      }
    }
  }
  EXPECT_GT(loaded, 20);
}

}  // namespace
