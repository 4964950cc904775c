// Files from outside, made byte by byte: each is read correctly or refused with its code.
#include <gtest/gtest.h>

#include <initializer_list>

#include "bitmapfmt.h"
#include "bitmapfmt_images.h"
#include "le_bytes.h"

using namespace bitmapfmt;

namespace {

void Append(TBytes& b, std::initializer_list<int> bytes) {
  for (int v : bytes) b.push_back(static_cast<uint8_t>(v));
}

// ---- PCX ----

TBytes PcxHeader(int bitsPerPlane, int planes, int w, int h, int lineBytes) {
  TBytes b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = 1;
  b[3] = static_cast<uint8_t>(bitsPerPlane);
  Put16(b, 4, 3);  // a window that does not start at 0
  Put16(b, 6, 2);
  Put16(b, 8, 3 + w - 1);
  Put16(b, 10, 2 + h - 1);
  b[65] = static_cast<uint8_t>(planes);
  Put16(b, 66, lineBytes);
  return b;
}

TBytes Pcx8Trailer() {
  TBytes t(769, 0);
  t[0] = 12;
  for (int i = 0; i < 256; ++i) t[1 + 3 * i] = static_cast<uint8_t>(i);
  return t;
}

TEST(BitmapFmtPcx, HeaderRefusals) {
  struct {
    int At;
    int Value;
    int Code;
  } cases[] = {
      {0, 11, kBadMagic}, {1, 4, kPcxVersion}, {1, 6, kPcxVersion}, {2, 0, kPcxEncoding},
      {3, 2, kPcxPlanes}, {3, 32, kPcxPlanes}, {65, 2, kPcxPlanes}, {65, 0, kPcxPlanes},
      {66, 0, kBadSize},  {66, 1, kBadSize},   {8, 0, kBadSize},    {10, 1, kBadSize},
      {1, 3, kOk},        {1, 0, kOk},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    TBytes b = PcxHeader(1, 1, 16, 1, 2);
    b[c.At] = static_cast<uint8_t>(c.Value);
    Append(b, {0xc2, 0x5a});
    TBitmapDesc desc;
    EXPECT_EQ(ReadHeader("x", files.Add(b), kPcx, &desc, ""), c.Code) << c.At << "=" << c.Value;
  }
  TBitmapDesc desc;
  EXPECT_EQ(ReadHeader("x", files.Add(TBytes(127, 10)), kPcx, &desc, ""), kReadError);
  TBytes wide = PcxHeader(1, 1, 1, 1, 2);
  Put16(wide, 4, 0);
  Put16(wide, 8, 65535);  // 65536 pixels
  Put16(wide, 66, 8192);
  EXPECT_EQ(ReadHeader("x", files.Add(wide), kPcx, &desc, ""), kBadSize);
}

TEST(BitmapFmtPcx, EightBitTrailer) {
  TMemFiles files;
  TBytes b = PcxHeader(8, 1, 2, 1, 2);
  Append(b, {9, 0xc1, 200});
  TBytes good = b;
  TBytes trailer = Pcx8Trailer();
  good.insert(good.end(), trailer.begin(), trailer.end());
  TReading r = ReadBytes(files, good, kPcx);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Desc.W, 2);
  EXPECT_EQ(r.Image.Palette[200], (TRgb{200, 0, 0}));
  EXPECT_EQ(r.Image.Data, (TBytes{9, 200, 0, 0}));

  TBytes badMark = good;
  badMark[b.size()] = 13;
  EXPECT_EQ(ReadBytes(files, badMark, kPcx).Code, kPcxTrailer);
  EXPECT_EQ(ReadBytes(files, b, kPcx).Code, kPcxTrailer);  // file shorter than a trailer
}

