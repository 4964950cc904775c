// PCX: a 128-byte header, run-length coded lines stored top-down (one line of each plane in
// turn) and, for 8 bits, a 256-entry palette after the byte 12 at the end of the file.
#include <algorithm>
#include <cstring>

#include "bitmapfmt_bits.h"
#include "bitmapfmt_error.h"
#include "bitmapfmt_formats.h"
#include "bitmapfmt_options.h"

namespace bitmapfmt::pcx {

namespace {

constexpr int kHeaderBytes = 128;
constexpr int kHeaderPalette = 16;
constexpr int64_t kTrailerBytes = 1 + 768;
constexpr uint8_t kTrailerMark = 12;
constexpr int64_t kRunBytesPerByte = 32;
constexpr uint8_t kRunMark = 0xc0;
constexpr int kLongestRun = 63;

// Bits per pixel of a planes layout, 0 when it is not one of the readable ones.
int BitsOf(int bitsPerPlane, int planes) {
  if (bitsPerPlane == 1 && planes == 1) return 1;
  if ((bitsPerPlane == 1 && planes == 4) || (bitsPerPlane == 4 && planes == 1)) return 4;
  if (bitsPerPlane == 8 && planes == 1) return 8;
  if (bitsPerPlane == 8 && planes == 3) return 24;
  return 0;
}

// Decodes run-length coded bytes line by line; a run left over at the end of a line carries on
// into the next one unless the runs are truncated.
class TRunDecoder {
 public:
  TRunDecoder(TReadAhead& in, bool truncate) : FIn(in), FTruncate(truncate) {}

  void Line(uint8_t* line, size_t count) {
    size_t i = 0;
    while (i < count) {
      if (FPending == 0) {
        const uint8_t b = FIn.Byte();
        if ((b & kRunMark) != kRunMark) {
          line[i++] = b;
          continue;
        }
        FPending = b & ~kRunMark;
        FValue = FIn.Byte();
      }
      const size_t n = std::min(FPending, count - i);
      std::memset(line + i, FValue, n);
      i += n;
      FPending -= n;
    }
    if (FTruncate) FPending = 0;
  }

