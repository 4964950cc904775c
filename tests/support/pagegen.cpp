#include "pagegen.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class TRandom {
 public:
  explicit TRandom(uint32_t seed) : FState(seed * 2654435761u + 1) {}
  uint32_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return FState;
  }
  int32_t Range(int32_t lo, int32_t hi) {  // lo..hi inclusive
    return lo + static_cast<int32_t>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }

 private:
  uint32_t FState;
};

// Ink of the upright page: 1 where a stroke is.
class TInk {
 public:
  TInk(int32_t w, int32_t h) : FWidth(w), FHeight(h), FInk(static_cast<size_t>(w) * h, 0) {}
  void Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, FWidth - 1);
    y1 = std::min(y1, FHeight - 1);
    for (int32_t y = y0; y <= y1; ++y) {
      std::fill(FInk.begin() + static_cast<size_t>(y) * FWidth + x0,
                FInk.begin() + static_cast<size_t>(y) * FWidth + x1 + 1, 1);
    }
  }
  bool At(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < FWidth && y < FHeight &&
           FInk[static_cast<size_t>(y) * FWidth + x] != 0;
  }

 private:
  int32_t FWidth, FHeight;
  std::vector<uint8_t> FInk;
};

// One glyph: a few stems and bars inside an x-height box, some with an ascender or descender.
int32_t DrawGlyph(TInk& ink, TRandom& rnd, int32_t x, int32_t base, int32_t xh, int32_t pen) {
  int32_t w = rnd.Range(xh * 6 / 10, xh * 11 / 10);
  int32_t top = base - xh;
  switch (rnd.Range(0, 5)) {
    case 0:  // n-like
      ink.Box(x, top, x + pen - 1, base);
      ink.Box(x + w - pen, top, x + w - 1, base);
      ink.Box(x, top, x + w - 1, top + pen - 1);
      break;
    case 1:  // o-like
      ink.Box(x, top, x + pen - 1, base);
      ink.Box(x + w - pen, top, x + w - 1, base);
      ink.Box(x, top, x + w - 1, top + pen - 1);
      ink.Box(x, base - pen + 1, x + w - 1, base);
      break;
    case 2:  // l-like, with an ascender
      w = pen * 2;
      ink.Box(x, top - xh / 2, x + pen - 1, base);
      break;
    case 3:  // p-like, with a descender
      ink.Box(x, top, x + pen - 1, base + xh / 2);
      ink.Box(x + w - pen, top, x + w - 1, base - xh / 2);
      ink.Box(x, top, x + w - 1, top + pen - 1);
      ink.Box(x, base - xh / 2, x + w - 1, base - xh / 2 + pen - 1);
      break;
    case 4:  // e-like
      ink.Box(x, top, x + pen - 1, base);
      ink.Box(x, top, x + w - 1, top + pen - 1);
      ink.Box(x, (top + base) / 2, x + w - 1, (top + base) / 2 + pen - 1);
      ink.Box(x, base - pen + 1, x + w - 1, base);
      break;
    default:  // v-like
      for (int32_t i = 0; i < xh; ++i) {
        int32_t dx = i * (w / 2) / std::max(xh, 1);
        ink.Box(x + dx, top + i, x + dx + pen - 1, top + i);
        ink.Box(x + w - 1 - dx - pen + 1, top + i, x + w - 1 - dx, top + i);
      }
      break;
  }
  return w;
}

TInk MakeText(const TPageOptions& o, TRandom& rnd) {
  TInk ink(o.Width, o.Height);
  int32_t xh = std::max(3, o.DPI * 22 / 300);
  int32_t pen = std::max(1, o.DPI * 3 / 300);
  int32_t pitch = std::max(xh * 2, o.DPI * 50 / 300);
  int32_t gap = std::max(1, xh / 4);
  int32_t right = o.Width - o.Margin;
  for (int32_t base = o.Margin + xh * 2; base < o.Height - o.Margin; base += pitch) {
    int32_t x = o.Margin;
    int32_t lineEnd = right - (rnd.Range(0, 7) == 0 ? rnd.Range(0, (right - x) / 2) : 0);
    while (x < lineEnd - xh * 2) {
      int32_t letters = rnd.Range(2, 9);
      for (int32_t i = 0; i < letters && x < lineEnd - xh; ++i) {
        x += DrawGlyph(ink, rnd, x, base, xh, pen) + gap;
      }
      x += xh;  // word space
    }
  }
  return ink;
}

struct TLevels {
  uint8_t Paper[3];  // blue, green, red
  uint8_t Ink[3];
  uint8_t Frame[3];
};

void WriteRow(TDIB& page, int32_t y, const std::vector<uint8_t>& kind, const TLevels& lv) {
  uint8_t* row = page.Lines(y);
  int32_t w = page.Width();
  const uint8_t* levels[3] = {lv.Paper, lv.Ink, lv.Frame};
  switch (page.PixelType()) {
    case pt1bit:
      std::fill(row, row + page.LineBytes(), 0);
      for (int32_t x = 0; x < w; ++x) {
        if (kind[x] == 0) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
      break;
    case pt24bit:
      for (int32_t x = 0; x < w; ++x) std::copy_n(levels[kind[x]], 3, row + 3 * x);
      break;
    default:
      for (int32_t x = 0; x < w; ++x) row[x] = levels[kind[x]][1];
      break;
  }
}

}  // namespace

std::unique_ptr<TDIB> MakeReferencePage(const TPageOptions& o) {
  TRandom rnd(o.Seed);
  TInk ink = MakeText(o, rnd);
  for (int32_t i = 0; i < o.Speckles; ++i) {
    int32_t s = rnd.Range(1, 3);
    int32_t x = rnd.Range(0, o.Width - 1), y = rnd.Range(0, o.Height - 1);
    ink.Box(x, y, x + s - 1, y + s - 1);
  }

  auto page = std::make_unique<TDIB>();
  page->NewImage(o.Width, o.Height, o.PixelType, o.DPI, o.DPI);
  TLevels lv{{kPaperGray - 12, kPaperGray, kPaperGray + 4},
             {kInkGray + 30, kInkGray, kInkGray},
             {o.FrameGray, o.FrameGray, o.FrameGray}};

  // Each output pixel samples the upright ink at the inverse turn about the centre.
  double a = o.SkewDegrees * M_PI / 180.0;
  double c = std::cos(a), s = std::sin(a);
  double cx = o.Width / 2.0, cy = o.Height / 2.0;
  std::vector<uint8_t> kind(static_cast<size_t>(o.Width));
  const int32_t sheetRight = o.Width - o.FrameRight, sheetBottom = o.Height - o.FrameBottom;
  for (int32_t y = 0; y < o.Height; ++y) {
    double dy = y - cy;
    for (int32_t x = 0; x < o.Width; ++x) {
      double dx = x - cx;
      // A counter-clockwise turn on the screen (y down) maps upright (u, v) to
      // (c u + s v, -s u + c v); its inverse is (c dx - s dy, s dx + c dy).
      auto u = static_cast<int32_t>(std::floor(cx + c * dx - s * dy));
      auto v = static_cast<int32_t>(std::floor(cy + s * dx + c * dy));
      bool sheet = u >= o.FrameLeft && u < sheetRight && v >= o.FrameTop && v < sheetBottom;
      kind[x] = !sheet ? 2 : ink.At(u, v) ? 1 : 0;
    }
    WriteRow(*page, y, kind, lv);
  }
  return page;
}
