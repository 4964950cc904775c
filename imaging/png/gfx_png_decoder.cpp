// Pixel decoding of the IDAT data: inflate row by row, unfilter each row, convert it into the
// bitmap's layout, and place the rows of interlaced passes.
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "../limits.h"
#include "gfx_png.h"
#include "gfx_png_filters.h"
#include "gfx_png_raise.h"
#include "rounding.h"

namespace {

using TGammaTable = TChunkGAMA::TGammaTable;

// Inflates exactly the bytes asked for; a stream that ends short or is damaged raises. Data
// beyond the rows is never read.
class TInflater {
 public:
  explicit TInflater(const std::vector<uint8_t>& Data) : FData(Data) {
    if (inflateInit(&FStream) != Z_OK) RaiseCorrupted();
  }
  ~TInflater() { inflateEnd(&FStream); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  void Read(uint8_t* Out, size_t Count) {
    FStream.next_out = Out;
    FStream.avail_out = static_cast<uInt>(Count);
    while (FStream.avail_out > 0) {
      if (FStream.avail_in == 0 && FOffset < FData.size()) {
        size_t slice = std::min<size_t>(FData.size() - FOffset, UINT_MAX);
        FStream.next_in = const_cast<Bytef*>(FData.data() + FOffset);
        FStream.avail_in = static_cast<uInt>(slice);
        FOffset += slice;
      }
      int result = inflate(&FStream, Z_NO_FLUSH);
      if (result == Z_STREAM_END && FStream.avail_out == 0) break;
      if (result != Z_OK) RaiseCorrupted();
    }
  }

 private:
  const std::vector<uint8_t>& FData;
  size_t FOffset = 0;
  z_stream FStream{};
};

// Converts Width file pixels into the bitmap's row layout.
using TRowConverter = void (*)(const uint8_t* Src, uint8_t* Dst, uint32_t Width,
                               const TGammaTable& Gamma);
// Puts Count converted pass pixels at columns Start, Start + Step, ... of a bitmap row.
using TScatter = void (*)(const uint8_t* Pass, uint8_t* Row, uint32_t Count, uint32_t Start,
                          uint32_t Step);

template <int Bits>
void CopySamples(const uint8_t* Src, uint8_t* Dst, uint32_t Width, const TGammaTable&) {
  std::memcpy(Dst, Src, (size_t{Width} * Bits + 7) / 8);
}

// 2-bit samples become the 4-bit values 0, 5, 10, 15.
void WidenTwoBits(const uint8_t* Src, uint8_t* Dst, uint32_t Width, const TGammaTable&) {
  static const std::array<uint16_t, 256> widened = [] {
    std::array<uint16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      int s0 = (b >> 6) * 5, s1 = ((b >> 4) & 3) * 5, s2 = ((b >> 2) & 3) * 5, s3 = (b & 3) * 5;
      t[b] = static_cast<uint16_t>((s0 << 4 | s1) << 8 | (s2 << 4 | s3));
    }
    return t;
  }();
  size_t bytes = (size_t{Width} + 1) / 2;
  for (size_t i = 0; i < bytes; ++i) {
    uint16_t pair = widened[Src[i >> 1]];
    Dst[i] = static_cast<uint8_t>((i & 1) != 0 ? pair : pair >> 8);
  }
}

// Gray samples of 16 bits, or gray with alpha: the first byte of every Step bytes.
template <int Step>
void TakeGray(const uint8_t* Src, uint8_t* Dst, uint32_t Width, const TGammaTable&) {
  for (uint32_t x = 0; x < Width; ++x) Dst[x] = Src[size_t{x} * Step];
}

// RGB with or without alpha, 8 or 16 bits a sample: blue, green, red through the gamma table.
template <int Step, int SampleBytes>
void TakeRGB(const uint8_t* Src, uint8_t* Dst, uint32_t Width, const TGammaTable& Gamma) {
  for (uint32_t x = 0; x < Width; ++x) {
    const uint8_t* p = Src + size_t{x} * Step;
    uint8_t* q = Dst + size_t{x} * 3;
    q[0] = Gamma[p[2 * SampleBytes]];
    q[1] = Gamma[p[SampleBytes]];
    q[2] = Gamma[p[0]];
  }
}

void ScatterBits(const uint8_t* Pass, uint8_t* Row, uint32_t Count, uint32_t Start, uint32_t Step) {
  for (uint32_t k = 0, x = Start; k < Count; ++k, x += Step) {
    uint8_t bit = (Pass[k >> 3] >> (7 - (k & 7))) & 1;
    Row[x >> 3] |= static_cast<uint8_t>(bit << (7 - (x & 7)));
  }
}

void ScatterNibbles(const uint8_t* Pass, uint8_t* Row, uint32_t Count, uint32_t Start,
                    uint32_t Step) {
  for (uint32_t k = 0, x = Start; k < Count; ++k, x += Step) {
    uint8_t nibble = (k & 1) != 0 ? Pass[k >> 1] & 0x0F : Pass[k >> 1] >> 4;
    Row[x >> 1] |= static_cast<uint8_t>((x & 1) != 0 ? nibble : nibble << 4);
  }
}

void ScatterBytes(const uint8_t* Pass, uint8_t* Row, uint32_t Count, uint32_t Start,
                  uint32_t Step) {
  for (uint32_t k = 0, x = Start; k < Count; ++k, x += Step) Row[x] = Pass[k];
}

void ScatterTriples(const uint8_t* Pass, uint8_t* Row, uint32_t Count, uint32_t Start,
                    uint32_t Step) {
  for (uint32_t k = 0, x = Start; k < Count; ++k, x += Step) {
    std::memcpy(Row + size_t{x} * 3, Pass + size_t{k} * 3, 3);
  }
}

// What one image's header asks of the decoder, chosen once.
struct TRowFormat {
  uint8_t PixelFormat = 0;
  int32_t OutBits = 0;
  uint32_t FileBits = 0;  // bits of one pixel in the file
  TRowConverter Convert = nullptr;
  TScatter Scatter = nullptr;