 private:
  TReadAhead& FIn;
  bool FTruncate;
  size_t FPending = 0;
  uint8_t FValue = 0;
};

// Places one decoded file line (planes of lineBytes each) into a row of the pixel buffer.
using TPlacer = void (*)(const uint8_t* line, size_t lineBytes, int w, uint8_t* row);

void PlaceCopy1(const uint8_t* line, size_t, int w, uint8_t* row) {
  std::memcpy(row, line, (static_cast<size_t>(w) + 7) / 8);
}

void PlaceCopy4(const uint8_t* line, size_t, int w, uint8_t* row) {
  std::memcpy(row, line, (static_cast<size_t>(w) + 1) / 2);
}

void PlaceCopy8(const uint8_t* line, size_t, int w, uint8_t* row) {
  std::memcpy(row, line, static_cast<size_t>(w));
}

void PlaceFourPlanes(const uint8_t* line, size_t lineBytes, int w, uint8_t* row) {
  const uint8_t* p0 = line;
  const uint8_t* p1 = line + lineBytes;
  const uint8_t* p2 = line + 2 * lineBytes;
  const uint8_t* p3 = line + 3 * lineBytes;
  for (int x = 0; x < w; ++x) {
    const int shift = 7 - (x & 7);
    const int i = x >> 3;
    const int v = ((p0[i] >> shift) & 1) | (((p1[i] >> shift) & 1) << 1) |
                  (((p2[i] >> shift) & 1) << 2) | (((p3[i] >> shift) & 1) << 3);
    row[x >> 1] |= static_cast<uint8_t>((x & 1) ? v : v << 4);
  }
}

void PlaceThreePlanes(const uint8_t* line, size_t lineBytes, int w, uint8_t* row) {
  const uint8_t* red = line;
  const uint8_t* green = line + lineBytes;
  const uint8_t* blue = line + 2 * lineBytes;
  for (int x = 0; x < w; ++x) {
    row[3 * x] = blue[x];
    row[3 * x + 1] = green[x];
    row[3 * x + 2] = red[x];
  }
}

TPlacer PlacerOf(int bitsPerPlane, int planes) {
  if (planes == 4) return PlaceFourPlanes;
  if (planes == 3) return PlaceThreePlanes;
  if (bitsPerPlane == 1) return PlaceCopy1;
  return bitsPerPlane == 4 ? PlaceCopy4 : PlaceCopy8;
}

void ReadEntries(TReadAhead& in, TRgb* palette, size_t count) {
  std::vector<uint8_t> bytes(count * 3);
  in.Read(bytes.data(), bytes.size());
  for (size_t i = 0; i < count; ++i)
    palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
}

// The stored layout of each depth: bits per plane and planes.
struct TLayout {
  int BitsPerPlane;
  int Planes;
};

TLayout LayoutOf(int bpp) {
  switch (bpp) {
    case 1:
      return {1, 1};
    case 4:
      return {1, 4};
    case 8:
      return {8, 1};
    default:
      return {8, 3};
  }
}

// Splits a row of the pixel buffer into planes of lineBytes each (the padding zeroed).
using TSplitter = void (*)(const uint8_t* row, int w, size_t lineBytes, uint8_t* line);

void SplitCopy1(const uint8_t* row, int w, size_t, uint8_t* line) {
  std::memcpy(line, row, (static_cast<size_t>(w) + 7) / 8);
}

void SplitCopy8(const uint8_t* row, int w, size_t, uint8_t* line) {
  std::memcpy(line, row, static_cast<size_t>(w));
}

void SplitFourPlanes(const uint8_t* row, int w, size_t lineBytes, uint8_t* line) {
  for (int x = 0; x < w; ++x) {
    const int v = (x & 1) ? row[x >> 1] & 0x0f : row[x >> 1] >> 4;
    const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
    for (int p = 0; p < 4; ++p)
      if ((v >> p) & 1) line[p * lineBytes + (x >> 3)] |= bit;
  }
}

void SplitThreePlanes(const uint8_t* row, int w, size_t lineBytes, uint8_t* line) {
  uint8_t* red = line;
  uint8_t* green = line + lineBytes;
  uint8_t* blue = line + 2 * lineBytes;
  for (int x = 0; x < w; ++x) {
    blue[x] = row[3 * x];
    green[x] = row[3 * x + 1];
    red[x] = row[3 * x + 2];
  }
}

TSplitter SplitterOf(int bpp) {
  switch (bpp) {
    case 1:
      return SplitCopy1;
    case 4:
      return SplitFourPlanes;
    case 8:
      return SplitCopy8;
    default:
      return SplitThreePlanes;
  }
}

// Runs of up to 63 bytes; a single byte that looks like a run mark is written as a run of one.
void EncodeLine(const uint8_t* line, size_t count, std::vector<uint8_t>& coded) {
  size_t i = 0;
  while (i < count) {
    const uint8_t v = line[i];
    size_t run = 1;
    while (i + run < count && run < kLongestRun && line[i + run] == v) ++run;
    if (run > 1 || v >= kRunMark) coded.push_back(static_cast<uint8_t>(kRunMark | run));
    coded.push_back(v);
    i += run;
  }
}

void WriteHeader(TWriteOut& out, const TBitmapDesc& desc, const TRgb* palette, TLayout layout,
                 size_t lineBytes) {
  uint8_t h[kHeaderBytes] = {};
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = static_cast<uint8_t>(layout.BitsPerPlane);
  PutLe16(h + 8, desc.W - 1);
  PutLe16(h + 10, desc.H - 1);
  if (desc.Bpp == 1) {
    h[kHeaderPalette + 3] = h[kHeaderPalette + 4] = h[kHeaderPalette + 5] = 255;
  } else if (desc.Bpp == 4) {
    for (int i = 0; i < 16; ++i) {
      h[kHeaderPalette + 3 * i] = palette[i].R;
      h[kHeaderPalette + 3 * i + 1] = palette[i].G;
      h[kHeaderPalette + 3 * i + 2] = palette[i].B;
    }
  }
  h[65] = static_cast<uint8_t>(layout.Planes);
  PutLe16(h + 66, static_cast<unsigned>(lineBytes));
  h[68] = 1;
  out.Put(h, sizeof h);
}

void WriteTrailer(TWriteOut& out, const TRgb* palette) {
  uint8_t trailer[kTrailerBytes];
  trailer[0] = kTrailerMark;
  for (int i = 0; i < 256; ++i) {
    trailer[1 + 3 * i] = palette[i].R;
    trailer[2 + 3 * i] = palette[i].G;
    trailer[3 + 3 * i] = palette[i].B;
  }
  out.Put(trailer, sizeof trailer);
}

}  // namespace

void ReadHeader(TReadAhead& in, TBitmapDesc& desc) {
  uint8_t h[kHeaderBytes];
  in.Seek(0);
  in.Read(h, sizeof h);
  if (h[0] != 10) Fail(kBadMagic);
  if (h[1] == 4 || h[1] > 5) Fail(kPcxVersion);
  if (h[2] != 1) Fail(kPcxEncoding);
  const int bitsPerPlane = h[3];
  const int planes = h[65];
  const int bpp = BitsOf(bitsPerPlane, planes);
  if (bpp == 0) Fail(kPcxPlanes);
  const int w = static_cast<int>(Le16(h + 8)) - static_cast<int>(Le16(h + 4)) + 1;
  const int height = static_cast<int>(Le16(h + 10)) - static_cast<int>(Le16(h + 6)) + 1;
  if (w <= 0 || height <= 0) Fail(kBadSize);
  const int lineBytes = static_cast<int>(Le16(h + 66));
  if (lineBytes < (w * bitsPerPlane + 7) / 8) Fail(kBadSize);
  desc.W = w;
  desc.H = height;
  desc.Bpp = bpp;
  desc.Private.FileBits = bitsPerPlane;
  desc.Private.Planes = planes;
  desc.Private.LineBytes = lineBytes;
  desc.Private.DataOffset = kHeaderBytes;
}

void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette) {
  switch (desc.Bpp) {
    case 1:
      palette[0] = {0, 0, 0};
      palette[1] = {255, 255, 255};
      return;
    case 4:
      in.Seek(kHeaderPalette);
      ReadEntries(in, palette.data(), 16);
      return;
    default: {
      const int64_t size = in.FileSize();
      if (size < kHeaderBytes + kTrailerBytes) Fail(kPcxTrailer);
      in.Seek(size - kTrailerBytes);
      if (in.Byte() != kTrailerMark) Fail(kPcxTrailer);
      ReadEntries(in, palette.data(), 256);
    }
  }
}

