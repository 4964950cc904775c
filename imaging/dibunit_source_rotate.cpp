// Quarter turns and turns by any angle of a whole page, through a scratch page whose rows are
// copied back into the page's own block.
//
// The pixel loops are written once over a pixel-access policy per depth, chosen once per page;
// each policy reads and writes a pixel exactly as the page's own getter and setter do.
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "dibunit.h"

namespace {

struct TPixels1 {
  static int32_t Get(const uint8_t* Row, int32_t X) { return (Row[X >> 3] >> (7 - (X & 7))) & 1; }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t mask = static_cast<uint8_t>(0x80 >> (X & 7));
    uint8_t& b = Row[X >> 3];
    b = static_cast<uint8_t>(Value <= 0 ? b & ~mask : b | mask);
  }
};

struct TPixels4 {
  static int32_t Get(const uint8_t* Row, int32_t X) {
    uint8_t b = Row[X >> 1];
    return (X & 1) != 0 ? b & 0x0F : b >> 4;
  }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t& b = Row[X >> 1];
    b = static_cast<uint8_t>((X & 1) != 0 ? (b & 0xF0) | (Value & 0x0F)
                                          : (b & 0x0F) | ((Value << 4) & 0xF0));
  }
};

struct TPixels8 {
  static int32_t Get(const uint8_t* Row, int32_t X) { return Row[X]; }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) { Row[X] = static_cast<uint8_t>(Value); }
};

struct TPixels24 {
  static int32_t Get(const uint8_t* Row, int32_t X) {
    const uint8_t* p = Row + 3 * X;
    return p[2] | (p[1] << 8) | (p[0] << 16);
  }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t* p = Row + 3 * X;
    p[0] = static_cast<uint8_t>(Value >> 16);
    p[1] = static_cast<uint8_t>(Value >> 8);
    p[2] = static_cast<uint8_t>(Value);
  }
};

// Runs Body with the pixel policy of the page's depth. A depth without pixel methods raises as
// the page's own getter does, before anything is allocated.
template <class TBody>
void WithPixels(const TDIB& Page, TBody Body) {
  switch (Page.BitCount()) {
    case 1:
      return Body(TPixels1{});
    case 4:
      return Body(TPixels4{});
    case 8:
      return Body(TPixels8{});
    case 24:
      return Body(TPixels24{});
    default:
      throw Exception("Pixel access not allowed on a " + std::to_string(Page.BitCount()) +
                      " bits per pixel bitmap");
  }
}

struct TPoint {
  int32_t X;
  int32_t Y;
};

// Gives the page the scratch page's size, keeping its handle, header and palette, and copies
// the scratch page's rows (padding included) into it.
void TakeRows(TDIB& Page, const TDIB& Scratch) {
  int32_t width = Scratch.Width();
  int32_t height = Scratch.Height();
  if (width != Page.Width() || height != Page.Height()) {
    TDIBLayout layout;
    TDIB::LayoutForType(width, height, Page.PixelType(), layout);
    Page.UnlockAll();
    bool resized = win32::GlobalReAlloc(Page.Handle(), static_cast<size_t>(layout.BlockSize),
                                        win32::GMEM_MOVEABLE | win32::GMEM_ZEROINIT) != nullptr;
    uint32_t error = win32::GetLastError();
    Page.Lock();
    if (!resized) {
      Page.ParseHeader();
      Page.BuildLineTable();
      throw Exception(win32::ErrorText(error));
    }
    auto* info = static_cast<win32::BITMAPINFOHEADER*>(Page.Memory());
    info->biWidth = width;
    info->biHeight = height;
    info->biSizeImage = static_cast<uint32_t>(height * layout.Stride);
    Page.FileHeader() = {};
    Page.ParseHeader();
    Page.BuildLineTable();
  }
  std::memcpy(Page.Bits(), Scratch.Bits(), static_cast<size_t>(height) * Scratch.Stride());
}

// Source pixels are walked in square tiles, so that the lines of the scratch page that a tile
// writes stay in the cache while the tile is done.
constexpr int32_t kTile = 64;

// Copies every pixel (x, y) of the page to the column and line Map(x, y) of the scratch page.
template <class TPixels, class TMap>
void TurnInto(const TDIB& Page, TDIB& Scratch, TMap Map) {
  int32_t width = Page.Width();
  int32_t height = Page.Height();
  for (int32_t y0 = 0; y0 < height; y0 += kTile) {
    int32_t y1 = IntMin(y0 + kTile, height);
    for (int32_t x0 = 0; x0 < width; x0 += kTile) {
      int32_t x1 = IntMin(x0 + kTile, width);
      for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* source = Page.Lines(y);
        for (int32_t x = x0; x < x1; ++x) {
          auto [column, line] = Map(x, y);
          TPixels::Set(Scratch.Lines(line), column, TPixels::Get(source, x));
        }
      }
    }
  }
}

// Turns the page by one of the three multiples of a quarter turn; Map gives the place of
// source pixel (x, y) on a scratch page of ScratchWidth x ScratchHeight.
template <class TMap>
void QuarterTurns(TDIB& Page, int32_t ScratchWidth, int32_t ScratchHeight, TMap Map) {
  if (Page.Empty()) return;
  WithPixels(Page, [&](auto Pixels) {
    TDIB scratch;
    scratch.NewImage(ScratchWidth, ScratchHeight, Page.PixelType(), Page.XResolution(),
                     Page.YResolution());
    TurnInto<decltype(Pixels)>(Page, scratch, Map);
    TakeRows(Page, scratch);
  });
}

