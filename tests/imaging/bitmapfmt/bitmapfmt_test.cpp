// The interface of the bitmap format module: table, guessing, messages, arguments, callbacks.
#include "bitmapfmt.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "bitmapfmt_images.h"

using namespace bitmapfmt;

namespace {

TEST(BitmapFmt, FormatTable) {
  int count = 0;
  EXPECT_EQ(FormatCount(&count), kOk);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(FormatCount(nullptr), kBadArgument);

  struct {
    const char* ShortName;
    const char* LongName;
    const char* Extensions;
    int Flags;
  } rows[] = {
      {"Bitmap", "OS/2 1.1, 1.2, 2.0 / Windows 3.0 bitmap", "BMP VGA BGA RLE DIB RL4 RL8", 0xff},
      {"PCX", "ZSoft PC Paintbrush Image format", "PCX PCC", 0xff},
      {"Targa", "Truevision Targa/Vista bitmap", "TGA VST AFI", 0xcc},
  };
  for (int i = 0; i < 3; ++i) {
    TBitmapFormat f;
    ASSERT_EQ(QueryFormat(i, &f), kOk);
    EXPECT_STREQ(f.ShortName, rows[i].ShortName);
    EXPECT_STREQ(f.LongName, rows[i].LongName);
    EXPECT_STREQ(f.Extensions, rows[i].Extensions);
    EXPECT_EQ(f.Flags, rows[i].Flags);
  }
  TBitmapFormat f;
  EXPECT_EQ(QueryFormat(3, &f), kBadArgument);
  EXPECT_EQ(QueryFormat(-1, &f), kBadArgument);
  EXPECT_EQ(QueryFormat(0, nullptr), kBadArgument);
}

TEST(BitmapFmt, GuessFormatByExtension) {
  struct {
    const char* Name;
    int Code;
    int Index;
  } cases[] = {
      {"page.bmp", kOk, 0},
      {"PAGE.Rl8", kOk, 0},
      {"/a/b.c/scan.PCC", kOk, 1},
      {"c:\\x.y\\pic.tga", kOk, 2},
      {"pic.vst", kOk, 2},
      {"a.b.pcx", kOk, 1},
      {"dir.bmp/file", kNotFound, 0},
      {"dir.bmp\\file", kNotFound, 0},
      {"noext", kNotFound, 0},
      {"trailing.", kNotFound, 0},
      {"x.bmpx", kNotFound, 0},
      {"x.png", kNotFound, 0},
  };
  for (const auto& c : cases) {
    int index = -1;
    EXPECT_EQ(GuessFormat(c.Name, &index), c.Code) << c.Name;
    if (c.Code == kOk) {
      EXPECT_EQ(index, c.Index) << c.Name;
    }
  }
  int index = 0;
  EXPECT_EQ(GuessFormat(nullptr, &index), kBadArgument);
  EXPECT_EQ(GuessFormat("a.bmp", nullptr), kBadArgument);
}

TEST(BitmapFmt, ErrorTexts) {
  struct {
    int Code;
    const char* Text;
  } cases[] = {
      {0, "ok"},
      {1, "out of memory"},
      {2, "not supported"},
      {3, "bad option(s)"},
      {4, "not found"},
      {5, "bad magic number / signiture block"},
      {6, "bad bitmap size"},
      {7, "can't read file"},
      {8, "can't write file"},
      {9, "bad argument to gbm function"},
      {300, "number of bitmap planes is not 1"},
      {301, "bit count not 1, 4, 8 or 24"},
      {302, "cbFix bad"},
      {303, "compression type not uncompressed, RLE4 or RLE8"},
      {304, "less bitmaps in file than index requested"},
      {400, "bits per pixel not 8, 16, 24 or 32"},
      {401, "unsupported compression type for bits per pixel"},
      {402, "color map entry size not 24 bits per pixel"},
      {700, "version number not 4 or 5"},
      {701, "encoding mode not 1"},
      {702, "unsupported bpp/plane / plane combination"},
      {703, "corrupt file trailer"},
      {10, "general error"},
      {-1, "general error"},
      {305, "general error"},
  };
  for (const auto& c : cases) EXPECT_STREQ(ErrorText(c.Code), c.Text) << c.Code;
}

TEST(BitmapFmt, MissingArgumentsGive9) {
  TMemFiles files;
  TImage image = Pattern(4, 4, 8);
  const int handle = files.Add();
  ASSERT_EQ(WriteImage("x", handle, kBmp, &image.Desc, &image.Palette, &image.Data, ""), kOk);
  TBitmapDesc desc;
  std::vector<TRgb> palette;
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadHeader(nullptr, handle, kBmp, &desc, ""), kBadArgument);
  EXPECT_EQ(ReadHeader("x", handle, kBmp, nullptr, ""), kBadArgument);
  EXPECT_EQ(ReadHeader("x", handle, 3, &desc, ""), kBadArgument);
  ASSERT_EQ(ReadHeader("x", handle, kBmp, &desc, nullptr), kOk);
  EXPECT_EQ(ReadPalette(handle, kBmp, nullptr, &palette), kBadArgument);
  EXPECT_EQ(ReadPalette(handle, kBmp, &desc, nullptr), kBadArgument);
  EXPECT_EQ(ReadData(handle, kBmp, nullptr, &data), kBadArgument);
  EXPECT_EQ(ReadData(handle, kBmp, &desc, nullptr), kBadArgument);
  EXPECT_EQ(ReadData(handle, -1, &desc, &data), kBadArgument);

