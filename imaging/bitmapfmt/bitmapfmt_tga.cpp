// Targa: an 18-byte header, an identification field, an optional colour map and the pixels,
// raw or in run-length packets (which may run on from one line into the next).
#include <algorithm>
#include <cstring>

#include "bitmapfmt_bits.h"
#include "bitmapfmt_error.h"
#include "bitmapfmt_formats.h"
#include "bitmapfmt_options.h"

namespace bitmapfmt::tga {

namespace {

constexpr int kHeaderBytes = 18;
constexpr uint8_t kTopDown = 0x20;
constexpr uint8_t kRightToLeft = 0x10;
constexpr int64_t kRunPixels = 128;

enum : int {
  kMapped = 1,
  kTrueColour = 2,
  kGray = 3,
  kMappedRle = 9,
  kTrueColourRle = 10,
  kGrayRle = 11,
};

// Bits per pixel of the bitmap for an image type and stored depth; raises the type's code.
int BitsOf(int type, int depth, int mapType, int entryBits) {
  switch (type) {
    case kMapped:
    case kMappedRle:
      if (depth != 8) Fail(kTgaBitsPerPixel);
      if (mapType != 1 || entryBits != 24) Fail(kTgaColorMapEntry);
      return 8;
    case kTrueColour:
    case kTrueColourRle:
      if (depth != 16 && depth != 24 && depth != 32) Fail(kTgaBitsPerPixel);
      return 24;
    case kGray:
    case kGrayRle:
      if (depth != 8) Fail(kTgaCompression);
      return 8;
    default:
      Fail(kTgaCompression);
  }
}

// Reads the stored pixels of one line after another; run-length packets carry on across lines.
class TPixelSource {
 public:
  TPixelSource(TReadAhead& in, int pixelBytes, bool runs)
      : FIn(in), FPixelBytes(pixelBytes), FRuns(runs) {}

  void Line(uint8_t* line, int count) {
    if (!FRuns) {
      FIn.Read(line, static_cast<size_t>(count) * FPixelBytes);
      return;
    }
    int x = 0;
    while (x < count) {
      if (FLeft == 0) StartPacket();
      const int n = std::min(FLeft, count - x);
      uint8_t* at = line + static_cast<size_t>(x) * FPixelBytes;
      if (FRepeat) {
        for (int i = 0; i < n; ++i) std::memcpy(at + i * FPixelBytes, FPixel, FPixelBytes);
      } else {
        FIn.Read(at, static_cast<size_t>(n) * FPixelBytes);
      }
      x += n;
      FLeft -= n;
    }
  }

 private:
  void StartPacket() {
    const uint8_t h = FIn.Byte();
    FLeft = (h & 0x7f) + 1;
    FRepeat = (h & 0x80) != 0;
    if (FRepeat) FIn.Read(FPixel, FPixelBytes);
  }

