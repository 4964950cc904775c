// Rotation by two shears done in place: a row shear that moves each line sideways, then a
// column shear that moves each column up or down. The per-depth variants here mix neighbouring
// pixels by the fraction of the shift; RotateGeneric (its own file) moves whole pixels.
#include <cmath>
#include <vector>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

namespace {

double SinDegrees(double Angle) {
  return std::sin(Angle * M_PI / 180.0);
}

// The whole and fractional part of the shift of line or column I at the given rate.
struct TShift {
  int32_t Whole;
  double F, G;  // the fraction and 1 - fraction
};
TShift ShiftAt(double Rate, int32_t I) {
  double t = Rate * I;
  double whole = std::trunc(t);
  double f = t - whole;
  return {static_cast<int32_t>(whole), f, 1 - f};
}

// Row shear: with a negative angle line y moves right by Rate x y, else left; the vacated
// pixels take Bg and each new pixel mixes the two old ones it lies between.
template <class P>
void ShearRows(TDIB& Page, double Rate, double Angle, int32_t Bg) {
  const int32_t width = Page.Width(), height = Page.Height();
  std::vector<uint8_t> old(static_cast<size_t>(Page.LineBytes()));
  for (int32_t y = 0; y < height; ++y) {
    const TShift s = ShiftAt(Rate, y);
    const int32_t j = s.Whole;
    if (j == 0) continue;
    uint8_t* row = Page.Lines(y);
    const uint8_t* buf = old.data();
    std::copy(row, row + old.size(), old.begin());
    if (Angle < 0) {
      for (int32_t x = j; x < width; ++x) {
        P::Set(row, x, P::Mix(P::Get(buf, x - j), P::Get(buf, x - j + 1), s.F, s.G));
      }
      for (int32_t x = 0; x < std::min(j, width); ++x) P::Set(row, x, Bg);
    } else {
      for (int32_t x = 0; x < width - j; ++x) {
        P::Set(row, x, P::Mix(P::Get(buf, x + j), P::Get(buf, x + j - 1), s.F, s.G));
      }
      for (int32_t x = std::max(0, width - j); x < width; ++x) P::Set(row, x, Bg);
    }
  }
}

// The columns of one whole shift, first..last.
struct TColumnRun {
  int32_t Whole, First, Last;
};

// Column shear: with a negative angle column x moves up by Rate x x, else down. It runs line by
// line (top down when moving up, bottom up when moving down) so that every read finds a line
// the shear has not written yet, and the columns of one whole shift read the same two lines.
template <class P>
void ShearColumns(TDIB& Page, double Rate, double Angle, int32_t Bg) {
  const int32_t width = Page.Width(), height = Page.Height();
  std::vector<double> f(static_cast<size_t>(width)), g(static_cast<size_t>(width));
  std::vector<TColumnRun> runs;
  for (int32_t x = 0; x < width; ++x) {
    const TShift s = ShiftAt(Rate, x);
    f[x] = s.F;
    g[x] = s.G;
    if (s.Whole == 0) continue;
    if (runs.empty() || runs.back().Whole != s.Whole) runs.push_back({s.Whole, x, x});
    runs.back().Last = x;
  }
  const bool up = Angle < 0;
  for (int32_t n = 0; n < height; ++n) {
    const int32_t k = up ? n : height - 1 - n;
    uint8_t* row = Page.Lines(k);
    for (const TColumnRun& run : runs) {
      const int32_t j = run.Whole;
      const int32_t near = up ? k + j : k - j, far = up ? near - 1 : near + 1;
      if (near < 0 || near >= height) {
        for (int32_t x = run.First; x <= run.Last; ++x) P::Set(row, x, Bg);
        continue;
      }
      const uint8_t* a = Page.Lines(near);
      const uint8_t* b = Page.Lines(far);
      for (int32_t x = run.First; x <= run.Last; ++x) {
        P::Set(row, x, P::Mix(P::Get(a, x), P::Get(b, x), f[x], g[x]));
      }
    }
  }
}

// The byte that repeats a 1-bit pixel value over its eight pixels.
uint8_t RepeatBit(int32_t Bit) {
  return Bit > 0 ? 0xFF : 0x00;
}

template <class P>
void RotateByShears(TDIB& Page, bool FillWhite, bool Enlarge, double AngleA, double AngleB,
                    uint8_t (*EnlargeFill)(int32_t Bg)) {
  if (std::fabs(AngleA) < 0.1 && std::fabs(AngleB) < 0.1) return;
  if (Page.Empty() || Page.Width() == 0 || Page.Height() == 0) return;
  const int32_t hRow = Round(Page.Height() * SinDegrees(AngleA));
  const int32_t vCol = Round(Page.Width() * SinDegrees(AngleB));
  const double w = static_cast<double>(std::abs(hRow)) / Page.Height();
  const double v = static_cast<double>(std::abs(vCol)) / Page.Width();
  const int32_t bg = FillWhite ? Page.WhiteIndex() : Page.BlackIndex();
  if (Enlarge) {
    Page.ResizeCanvas(Page.Width() + std::abs(hRow), Page.Height() + std::abs(vCol),
                      EnlargeFill(bg));
    if (vCol < 0) Page.ShiftVertical(-vCol);
    if (hRow > 0) Page.ShiftHorizontal(hRow);
  }
  if (AngleA != 0) ShearRows<P>(Page, w, AngleA, bg);
  if (AngleB != 0) ShearColumns<P>(Page, v, AngleB, bg);
}

}  // namespace

int32_t MixColors(int32_t First, int32_t Second, double F) {
  const double g = 1 - F;
  int32_t mixed = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t c = RoundPixel(F * ((First >> shift) & 0xFF) + g * ((Second >> shift) & 0xFF));
    mixed |= c << shift;
  }
  return mixed;
}

void TDIB::Rotate(bool FillWhite, bool UseTypeVariants, double AngleA, double AngleB,
                  bool Enlarge) {
  if (!UseTypeVariants) {
    RotateGeneric(FillWhite, Enlarge, AngleA);
    return;
  }
  switch (FPixelType) {
    case pt1bit:
      Rotate1(FillWhite, Enlarge, AngleA, AngleB);
      break;
    case pt8bit:
      Rotate8(FillWhite, Enlarge, AngleA, AngleB);
      break;
    case pt24bit:
      Rotate24(FillWhite, Enlarge, AngleA, AngleB);
      break;
    default:
      break;
  }
}

void TDIB::Rotate1(bool FillWhite, bool Enlarge, double AngleA, double AngleB) {
  RotateByShears<TRowPixels1>(*this, FillWhite, Enlarge, AngleA, AngleB, RepeatBit);
}

void TDIB::Rotate8(bool FillWhite, bool Enlarge, double AngleA, double AngleB) {
  RotateByShears<TRowPixels8>(*this, FillWhite, Enlarge, AngleA, AngleB,
                              [](int32_t Bg) { return static_cast<uint8_t>(Bg); });
}

void TDIB::Rotate24(bool FillWhite, bool Enlarge, double AngleA, double AngleB) {
  // A canvas grown for a colour page is white whatever the background.
  RotateByShears<TRowPixels24>(*this, FillWhite, Enlarge, AngleA, AngleB,
                               [](int32_t) { return uint8_t{255}; });
}