  size_t FileRowBytes(uint32_t Width) const { return (size_t{Width} * FileBits + 7) / 8; }
  size_t PixelBytes() const { return std::max<size_t>(1, FileBits / 8); }
};

bool DepthAllowed(uint8_t ColorType, uint8_t Depth) {
  switch (ColorType) {
    case 0:
      return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8 || Depth == 16;
    case 3:
      return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8;
    default:
      return Depth == 8 || Depth == 16;
  }
}

TRowFormat ChooseRowFormat(uint8_t ColorType, uint8_t Depth) {
  static const uint8_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  if (ColorType > 6 || kChannels[ColorType] == 0) {
    throw EPNGImageException(EPngUnknownColorType);
  }
  if (!DepthAllowed(ColorType, Depth)) throw EPNGImageException(EPngInvalidBitDepth);
  TRowFormat f;
  f.FileBits = uint32_t{kChannels[ColorType]} * Depth;
  bool wide = Depth == 16;
  switch (ColorType) {
    case 2:
      f.Convert = wide ? &TakeRGB<6, 2> : &TakeRGB<3, 1>;
      break;
    case 6:
      f.Convert = wide ? &TakeRGB<8, 2> : &TakeRGB<4, 1>;
      break;
    case 4:
      f.Convert = wide ? &TakeGray<4> : &TakeGray<2>;
      break;
    default:
      f.Convert = Depth == 1   ? &CopySamples<1>
                  : Depth == 2 ? &WidenTwoBits
                  : Depth == 4 ? &CopySamples<4>
                  : Depth == 8 ? &CopySamples<8>
                               : &TakeGray<2>;
  }
  if (ColorType == 2 || ColorType == 6) {
    f.PixelFormat = pf24bit;
    f.OutBits = 24;
    f.Scatter = &ScatterTriples;
  } else if (Depth == 1) {
    f.PixelFormat = pf1bit;
    f.OutBits = 1;
    f.Scatter = &ScatterBits;
  } else if (Depth <= 4) {
    f.PixelFormat = pf4bit;
    f.OutBits = 4;
    f.Scatter = &ScatterNibbles;
  } else {
    f.PixelFormat = pf8bit;
    f.OutBits = 8;
    f.Scatter = &ScatterBytes;
  }
  return f;
}

// The palette of the image: a gray ramp, or the PLTE entries, through the gamma table. It has
// an entry for every value a pixel can hold: entries the PLTE lacks are black, and a 2-bit
// palette repeats its four entries over 16 for the widened samples.
std::vector<TPNGColor> BuildPalette(const TChunkList& Chunks, uint8_t ColorType, uint8_t Depth,
                                    const TGammaTable& Gamma) {
  if (ColorType == 2 || ColorType == 6) return {};
  size_t entries = Depth >= 8 ? 256 : size_t{1} << Depth;
  std::vector<TPNGColor> palette(entries);
  if (ColorType == 3) {
    const TChunkPLTE* plte = Chunks.First<TChunkPLTE>();
    if (plte == nullptr) throw EPNGImageException(EPngMissingPalette);
    std::vector<TPNGColor> stored = plte->Entries();
    std::copy_n(stored.begin(), std::min(stored.size(), entries), palette.begin());
  } else {
    for (size_t i = 0; i < entries; ++i) {
      auto level = static_cast<uint8_t>(i * 255 / (entries - 1));
      palette[i] = {level, level, level};
    }
  }
  for (TPNGColor& c : palette) c = {Gamma[c.Red], Gamma[c.Green], Gamma[c.Blue]};
  if (Depth == 2) {
    palette.resize(16);
    for (size_t i = 4; i < 16; ++i) palette[i] = palette[i % 4];
  }
  return palette;
}

void Progress(TPNGImage& Image, double Percent) {
  if (Image.OnProgress) Image.OnProgress("Drawing...", Round(Percent));
}

void DecodeRows(TPNGImage& Image, TInflater& Inflater, const TRowFormat& Format,
                const TGammaTable& Gamma) {
  auto width = static_cast<uint32_t>(Image.Width());
  size_t rowBytes = Format.FileRowBytes(width);
  std::vector<uint8_t> row(1 + rowBytes), previous(1 + rowBytes, 0);
  for (int32_t y = 0; y < Image.Height(); ++y) {
    Inflater.Read(row.data(), row.size());
    UnfilterRow(row[0], row.data() + 1, previous.data() + 1, rowBytes, Format.PixelBytes());
    Format.Convert(row.data() + 1, Image.ScanLine(y), width, Gamma);
    row.swap(previous);
    Progress(Image, y * 100.0 / Image.Height());
  }
}

struct TPass {
  uint32_t RowStart, ColumnStart, RowStep, ColumnStep;
};
const TPass kAdam7[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                         {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};

void DecodePasses(TPNGImage& Image, TInflater& Inflater, const TRowFormat& Format,
                  const TGammaTable& Gamma) {
  auto width = static_cast<uint32_t>(Image.Width());
  auto height = static_cast<uint32_t>(Image.Height());
  std::vector<uint8_t> converted((size_t{width} * Format.OutBits + 7) / 8 + 1);
  for (int pass = 0; pass < 7; ++pass) {
    const TPass& p = kAdam7[pass];
    uint32_t columns = (width + p.ColumnStep - p.ColumnStart - 1) / p.ColumnStep;
    uint32_t rows = (height + p.RowStep - p.RowStart - 1) / p.RowStep;
    if (columns > 0) {
      size_t rowBytes = Format.FileRowBytes(columns);
      std::vector<uint8_t> row(1 + rowBytes), previous(1 + rowBytes, 0);
      for (uint32_t r = 0; r < rows; ++r) {
        Inflater.Read(row.data(), row.size());
        UnfilterRow(row[0], row.data() + 1, previous.data() + 1, rowBytes, Format.PixelBytes());
        Format.Convert(row.data() + 1, converted.data(), columns, Gamma);
        uint8_t* target = Image.ScanLine(static_cast<int32_t>(p.RowStart + r * p.RowStep));
        Format.Scatter(converted.data(), target, columns, p.ColumnStart, p.ColumnStep);
        row.swap(previous);
      }
    }
    Progress(Image, pass * 100.0 / 6);
  }
}

// Deflate packs at most 1032 bytes into one: data too small to hold the rows is refused
// before the bitmap is allocated.
void CheckInflatable(size_t DataBytes, uint32_t Width, uint32_t Height, const TRowFormat& Format) {
  constexpr uint64_t kMostInflatedPerByte = 1032;
  uint64_t pixelBytes = uint64_t{Width} * Height * Format.FileBits / 8;
  if (DataBytes * kMostInflatedPerByte + 1024 < pixelBytes) RaiseCorrupted();
}

}  // namespace

void TChunkIDAT::Decode() {
  TChunkList& chunks = Owner();
  TPNGImage& image = Image();
  const TChunkIHDR& ihdr = *chunks.First<TChunkIHDR>();
  uint8_t colorType = ihdr.ColorType();
  uint8_t depth = ihdr.BitDepth();
  TRowFormat format = ChooseRowFormat(colorType, depth);
  const TChunkGAMA* gama = chunks.First<TChunkGAMA>();
  const TGammaTable& gamma = gama != nullptr ? gama->GammaTable() : TChunkGAMA::IdentityTable();
  std::vector<TPNGColor> palette = BuildPalette(chunks, colorType, depth, gamma);
  uint8_t interlace = ihdr.InterlaceMethod();
  if (interlace > 1) throw EPNGImageException(EPngUnknownInterlace);
  uint32_t width = ihdr.Width();
  uint32_t height = ihdr.Height();
  if (width == 0 || height == 0) RaiseCorrupted();
  CheckPageLimits(width, height, format.OutBits, format.OutBits <= 8 ? 1 << format.OutBits : 0);
  CheckInflatable(Data().Bytes().size(), width, height, format);

  image.NewBitmap(static_cast<int32_t>(width), static_cast<int32_t>(height), format.PixelFormat);
  image.SetPalette(std::move(palette));
  TInflater inflater(Data().Bytes());
  if (interlace == 0) {
    DecodeRows(image, inflater, format, gamma);
  } else {
    DecodePasses(image, inflater, format, gamma);
  }
}
