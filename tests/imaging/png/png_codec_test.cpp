// The codec's own behaviour: helpers, chunk list, encoder, and what the decoder keeps.
#include <gtest/gtest.h>

#include "gfx_png.h"
#include "png_testfiles.h"

namespace {

const std::string kPrefix = "Portable Network Graphics format handler error\r\n\r\n";

#define EXPECT_PNG_ERROR(statement, message)               \
  try {                                                    \
    statement;                                             \
    ADD_FAILURE() << "no exception";                       \
  } catch (const EPNGImageException& e) {                  \
    EXPECT_EQ(std::string(e.what()), kPrefix + (message)); \
  }

std::vector<uint8_t> Saved(TPNGImage& Image) {
  TMemoryStream s;
  Image.SaveToStream(s);
  return s.Bytes();
}

void Load(TPNGImage& Image, const std::vector<uint8_t>& Bytes) {
  TMemoryStream s(Bytes);
  Image.LoadFromStream(s);
}

// A bitmap whose bytes differ from row to row and column to column.
void Pattern(TPNGImage& Image, int32_t Width, int32_t Height, uint8_t Format) {
  Image.NewBitmap(Width, Height, Format);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t i = 0; i < Image.Stride(); ++i) {
      Image.ScanLine(y)[i] = static_cast<uint8_t>(y * 37 + i * 11 + (i * i) % 7);
    }
  }
}

TEST(PngHelpers, ByteSwapPaethAndCRC) {
  EXPECT_EQ(ByteSwap32(0x12345678u), 0x78563412u);
  struct {
    uint8_t left, up, upLeft, expected;
  } paeth[] = {{10, 20, 10, 20}, {20, 10, 10, 20}, {10, 10, 20, 10},    {5, 9, 7, 7},
               {1, 2, 3, 1},     {0, 0, 0, 0},     {200, 100, 150, 150}};
  for (auto c : paeth) EXPECT_EQ(PaethPredictor(c.left, c.up, c.upLeft), c.expected);
  EXPECT_EQ(ChunkCRC({'I', 'E', 'N', 'D'}, nullptr, 0), 0xAE426082u);
  std::vector<uint8_t> data{1, 2, 3, 250};
  std::vector<uint8_t> body{'t', 'E', 'S', 't', 1, 2, 3, 250};
  EXPECT_EQ(ChunkCRC({'t', 'E', 'S', 't'}, data.data(), 4), crc32(0, body.data(), 8));
}

TEST(PngChunks, RegistryAndListOperations) {
  const char* order[] = {"IEND", "IHDR", "gAMA", "IDAT", "PLTE", "tEXt", "tRNS", "tIME", "pHYs"};
  ASSERT_EQ(ChunkClasses().Count(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(std::string(ChunkClasses().Item(i).Type.data(), 4), order[i]);
  }
  EXPECT_EQ(ChunkClasses().IndexOfType({'I', 'D', 'A', 'T'}), 3);
  EXPECT_EQ(ChunkClasses().IndexOfClass(&TChunkPHYS::New), 8);
  EXPECT_PNG_ERROR(ChunkClasses().Item(9), "The chunk class index especified is  out of range.");

  TPNGImage png;
  TChunkList& list = png.Chunks();
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Items(0).ClassType(), &TChunkIHDR::New);
  EXPECT_EQ(list.Items(1).ClassType(), &TChunkPHYS::New);
  EXPECT_EQ(list.Items(2).ClassType(), &TChunkIDAT::New);
  EXPECT_EQ(list.Items(3).ClassType(), &TChunkIEND::New);
  const TChunkIHDR& ihdr = *list.First<TChunkIHDR>();
  EXPECT_EQ(ihdr.Width(), 0u);
  EXPECT_EQ(ihdr.BitDepth(), 2);
  EXPECT_EQ(ihdr.ColorType(), 3);
  EXPECT_EQ(list.IndexOfClass(&TChunkGAMA::New), -1);
  TChunk& text = list.AddNew(&TChunkTEXT::New);
  EXPECT_EQ(std::string(text.Type().data(), 4), "tEXt");
  EXPECT_EQ(text.Data().Bytes(), (std::vector<uint8_t>{0, 0}));
  list.Move(4, 1);
  EXPECT_EQ(list.IndexOf(text), 1);
  EXPECT_PNG_ERROR(list.Items(5), "The chunk index especified is out of the range.");
  EXPECT_PNG_ERROR(list.Move(0, 5), "The chunk index especified is out of the range.");
  TPNGImage other;
  EXPECT_PNG_ERROR(other.Chunks().Remove(text),
                   "The especified chunk is not inside the chunk list containing the method "
                   "being used. The funcion could not be completed.");
  list.Remove(text);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(png.Filters(), 27);
  EXPECT_FALSE(png.Interlacing());
}

