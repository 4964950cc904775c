#include "vekTWAINDIB.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "streams.h"

using namespace win32;

namespace {

// A packed DIB: header, Entries colour entries, rows of Bits-bit pixels (byte i = i & 0xFF).
std::vector<uint8_t> PackedDIB(int32_t Width, int32_t Height, uint16_t Bits, uint32_t ClrUsed,
                               uint32_t Entries) {
  const size_t stride = ((Width * Bits + 31) / 32) * 4;
  std::vector<uint8_t> dib(40 + 4 * Entries + stride * (Height < 0 ? -Height : Height));
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = Width;
  h.biHeight = Height;
  h.biPlanes = 1;
  h.biBitCount = Bits;
  h.biClrUsed = ClrUsed;
  std::memcpy(dib.data(), &h, 40);
  for (uint32_t i = 0; i < Entries; ++i) dib[40 + 4 * i + 2] = static_cast<uint8_t>(i);
  for (size_t i = 40 + 4 * Entries; i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i);
  return dib;
}

BITMAPINFOHEADER& HeaderOf(std::vector<uint8_t>& Dib) {
  return *reinterpret_cast<BITMAPINFOHEADER*>(Dib.data());
}

}  // namespace

TEST(PackedDIB, SoundDIBsGiveTheirLayout) {
  std::vector<uint8_t> dib = PackedDIB(10, 3, 1, 0, 2);
  auto layout = CheckPackedDIB(dib.data(), dib.size());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->Entries, 2u);
  EXPECT_EQ(layout->PixelOffset, 48u);
  EXPECT_EQ(layout->ImageSize, 12u);
  // biSizeImage is not believed.
  HeaderOf(dib).biSizeImage = 1u << 30;
  EXPECT_TRUE(CheckPackedDIB(dib.data(), dib.size()));
}

TEST(PackedDIB, UnsoundDIBsAreRefused) {
  struct TCase {
    const char* What;
    std::vector<uint8_t> Dib;
  };
  std::vector<TCase> cases;
  cases.push_back({"rows beyond the block", PackedDIB(10, 3, 8, 0, 256)});
  cases.back().Dib.resize(cases.back().Dib.size() - 1);
  cases.push_back({"more colours than 8 bits have", PackedDIB(4, 1, 8, 300, 300)});
  cases.push_back({"colour table beyond the block", PackedDIB(4, 1, 24, 200, 0)});
  cases.push_back({"compressed", PackedDIB(4, 1, 8, 0, 256)});
  HeaderOf(cases.back().Dib).biCompression = 1;
  cases.push_back({"no width", PackedDIB(4, 1, 8, 0, 256)});
  HeaderOf(cases.back().Dib).biWidth = 0;
  cases.push_back({"two planes", PackedDIB(4, 1, 8, 0, 256)});
  HeaderOf(cases.back().Dib).biPlanes = 2;
  cases.push_back({"header longer than the block", PackedDIB(4, 1, 8, 0, 256)});
  HeaderOf(cases.back().Dib).biSize = 100000;
  cases.push_back({"12 bits", PackedDIB(4, 1, 12, 0, 0)});
  for (TCase& c : cases) EXPECT_FALSE(CheckPackedDIB(c.Dib.data(), c.Dib.size())) << c.What;
  EXPECT_FALSE(CheckPackedDIB(nullptr, 100));
  uint8_t tiny[8] = {};
  EXPECT_FALSE(CheckPackedDIB(tiny, sizeof(tiny)));
}

TEST(PackedDIB, TwentyFourBitsSkipTheExtraColourTable) {
  std::vector<uint8_t> dib = PackedDIB(2, 2, 24, 3, 3);
  auto layout = CheckPackedDIB(dib.data(), dib.size());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->PixelOffset, 52u);
  HBITMAP section = DIBSectionOfPackedDIB(dib.data(), *layout);
  ASSERT_NE(section, nullptr);
  const BITMAPINFO* info = DIBSectionInfo(section);
  EXPECT_EQ(info->bmiHeader.biClrUsed, 0u);
  EXPECT_EQ(info->bmiHeader.biSizeImage, 16u);
  EXPECT_EQ(info->bmiHeader.biXPelsPerMeter, 11811);
  EXPECT_EQ(std::memcmp(DIBSectionBits(section), dib.data() + 52, 16), 0);
  EXPECT_TRUE(DeleteObject(section));
  EXPECT_EQ(LiveDIBSections(), 0u);
}

