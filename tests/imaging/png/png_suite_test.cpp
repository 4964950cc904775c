// The conformance suite decoded into pages and compared with its reference pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dibunit.h"
#include "gfx_png.h"
#include "testdata.h"

namespace {

std::vector<uint32_t> ReadReference(const std::string& Path) {
  std::vector<unsigned char> text = ReadFileBytes(Path);
  std::vector<uint32_t> values;
  uint32_t value = 0;
  bool inNumber = false;
  for (unsigned char c : text) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      inNumber = true;
    } else if (inNumber) {
      values.push_back(value);
      value = 0;
      inNumber = false;
    }
  }
  return values;
}

// The gamma table the decoder must apply for a stored gAMA value.
std::array<uint8_t, 256> GammaTable(uint32_t Stored) {
  std::array<uint8_t, 256> t;
  for (int i = 0; i < 256; ++i) {
    t[i] =
        static_cast<uint8_t>(std::nearbyint(std::pow(i / 255.0, 100000.0 / (Stored * 2.2)) * 255));
  }
  return t;
}

std::string Stem(const std::string& Path) {
  return std::filesystem::path(Path).stem().string();
}

struct TDecoded {
  TDIB Page;
  uint8_t Depth = 0;
  bool Gamma = false;
  uint32_t GammaValue = 0;
};

// Decodes a suite file as a page; records its depth and whether a gAMA comes before its
// pixels.
void Decode(const std::string& Path, TDecoded& Out) {
  std::vector<unsigned char> bytes = ReadFileBytes(Path);
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TPNGImage png;
  png.LoadFromStream(stream);
  Out.Depth = png.Chunks().First<TChunkIHDR>()->BitDepth();
  int32_t gama = png.Chunks().IndexOfClass(&TChunkGAMA::New);
  Out.Gamma = gama >= 0 && gama < png.Chunks().IndexOfClass(&TChunkIDAT::New);
  if (Out.Gamma) Out.GammaValue = png.Chunks().First<TChunkGAMA>()->Gamma();
  stream.SetPosition(0);
  Out.Page.LoadFromStream(stream);
}

// Red, green, blue of a page pixel.
std::array<uint8_t, 3> PagePixel(const TDIB& Page, int32_t X, int32_t Y) {
  uint32_t value = static_cast<uint32_t>(Page.GetPixel(X, Y));
  if (Page.PixelType() == pt24bit) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16)};
  }
  uint32_t entry = Page.GetPaletteEntry(static_cast<int32_t>(value));
  return {static_cast<uint8_t>(entry >> 16), static_cast<uint8_t>(entry >> 8),
          static_cast<uint8_t>(entry)};
}

TEST(PngSuite, DecodesEveryFileLikeItsReference) {
  std::vector<std::string> files = TestDataFiles("pngsuite/png");
  if (files.empty()) GTEST_SKIP() << "PngSuite is not in " << TestDataDir() << "/pngsuite";
  int32_t decoded = 0;
  for (const std::string& path : files) {
    std::string name = Stem(path);
    if (name[0] == 'x') continue;
    SCOPED_TRACE(name);
    TDecoded d;
    ASSERT_NO_THROW(Decode(path, d));
    std::vector<uint32_t> ref = ReadReference(TestDataDir() + "/pngsuite/json/" + name + ".json");
    int32_t w = d.Page.Width(), h = d.Page.Height();
    ASSERT_EQ(ref.size(), size_t(w) * h * 4);
    std::array<uint8_t, 256> gamma = GammaTable(d.Gamma ? d.GammaValue : 0);
    int32_t wrong = 0;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        std::array<uint8_t, 3> got = PagePixel(d.Page, x, y);
        for (int c = 0; c < 3; ++c) {
          uint32_t sample = ref[(size_t(y) * w + x) * 4 + c];
          if (d.Depth == 16) sample >>= 8;
          uint8_t expected = d.Gamma ? gamma[sample] : static_cast<uint8_t>(sample);
          if (got[c] != expected && wrong++ < 3) {
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << int(got[c])
                          << " instead of " << int(expected);
          }
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    ++decoded;
  }
  EXPECT_GT(decoded, 150);
}

TEST(PngSuite, RefusesEveryCorruptFileWithACodecMessage) {
  std::vector<std::string> files = TestDataFiles("pngsuite/png");
  if (files.empty()) GTEST_SKIP() << "PngSuite is not in " << TestDataDir() << "/pngsuite";
  int32_t refused = 0;
  for (const std::string& path : files) {
    std::string name = Stem(path);
    if (name[0] != 'x') continue;
    SCOPED_TRACE(name);
    TDIB page;
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TPNGImage png;
    try {
      png.LoadFromStream(stream);
      ADD_FAILURE() << "decoded";
    } catch (const EPNGImageException& e) {
      EXPECT_EQ(
          std::string(e.what()).rfind("Portable Network Graphics format handler error\r\n\r\n", 0),
          0u);
      ++refused;
    }
  }
  EXPECT_EQ(refused, 14);
}

}  // namespace