TEST(PngChunks, NewChunksHoldTheirDefaults) {
  TPNGImage png;
  TChunkPHYS& phys = *png.Chunks().First<TChunkPHYS>();
  EXPECT_EQ(phys.Data().Bytes(), (std::vector<uint8_t>{0, 0, 14, 196, 0, 0, 14, 196, 1}));
  EXPECT_EQ(phys.XDPI(), 96);
  phys.SetXDPI(300);
  phys.SetYDPI(200);
  EXPECT_EQ(phys.XDPI(), 300);
  EXPECT_EQ(phys.YDPI(), 200);
  EXPECT_EQ(GetBE32(phys.Data().Bytes().data()), 11811u);
  auto& gama = static_cast<TChunkGAMA&>(png.Chunks().AddNew(&TChunkGAMA::New));
  EXPECT_EQ(gama.Gamma(), 1u);
  auto& time = png.Chunks().AddNew(&TChunkTIME::New);
  ASSERT_EQ(time.DataSize(), 7);
  EXPECT_GE((time.Data().Bytes()[0] << 8) | time.Data().Bytes()[1], 2024);
  phys.Data().SetSize(8);
  EXPECT_PNG_ERROR(phys.XDPI(), "The pHYs chunk of the image has an invalid size.");
}

TEST(PngEncoder, RoundTripKeepsPixelsAndPalette) {
  for (uint8_t format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    for (int32_t width : {1, 7, 33}) {
      SCOPED_TRACE(std::to_string(format) + " " + std::to_string(width));
      TPNGImage png;
      Pattern(png, width, 9, format);
      std::vector<TPNGColor> palette = png.Palette();
      if (!palette.empty()) palette[1] = {200, 30, 7};
      png.SetPalette(palette);
      std::vector<uint8_t> file = Saved(png);
      TPNGImage back;
      Load(back, file);
      ASSERT_EQ(back.PixelFormat(), format);
      ASSERT_EQ(back.Width(), width);
      ASSERT_EQ(back.Height(), 9);
      size_t lineBytes = (size_t(width) * (format == pf1bit   ? 1
                                           : format == pf4bit ? 4
                                           : format == pf8bit ? 8
                                                              : 24) +
                          7) /
                         8;
      for (int32_t y = 0; y < 9; ++y) {
        EXPECT_EQ(std::memcmp(back.ScanLine(y), png.ScanLine(y), lineBytes), 0) << y;
      }
      EXPECT_EQ(back.Palette(), palette);
    }
  }
}

TEST(PngEncoder, ThirtyTwoBitsAreWrittenAsTwentyFour) {
  TPNGImage png;
  png.NewBitmap(3, 2, pf32bit);
  for (int32_t i = 0; i < 12; ++i) png.ScanLine(1)[i] = static_cast<uint8_t>(i + 1);
  TPNGImage back;
  Load(back, Saved(png));
  ASSERT_EQ(back.PixelFormat(), pf24bit);
  const uint8_t expected[9] = {1, 2, 3, 5, 6, 7, 9, 10, 11};
  EXPECT_EQ(std::memcmp(back.ScanLine(1), expected, 9), 0);
}