  const int out = files.Add();
  EXPECT_EQ(WriteImage(nullptr, out, kBmp, &image.Desc, &image.Palette, &image.Data, ""),
            kBadArgument);
  EXPECT_EQ(WriteImage("x", out, kBmp, nullptr, &image.Palette, &image.Data, ""), kBadArgument);
  EXPECT_EQ(WriteImage("x", out, kBmp, &image.Desc, nullptr, &image.Data, ""), kBadArgument);
  EXPECT_EQ(WriteImage("x", out, kBmp, &image.Desc, &image.Palette, nullptr, ""), kBadArgument);
  EXPECT_EQ(WriteImage("x", out, 3, &image.Desc, &image.Palette, &image.Data, ""), kBadArgument);
  EXPECT_TRUE(files.Bytes(out).empty());
}

// A description that is not what this format's ReadHeader gave would make the reading steps
// walk a buffer of another size.
TEST(BitmapFmt, ReadingStepsRefuseAnotherDescription) {
  TMemFiles files;
  TImage image = Pattern(9, 5, 4);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteTo(files, kPcx, image, "", &bytes), kOk);
  const int handle = files.Add(bytes);
  TBitmapDesc desc;
  ASSERT_EQ(ReadHeader("x", handle, kPcx, &desc, ""), kOk);
  std::vector<uint8_t> data;
  std::vector<TRgb> palette;
  EXPECT_EQ(ReadData(handle, kBmp, &desc, &data), kBadArgument);
  TBitmapDesc wider = desc;
  wider.W = 4000;
  EXPECT_EQ(ReadData(handle, kPcx, &wider, &data), kBadArgument);
  TBitmapDesc deeper = desc;
  deeper.Bpp = 24;
  EXPECT_EQ(ReadPalette(handle, kPcx, &deeper, &palette), kBadArgument);
  TBitmapDesc fresh = image.Desc;
  EXPECT_EQ(ReadData(handle, kPcx, &fresh, &data), kBadArgument);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(ReadData(handle, kPcx, &desc, &data), kOk);
  EXPECT_EQ(data, image.Data);
}

TEST(BitmapFmt, WriteArgumentsAreChecked) {
  TMemFiles files;
  std::vector<uint8_t> bytes;
  struct {
    int Index;
    int W, H, Bpp;
    int PaletteEntries;  // -1: the full palette
    int64_t DataBytes;   // -1: the full buffer
    int Code;
  } cases[] = {
      {kTga, 8, 8, 1, -1, -1, kNotSupported},
      {kTga, 8, 8, 4, -1, -1, kNotSupported},
      {kBmp, 8, 8, 2, -1, -1, kBadArgument},
      {kBmp, 8, 8, 32, -1, -1, kBadArgument},
      {kBmp, 0, 8, 8, -1, -1, kBadSize},
      {kPcx, 8, -3, 8, -1, -1, kBadSize},
      {kBmp, 65536, 1, 1, -1, -1, kBadSize},
      {kPcx, 8, 8, 8, 255, -1, kBadArgument},
      {kBmp, 8, 8, 4, 15, -1, kBadArgument},
      {kTga, 8, 8, 24, -1, 8 * 8 * 3 - 1, kBadArgument},
      {kBmp, 8, 8, 1, 2, 32, kOk},
  };
  for (const auto& c : cases) {
    TImage image = Pattern(8, 8, c.Bpp == 2 || c.Bpp == 32 ? 8 : c.Bpp);
    image.Desc.W = c.W;
    image.Desc.H = c.H;
    image.Desc.Bpp = c.Bpp;
    if (c.PaletteEntries >= 0) image.Palette.resize(c.PaletteEntries);
    if (c.DataBytes >= 0) image.Data.resize(c.DataBytes);
    EXPECT_EQ(WriteTo(files, c.Index, image, "", &bytes), c.Code)
        << c.Index << " " << c.W << "x" << c.H << "x" << c.Bpp;
    if (c.Code != kOk) {
      EXPECT_TRUE(bytes.empty());
    }
  }
}