// A run of two bytes makes at most 63 bytes of a line.
void CheckData(TReadAhead& in, const TBitmapDesc& desc) {
  const TBitmapPrivate& p = desc.Private;
  in.RequireData(p.DataOffset, int64_t{p.LineBytes} * p.Planes * desc.H, kRunBytesPerByte);
}

void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data) {
  const TBitmapPrivate& p = desc.Private;
  const auto lineBytes = static_cast<size_t>(p.LineBytes);
  std::vector<uint8_t> line(lineBytes * p.Planes);
  TRunDecoder runs(in, (p.Options & kOptTrunc) != 0);
  const TPlacer place = PlacerOf(p.FileBits, p.Planes);
  const int64_t stride = RowBytes(desc.W, desc.Bpp);
  const int w = desc.W;
  const int h = desc.H;
  in.Seek(p.DataOffset);
  for (int y = 0; y < h; ++y) {
    runs.Line(line.data(), line.size());
    place(line.data(), lineBytes, w, data + (h - 1 - y) * stride);
  }
}

void WriteImage(TWriteOut& out, unsigned, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data) {
  const TLayout layout = LayoutOf(desc.Bpp);
  const size_t lineBytes = (static_cast<size_t>(desc.W) * layout.BitsPerPlane + 15) / 16 * 2;
  // The header holds the bytes of a plane line in 16 bits.
  if (lineBytes > 0xFFFF) Fail(kBadSize);
  WriteHeader(out, desc, palette, layout, lineBytes);
  const bool invert = desc.Bpp == 1 && Brightness(palette[0]) > Brightness(palette[1]);
  const TSplitter split = SplitterOf(desc.Bpp);
  const int64_t stride = RowBytes(desc.W, desc.Bpp);
  const int w = desc.W;
  const int h = desc.H;
  std::vector<uint8_t> line(lineBytes * layout.Planes);
  std::vector<uint8_t> coded;
  for (int y = 0; y < h; ++y) {
    std::fill(line.begin(), line.end(), 0);
    split(data + (h - 1 - y) * stride, w, lineBytes, line.data());
    if (invert) InvertRowBits(line.data(), w);
    coded.clear();
    for (int p = 0; p < layout.Planes; ++p)
      EncodeLine(line.data() + p * lineBytes, lineBytes, coded);
    out.Put(coded.data(), coded.size());
  }
  if (desc.Bpp == 8) WriteTrailer(out, palette);
}

}  // namespace bitmapfmt::pcx
