// Rotation by two shears of whole pixels, for every depth: each line moves sideways by its
// rounded shift, then each column up or down by its own, with no mixing of neighbours. Lines
// move as byte ranges (memmove) or, below a byte per pixel, eight bits at a time; a column
// shear copies, line by line, the columns of one shift from the line they come from.
#include <cmath>
#include <cstring>
#include <vector>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

namespace {

// The bits of byte I that lie inside bits First .. End - 1 of a row (counted from the high
// bit of byte 0).
uint8_t MaskOfByte(int32_t I, int32_t First, int32_t End) {
  const int32_t lo = std::max(First - 8 * I, 0), hi = std::min(End - 8 * I, 8);
  return static_cast<uint8_t>((0xFF >> lo) & (0xFF << (8 - hi)));
}

uint8_t Merge(uint8_t Old, uint8_t New, uint8_t Mask) {
  return static_cast<uint8_t>((Old & ~Mask) | (New & Mask));
}

// Whole-pixel moves within and between lines of P pixels. Bits are counted from the high bit
// of a line's byte 0; pixel x holds bits x * Bits .. x * Bits + Bits - 1.
template <class P>
class TLineMoves {
 public:
  static constexpr int32_t Bits = P::Bits;

  explicit TLineMoves(int32_t LineBytes) : FLineBytes(LineBytes) {
    if constexpr (Bits % 8 != 0) FScratch.assign(static_cast<size_t>(LineBytes) + 2, 0);
  }

  // Pixels From .. From + Count - 1 of Row move to To .. To + Count - 1.
  void Move(uint8_t* Row, int32_t To, int32_t From, int32_t Count) {
    if (Count <= 0) return;
    if constexpr (Bits % 8 == 0) {
      constexpr int32_t bytes = Bits / 8;
      std::memmove(Row + To * bytes, Row + From * bytes, static_cast<size_t>(Count) * bytes);
    } else {
      // The old line sits in the scratch line after one spare byte, so that every byte of
      // eight bits read below lies inside it.
      uint8_t* old = FScratch.data();
      std::memcpy(old + 1, Row, static_cast<size_t>(FLineBytes));
      const int32_t first = To * Bits, end = (To + Count) * Bits;
      const int32_t offset = (From - To) * Bits + 8;  // old bit of target bit b: b + offset
      for (int32_t i = first >> 3; i <= (end - 1) >> 3; ++i) {
        const int32_t bit = 8 * i + offset, r = bit & 7;
        const uint8_t* s = old + (bit >> 3);
        const auto moved = static_cast<uint8_t>(r == 0 ? s[0] : (s[0] << r) | (s[1] >> (8 - r)));
        Row[i] = Merge(Row[i], moved, MaskOfByte(i, first, end));
      }
    }
  }

  // Pixels X .. X + Count - 1 of Source over the same pixels of Target.
  static void Copy(uint8_t* Target, const uint8_t* Source, int32_t X, int32_t Count) {
    if constexpr (Bits % 8 == 0) {
      constexpr int32_t bytes = Bits / 8;
      std::memcpy(Target + X * bytes, Source + X * bytes, static_cast<size_t>(Count) * bytes);
    } else {
      const int32_t first = X * Bits, end = (X + Count) * Bits;
      for (int32_t i = first >> 3; i <= (end - 1) >> 3; ++i) {
        Target[i] = Merge(Target[i], Source[i], MaskOfByte(i, first, end));
      }
    }
  }

  static void Fill(uint8_t* Row, int32_t X, int32_t Count, int32_t Value) {
    for (int32_t end = X + Count; X < end; ++X) P::Set(Row, X, Value);
  }

