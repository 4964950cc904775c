// A side of a rectangle inside a page, seen from one of its lines: the steps of border removal
// that follow dark pixels across a side (giving back letters, taking the sheet's edge) walk it
// line by line from that line inwards.
#pragma once

#include <cstdint>

#include "dibunit.h"

// Line T (0 at the line Edge, Step towards the inside) and place J along the side (From .. To)
// are a pixel of a column (Vertical) or of a line.
struct TSideFrame {
  bool Vertical;
  int32_t Edge, Step, From, To;
  bool AtSide;          // the edge is the page's side: line -1 lies outside the page
  bool AtEnds = false;  // From and To are the page's sides beside it, which the surround holds
  int32_t X(int32_t T, int32_t J) const { return Vertical ? Edge + Step * T : J; }
  int32_t Y(int32_t T, int32_t J) const { return Vertical ? J : Edge + Step * T; }
};

// Whether the pixel (T, J) of Frame is dark by IsDark(Row, X); a pixel outside the page is not.
template <class TIsDark>
auto FrameDark(const TDIB& Page, const TSideFrame& Frame, TIsDark& IsDark) {
  return
      [&Page, &Frame, &IsDark, width = Page.Width(), height = Page.Height()](int32_t T, int32_t J) {
        const int32_t x = Frame.X(T, J), y = Frame.Y(T, J);
        return x >= 0 && y >= 0 && x < width && y < height && IsDark(Page.Lines(y), x) != 0;
      };
}
