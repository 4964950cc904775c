// BMP, the Windows and OS/2 variants: an optional bitmap array header, the file header, an
// information header of 12 (OS/2 1.1) or 16 to 64 bytes, the palette and the rows, bottom-up
// and padded to 4 bytes, raw or RLE8 / RLE4 coded.
#include <cstring>

#include "bitmapfmt_bits.h"
#include "bitmapfmt_error.h"
#include "bitmapfmt_formats.h"
#include "bitmapfmt_options.h"

namespace bitmapfmt::bmp {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kArrayHeaderBytes = 14;
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kLargestHeader = 64;

enum : int { kRgb = 0, kRle8 = 1, kRle4 = 2 };
constexpr int64_t kRunPixelsPerByte = 128;

bool HasSignature(const uint8_t* b, const char* letters) {
  return b[0] == letters[0] && b[1] == letters[1];
}

bool ValidHeaderSize(uint32_t size) {
  return size == kCoreHeader ||
         (size >= 16 && size <= kLargestHeader && (size % 4 == 0 || size == 42 || size == 46));
}

struct TInfo {
  int64_t W = 0;
  int64_t H = 0;
  unsigned Planes = 0;
  unsigned Bits = 0;
  uint32_t Compression = kRgb;
  uint32_t ColorsUsed = 0;
};

// The fields present in an information header of the given size (its size field read).
TInfo ReadInfo(TReadAhead& in, uint32_t size) {
  uint8_t b[kLargestHeader] = {};
  in.Read(b, size - 4);
  TInfo info;
  if (size == kCoreHeader) {
    info.W = Le16(b);
    info.H = Le16(b + 2);
    info.Planes = Le16(b + 4);
    info.Bits = Le16(b + 6);
    return info;
  }
  info.W = static_cast<int32_t>(Le32(b));
  info.H = static_cast<int32_t>(Le32(b + 4));
  info.Planes = Le16(b + 8);
  info.Bits = Le16(b + 10);
  if (size >= 20) info.Compression = Le32(b + 12);
  if (size >= 36) info.ColorsUsed = Le32(b + 28);
  return info;
}

void CheckInfo(const TInfo& info) {
  if (info.Planes != 1) Fail(kBmpPlanesNot1);
  if (info.Bits != 1 && info.Bits != 4 && info.Bits != 8 && info.Bits != 24) Fail(kBmpBitCount);
  const bool fits = info.Compression == kRgb || (info.Compression == kRle8 && info.Bits == 8) ||
                    (info.Compression == kRle4 && info.Bits == 4);
  if (!fits) Fail(kBmpCompression);
  // Rows run top-down when the height is negative, which only uncoded rows may be.
  if (info.W <= 0 || info.H == 0 || (info.H < 0 && info.Compression != kRgb)) Fail(kBadSize);
  if (info.W > 65535 || info.H > 65535 || info.H < -65535) Fail(kBadSize);
}

int PaletteEntriesOf(const TInfo& info) {
  if (info.Bits > 8) return 0;
  const uint32_t full = 1u << info.Bits;
  return (info.ColorsUsed == 0 || info.ColorsUsed > full) ? static_cast<int>(full)
                                                          : static_cast<int>(info.ColorsUsed);
}

// Runs and absolute runs of RLE8 / RLE4 data into the pixel buffer; pixels that would fall
// outside the bitmap are dropped.
class TRleDecoder {
 public:
  TRleDecoder(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data, bool rle4)
      : FIn(in),
        FData(data),
        FStride(RowBytes(desc.W, desc.Bpp)),
        FW(desc.W),
        FH(desc.H),
        FRle4(rle4) {}

  void Run() {
    while (FY < FH) {
      const uint8_t count = FIn.Byte();
      const uint8_t value = FIn.Byte();
      if (count > 0) {
        Repeat(count, value);
      } else if (!Escape(value)) {
        return;
      }
    }
  }

 private:
  // False at the end of the bitmap.
  bool Escape(uint8_t code) {
    switch (code) {
      case 0:
        FX = 0;
        ++FY;
        return true;
      case 1:
        return false;
      case 2: {
        const uint8_t dx = FIn.Byte();
        const uint8_t dy = FIn.Byte();
        Advance(dx);
        FY += dy;
        return true;
      }
      default:
        Absolute(code);
        return true;
    }
  }