// Runs carry on across the end of a line unless "trunc" is given; data that end early are a
// read error; a run past the last line is dropped.
TEST(BitmapFmtPcx, RunsAndLines) {
  TMemFiles files;
  TBytes b = PcxHeader(8, 1, 2, 3, 2);
  Append(b, {0xc3, 5, 6, 0xc2, 7, 8, 9, 0xcf, 1});
  TBytes trailer = Pcx8Trailer();
  b.insert(b.end(), trailer.begin(), trailer.end());
  // Rows bottom-up, 4 bytes each: carried on, lines are 5 5 | 5 6 | 7 7 (8 9 1... beyond).
  TReading carried = ReadBytes(files, b, kPcx);
  ASSERT_EQ(carried.Code, kOk);
  EXPECT_EQ(carried.Image.Data, (TBytes{7, 7, 0, 0, 5, 6, 0, 0, 5, 5, 0, 0}));
  // Truncated: 5 5 | 6 7 | 8 9.
  TReading truncated = ReadBytes(files, b, kPcx, "TRUNC");
  ASSERT_EQ(truncated.Code, kOk);
  EXPECT_EQ(truncated.Image.Data, (TBytes{8, 9, 0, 0, 6, 7, 0, 0, 5, 5, 0, 0}));

  TBytes cut = PcxHeader(8, 1, 2, 3, 2);
  Append(cut, {0xc3, 5});
  TBitmapDesc desc;
  std::vector<uint8_t> data{1, 2, 3};
  const int handle = files.Add(cut);
  ASSERT_EQ(ReadHeader("x", handle, kPcx, &desc, ""), kOk);
  EXPECT_EQ(ReadData(handle, kPcx, &desc, &data), kReadError);
  EXPECT_EQ(data, (TBytes{1, 2, 3}));  // left as it was
}

// Four planes of one bit merge into 4-bit pixels, three planes of 8 bits into blue-green-red.
TEST(BitmapFmtPcx, PlanesMerge) {
  TMemFiles files;
  TBytes four = PcxHeader(1, 4, 3, 1, 2);
  // planes 0..3 of pixels 0,1,2 = values 0b0101=5, 0b1010=10, 0b1111=15
  Append(four, {0xa0, 0, 0x60, 0, 0xa0, 0, 0x60, 0});
  TReading r = ReadBytes(files, four, kPcx);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Desc.Bpp, 4);
  EXPECT_EQ(r.Image.Data, (TBytes{0x5a, 0xf0, 0, 0}));

  TBytes rgb = PcxHeader(8, 3, 2, 1, 3);  // an odd line length, as some writers make
  Append(rgb, {1, 2, 0, 3, 4, 0, 5, 6, 0});
  r = ReadBytes(files, rgb, kPcx);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Desc.Bpp, 24);
  EXPECT_EQ(r.Image.Data, (TBytes{5, 3, 1, 6, 4, 2, 0, 0}));
  EXPECT_TRUE(r.Image.Palette.empty());

  TBytes mono = PcxHeader(1, 1, 10, 1, 2);
  Append(mono, {0xc2, 0xff});
  r = ReadBytes(files, mono, kPcx);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{0xff, 0xff, 0, 0}));
  EXPECT_EQ(r.Image.Palette, (std::vector<TRgb>{{0, 0, 0}, {255, 255, 255}}));
}

// ---- Targa ----

TBytes TgaHeader(int type, int depth, int w, int h, int descriptor = 0) {
  TBytes b(18, 0);
  b[2] = static_cast<uint8_t>(type);
  Put16(b, 12, w);
  Put16(b, 14, h);
  b[16] = static_cast<uint8_t>(depth);
  b[17] = static_cast<uint8_t>(descriptor);
  return b;
}

TBytes TgaMapped(int type, int depth, int entryBits, int first, int entries) {
  TBytes b = TgaHeader(type, depth, 2, 1);
  b[1] = 1;
  Put16(b, 3, first);
  Put16(b, 5, entries);
  b[7] = static_cast<uint8_t>(entryBits);
  return b;
}

TEST(BitmapFmtTarga, HeaderRefusals) {
  struct {
    TBytes Header;
    int Code;
  } cases[] = {
      {TgaMapped(1, 16, 24, 0, 2), kTgaBitsPerPixel},
      {TgaMapped(9, 8, 32, 0, 2), kTgaColorMapEntry},
      {TgaMapped(1, 8, 16, 0, 2), kTgaColorMapEntry},
      {TgaHeader(1, 8, 2, 1), kTgaColorMapEntry},
      {TgaHeader(2, 15, 2, 1), kTgaBitsPerPixel},
      {TgaHeader(10, 8, 2, 1), kTgaBitsPerPixel},
      {TgaHeader(3, 16, 2, 1), kTgaCompression},
      {TgaHeader(0, 8, 2, 1), kTgaCompression},
      {TgaHeader(32, 8, 2, 1), kTgaCompression},
      {TgaHeader(2, 24, 0, 1), kBadSize},
      {TgaHeader(11, 8, 5, 0), kBadSize},
      {TgaHeader(2, 32, 65535, 65535), kBadSize},
      {TgaHeader(3, 8, 2, 1), kOk},
  };
  TMemFiles files;
  for (const auto& c : cases) {
    TBitmapDesc desc;
    EXPECT_EQ(ReadHeader("x", files.Add(c.Header), kTga, &desc, ""), c.Code)
        << int{c.Header[2]} << " " << int{c.Header[16]};
  }
}

