// StretchDIBits: the visible part of the destination is computed band by band into 32-bit
// pixels. Each axis maps a destination pixel to a span of source pixels: one nearest sample
// where the axis does not shrink, else every source pixel that falls on it. Nearest sampling
// reads the source rows in place; the reducing modes fetch the span's source rows one after
// another, combine them with the rows before (darkest, lightest or sum), then reduce each
// destination column's span of the combined row. The pixel format picks its row functions
// once per call.
#include <algorithm>
#include <cstring>
#include <vector>

#include "devicecontext.h"

namespace {

using TPalette32 = uint32_t[256];

constexpr uint32_t kOpaque = 0xFF000000u;
// The largest band computed at once, in pixels.
constexpr int64_t kBandPixels = int64_t{1} << 20;

// One axis: destination pixel D of Count covers the source pixels [Begin, End).
struct TAxis {
  int64_t Source = 0, Dest = 0;
  bool Shrinks() const { return Source > Dest; }
  int64_t Nearest(int64_t D) const { return (2 * D + 1) * Source / (2 * Dest); }
  int64_t Begin(int64_t D) const { return Shrinks() ? D * Source / Dest : Nearest(D); }
  int64_t End(int64_t D) const { return Shrinks() ? (D + 1) * Source / Dest : Nearest(D) + 1; }
};

// Row functions of one pixel format: Sample takes the pixels at the given columns, Fetch the
// Count pixels from column X0.
using TSampleRow = void (*)(const uint8_t* Row, const int32_t* Columns, int32_t Count,
                            const TPalette32& Palette, uint32_t* Out);
using TFetchRow = void (*)(const uint8_t* Row, int32_t X0, int32_t Count, const TPalette32& Palette,
                           uint32_t* Out);

inline uint32_t Pixel1(const uint8_t* Row, int32_t X) {
  return (Row[X >> 3] >> (7 - (X & 7))) & 1u;
}
inline uint32_t Pixel4(const uint8_t* Row, int32_t X) {
  return (X & 1) != 0 ? Row[X >> 1] & 15u : Row[X >> 1] >> 4;
}
inline uint32_t Pixel24(const uint8_t* Row, int32_t X) {
  const uint8_t* p = Row + 3 * static_cast<int64_t>(X);
  return kOpaque | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

void Sample1(const uint8_t* Row, const int32_t* Columns, int32_t Count, const TPalette32& Palette,
             uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Pixel1(Row, Columns[i])];
}
void Sample4(const uint8_t* Row, const int32_t* Columns, int32_t Count, const TPalette32& Palette,
             uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Pixel4(Row, Columns[i])];
}
void Sample8(const uint8_t* Row, const int32_t* Columns, int32_t Count, const TPalette32& Palette,
             uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Row[Columns[i]]];
}
void Sample24(const uint8_t* Row, const int32_t* Columns, int32_t Count, const TPalette32&,
              uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Pixel24(Row, Columns[i]);
}

void Fetch1(const uint8_t* Row, int32_t X0, int32_t Count, const TPalette32& Palette,
            uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Pixel1(Row, X0 + i)];
}
void Fetch4(const uint8_t* Row, int32_t X0, int32_t Count, const TPalette32& Palette,
            uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Pixel4(Row, X0 + i)];
}
void Fetch8(const uint8_t* Row, int32_t X0, int32_t Count, const TPalette32& Palette,
            uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Palette[Row[X0 + i]];
}
void Fetch24(const uint8_t* Row, int32_t X0, int32_t Count, const TPalette32&, uint32_t* Out) {
  for (int32_t i = 0; i < Count; ++i) Out[i] = Pixel24(Row, X0 + i);
}

struct TFormat {
  TSampleRow Sample;
  TFetchRow Fetch;
};

bool FormatOf(int32_t BitCount, TFormat& Format) {
  switch (BitCount) {
    case 1:
      Format = {Sample1, Fetch1};
      return true;
    case 4:
      Format = {Sample4, Fetch4};
      return true;
    case 8:
      Format = {Sample8, Fetch8};
      return true;
    case 24:
      Format = {Sample24, Fetch24};
      return true;
    default:
      return false;
  }
}