  void Advance(int n) { FX = FX + n > FW ? FW : FX + n; }

  void Put(int x, unsigned v) {
    uint8_t* row = FData + FY * FStride;
    if (!FRle4) {
      row[x] = static_cast<uint8_t>(v);
    } else if (x & 1) {
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xf0) | v);
    } else {
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0f) | (v << 4));
    }
  }

  // A coded run: the byte (RLE8) or its two nibbles in turn (RLE4), count times.
  void Repeat(int count, uint8_t value) {
    const int end = FX + count < FW ? FX + count : FW;
    for (int x = FX, i = 0; x < end; ++x, ++i)
      Put(x, FRle4 ? ((i & 1) ? value & 0x0f : value >> 4) : value);
    Advance(count);
  }

  // count pixels as they stand, padded to a 16-bit boundary.
  void Absolute(int count) {
    const int bytes = FRle4 ? (count + 1) / 2 : count;
    uint8_t b[256];
    FIn.Read(b, static_cast<size_t>(bytes + (bytes & 1)));
    const int end = FX + count < FW ? FX + count : FW;
    for (int x = FX, i = 0; x < end; ++x, ++i)
      Put(x, FRle4 ? ((i & 1) ? b[i >> 1] & 0x0f : b[i >> 1] >> 4) : b[i]);
    Advance(count);
  }

  TReadAhead& FIn;
  uint8_t* FData;
  int64_t FStride;
  int FW;
  int FH;
  bool FRle4;
  int FX = 0;
  int FY = 0;
};

void ReadRows(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data) {
  const int64_t stride = RowBytes(desc.W, desc.Bpp);
  const int h = desc.H;
  const bool topDown = desc.Private.TopDown;
  const bool invert = desc.Bpp == 1 && (desc.Private.Options & kOptInvb) != 0;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = data + (topDown ? h - 1 - y : y) * stride;
    in.Read(row, static_cast<size_t>(stride));
    if (invert) InvertRowBits(row, desc.W);
  }
}

void CheckWriteOptions(unsigned options) {
  if ((options & kOpt11) && (options & (kOptWin | kOpt20))) Fail(kBadOption);
  if (Conflict(options, kOptDarkfg | kOptLightfg)) Fail(kBadOption);
}

// Whether the bits of a 1-bit image are written inverted.
bool InvertsBits(unsigned options, const TRgb* palette) {
  const bool darker = Brightness(palette[0]) < Brightness(palette[1]);
  bool invert = (options & kOptInvb) != 0;
  if ((options & kOptDarkfg) && darker) invert = !invert;
  if ((options & kOptLightfg) && !darker) invert = !invert;
  return invert;
}

void WriteHeaders(TWriteOut& out, const TBitmapDesc& desc, uint32_t infoBytes,
                  uint32_t paletteBytes) {
  const auto imageBytes = static_cast<uint32_t>(RowBytes(desc.W, desc.Bpp) * desc.H);
  const uint32_t offBits = kFileHeaderBytes + infoBytes + paletteBytes;
  uint8_t h[kFileHeaderBytes + kInfoHeader] = {'B', 'M'};
  PutLe32(h + 2, offBits + imageBytes);
  PutLe32(h + 10, offBits);
  uint8_t* info = h + kFileHeaderBytes;
  PutLe32(info, infoBytes);
  if (infoBytes == kCoreHeader) {
    PutLe16(info + 4, desc.W);
    PutLe16(info + 6, desc.H);
    PutLe16(info + 8, 1);
    PutLe16(info + 10, desc.Bpp);
  } else {
    PutLe32(info + 4, desc.W);
    PutLe32(info + 8, desc.H);
    PutLe16(info + 12, 1);
    PutLe16(info + 14, desc.Bpp);
    PutLe32(info + 20, imageBytes);
  }
  out.Put(h, kFileHeaderBytes + infoBytes);
}

void WritePalette(TWriteOut& out, const TRgb* palette, int entries, int entryBytes) {
  uint8_t b[256 * 4] = {};
  for (int i = 0; i < entries; ++i) {
    b[entryBytes * i] = palette[i].B;
    b[entryBytes * i + 1] = palette[i].G;
    b[entryBytes * i + 2] = palette[i].R;
  }
  out.Put(b, static_cast<size_t>(entries) * entryBytes);
}

}  // namespace