// 16-bit pixels are five bits each of blue, green and red; 32-bit ones drop their fourth byte;
// gray images get a ramp; the descriptor says which way rows and pixels run.
TEST(BitmapFmtTarga, PixelsAndOrientation) {
  TMemFiles files;
  TBytes sixteen = TgaHeader(2, 16, 2, 1);
  Append(sixteen, {0x1f, 0x00, 0xe0, 0x7f});  // pure blue; green and red full
  TReading r = ReadBytes(files, sixteen, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{255, 0, 0, 0, 255, 255, 0, 0}));

  TBytes thirtyTwo = TgaHeader(2, 32, 1, 2, 0x28);  // top-down, 8 alpha bits
  Append(thirtyTwo, {1, 2, 3, 4, 5, 6, 7, 8});
  r = ReadBytes(files, thirtyTwo, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{5, 6, 7, 0, 1, 2, 3, 0}));

  TBytes gray = TgaHeader(3, 8, 3, 2, 0x10);  // bottom-up, right to left
  gray[0] = 2;                                // an identification field
  Append(gray, {'i', 'd', 1, 2, 3, 4, 5, 6});
  r = ReadBytes(files, gray, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{3, 2, 1, 0, 6, 5, 4, 0}));
  ASSERT_EQ(r.Image.Palette.size(), 256u);
  EXPECT_EQ(r.Image.Palette[77], (TRgb{77, 77, 77}));
}

TEST(BitmapFmtTarga, ColourMap) {
  TMemFiles files;
  TBytes b = TgaMapped(1, 8, 24, 254, 3);  // entries 254, 255 and one beyond the pixels' reach
  Append(b, {1, 2, 3, 4, 5, 6, 7, 8, 9, 254, 255});
  TReading r = ReadBytes(files, b, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Palette[254], (TRgb{3, 2, 1}));
  EXPECT_EQ(r.Image.Palette[255], (TRgb{6, 5, 4}));
  EXPECT_EQ(r.Image.Palette[0], (TRgb{0, 0, 0}));
  EXPECT_EQ(r.Image.Data, (TBytes{254, 255, 0, 0}));

  TBytes past = TgaMapped(1, 8, 24, 0, 200);  // a map that runs past the end of the file
  Append(past, {1, 2, 3});
  EXPECT_EQ(ReadBytes(files, past, kTga).Code, kReadError);
  // A map in a true-colour file is skipped, whatever its entry size.
  TBytes skipped = TgaHeader(2, 24, 1, 1);
  skipped[1] = 1;
  Put16(skipped, 5, 2);
  skipped[7] = 15;
  Append(skipped, {9, 9, 9, 9, 1, 2, 3});
  r = ReadBytes(files, skipped, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{1, 2, 3, 0}));
}

// Packets run on from one line into the next; data that end inside a packet are a read error.
TEST(BitmapFmtTarga, RunLengthPackets) {
  TMemFiles files;
  TBytes b = TgaHeader(11, 8, 3, 2, 0x20);
  Append(b, {0x83, 7, 0x01, 8, 9});
  TReading r = ReadBytes(files, b, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{7, 8, 9, 0, 7, 7, 7, 0}));

  TBytes rgb = TgaHeader(10, 24, 2, 1);
  Append(rgb, {0x81, 1, 2, 3, 0x7f});
  r = ReadBytes(files, rgb, kTga);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{1, 2, 3, 1, 2, 3, 0, 0}));

  TBytes cut = TgaHeader(10, 24, 4, 1);
  Append(cut, {0x02, 1, 2, 3, 4});
  EXPECT_EQ(ReadBytes(files, cut, kTga).Code, kReadError);
  TBytes raw = TgaHeader(2, 24, 4, 4);
  EXPECT_EQ(ReadBytes(files, raw, kTga).Code, kReadError);
}