// Combines a fetched row into the accumulated one, channel by channel.
void KeepDarkest(uint32_t* Acc, const uint32_t* Row, int32_t Count) {
  auto* a = reinterpret_cast<uint8_t*>(Acc);
  auto* r = reinterpret_cast<const uint8_t*>(Row);
  for (int64_t k = 0; k < 4 * int64_t{Count}; ++k) a[k] = std::min(a[k], r[k]);
}
void KeepLightest(uint32_t* Acc, const uint32_t* Row, int32_t Count) {
  auto* a = reinterpret_cast<uint8_t*>(Acc);
  auto* r = reinterpret_cast<const uint8_t*>(Row);
  for (int64_t k = 0; k < 4 * int64_t{Count}; ++k) a[k] = std::max(a[k], r[k]);
}

// The picture, its format and the mapping of the visible destination onto it.
class TStretch {
 public:
  TStretch(const win32::BITMAPINFOHEADER& Info, const void* Bits, const TFormat& Format)
      : FFormat(Format) {
    const int32_t bits = Info.biBitCount;
    const int64_t stride = ((int64_t{Info.biWidth} * bits + 31) / 32) * 4;
    FHeight = Info.biHeight < 0 ? -int64_t{Info.biHeight} : Info.biHeight;
    FBits = static_cast<const uint8_t*>(Bits);
    FStride = stride;
    FTopDown = Info.biHeight < 0;
    if (bits <= 8) {
      const auto* colors = reinterpret_cast<const win32::RGBQUAD*>(
          reinterpret_cast<const uint8_t*>(&Info) + Info.biSize);
      for (int32_t i = 0; i < (1 << bits); ++i) {
        const win32::RGBQUAD& c = colors[i];
        FPalette[i] = kOpaque | uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
      }
    }
  }

  // Picture line Y counted from the top.
  const uint8_t* Line(int64_t Y) const {
    return FBits + (FTopDown ? Y : FHeight - 1 - Y) * FStride;
  }

  // Destination columns [D0, D1) of a destination of Axis.Dest columns whose source columns
  // start at SourceX.
  void MapColumns(const TAxis& Axis, int64_t D0, int64_t D1, int32_t SourceX) {
    const auto count = static_cast<size_t>(D1 - D0);
    FFirst = static_cast<int32_t>(SourceX + Axis.Begin(D0));
    FSpan = static_cast<int32_t>(SourceX + Axis.End(D1 - 1) - FFirst);
    FNearest.resize(count);
    FBegins.resize(count + 1);
    for (size_t i = 0; i < count; ++i) {
      const int64_t d = D0 + static_cast<int64_t>(i);
      FNearest[i] = static_cast<int32_t>(SourceX + Axis.Nearest(d));
      FBegins[i] = static_cast<int32_t>(SourceX + Axis.Begin(d) - FFirst);
    }
    FBegins[count] = FSpan;
    FAcc.resize(static_cast<size_t>(FSpan));
    FRow.resize(static_cast<size_t>(FSpan));
  }

  void SampleRow(int64_t Y, uint32_t* Out) const {
    FFormat.Sample(Line(Y), FNearest.data(), static_cast<int32_t>(FNearest.size()), FPalette, Out);
  }

  // Lines [Y0, Y1) combined by Mode into one destination row.
  void ReduceRow(int32_t Mode, int64_t Y0, int64_t Y1, uint32_t* Out) {
    if (Mode == win32::HALFTONE) {
      AverageRow(Y0, Y1, Out);
      return;
    }
    const auto combine = Mode == win32::WHITEONBLACK ? KeepLightest : KeepDarkest;
    FFormat.Fetch(Line(Y0), FFirst, FSpan, FPalette, FAcc.data());
    for (int64_t y = Y0 + 1; y < Y1; ++y) {
      FFormat.Fetch(Line(y), FFirst, FSpan, FPalette, FRow.data());
      combine(FAcc.data(), FRow.data(), FSpan);
    }
    const size_t count = FNearest.size();
    for (size_t i = 0; i < count; ++i) {
      uint32_t value = FAcc[static_cast<size_t>(FBegins[i])];
      for (int32_t x = FBegins[i] + 1; x < FBegins[i + 1]; ++x) {
        combine(&value, &FAcc[static_cast<size_t>(x)], 1);
      }
      Out[i] = value;
    }
  }