TEST(PngEncoder, ChunkOrder) {
  struct {
    uint8_t format;
    bool transparent;
    std::vector<std::string> types;
  } cases[] = {
      {pf8bit, false, {"IHDR", "PLTE", "pHYs", "IDAT", "IEND"}},
      {pf1bit, true, {"IHDR", "PLTE", "pHYs", "IDAT", "IEND"}},
      {pf24bit, false, {"IHDR", "pHYs", "IDAT", "IEND"}},
      {pf24bit, true, {"IHDR", "tRNS", "pHYs", "IDAT", "IEND"}},
  };
  for (const auto& c : cases) {
    TPNGImage png;
    Pattern(png, 4, 4, c.format);
    png.SetTransparent(c.transparent);
    png.SetTransparentColor(0x030201);
    std::vector<uint8_t> file = Saved(png);
    EXPECT_EQ(ChunkTypes(file), c.types);
    if (c.format == pf24bit && c.transparent) {
      EXPECT_EQ(ChunkData(file, "tRNS"), (std::vector<uint8_t>{0, 1, 0, 2, 0, 3}));
    }
  }
  // A list without IHDR, IDAT and IEND gets them back in place.
  TPNGImage png;
  Pattern(png, 4, 4, pf24bit);
  TChunkList& list = png.Chunks();
  list.Remove(list.Items(0));
  list.Remove(*list.First<TChunkIDAT>());
  list.Remove(*list.First<TChunkIEND>());
  list.AddNew(&TChunkGAMA::New);
  EXPECT_EQ(ChunkTypes(Saved(png)),
            (std::vector<std::string>{"IHDR", "pHYs", "gAMA", "IDAT", "IEND"}));
  // An IHDR that is not first is moved there, not written twice.
  list.Move(0, 2);
  EXPECT_EQ(ChunkTypes(Saved(png)),
            (std::vector<std::string>{"IHDR", "pHYs", "gAMA", "IDAT", "IEND"}));
  // A loaded transparent image loses its tRNS once it is no longer transparent.
  TPNGImage opaque;
  Load(opaque, TPngFile()
                   .IHDR(1, 1, 8, 2)
                   .Chunk("tRNS", {0, 1, 0, 2, 0, 3})
                   .IDAT({0, 9, 9, 9})
                   .IEND()
                   .Bytes);
  EXPECT_TRUE(opaque.Transparent());
  EXPECT_EQ(opaque.TransparentColor(), 0x030201u);
  opaque.SetTransparent(false);
  EXPECT_EQ(ChunkTypes(Saved(opaque)), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

// The filter type bytes the encoder wrote for an 8-bit image of two 16-pixel rows.
std::vector<uint8_t> FilterTypes(const std::vector<uint8_t>& Row0, const std::vector<uint8_t>& Row1,
                                 uint8_t Filters) {
  TPNGImage png;
  png.NewBitmap(16, 2, pf8bit);
  png.SetFilters(Filters);
  std::memcpy(png.ScanLine(0), Row0.data(), 16);
  std::memcpy(png.ScanLine(1), Row1.data(), 16);
  std::vector<uint8_t> rows = Inflated(Saved(png), 34);
  EXPECT_EQ(rows.size(), 34u);
  return {rows[0], rows[17]};
}

TEST(PngEncoder, FilterSelection) {
  std::vector<uint8_t> constant(16, 7), ramp(16), noise(16), noise2(16);
  for (int i = 0; i < 16; ++i) {
    ramp[i] = static_cast<uint8_t>(3 * i);
    noise[i] = static_cast<uint8_t>((i * 97 + 13) ^ (i * i * 31));
    noise2[i] = static_cast<uint8_t>((i * 53 + 7) ^ (i * i * 13));
  }
  struct {
    const char* name;
    std::vector<uint8_t> row0, row1;
    uint8_t filters;
    std::vector<uint8_t> expected;
  } cases[] = {
      // A constant row scores best as it is.
      {"constant", constant, constant, kDefaultFilters, {0, 0}},
      // A ramp: Sub and Paeth score alike on the first row, and the tie goes to Sub; on the
      // repeated row Paeth predicts from above and beats Sub.
      {"ramp", ramp, ramp, kDefaultFilters, {1, 4}},
      // A repeated row: Up wins when allowed; the default set has no Up.
      {"repeat", noise, noise, 31, {0, 2}},
      {"repeat default", noise, noise, kDefaultFilters, {0, 4}},
      // Nothing scores: None.
      {"noise", noise, noise2, 31, {0, 0}},
      // None alone writes None on every row.
      {"none only", ramp, ramp, 0, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilterTypes(c.row0, c.row1, c.filters), c.expected) << c.name;
  }
  TPNGImage png;
  png.SetFilters(pfUp);
  EXPECT_EQ(png.Filters(), pfUp | pfNone);
}

TEST(PngEncoder, NoneOnlyWritesFilterZeroOnEveryRow) {
  TPNGImage png;
  Pattern(png, 40, 30, pf24bit);
  png.SetFilters(0);
  std::vector<uint8_t> rows = Inflated(Saved(png), 30 * 121);
  ASSERT_EQ(rows.size(), 30u * 121);
  for (int32_t y = 0; y < 30; ++y) EXPECT_EQ(rows[y * 121], 0) << y;
}

TEST(PngEncoder, GammaIsUndoneOnSave) {
  TPNGImage png;
  Load(png, TPngFile()
                .IHDR(1, 1, 8, 2)
                .Chunk("gAMA", {0, 1, 0x86, 0xA0})
                .IDAT({0, 100, 50, 200})
                .IEND()
                .Bytes);
  const TChunkGAMA& gama = *png.Chunks().First<TChunkGAMA>();
  const uint8_t* bgr = png.ScanLine(0);
  EXPECT_EQ(bgr[0], gama.GammaTable()[200]);
  EXPECT_EQ(bgr[2], gama.GammaTable()[100]);
  EXPECT_NE(bgr[2], 100);
  std::vector<uint8_t> file = Saved(png);
  EXPECT_EQ(ChunkTypes(file), (std::vector<std::string>{"IHDR", "gAMA", "IDAT", "IEND"}));
  std::vector<uint8_t> rows = Inflated(file, 4);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1], gama.InverseTable()[gama.GammaTable()[100]]);
  EXPECT_NEAR(rows[1], 100, 1);
  EXPECT_NEAR(rows[3], 200, 1);

  // Values the gamma table never gives are undone like the nearest one below them: the
  // inverse rises with the value and never falls back to black.
  const TChunkGAMA::TGammaTable& inverse = gama.InverseTable();
  for (int v = 1; v < 256; ++v) {
    EXPECT_GE(inverse[v], inverse[v - 1]) << v;
    EXPECT_LE(gama.GammaTable()[inverse[v]], v) << v;
  }
}