// ---- BMP ----

struct TBmp {
  uint32_t HeaderBytes = 40;
  int32_t W = 4;
  int32_t H = 2;
  unsigned Planes = 1;
  unsigned Bits = 8;
  uint32_t Compression = 0;
  uint32_t ColorsUsed = 0;
  int PaletteEntries = 256;
  TBytes Data = TBytes(8, 0x11);
  bool Array = false;
  int64_t OffBitsDelta = 0;

  TBytes Bytes() const {
    const bool core = HeaderBytes == 12;
    TBytes b(14 + std::max<uint32_t>(HeaderBytes, 40), 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, HeaderBytes);
    if (core) {
      Put16(b, 18, W);
      Put16(b, 20, H);
      Put16(b, 22, Planes);
      Put16(b, 24, Bits);
    } else {
      Put32(b, 18, W);
      Put32(b, 22, H);
      Put16(b, 26, Planes);
      Put16(b, 28, Bits);
      Put32(b, 30, Compression);
      Put32(b, 46, ColorsUsed);
    }
    b.resize(14 + HeaderBytes);
    for (int i = 0; i < PaletteEntries; ++i) {
      Append(b, {i, 0, 255 - i});
      if (!core) b.push_back(0);
    }
    Put32(b, 10, static_cast<uint32_t>((Array ? 14 : 0) + b.size() + OffBitsDelta));
    b.insert(b.end(), Data.begin(), Data.end());
    if (Array) {
      TBytes a{'B', 'A', 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      b.insert(b.begin(), a.begin(), a.end());
    }
    return b;
  }
};

TEST(BitmapFmtBmp, HeaderRefusals) {
  auto with = [](auto change) {
    TBmp b;
    change(b);
    return b.Bytes();
  };
  struct {
    TBytes File;
    int Code;
  } cases[] = {
      {with([](TBmp& b) { b.HeaderBytes = 8; }), kBmpCbFix},
      {with([](TBmp& b) { b.HeaderBytes = 68; }), kBmpCbFix},
      {with([](TBmp& b) { b.HeaderBytes = 108; }), kBmpCbFix},
      {with([](TBmp& b) { b.HeaderBytes = 18; }), kBmpCbFix},
      {with([](TBmp& b) { b.HeaderBytes = 42; }), kOk},
      {with([](TBmp& b) { b.HeaderBytes = 16; }), kOk},
      {with([](TBmp& b) { b.HeaderBytes = 64; }), kOk},
      {with([](TBmp& b) { b.Planes = 2; }), kBmpPlanesNot1},
      {with([](TBmp& b) { b.Bits = 16; }), kBmpBitCount},
      {with([](TBmp& b) { b.Bits = 32; }), kBmpBitCount},
      {with([](TBmp& b) { b.Compression = 3; }), kBmpCompression},
      {with([](TBmp& b) { b.Compression = 2; }), kBmpCompression},  // RLE4 of 8-bit pixels
      {with([](TBmp& b) { b.W = 0; }), kBadSize},
      {with([](TBmp& b) { b.H = 0; }), kBadSize},
      {with([](TBmp& b) { b.W = -4; }), kBadSize},
      {with([](TBmp& b) { b.H = -2, b.Compression = 1; }), kBadSize},
      {with([](TBmp& b) { b.W = 70000; }), kBadSize},
      {with([](TBmp& b) { b.W = 65535, b.H = 65535, b.Bits = 24; }), kBadSize},
  };
  TMemFiles files;
  for (size_t i = 0; i < std::size(cases); ++i) {
    TBitmapDesc desc;
    EXPECT_EQ(ReadHeader("x", files.Add(cases[i].File), kBmp, &desc, ""), cases[i].Code) << i;
  }
  TBytes notBmp = TBmp().Bytes();
  notBmp[1] = 'A';
  TBitmapDesc desc;
  EXPECT_EQ(ReadHeader("x", files.Add(notBmp), kBmp, &desc, ""), kBadMagic);
  EXPECT_EQ(ReadHeader("x", files.Add(TBytes{'B', 'M', 0}), kBmp, &desc, ""), kReadError);
}

TEST(BitmapFmtBmp, HeaderVariants) {
  TMemFiles files;
  TBmp core;
  core.HeaderBytes = 12;
  TReading r = ReadBytes(files, core.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Palette[3], (TRgb{252, 0, 3}));
  EXPECT_EQ(r.Image.Data, core.Data);

  TBmp array;
  array.Array = true;
  r = ReadBytes(files, array.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Palette[3], (TRgb{252, 0, 3}));
  EXPECT_EQ(r.Image.Data, array.Data);

  TBmp topDown;
  topDown.H = -2;
  topDown.Data = {1, 2, 3, 4, 5, 6, 7, 8};
  r = ReadBytes(files, topDown.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Desc.H, 2);
  EXPECT_EQ(r.Image.Data, (TBytes{5, 6, 7, 8, 1, 2, 3, 4}));

  // A short palette leaves the other entries black; a count beyond 2^bits is cut to it.
  TBmp shortPalette;
  shortPalette.ColorsUsed = 3;
  shortPalette.PaletteEntries = 3;
  r = ReadBytes(files, shortPalette.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Palette[2], (TRgb{253, 0, 2}));
  EXPECT_EQ(r.Image.Palette[3], (TRgb{0, 0, 0}));
  TBmp longPalette;
  longPalette.Bits = 1;
  longPalette.W = 8;
  longPalette.ColorsUsed = 1000;
  longPalette.PaletteEntries = 2;
  r = ReadBytes(files, longPalette.Bytes(), kBmp, "inv");
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Palette, (std::vector<TRgb>{{255, 0, 0}, {254, 0, 1}}));
}