// Callbacks that fail or raise give the read and write codes; nothing escapes.
TEST(BitmapFmt, CallbackFailuresBecomeCodes) {
  TMemFiles files;
  TImage image = Pattern(30, 20, 24);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteTo(files, kBmp, image, "", &bytes), kOk);
  for (int64_t limit : {int64_t{0}, int64_t{10}, static_cast<int64_t>(bytes.size()) - 1}) {
    const int handle = files.Add();
    files.LimitWrites(handle, limit);
    EXPECT_EQ(WriteImage("x", handle, kBmp, &image.Desc, nullptr, &image.Data, ""), kWriteError);
  }

  TBitmapIo raising = CurrentIo();
  raising.Read = [](int, void*, int64_t) -> int64_t { throw std::runtime_error("disk"); };
  raising.Write = [](int, const void*, int64_t) -> int64_t { throw std::bad_alloc(); };
  SetIo(raising);
  const int handle = files.Add(bytes);
  TBitmapDesc desc;
  EXPECT_EQ(ReadHeader("x", handle, kBmp, &desc, ""), kReadError);
  EXPECT_EQ(WriteImage("x", files.Add(), kBmp, &image.Desc, nullptr, &image.Data, ""), kNoMemory);
  EXPECT_EQ(ReadHeader("x", 12345, kBmp, &desc, ""), kReadError);
}

// The default callbacks go to real files: Create truncates, Open reads, Close ends the handle.
TEST(BitmapFmt, DefaultCallbacksUseFiles) {
  SetIo({});
  const std::string name = ::testing::TempDir() + "bitmapfmt_default_io.pcx";
  TBitmapIo io = CurrentIo();
  TImage image = Pattern(21, 13, 8);
  for (int round = 0; round < 2; ++round) {  // the second round overwrites the first file
    const int out = io.Create(name);
    ASSERT_GE(out, 0);
    ASSERT_EQ(WriteImage(name.c_str(), out, kPcx, &image.Desc, &image.Palette, &image.Data, ""),
              kOk);
    EXPECT_EQ(io.Close(out), 0);
    EXPECT_EQ(io.Close(out), -1);
    image.Data[0] ^= 0xff;
  }
  image.Data[0] ^= 0xff;
  const int in = io.Open(name);
  ASSERT_GE(in, 0);
  TReading r = ReadAll(in, kPcx);
  io.Close(in);
  std::remove(name.c_str());
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, image.Data);
  EXPECT_EQ(r.Image.Palette, image.Palette);
  EXPECT_EQ(io.Open("/nonexistent/dir/x.pcx"), -1);
  EXPECT_EQ(io.Seek(-5, 0, TSeekOrigin::soBeginning), -1);
}

// Words are separated by blanks, tabs or commas and match whole, without regard to case.
TEST(BitmapFmt, OptionWords) {
  TMemFiles files;
  TImage image = Pattern(5, 3, 24);
  struct {
    const char* Options;
    int Code;
  } cases[] = {
      {"16,24", kBadOption},
      {"Yup\tYDOWN", kBadOption},
      {" 32 ,, 16 ", kBadOption},
      {"16x 24", kOk},
      {"yupydown", kOk},
      {"1.1 WIN", kOk},
      {"", kOk},
      {"unknown words", kOk},
  };
  std::vector<uint8_t> bytes;
  for (const auto& c : cases)
    EXPECT_EQ(WriteTo(files, kTga, image, c.Options, &bytes), c.Code) << c.Options;
}

}  // namespace