TEST(PngDecoder, KeepsAndDropsChunksLikeTheWriterExpects) {
  TPNGImage png;
  std::vector<uint8_t> time{0x07, 0xE8, 2, 29, 23, 59, 60};
  Load(png, TPngFile()
                .IHDR(2, 1, 8, 0)
                .Chunk("tEXt", {'K', 0, 'v'})
                .Chunk("tIME", time)
                .Chunk("abCd", {1, 2})
                .Chunk("pHYs", {0, 0, 0x2E, 0x23, 0, 0, 0x2E, 0x23, 1})
                .IDAT({0, 1, 2})
                .IEND()
                .Bytes);
  ASSERT_EQ(png.Chunks().Count(), 7);
  EXPECT_EQ(png.Chunks().Items(1).ClassType(), &TChunkTEXT::New);
  EXPECT_EQ(png.Chunks().Items(2).Data().Bytes(), time);
  EXPECT_EQ(png.Chunks().Items(3).ClassType(), &TChunk::New);
  EXPECT_EQ(std::string(png.Chunks().Items(3).Type().data(), 4), "abCd");
  EXPECT_EQ(png.Chunks().First<TChunkPHYS>()->XDPI(), 300);

  TPNGImage copy;
  copy.SetFilters(0);
  copy.Assign(png);
  EXPECT_EQ(copy.Filters(), 27);
  ASSERT_EQ(copy.Chunks().Count(), png.Chunks().Count());
  EXPECT_EQ(copy.Chunks().Items(3).ClassType(), &TChunk::New);
  EXPECT_EQ(copy.Chunks().Items(2).ClassType(), &TChunkTIME::New);
  EXPECT_EQ(copy.Chunks().Items(2).Data().Bytes(), time);
  EXPECT_EQ(copy.ScanLine(0)[1], 2);
  EXPECT_EQ(ChunkTypes(Saved(png)),
            (std::vector<std::string>{"IHDR", "PLTE", "tIME", "pHYs", "IDAT", "IEND"}));

  EXPECT_PNG_ERROR(Load(png, TPngFile().IHDR(1, 1, 8, 0).Chunk("ABCD", {}).IEND().Bytes),
                   "The currently being loaded image contains critical(s) chunk(s) not "
                   "reconized by the decoder.");
}