 private:
  void AverageRow(int64_t Y0, int64_t Y1, uint32_t* Out) {
    const auto span = static_cast<size_t>(FSpan);
    FSums.assign(3 * span, 0);
    for (int64_t y = Y0; y < Y1; ++y) {
      FFormat.Fetch(Line(y), FFirst, FSpan, FPalette, FRow.data());
      for (size_t x = 0; x < span; ++x) {
        FSums[3 * x] += FRow[x] & 0xFF;
        FSums[3 * x + 1] += (FRow[x] >> 8) & 0xFF;
        FSums[3 * x + 2] += (FRow[x] >> 16) & 0xFF;
      }
    }
    const size_t count = FNearest.size();
    for (size_t i = 0; i < count; ++i) {
      uint64_t sum[3] = {0, 0, 0};
      for (int32_t x = FBegins[i]; x < FBegins[i + 1]; ++x) {
        for (int c = 0; c < 3; ++c) sum[c] += FSums[3 * static_cast<size_t>(x) + c];
      }
      const uint64_t n = static_cast<uint64_t>(Y1 - Y0) * (FBegins[i + 1] - FBegins[i]);
      uint32_t value = kOpaque;
      for (int c = 0; c < 3; ++c) value |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (8 * c);
      Out[i] = value;
    }
  }

  TFormat FFormat;
  TPalette32 FPalette{};
  const uint8_t* FBits = nullptr;
  int64_t FStride = 0, FHeight = 0;
  bool FTopDown = false;
  int32_t FFirst = 0, FSpan = 0;
  std::vector<int32_t> FNearest, FBegins;
  std::vector<uint32_t> FAcc, FRow;
  std::vector<uint64_t> FSums;
};

}  // namespace

int32_t TDeviceContext::StretchDIBits(int32_t XDest, int32_t YDest, int32_t DestWidth,
                                      int32_t DestHeight, int32_t XSrc, int32_t YSrc,
                                      int32_t SrcWidth, int32_t SrcHeight, const void* Bits,
                                      const win32::BITMAPINFOHEADER& Info) {
  TFormat format{};
  if (Bits == nullptr || Info.biCompression != win32::BI_RGB || !FormatOf(Info.biBitCount, format))
    return 0;
  const int64_t pictureHeight = Info.biHeight < 0 ? -int64_t{Info.biHeight} : Info.biHeight;
  if (DestWidth <= 0 || DestHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0 || XSrc < 0 ||
      YSrc < 0 || int64_t{XSrc} + SrcWidth > Info.biWidth ||
      int64_t{YSrc} + SrcHeight > pictureHeight) {
    return 0;
  }
  // The destination on the device, cut to the clip box.
  const int64_t left = int64_t{XDest} + FViewportOrigin.x;
  const int64_t top = int64_t{YDest} + FViewportOrigin.y;
  const win32::RECT clip = ClipBox();
  const int64_t x0 = std::max<int64_t>(left, clip.left);
  const int64_t x1 = std::min<int64_t>(left + DestWidth, clip.right);
  const int64_t y0 = std::max<int64_t>(top, clip.top);
  const int64_t y1 = std::min<int64_t>(top + DestHeight, clip.bottom);
  if (x0 >= x1 || y0 >= y1) return 0;

  const TAxis columns{SrcWidth, DestWidth};
  const TAxis lines{SrcHeight, DestHeight};
  const bool reduce = FStretchMode != win32::COLORONCOLOR && (columns.Shrinks() || lines.Shrinks());
  TStretch stretch(Info, Bits, format);
  stretch.MapColumns(columns, x0 - left, x1 - left, XSrc);

  const auto width = static_cast<int32_t>(x1 - x0);
  const int64_t bandLines = std::clamp<int64_t>(kBandPixels / width, 1, y1 - y0);
  std::vector<uint32_t> band(static_cast<size_t>(width * bandLines));
  for (int64_t bandTop = y0; bandTop < y1; bandTop += bandLines) {
    const int64_t count = std::min(bandLines, y1 - bandTop);
    int64_t previous = -1;
    for (int64_t k = 0; k < count; ++k) {
      uint32_t* out = band.data() + k * width;
      const int64_t d = bandTop + k - top;
      if (reduce) {
        stretch.ReduceRow(FStretchMode, YSrc + lines.Begin(d), YSrc + lines.End(d), out);
      } else if (const int64_t y = YSrc + lines.Nearest(d); y == previous) {
        std::memcpy(out, out - width, sizeof(uint32_t) * static_cast<size_t>(width));
      } else {
        stretch.SampleRow(y, out);
        previous = y;
      }
    }
    PutPixels(static_cast<int32_t>(x0), static_cast<int32_t>(bandTop), width,
              static_cast<int32_t>(count), band.data(), width);
  }
  return static_cast<int32_t>(y1 - y0);
}