TEST(PackedDIB, ShortColourTableIsFilledOutInTheSection) {
  std::vector<uint8_t> dib = PackedDIB(4, 1, 8, 2, 2);
  auto layout = CheckPackedDIB(dib.data(), dib.size());
  ASSERT_TRUE(layout);
  TBitmapInfoBuffer info;
  SectionInfoOfPackedDIB(dib.data(), *layout, info);
  EXPECT_EQ(info.Info()->bmiColors[1].rgbRed, 1);
  EXPECT_EQ(info.Info()->bmiColors[2].rgbRed, 0);
  EXPECT_EQ(info.Header().biClrUsed, 0u);
}

TEST(DIBSection, RefusesWhatItCannotHold) {
  TBitmapInfoBuffer info;
  info.Header() = BITMAPINFOHEADER{40, 70000, 1, 1, 8, 0, 0, 0, 0, 0, 0};
  void* bits = &info;
  EXPECT_EQ(CreateDIBSection(info.Info(), &bits), nullptr);
  EXPECT_EQ(bits, nullptr);
  info.Header().biWidth = 4;
  info.Header().biClrUsed = 257;
  EXPECT_EQ(CreateDIBSection(info.Info(), &bits), nullptr);
  EXPECT_FALSE(DeleteObject(&info));
}

TEST(GrayPalette, StepsAndVanilla) {
  RGBQUAD colors[256];
  FillGrayPalette(colors, 2, false);
  EXPECT_EQ(colors[0].rgbRed, 0);
  EXPECT_EQ(colors[1].rgbBlue, 255);
  FillGrayPalette(colors, 16, false);
  EXPECT_EQ(colors[1].rgbGreen, 15);
  EXPECT_EQ(colors[2].rgbGreen, 31);
  EXPECT_EQ(colors[15].rgbGreen, 239);
  FillGrayPalette(colors, 16, true);
  const uint8_t vanilla[] = {255, 240, 224, 208};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(colors[i].rgbRed, vanilla[i]);
  EXPECT_EQ(colors[15].rgbRed, 16);
  FillGrayPalette(colors, 256, false);
  EXPECT_EQ(colors[200].rgbRed, 200);
}

TEST(MemPixels, RowsTurnAndRedBlueSwap) {
  // 2 x 3 pixels of 24 bits, stride 8; row r pixel x = (r, x, 10 + r).
  std::vector<uint8_t> bits(24, 0);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 2; ++x) {
      bits[r * 8 + 3 * x] = static_cast<uint8_t>(r);
      bits[r * 8 + 3 * x + 1] = static_cast<uint8_t>(x);
      bits[r * 8 + 3 * x + 2] = static_cast<uint8_t>(10 + r);
    }
  }
  ReorderMemPixels(bits.data(), 2, 3, 24, true);
  for (int r = 0; r < 3; ++r) {
    const int from = 2 - r;
    EXPECT_EQ(bits[r * 8 + 3], 10 + from) << r;
    EXPECT_EQ(bits[r * 8 + 4], 1) << r;
    EXPECT_EQ(bits[r * 8 + 5], from) << r;
  }
  std::vector<uint8_t> gray = {1, 1, 1, 1, 2, 2, 2, 2};
  ReorderMemPixels(gray.data(), 4, 2, 8, true);
  EXPECT_EQ(gray, (std::vector<uint8_t>{2, 2, 2, 2, 1, 1, 1, 1}));
}

TEST(BMPFiles, LoadIntoSectionAndGlobalAndRefuseLies) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("toolkit-bmp-" + std::to_string(getpid()) + ".bmp");
  std::vector<uint8_t> dib = PackedDIB(5, 2, 8, 0, 256);
  BITMAPFILEHEADER fh{kBitmapSignature, static_cast<uint32_t>(14 + dib.size()), 0, 0,
                      14 + 40 + 1024};
  TMemoryStream stream;
  stream.WriteBuffer(&fh, 14);
  stream.WriteBuffer(dib.data(), static_cast<int64_t>(dib.size()));
  stream.SaveToFile(file.string());
  HBITMAP section = LoadBMPFileToDIBSection(file.string());
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(std::memcmp(DIBSectionBits(section), dib.data() + 1064, 16), 0);
  DeleteObject(section);
  HGLOBAL block = LoadBMPFileToGlobal(file.string());
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), dib.size());
  GlobalFree(block);
  // A file header that claims more than the file holds.
  fh.bfSize += 100;
  stream.SetPosition(0);
  stream.WriteBuffer(&fh, 14);
  stream.SaveToFile(file.string());
  EXPECT_EQ(LoadBMPFileToDIBSection(file.string()), nullptr);
  EXPECT_EQ(LoadBMPFileToGlobal(file.string()), nullptr);
  std::filesystem::remove(file);
  EXPECT_EQ(LoadBMPFileToGlobal(file.string()), nullptr);
}