TEST(PngDecoder, ReadsWhatThePixelDataHolds) {
  // IDAT data split over three chunks decodes as one stream.
  std::vector<uint8_t> z = Zlib({0, 10, 20, 30, 2, 1, 1, 1});
  size_t third = z.size() / 3;
  TPNGImage png;
  Load(png, TPngFile()
                .IHDR(3, 2, 8, 0)
                .Chunk("IDAT", {z.begin(), z.begin() + third})
                .Chunk("IDAT", {z.begin() + third, z.begin() + 2 * third})
                .Chunk("IDAT", {z.begin() + 2 * third, z.end()})
                .IEND()
                .Bytes);
  EXPECT_EQ(png.Chunks().Count(), 3);
  EXPECT_EQ(png.ScanLine(1)[2], 31);

  // 16-bit gray: high bytes, Sub with two bytes per pixel.
  Load(png, TPngFile().IHDR(3, 1, 16, 0).IDAT({1, 0x10, 0xFF, 0x01, 0x01, 0xF0, 0x02}).Bytes);
  EXPECT_EQ(png.PixelFormat(), pf8bit);
  EXPECT_EQ(png.ScanLine(0)[0], 0x10);
  EXPECT_EQ(png.ScanLine(0)[1], 0x11);  // byte by byte: 0x10 + 0x01
  EXPECT_EQ(png.ScanLine(0)[2], 0x01);  // 0x11 + 0xF0, wrapped

  // 2-bit palette: 4-bit values 0, 5, 10, 15 mapped back to the file's four colours.
  Load(png, TPngFile()
                .IHDR(5, 1, 2, 3)
                .Chunk("PLTE", {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4})
                .IDAT({0, 0x1B, 0xC0})
                .IEND()
                .Bytes);
  EXPECT_EQ(png.PixelFormat(), pf4bit);
  const uint8_t nibbles[3] = {0x05, 0xAF, 0xF0};
  EXPECT_EQ(std::memcmp(png.ScanLine(0), nibbles, 3), 0);
  ASSERT_EQ(png.Palette().size(), 16u);
  for (int v : {0, 5, 10, 15}) {
    uint8_t level = static_cast<uint8_t>(v / 5 + 1);
    EXPECT_EQ(png.Palette()[v], (TPNGColor{level, level, level}));
  }

  // RGBA: 24 bits without alpha; a stream without IEND decodes what it has.
  Load(png, TPngFile().IHDR(2, 1, 8, 6).IDAT({0, 1, 2, 3, 4, 5, 6, 7, 8}).Bytes);
  EXPECT_EQ(png.PixelFormat(), pf24bit);
  const uint8_t bgr[6] = {3, 2, 1, 7, 6, 5};
  EXPECT_EQ(std::memcmp(png.ScanLine(0), bgr, 6), 0);

  // A gAMA after the pixels is not in force when they are decoded.
  Load(png,
       TPngFile().IHDR(1, 1, 8, 2).IDAT({0, 100, 50, 200}).Chunk("gAMA", {0, 1, 0x86, 0xA0}).Bytes);
  EXPECT_EQ(png.ScanLine(0)[2], 100);
}

