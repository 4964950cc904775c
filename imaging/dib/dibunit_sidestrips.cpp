// The thin dark strips that a surround leaves along the sides of the rectangle that border
// removal keeps: they share their lines with the page's ink, so no rectangle takes them. From
// each side, every line across it (a row for the left and right sides, a column for the top
// and bottom) has a dark run that starts at the side or behind a light edge of about a
// millimetre, counted up to a cap. The strip's depth along the side is the median of those
// runs over a window much longer than a letter, so that letters touching the strip do not
// count. A line belongs to a strip where that depth is at most the cap, three quarters of the
// window's lines have a run (the lines of a text column beside the side leave light between
// them) and the runs are steady (their quartiles lie close). Over a stretch of such lines
// longer than 25 mm, each line's dark pixels up to the depth take the background. A deeper
// region (a picture bleeding off the page) or a ragged one (a gutter shadow over text) is left
// alone, and nothing beyond a line's run from the side changes.
#include <algorithm>
#include <array>
#include <vector>

#include "dibunit.h"
#include "dibunit_borderdark.h"

namespace {

// The strips of one side, in pixels: across the side (Edge, Cap, Spread) and along it (Radius,
// Length).
struct TStripRule {
  int32_t Edge;    // the widest light edge at the side before a line's run
  int32_t Cap;     // the deepest strip, the edge with it
  int32_t Spread;  // the widest distance between the quartiles of a steady strip's runs
  int32_t Radius;  // half the median's window
  int32_t Length;  // the shortest stretch
};

// The strip's depth at each line, given the lines' runs from the side (each at most Cap + 1):
// the median of the runs in the window about the line, where at least three quarters of them
// are runs and their quartiles lie close; 0 where the line is no part of a strip.
std::vector<int32_t> StripDepths(const std::vector<int32_t>& Runs, const TStripRule& Rule) {
  const auto size = static_cast<int32_t>(Runs.size());
  // Counted up to the longest run, not the cap: a page's resolution may make the cap far
  // longer than the page.
  const int32_t longest = size > 0 ? *std::max_element(Runs.begin(), Runs.end()) : 0;
  std::vector<int32_t> counts(static_cast<size_t>(longest) + 1, 0), depths(Runs.size(), 0);
  // The value of rank Rank (from 0) among the window's runs.
  auto ranked = [&counts](int32_t Rank) {
    int32_t v = 0;
    for (int32_t seen = counts[0]; seen <= Rank; seen += counts[++v]) {
    }
    return v;
  };
  int32_t first = 0, next = 0;
  for (int32_t i = 0; i < size; ++i) {
    for (; next < size && next <= i + Rule.Radius; ++next) ++counts[Runs[next]];
    for (; first < i - Rule.Radius; ++first) --counts[Runs[first]];
    const int32_t n = next - first, depth = ranked(n / 2), low = ranked(n / 4);
    if (low >= 1 && depth <= Rule.Cap && ranked(3 * n / 4) - low <= Rule.Spread) depths[i] = depth;
  }
  return depths;
}

// The pixels to take from each line: in the stretches of strip lines longer than Length, each
// line's run up to the strip's depth. Where a stretch ends, its lines no longer fill the
// median's window; the strip goes on there for up to half a window, while the lines keep a
// run from the side, at the depth of the stretch's last line.
std::vector<int32_t> StripCuts(const std::vector<int32_t>& Runs, const TStripRule& Rule) {
  const std::vector<int32_t> depths = StripDepths(Runs, Rule);
  const auto size = static_cast<int32_t>(Runs.size());
  std::vector<int32_t> cuts(Runs.size(), 0);
  for (int32_t start = 0, end = 0; start < size; start = end) {
    for (end = start + 1; end < size && (depths[start] > 0) == (depths[end] > 0);) ++end;
    if (depths[start] == 0 || end - start <= Rule.Length) continue;
    for (int32_t i = start; i < end; ++i) cuts[i] = std::min(Runs[i], depths[i]);
    for (int32_t i = start - 1; i >= std::max(0, start - Rule.Radius) && Runs[i] > 0; --i) {
      cuts[i] = std::min(Runs[i], depths[start]);
    }
    for (int32_t i = end; i < std::min(size, end + Rule.Radius) && Runs[i] > 0; ++i) {
      cuts[i] = std::min(Runs[i], depths[end - 1]);
    }
  }
  return cuts;
}

// The rule of a side at the page's resolutions across it and along it: a strip lies behind a
// light edge of up to about a millimetre, is up to 8 mm deep, steady within 2 mm, its median
// taken over 10 mm and longer than 25 mm.
TStripRule RuleOf(int32_t DpiAcross, int32_t DpiAlong) {
  auto mm = [](int32_t Dpi, double Millimetres) {
    return static_cast<int32_t>(Round(Dpi * Millimetres / 25.4));
  };
  return {Round(DpiAcross / 25.0), mm(DpiAcross, 8), mm(DpiAcross, 2), mm(DpiAlong, 5),
          mm(DpiAlong, 25)};
}

// One side of Rect: the runs from it and the painting of their first pixels. Left and right
// sides run their lines along the rows, top and bottom along the columns.
template <class TIsDark, class TPixels>
class TSideStrips {
 public:
  TSideStrips(TDIB& Page, const TDIB::TRect& Rect, TIsDark IsDark)
      : FPage(Page), FRect(Rect), FIsDark(IsDark) {}