  TReadAhead& FIn;
  int FPixelBytes;
  bool FRuns;
  int FLeft = 0;
  bool FRepeat = false;
  uint8_t FPixel[4] = {};
};

// Converts a line of stored pixels into a row of the pixel buffer.
using TConverter = void (*)(const uint8_t* line, int w, uint8_t* row);

void Copy8(const uint8_t* line, int w, uint8_t* row) {
  std::memcpy(row, line, w);
}

void Copy24(const uint8_t* line, int w, uint8_t* row) {
  std::memcpy(row, line, static_cast<size_t>(w) * 3);
}

uint8_t Expand5(unsigned v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}

void From16(const uint8_t* line, int w, uint8_t* row) {
  for (int x = 0; x < w; ++x) {
    const unsigned v = Le16(line + 2 * x);
    row[3 * x] = Expand5(v & 0x1f);
    row[3 * x + 1] = Expand5((v >> 5) & 0x1f);
    row[3 * x + 2] = Expand5((v >> 10) & 0x1f);
  }
}

void From32(const uint8_t* line, int w, uint8_t* row) {
  for (int x = 0; x < w; ++x) std::memcpy(row + 3 * x, line + 4 * x, 3);
}

TConverter ConverterOf(int depth) {
  switch (depth) {
    case 8:
      return Copy8;
    case 16:
      return From16;
    case 24:
      return Copy24;
    default:
      return From32;
  }
}

// Reverses the order of the pixels of a row.
void Mirror(uint8_t* row, int w, int pixelBytes) {
  if (pixelBytes == 1) {
    std::reverse(row, row + w);
    return;
  }
  for (int a = 0, b = w - 1; a < b; ++a, --b)
    std::swap_ranges(row + 3 * a, row + 3 * a + 3, row + 3 * b);
}

// Converts a row of the pixel buffer into stored pixels of the given depth.
using TStorer = void (*)(const uint8_t* row, int w, uint8_t* line);

void To16(const uint8_t* row, int w, uint8_t* line) {
  for (int x = 0; x < w; ++x) {
    const unsigned v =
        (row[3 * x] >> 3) | ((row[3 * x + 1] >> 3) << 5) | ((row[3 * x + 2] >> 3) << 10);
    PutLe16(line + 2 * x, v);
  }
}

void To32(const uint8_t* row, int w, uint8_t* line) {
  for (int x = 0; x < w; ++x) {
    std::memcpy(line + 4 * x, row + 3 * x, 3);
    line[4 * x + 3] = 0xff;
  }
}

TStorer StorerOf(int depth) {
  switch (depth) {
    case 8:
      return Copy8;
    case 16:
      return To16;
    case 24:
      return Copy24;
    default:
      return To32;
  }
}

// The stored depth of a bitmap under the options; raises kBadOption when they conflict.
int StoredDepth(unsigned options, int bpp) {
  const unsigned depths = kOpt16 | kOpt24 | kOpt32;
  if (Conflict(options, kOptYup | kOptYdown)) Fail(kBadOption);
  if (bpp == 8) {
    if (options & depths) Fail(kBadOption);
    return 8;
  }
  if (Conflict(options, depths)) Fail(kBadOption);
  if (options & kOpt16) return 16;
  return (options & kOpt32) ? 32 : 24;
}

void WriteHeader(TWriteOut& out, const TBitmapDesc& desc, int depth, bool topDown) {
  uint8_t h[kHeaderBytes] = {};
  const bool mapped = desc.Bpp == 8;
  h[1] = mapped ? 1 : 0;
  h[2] = mapped ? kMapped : kTrueColour;
  if (mapped) {
    PutLe16(h + 5, 256);
    h[7] = 24;
  }
  PutLe16(h + 12, desc.W);
  PutLe16(h + 14, desc.H);
  h[16] = static_cast<uint8_t>(depth);
  h[17] = static_cast<uint8_t>((depth == 32 ? 8 : 0) | (topDown ? kTopDown : 0));
  out.Put(h, sizeof h);
}

void WriteColourMap(TWriteOut& out, const TRgb* palette) {
  uint8_t map[256 * 3];
  for (int i = 0; i < 256; ++i) {
    map[3 * i] = palette[i].B;
    map[3 * i + 1] = palette[i].G;
    map[3 * i + 2] = palette[i].R;
  }
  out.Put(map, sizeof map);
}

}  // namespace

void ReadHeader(TReadAhead& in, TBitmapDesc& desc) {
  uint8_t h[kHeaderBytes];
  in.Seek(0);
  in.Read(h, sizeof h);
  const int mapType = h[1];
  const int type = h[2];
  const int entryBits = h[7];
  const int depth = h[16];
  desc.Bpp = BitsOf(type, depth, mapType, entryBits);
  desc.W = static_cast<int>(Le16(h + 12));
  desc.H = static_cast<int>(Le16(h + 14));
  if (desc.W < 1 || desc.H < 1) Fail(kBadSize);
  const int entries = static_cast<int>(Le16(h + 5));
  const int64_t mapBytes = mapType == 1 ? int64_t{entries} * ((entryBits + 7) / 8) : 0;
  TBitmapPrivate& p = desc.Private;
  p.PaletteOffset = kHeaderBytes + h[0];
  p.PaletteEntries = entries;
  p.FirstEntry = static_cast<int>(Le16(h + 3));
  p.DataOffset = p.PaletteOffset + mapBytes;
  p.FileBits = depth;
  p.Compression = type;
  p.TopDown = (h[17] & kTopDown) != 0;
  p.RightToLeft = (h[17] & kRightToLeft) != 0;
}

void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette) {
  const TBitmapPrivate& p = desc.Private;
  if (p.Compression == kGray || p.Compression == kGrayRle) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      palette[i] = {v, v, v};
    }
    return;
  }
  // Only the entries that 8-bit pixels can reach are kept.
  const int count = std::clamp(256 - p.FirstEntry, 0, p.PaletteEntries);
  std::vector<uint8_t> map(static_cast<size_t>(count) * 3);
  in.Seek(p.PaletteOffset);
  in.Read(map.data(), map.size());
  for (int i = 0; i < count; ++i)
    palette[p.FirstEntry + i] = {map[3 * i + 2], map[3 * i + 1], map[3 * i]};
}

// Raw pixels are stored whole; a run packet of one byte and one pixel makes up to 128 pixels.
void CheckData(TReadAhead& in, const TBitmapDesc& desc) {
  const TBitmapPrivate& p = desc.Private;
  const int pixelBytes = p.FileBits / 8;
  const int64_t pixels = int64_t{desc.W} * desc.H;
  if (p.Compression >= kMappedRle) {
    in.RequireData(p.DataOffset, pixels * (1 + pixelBytes), kRunPixels);
  } else {
    in.RequireData(p.DataOffset, pixels * pixelBytes, 1);
  }
}

void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data) {
  const TBitmapPrivate& p = desc.Private;
  const int pixelBytes = p.FileBits / 8;
  const bool runs = p.Compression >= kMappedRle;
  TPixelSource source(in, pixelBytes, runs);
  const TConverter convert = ConverterOf(p.FileBits);
  const int64_t stride = RowBytes(desc.W, desc.Bpp);
  const int w = desc.W;
  const int h = desc.H;
  const int rowPixelBytes = desc.Bpp / 8;
  std::vector<uint8_t> line(static_cast<size_t>(w) * pixelBytes);
  in.Seek(p.DataOffset);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = data + (p.TopDown ? h - 1 - y : y) * stride;
    source.Line(line.data(), w);
    convert(line.data(), w, row);
    if (p.RightToLeft) Mirror(row, w, rowPixelBytes);
  }
}

void WriteImage(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data) {
  const int depth = StoredDepth(options, desc.Bpp);
  const bool topDown = (options & kOptYdown) != 0;
  WriteHeader(out, desc, depth, topDown);
  if (desc.Bpp == 8) WriteColourMap(out, palette);
  const TStorer store = StorerOf(depth);
  const int64_t stride = RowBytes(desc.W, desc.Bpp);
  const int w = desc.W;
  const int h = desc.H;
  std::vector<uint8_t> line(static_cast<size_t>(w) * (depth / 8));
  for (int y = 0; y < h; ++y) {
    store(data + (topDown ? h - 1 - y : y) * stride, w, line.data());
    out.Put(line.data(), line.size());
  }
}

}  // namespace bitmapfmt::tga