TEST(PngDecoder, ProgressIsReportedPerRowOrPass) {
  std::vector<std::pair<std::string, int32_t>> calls;
  TPNGImage png;
  png.OnProgress = [&](const std::string& Text, int32_t Percent) {
    calls.emplace_back(Text, Percent);
  };
  Load(png, TPngFile().IHDR(1, 4, 8, 0).IDAT({0, 1, 0, 2, 0, 3, 0, 4}).IEND().Bytes);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].first, "Drawing...");
  EXPECT_EQ(calls[1].second, 25);
  EXPECT_EQ(calls[3].second, 75);
  calls.clear();
  // 2 x 2 interlaced: passes 1, 6 and 7 hold pixels.
  Load(png, TPngFile().IHDR(2, 2, 8, 0, 1).IDAT({0, 1, 0, 2, 0, 3, 4}).IEND().Bytes);
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[1].second, 17);
  EXPECT_EQ(calls[3].second, 50);
  EXPECT_EQ(calls[6].second, 100);
  EXPECT_EQ(png.ScanLine(0)[0], 1);
  EXPECT_EQ(png.ScanLine(0)[1], 2);
  EXPECT_EQ(png.ScanLine(1)[0], 3);
  EXPECT_EQ(png.ScanLine(1)[1], 4);
}

TEST(PngDecoder, RefusesWithTheCodecsMessages) {
  std::vector<uint8_t> row{0, 0};
  struct {
    const char* name;
    std::vector<uint8_t> file;
    std::string message;
  } cases[] = {
      {"signature", {137, 80, 78, 71, 13, 10, 26, 11}, EPngInvalidFileHeader},
      {"not first", TPngFile().Chunk("tEXt", {0, 0}).IHDR(1, 1, 8, 0).IDAT(row).IEND().Bytes,
       EPngIHDRNotFirst},
      {"no data", TPngFile().IHDR(1, 1, 8, 0).IEND().Bytes, EPngNoImageData},
      {"no palette", TPngFile().IHDR(1, 1, 8, 3).IDAT(row).IEND().Bytes, EPngMissingPalette},
      {"palette length",
       TPngFile().IHDR(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4}).IDAT(row).IEND().Bytes,
       EPngInvalidPalette},
      {"color type", TPngFile().IHDR(1, 1, 8, 5).IDAT(row).IEND().Bytes, EPngUnknownColorType},
      {"filter type", TPngFile().IHDR(1, 1, 8, 0).IDAT({5, 0}).IEND().Bytes, EPngUnknownFilterType},
      {"interlace", TPngFile().IHDR(1, 1, 8, 0, 2).IDAT(row).IEND().Bytes, EPngUnknownInterlace},
      {"bit depth", TPngFile().IHDR(1, 1, 4, 2).IDAT(row).IEND().Bytes, EPngInvalidBitDepth},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPNGImage png;
    EXPECT_PNG_ERROR(Load(png, c.file), c.message);
  }
  // A damaged CRC.
  std::vector<uint8_t> file = TPngFile().IHDR(1, 1, 8, 0).IDAT(row).IEND().Bytes;
  file[8 + 8 + 13] ^= 1;
  TPNGImage png;
  EXPECT_PNG_ERROR(Load(png, file), "Can't read the PNG image, it has corrupted data. ");
}

}  // namespace