  // The end of the dark run from the left (Step 1) or right side (Step -1) of every row, the
  // light edge before it included, up to Rule.Cap + 1; 0 where no dark pixel lies within the
  // edge.
  std::vector<int32_t> RowRuns(int32_t Step, const TStripRule& Rule) const {
    const int32_t edge = Step > 0 ? FRect.Left : FRect.Right;
    const int32_t longest = std::min(Rule.Cap + 1, FRect.Right - FRect.Left + 1);
    std::vector<int32_t> runs(static_cast<size_t>(FRect.Bottom - FRect.Top + 1), 0);
    for (size_t i = 0; i < runs.size(); ++i) {
      const uint8_t* row = FPage.Lines(FRect.Top + static_cast<int32_t>(i));
      int32_t k = 0;
      while (k <= Rule.Edge && k < longest && FIsDark(row, edge + Step * k) == 0) ++k;
      if (k > Rule.Edge || k == longest) continue;
      while (k < longest && FIsDark(row, edge + Step * k) != 0) ++k;
      runs[i] = k;
    }
    return runs;
  }

  // The same for every column from the top (Step 1) or bottom side (Step -1), row by row.
  std::vector<int32_t> ColumnRuns(int32_t Step, const TStripRule& Rule) const {
    const int32_t edge = Step > 0 ? FRect.Top : FRect.Bottom;
    const int32_t longest = std::min(Rule.Cap + 1, FRect.Bottom - FRect.Top + 1);
    std::vector<int32_t> runs(static_cast<size_t>(FRect.Right - FRect.Left + 1), 0);
    for (int32_t k = 0; k < longest; ++k) {
      const uint8_t* row = FPage.Lines(edge + Step * k);
      for (size_t j = 0; j < runs.size(); ++j) {
        const bool open = runs[j] == k || (runs[j] == 0 && k <= Rule.Edge);
        if (open && FIsDark(row, FRect.Left + static_cast<int32_t>(j)) != 0) runs[j] = k + 1;
      }
    }
    return runs;
  }

  // The dark pixels among the first Cuts[i] of row i from the left or right side.
  void PaintRows(int32_t Step, const std::vector<int32_t>& Cuts, int32_t Value) {
    const int32_t edge = Step > 0 ? FRect.Left : FRect.Right;
    for (size_t i = 0; i < Cuts.size(); ++i) {
      uint8_t* row = FPage.Lines(FRect.Top + static_cast<int32_t>(i));
      for (int32_t k = 0; k < Cuts[i]; ++k) Paint(row, edge + Step * k, Value);
    }
  }

  // The dark pixels among the first Cuts[j] of column j from the top or bottom side.
  void PaintColumns(int32_t Step, const std::vector<int32_t>& Cuts, int32_t Value) {
    const int32_t edge = Step > 0 ? FRect.Top : FRect.Bottom;
    const int32_t deepest = *std::max_element(Cuts.begin(), Cuts.end());
    for (int32_t k = 0; k < deepest; ++k) {
      uint8_t* row = FPage.Lines(edge + Step * k);
      for (size_t j = 0; j < Cuts.size(); ++j) {
        if (Cuts[j] > k) Paint(row, FRect.Left + static_cast<int32_t>(j), Value);
      }
    }
  }

 private:
  void Paint(uint8_t* Row, int32_t X, int32_t Value) const {
    if (FIsDark(Row, X) != 0) TPixels::Set(Row, X, Value);
  }

  TDIB& FPage;
  const TDIB::TRect FRect;
  TIsDark FIsDark;
};

bool AnyCut(const std::vector<int32_t>& Cuts) {
  return std::any_of(Cuts.begin(), Cuts.end(), [](int32_t c) { return c > 0; });
}

}  // namespace

void TDIB::EraseSideStrips(const TRect& Rect) {
  const TRect inside = {std::max(Rect.Left, 0), std::max(Rect.Top, 0),
                        std::min(Rect.Right, Width() - 1), std::min(Rect.Bottom, Height() - 1)};
  if (Empty() || inside.Right < inside.Left || inside.Bottom < inside.Top) return;
  const TStripRule rows = RuleOf(XResolution(), YResolution()),
                   columns = RuleOf(YResolution(), XResolution());
  if (rows.Cap < 1 || columns.Cap < 1) return;
  WithBorderDark(
      *this,
      [&](auto IsDark, auto Pixels) {
        TSideStrips<decltype(IsDark), decltype(Pixels)> sides(*this, inside, IsDark);
        // Every side is measured before any is painted, so that the corners count for both.
        const std::array<std::vector<int32_t>, 4> cuts = {
            StripCuts(sides.RowRuns(1, rows), rows), StripCuts(sides.RowRuns(-1, rows), rows),
            StripCuts(sides.ColumnRuns(1, columns), columns),
            StripCuts(sides.ColumnRuns(-1, columns), columns)};
        if (std::none_of(cuts.begin(), cuts.end(), AnyCut)) return;
        const int32_t value = BackgroundValue();
        sides.PaintRows(1, cuts[0], value);
        sides.PaintRows(-1, cuts[1], value);
        sides.PaintColumns(1, cuts[2], value);
        sides.PaintColumns(-1, cuts[3], value);
      },
      // On paper darker than middle gray, middle gray would count the paper as part of every
      // strip, so that none is steady.
      TBorderLevel::Paper);
}