 private:
  int32_t FLineBytes;
  std::vector<uint8_t> FScratch;
};

// Row shear: line y moves by Round(Rate x y), left for a positive angle, else right; the
// vacated pixels take Bg.
template <class P>
void ShiftLines(TDIB& Page, double Rate, bool Positive, int32_t Bg) {
  const int32_t width = Page.Width(), height = Page.Height();
  TLineMoves<P> moves(Page.LineBytes());
  for (int32_t y = 0; y < height; ++y) {
    const int32_t s = std::min(Round(Rate * y), width);
    if (s == 0) continue;
    uint8_t* row = Page.Lines(y);
    if (Positive) {
      moves.Move(row, 0, s, width - s);
      moves.Fill(row, width - s, s, Bg);
    } else {
      moves.Move(row, s, 0, width - s);
      moves.Fill(row, 0, s, Bg);
    }
  }
}

// The columns First .. First + Count - 1 share the shift Whole.
struct TColumnRun {
  int32_t Whole, First, Count;
};

// Column shear: column x moves by Round(Rate x x), down for a positive angle (lines bottom
// up), else up (lines top down), so that every line read is one the shear has not written.
template <class P>
void ShiftColumns(TDIB& Page, double Rate, bool Positive, int32_t Bg) {
  const int32_t width = Page.Width(), height = Page.Height();
  std::vector<TColumnRun> runs;
  for (int32_t x = 0; x < width; ++x) {
    const int32_t s = Round(Rate * x);
    if (s == 0) continue;
    if (runs.empty() || runs.back().Whole != s) runs.push_back({s, x, 0});
    ++runs.back().Count;
  }
  for (int32_t n = 0; n < height; ++n) {
    const int32_t k = Positive ? height - 1 - n : n;
    uint8_t* row = Page.Lines(k);
    for (const TColumnRun& run : runs) {
      const int32_t from = Positive ? k - run.Whole : k + run.Whole;
      if (from >= 0 && from < height) {
        TLineMoves<P>::Copy(row, Page.Lines(from), run.First, run.Count);
      } else {
        TLineMoves<P>::Fill(row, run.First, run.Count, Bg);
      }
    }
  }
}

template <class P>
void ShearWholePixels(TDIB& Page, double RowRate, double ColumnRate, bool Positive, int32_t Bg) {
  ShiftLines<P>(Page, RowRate, Positive, Bg);
  ShiftColumns<P>(Page, ColumnRate, Positive, Bg);
}

}  // namespace

void TDIB::RotateGeneric(bool FillWhite, bool Enlarge, double Angle) {
  if (std::fabs(Angle) < 0.1 || Empty() || Width() == 0 || Height() == 0) return;
  const double sine = std::sin(Angle * M_PI / 180.0);
  const int32_t hRow = Round(Height() * sine);
  const int32_t vCol = Round(Width() * sine);
  const double w = static_cast<double>(std::abs(hRow)) / Height();
  const double v = static_cast<double>(std::abs(vCol)) / Width();
  const int32_t bg = FillWhite ? WhiteIndex() : BlackIndex();
  if (Enlarge) {
    uint8_t fill = static_cast<uint8_t>(bg);
    if (FPixelType == pt24bit) fill = 255;
    if (FPixelType == pt1bit) fill = bg > 0 ? 0xFF : 0x00;
    if (FPixelType == pt4bit) fill = static_cast<uint8_t>((bg & 0x0F) * 0x11);
    ResizeCanvas(Width() + std::abs(hRow), Height() + std::abs(vCol), fill);
    if (vCol < 0) ShiftVertical(-vCol);
    if (hRow > 0) ShiftHorizontal(hRow);
  }
  const bool positive = Angle >= 0;
  switch (BitCount()) {
    case 1:
      ShearWholePixels<TRowPixels1>(*this, w, v, positive, bg);
      break;
    case 4:
      ShearWholePixels<TRowPixels4>(*this, w, v, positive, bg);
      break;
    case 8:
      ShearWholePixels<TRowPixels8>(*this, w, v, positive, bg);
      break;
    case 24:
      ShearWholePixels<TRowPixels24>(*this, w, v, positive, bg);
      break;
    default:
      // No pixel moves at other depths: the pixel getter raises, when any pixel would move.
      if (Round(w * (Height() - 1)) != 0 || Round(v * (Width() - 1)) != 0) GetPixel(0, 0);
      break;
  }
}
