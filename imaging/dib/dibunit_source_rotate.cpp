// Quarter turns and turns by any angle of a whole page, through a scratch page whose rows are
// copied back into the page's own block.
//
// The pixel loops are written once over the row pixel policy of each depth, chosen once per
// page; each policy reads and writes a pixel exactly as the page's own getter and setter do.
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

namespace {

// Runs Body with the pixel policy of the page's depth. A depth without pixel methods raises as
// the page's own getter does, before anything is allocated.
template <class TBody>
void WithPixels(const TDIB& Page, TBody Body) {
  switch (Page.BitCount()) {
    case 1:
      return Body(TRowPixels1{});
    case 4:
      return Body(TRowPixels4{});
    case 8:
      return Body(TRowPixels8{});
    case 24:
      return Body(TRowPixels24{});
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
  Page.ResizeCanvas(Scratch.Width(), Scratch.Height(), 0);
  std::memcpy(Page.Bits(), Scratch.Bits(),
              static_cast<size_t>(Scratch.Height()) * Scratch.Stride());
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
      // Points left of or above the page round alike: both only fail the test below.
      int32_t x = RoundPixel(a[j] + p);
      int32_t y = RoundPixel(b[j] + q);
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

double TDIB::AutoDeskew(bool FillWhite, bool UseTypeVariants, double MaxAngle) {
  if (Empty()) return 0;
  double angle = DetectSkew(0, 0.1, MaxAngle);
  Rotate(FillWhite, UseTypeVariants, angle, angle, false);
  return angle;
}