void ReadHeader(TReadAhead& in, TBitmapDesc& desc) {
  // The file header and the size field of the information header.
  uint8_t b[kFileHeaderBytes + 4];
  in.Seek(0);
  in.Read(b, 2);
  int64_t start = 0;
  if (HasSignature(b, "BA")) {
    start = kArrayHeaderBytes;
    in.Seek(start);
    in.Read(b, 2);
  }
  if (!HasSignature(b, "BM")) Fail(kBadMagic);
  in.Read(b + 2, sizeof b - 2);
  const uint32_t headerBytes = Le32(b + kFileHeaderBytes);
  if (!ValidHeaderSize(headerBytes)) Fail(kBmpCbFix);
  const TInfo info = ReadInfo(in, headerBytes);
  CheckInfo(info);
  desc.W = static_cast<int>(info.W);
  desc.H = static_cast<int>(info.H < 0 ? -info.H : info.H);
  desc.Bpp = static_cast<int>(info.Bits);
  TBitmapPrivate& p = desc.Private;
  p.PaletteOffset = start + kFileHeaderBytes + headerBytes;
  p.PaletteEntries = PaletteEntriesOf(info);
  p.PaletteEntryBytes = headerBytes == kCoreHeader ? 3 : 4;
  p.DataOffset = Le32(b + 10);
  p.Compression = static_cast<int>(info.Compression);
  p.TopDown = info.H < 0;
}

void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette) {
  const TBitmapPrivate& p = desc.Private;
  std::vector<uint8_t> b(static_cast<size_t>(p.PaletteEntries) * p.PaletteEntryBytes);
  in.Seek(p.PaletteOffset);
  in.Read(b.data(), b.size());
  for (int i = 0; i < p.PaletteEntries; ++i) {
    const uint8_t* e = b.data() + i * p.PaletteEntryBytes;
    palette[i] = {e[2], e[1], e[0]};
  }
  if (desc.Bpp == 1 && (p.Options & kOptInv) == 0) std::swap(palette[0], palette[1]);
}

// A coded run of two bytes makes at most 255 pixels; skips (deltas, early ends) that would
// leave most of a bitmap blank do not count: the codes must be able to make every pixel.
void CheckData(TReadAhead& in, const TBitmapDesc& desc) {
  const int64_t offset = desc.Private.DataOffset;
  if (desc.Private.Compression == kRgb) {
    in.RequireData(offset, RowBytes(desc.W, desc.Bpp) * desc.H, 1);
  } else {
    in.RequireData(offset, int64_t{desc.W} * desc.H, kRunPixelsPerByte);
  }
}

void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data) {
  in.Seek(desc.Private.DataOffset);
  if (desc.Private.Compression == kRgb) {
    ReadRows(in, desc, data);
  } else {
    TRleDecoder(in, desc, data, desc.Private.Compression == kRle4).Run();
  }
}

void WriteImage(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data) {
  CheckWriteOptions(options);
  const bool core = (options & kOpt11) != 0;
  const uint32_t infoBytes = core ? kCoreHeader : kInfoHeader;
  const int entryBytes = core ? 3 : 4;
  const int entries = desc.Bpp <= 8 ? 1 << desc.Bpp : 0;
  WriteHeaders(out, desc, infoBytes, static_cast<uint32_t>(entries * entryBytes));
  bool invert = false;
  if (desc.Bpp == 1) {
    const bool keep = (options & kOptInv) != 0;
    const TRgb black{0, 0, 0};
    const TRgb white{255, 255, 255};
    const TRgb blackWhite[2] = {keep ? black : white, keep ? white : black};
    WritePalette(out, blackWhite, 2, entryBytes);
    invert = InvertsBits(options, palette);
  } else if (entries > 0) {
    WritePalette(out, palette, entries, entryBytes);
  }
  const auto stride = static_cast<size_t>(RowBytes(desc.W, desc.Bpp));
  std::vector<uint8_t> row(stride);
  for (int y = 0; y < desc.H; ++y) {
    std::memcpy(row.data(), data + y * stride, stride);
    if (invert) InvertRowBits(row.data(), desc.W);
    out.Put(row.data(), stride);
  }
}

}  // namespace bitmapfmt::bmp