// Round to nearest, halves to even, for values well inside +-2^51: adding and taking away
// 1.5 * 2^52 leaves no fraction bits, so the addition rounds in the machine's default mode.
inline int32_t RoundNear(double Value) {
  constexpr double kShifter = 6755399441055744.0;
  return static_cast<int32_t>((Value + kShifter) - kShifter);
}

// The smallest rectangle that holds a set of points.
struct TBounds {
  int32_t MinX;
  int32_t MinY;
  int32_t MaxX;
  int32_t MaxY;
};

// Corner (X, Y) turned about (CX, CY) by the angle whose sine and cosine are S and C.
TPoint RotatedCorner(TPoint Corner, int32_t CX, int32_t CY, double S, double C) {
  double dx = Corner.X - CX;
  double dy = Corner.Y - CY;
  return {Round(CX + dx * C - dy * S), Round(CY + dx * S + dy * C)};
}

void ExtendBounds(TBounds& Bounds, TPoint Corner) {
  Bounds.MinX = IntMin(Bounds.MinX, Corner.X);
  Bounds.MinY = IntMin(Bounds.MinY, Corner.Y);
  Bounds.MaxX = IntMax(Bounds.MaxX, Corner.X);
  Bounds.MaxY = IntMax(Bounds.MaxY, Corner.Y);
}

// The size of the canvas that holds the page's four corners turned by Theta (radians) about
// the page's centre.
TPoint EnlargedSize(const TDIB& Page, double Theta) {
  int32_t w = Page.Width();
  int32_t h = Page.Height();
  int32_t cx = w / 2;
  int32_t cy = h / 2;
  double s = std::sin(Theta);
  double c = std::cos(Theta);
  TPoint first = RotatedCorner({0, 0}, cx, cy, s, c);
  TBounds bounds{first.X, first.Y, first.X, first.Y};
  ExtendBounds(bounds, RotatedCorner({0, h - 1}, cx, cy, s, c));
  ExtendBounds(bounds, RotatedCorner({w - 1, h - 1}, cx, cy, s, c));
  ExtendBounds(bounds, RotatedCorner({w - 1, 0}, cx, cy, s, c));
  return {bounds.MaxX - bounds.MinX + 1, bounds.MaxY - bounds.MinY + 1};
}

// Fills every pixel of Result with the page's pixel that the inverse turn by Theta (radians)
// brings it from, nearest sample, or with Fill when that lies outside the page. The products
// of the columns are worked out once, so a pixel costs two additions and two roundings.
template <class TPixels>
void MapBack(const TDIB& Page, TDIB& Result, double Theta, int32_t Fill) {
  double s = std::sin(-Theta);
  double c = std::cos(-Theta);
  auto width = static_cast<uint32_t>(Page.Width());
  auto height = static_cast<uint32_t>(Page.Height());
  int32_t cx = Page.Width() / 2;
  int32_t cy = Page.Height() / 2;
  int32_t resultWidth = Result.Width();
  int32_t rcx = resultWidth / 2;
  int32_t rcy = Result.Height() / 2;
  std::vector<double> a(static_cast<size_t>(resultWidth));
  std::vector<double> b(static_cast<size_t>(resultWidth));
  for (int32_t j = 0; j < resultWidth; ++j) {
    a[j] = (j - rcx) * c;
    b[j] = (j - rcx) * s;
  }
  for (int32_t i = 0; i < Result.Height(); ++i) {
    double p = cx - (i - rcy) * s;
    double q = cy + (i - rcy) * c;
    uint8_t* row = Result.Lines(i);
    for (int32_t j = 0; j < resultWidth; ++j) {
      int32_t x = RoundNear(a[j] + p);
      int32_t y = RoundNear(b[j] + q);
      bool inside = static_cast<uint32_t>(x) < width && static_cast<uint32_t>(y) < height;
      TPixels::Set(row, j, inside ? TPixels::Get(Page.Lines(y), x) : Fill);
    }
  }
}

}  // namespace

void TDIB::Rotate90() {
  int32_t h = Height();
  QuarterTurns(*this, h, Width(), [h](int32_t x, int32_t y) { return TPoint{h - 1 - y, x}; });
}

void TDIB::Rotate180() {
  int32_t w = Width();
  int32_t h = Height();
  QuarterTurns(*this, w, h, [w, h](int32_t x, int32_t y) { return TPoint{w - 1 - x, h - 1 - y}; });
}

void TDIB::Rotate270() {
  int32_t w = Width();
  QuarterTurns(*this, Height(), w, [w](int32_t x, int32_t y) { return TPoint{y, w - 1 - x}; });
}

void TDIB::RotateByAngle(bool Enlarge, int32_t Fill, double Angle) {
  if (Empty()) return;
  if (!std::isfinite(Angle)) throw Exception("Invalid floating point operation");
  double theta = Angle * std::numbers::pi / 180;
  TPoint size = Enlarge ? EnlargedSize(*this, theta) : TPoint{Width(), Height()};
  WithPixels(*this, [&](auto Pixels) {
    TDIB result;
    result.NewImage(size.X, size.Y, FPixelType, XResolution(), YResolution());
    MapBack<decltype(Pixels)>(*this, result, theta, Fill);
    TakeRows(*this, result);
  });
}
