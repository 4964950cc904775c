// Files from outside that lie about their sizes: each is refused with a clear exception or
// decoded into defined pixels, and the page is left empty on refusal.
#include <gtest/gtest.h>

#include "../peak_memory.h"
#include "dibunit.h"
#include "gfx_png.h"
#include "png_testfiles.h"

namespace {

const std::string kCorrupted = "Can't read the PNG image, it has corrupted data. ";

// Loads the file as a page; returns the exception text, "" when it loaded.
std::string LoadPage(TDIB& Page, const std::vector<uint8_t>& File) {
  TMemoryStream s(File);
  try {
    Page.LoadFromStream(s);
    return "";
  } catch (const Exception& e) {
    std::string text = e.what();
    size_t at = text.find("\r\n\r\n");
    return at == std::string::npos ? text : text.substr(at + 4);
  }
}

std::vector<uint8_t> Gray8Rows(uint32_t Width, uint32_t Height) {
  return std::vector<uint8_t>(size_t(Width + 1) * Height, 0);
}

TEST(PngHostile, RefusedWithAClearMessage) {
  std::vector<uint8_t> rows = Gray8Rows(4, 4);
  std::vector<uint8_t> shortIHDR{0, 0, 0, 4, 0, 0, 0, 4, 8, 0, 0, 0};
  std::vector<uint8_t> longIHDR{0, 0, 0, 4, 0, 0, 0, 4, 8, 0, 0, 0, 0, 0};
  std::vector<uint8_t> z = Zlib(rows);
  struct {
    const char* name;
    std::vector<uint8_t> file;
    std::string message;
  } cases[] = {
      {"length beyond the stream",
       TPngFile().IHDR(4, 4, 8, 0).RawChunk("IDAT", z, 0x7FFFFFF0).IEND().Bytes, kCorrupted},
      {"length beyond the standard's limit",
       TPngFile().IHDR(4, 4, 8, 0).RawChunk("tEXt", {}, 0xFFFFFFFF).Bytes, kCorrupted},
      {"IHDR too short", TPngFile().Chunk("IHDR", shortIHDR).IDAT(rows).IEND().Bytes, kCorrupted},
      {"IHDR too long", TPngFile().Chunk("IHDR", longIHDR).IDAT(rows).IEND().Bytes, kCorrupted},
      {"zero width", TPngFile().IHDR(0, 4, 8, 0).IDAT(rows).IEND().Bytes, kCorrupted},
      {"rows a small stream cannot hold",
       TPngFile().IHDR(30000, 30000, 8, 0).IDAT(rows).IEND().Bytes, kCorrupted},
      {"zlib stops short", TPngFile().IHDR(4, 5, 8, 0).IDAT(rows).IEND().Bytes, kCorrupted},
      {"zlib damaged", TPngFile().IHDR(4, 4, 8, 0).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).Bytes,
       kCorrupted},
      {"not zlib", TPngFile().IHDR(4, 4, 8, 0).Chunk("IDAT", rows).IEND().Bytes, kCorrupted},
      {"empty PLTE", TPngFile().IHDR(4, 4, 8, 3).Chunk("PLTE", {}).IDAT(rows).IEND().Bytes,
       EPngInvalidPalette},
      {"PLTE of 257 entries",
       TPngFile().IHDR(4, 4, 8, 3).Chunk("PLTE", std::vector<uint8_t>(771)).IDAT(rows).Bytes,
       EPngInvalidPalette},
      {"tRNS of an RGB image too short",
       TPngFile().IHDR(1, 1, 8, 2).Chunk("tRNS", {0, 1}).IDAT({0, 1, 2, 3}).IEND().Bytes,
       kCorrupted},
      {"gAMA too short", TPngFile().IHDR(4, 4, 8, 0).Chunk("gAMA", {0, 1}).IDAT(rows).IEND().Bytes,
       kCorrupted},
      {"gAMA of zero",
       TPngFile().IHDR(4, 4, 8, 0).Chunk("gAMA", {0, 0, 0, 0}).IDAT(rows).IEND().Bytes, kCorrupted},
      {"pHYs too short",
       TPngFile().IHDR(4, 4, 8, 0).Chunk("pHYs", {0, 0, 0, 1}).IDAT(rows).IEND().Bytes,
       EPngInvalidPHYs},
      {"truncated chunk header",
       [&] {
         std::vector<uint8_t> f = TPngFile().IHDR(4, 4, 8, 0).IDAT(rows).Bytes;
         f.insert(f.end(), {0, 0, 0});
         return f;
       }(),
       kCorrupted},
      {"only a signature", TPngFile().Bytes, EPngIHDRNotFirst},
      {"RGB of 1 bit", TPngFile().IHDR(4, 4, 1, 2).IDAT(rows).IEND().Bytes, EPngInvalidBitDepth},
      {"gray alpha of 4 bits", TPngFile().IHDR(4, 4, 4, 4).IDAT(rows).IEND().Bytes,
       EPngInvalidBitDepth},
      {"palette of 16 bits", TPngFile().IHDR(4, 4, 16, 3).IDAT(rows).IEND().Bytes,
       EPngInvalidBitDepth},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDIB page;
    page.NewImage(2, 2, pt8bit, 0, 0);
    EXPECT_EQ(LoadPage(page, c.file), c.message);
    EXPECT_TRUE(page.Empty());
  }
}