TEST(BitmapFmtBmp, OffsetsPastTheEnd) {
  TMemFiles files;
  TBmp data;
  data.OffBitsDelta = 1000;
  EXPECT_EQ(ReadBytes(files, data.Bytes(), kBmp).Code, kReadError);
  TBmp palette;
  palette.PaletteEntries = 10;  // 256 entries announced, 10 there, no rows
  palette.Data.clear();
  EXPECT_EQ(ReadBytes(files, palette.Bytes(), kBmp).Code, kReadError);
  TBmp rows;
  rows.Data.resize(7);
  EXPECT_EQ(ReadBytes(files, rows.Bytes(), kBmp).Code, kReadError);
}

// RLE8: runs, absolute runs padded to 16 bits, end of line, delta, end of bitmap; pixels past
// the right edge or the top are dropped.
TEST(BitmapFmtBmp, RunLength8) {
  TMemFiles files;
  TBmp b;
  b.W = 5;
  b.H = 3;
  b.Compression = 1;
  b.Data = {3, 9, 0, 3, 1, 2, 3, 0,  // row 0: 9 9 9 1 2 3 (the last is beyond the edge)
            0, 0,                    // end of line
            0, 2, 1, 1,              // delta to x 1 of row 2
            9, 4,                    // a run of 9 past the edge
            0, 2, 0, 5,              // a delta past the top
            7, 7};                   // never read
  TReading r = ReadBytes(files, b.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{9, 9, 9, 1, 2, 0, 0, 0,  //
                                  0, 0, 0, 0, 0, 0, 0, 0,  //
                                  0, 4, 4, 4, 4, 0, 0, 0}));
  b.Data = {2, 1, 0, 1};  // end of bitmap early: the rest stays 0
  r = ReadBytes(files, b.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data[0], 1);
  b.Data = {2, 1, 0, 5, 1, 2};  // data end inside an absolute run
  EXPECT_EQ(ReadBytes(files, b.Bytes(), kBmp).Code, kReadError);
}

TEST(BitmapFmtBmp, RunLength4) {
  TMemFiles files;
  TBmp b;
  b.W = 7;
  b.H = 2;
  b.Bits = 4;
  b.Compression = 2;
  b.PaletteEntries = 16;
  b.Data = {5, 0x12, 0, 3, 0xab, 0xc0, 0, 0,  // row 0: 1 2 1 2 1 a b (c beyond the edge)
            9, 0x34, 0, 1};                   // row 1: 3 4 3 4 3 4 3
  TReading r = ReadBytes(files, b.Bytes(), kBmp);
  ASSERT_EQ(r.Code, kOk);
  EXPECT_EQ(r.Image.Data, (TBytes{0x12, 0x12, 0x1a, 0xb0, 0x34, 0x34, 0x34, 0x30}));
}

}  // namespace