TEST(PngHostile, HugeDimensionsAreRefusedBeforeAllocation) {
  for (auto size : {std::pair<uint32_t, uint32_t>{100000, 1},
                    {1, 0x7FFFFFFF},
                    {65535, 65535},
                    {0xFFFFFFFF, 0xFFFFFFFF}}) {
    TDIB page;
    std::string text =
        LoadPage(page, TPngFile().IHDR(size.first, size.second, 8, 2).IDAT({0, 0, 0, 0}).Bytes);
    EXPECT_TRUE(text.find("Image size not allowed") == 0 || text.find("Image too large") == 0)
        << text;
    EXPECT_TRUE(page.Empty());
  }
}

TEST(PngHostile, DataBeyondTheRowsIsNotRead) {
  std::vector<uint8_t> rows = Gray8Rows(4, 6);
  for (size_t i = 1; i < 5; ++i) rows[i] = static_cast<uint8_t>(i);
  TDIB page;
  EXPECT_EQ(LoadPage(page, TPngFile().IHDR(4, 1, 8, 0).IDAT(rows).IEND().Bytes), "");
  ASSERT_EQ(page.Height(), 1);
  EXPECT_EQ(page.GetPixel(3, 0), 4);
  // Nor is a trailing IDAT after the stream has ended, or chunks after the IEND.
  std::vector<uint8_t> file = TPngFile().IHDR(4, 1, 8, 0).IDAT(rows).IDAT(rows).IEND().Bytes;
  file.insert(file.end(), {0xFF, 0xFF, 0xFF, 0xFF, 'A'});
  EXPECT_EQ(LoadPage(page, file), "");
}

TEST(PngHostile, IndicesBeyondAShortPaletteAreBlack) {
  // 8 bits with two entries, pixel 200.
  TDIB page;
  ASSERT_EQ(LoadPage(page, TPngFile()
                               .IHDR(2, 1, 8, 3)
                               .Chunk("PLTE", {10, 20, 30, 40, 50, 60})
                               .IDAT({0, 1, 200})
                               .IEND()
                               .Bytes),
            "");
  EXPECT_EQ(page.GetPaletteEntry(1), uint32_t{60} | 50 << 8 | 40 << 16);
  EXPECT_EQ(page.GetPixel(1, 0), 200);
  EXPECT_EQ(page.GetPaletteEntry(200), 0u);
  // 2 bits widened to 4 with two entries: the values 10 and 15 of samples 2 and 3 are black,
  // 0 and 5 the file's colours.
  ASSERT_EQ(LoadPage(page, TPngFile()
                               .IHDR(4, 1, 2, 3)
                               .Chunk("PLTE", {10, 20, 30, 40, 50, 60})
                               .IDAT({0, 0x1B})
                               .IEND()
                               .Bytes),
            "");
  ASSERT_EQ(page.PixelType(), pt4bit);
  EXPECT_EQ(page.GetPixel(1, 0), 5);
  EXPECT_EQ(page.GetPaletteEntry(5), uint32_t{60} | 50 << 8 | 40 << 16);
  EXPECT_EQ(page.GetPaletteEntry(10), 0u);
  EXPECT_EQ(page.GetPaletteEntry(15), 0u);
  // A tRNS of any length on a palette image is not read.
  EXPECT_EQ(LoadPage(page, TPngFile()
                               .IHDR(1, 1, 8, 3)
                               .Chunk("PLTE", {1, 2, 3})
                               .Chunk("tRNS", {7})
                               .IDAT({0, 0})
                               .IEND()
                               .Bytes),
            "");
}

}  // namespace

namespace {

// Many small chunks: every IDAT after the first is appended without a search of the list.
TEST(PngHostile, ManyChunksReadInOnePass) {
  const uint32_t w = 64, h = 64;
  std::vector<uint8_t> rows = Gray8Rows(w, h);
  for (uint32_t y = 0; y < h; ++y) rows[y * (w + 1) + 1 + y] = static_cast<uint8_t>(y + 1);
  std::vector<uint8_t> z = Zlib(rows);
  TPngFile file;
  file.IHDR(w, h, 8, 0);
  for (int i = 0; i < 40000; ++i) file.Chunk("tEXt", {'a', 0});
  for (uint8_t byte : z) file.Chunk("IDAT", {byte});
  for (int i = 0; i < 40000; ++i) file.Chunk("IDAT", {});
  file.IEND();
  TDIB page;
  ASSERT_EQ(LoadPage(page, file.Bytes), "");
  EXPECT_EQ(page.GetPixel(62, 62), 63);
  EXPECT_EQ(page.GetPixel(63, 62), 0);
}

// The rows are decoded straight into the page: nothing beside it but the codec's buffers.
TEST(PngHostile, ALargePageIsDecodedIntoItsOwnBlock) {
  const uint32_t w = 8192, h = 8192;
  std::vector<uint8_t> rows(size_t{w + 1} * h, 0);
  for (uint32_t y = 0; y < h; ++y) rows[y * (w + 1) + 1 + (y * 5) % w] = 200;
  std::vector<uint8_t> file = TPngFile().IHDR(w, h, 8, 0).IDAT(rows).IEND().Bytes;
  rows = {};
  ASSERT_LT(file.size(), size_t{1} << 20);
  TPeakMemory peak;
  TDIB page;
  ASSERT_EQ(LoadPage(page, file), "");
  if (peak.Available()) {
    EXPECT_LT(peak.Growth(), page.BlockSize() + (int64_t{16} << 20));
  }
  EXPECT_EQ(page.GetPixel(5 * 1000 % 8192, 1000), 200);
  EXPECT_EQ(page.GetPixel(0, 1000), 0);
}

}  // namespace
