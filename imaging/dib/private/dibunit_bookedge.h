// The edge of a book's page block left along a side of the rectangle inside a black border. A
// book opened on a dark backing shows, between the surround and the page, the light face of
// the block (with the dark gaps of its thumb-index tabs) and then the shadow where the page
// leaves the block: a dark band that runs the whole side and on into the surround beyond the
// rectangle's end, while the walk stopped at the face. No line of a page's own is that dark
// over the whole side and joined to the surround, so the side moves in past the band, as long
// as nothing between the side and the band is a letter of the page.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "dibunit.h"
#include "dibunit_sheetedge.h"
#include "dibunit_sideframe.h"

namespace bookedge {

// The sizes of a side's book edge, in pixels.
struct TEdgeSizes {
  int32_t Depth;   // the lines from the side that the band may lie in
  int32_t Speck;   // a set reaching fewer pixels along and across the side is no letter
  int32_t Letter;  // a set longer than this along the side is no letter
};

// Whether line T of Side is a line of the band: dark on all but Light of its places, and dark
// across one of its ends into the surround beyond the rectangle.
template <class TDark>
bool IsBandLine(const TSideFrame& Side, int32_t T, int32_t Light, TDark& Dark) {
  const bool joined =
      (Dark(T, Side.From) && Dark(T, Side.From - 1)) || (Dark(T, Side.To) && Dark(T, Side.To + 1));
  if (!joined) return false;
  int32_t light = 0;
  for (int32_t j = Side.From; j <= Side.To && light <= Light; ++j) light += Dark(T, j) ? 0 : 1;
  return light <= Light;
}

// Whether a set meets the surround beyond an end of the side: a dark pixel there, or the page's
// side (Last is the page's last place along the side).
template <class TDark>
bool AtEnd(const TSideFrame& Side, int32_t Last, const sheetedge::TEdgeSet& Set, TDark& Dark) {
  for (const auto& [j, t] : Set.Pixels) {
    if (j == Side.From && (j == 0 || Dark(t, j - 1))) return true;
    if (j == Side.To && (j == Last || Dark(t, j + 1))) return true;
  }
  return false;
}

// Whether a set of Pixels that reaches Along places along the side and Across lines across it
// can be a letter: at least a speck's size both ways, no longer along the side than a letter
// and no sliver along it (the face's page edges and the rims of its tabs lie along the side).
inline bool IsLetter(int32_t Along, int32_t Across, size_t Pixels, const TEdgeSizes& Sizes) {
  return Along >= Sizes.Speck && Across >= Sizes.Speck &&
         Pixels >= size_t(Sizes.Speck) * Sizes.Speck && Along <= Sizes.Letter &&
         Along <= 2 * Across;
}

// Whether the lines 0 .. Band - 1 of Side, before the band line Band, hold a letter: a connected
// set of dark pixels that meets neither the surround outside the side or beyond its ends nor
// the band, and that IsLetter.
template <class TDark>
bool HoldsLetter(const TSideFrame& Side, int32_t Last, int32_t Band, const TEdgeSizes& Sizes,
                 TDark& Dark) {
  if (Band <= 0) return false;
  const int32_t length = Side.To - Side.From + 1;
  std::vector<uint8_t> seen(static_cast<size_t>(Band) * length);
  for (int32_t t = 0; t < Band; ++t) {
    for (int32_t j = Side.From; j <= Side.To; ++j) {
      if (!Dark(t, j) || seen[static_cast<size_t>(t) * length + (j - Side.From)]) continue;
      // Followed up to the line before the band: a set that reaches it (Deep) meets the band.
      sheetedge::TEdgeSet set = sheetedge::FollowSet(Side, Band - 1, t, j, false, seen, Dark);
      if (set.Touches || set.Deep || AtEnd(Side, Last, set, Dark)) continue;
      int32_t shallowest = set.Deepest;
      for (const auto& pixel : set.Pixels) shallowest = std::min(shallowest, pixel.second);
      if (IsLetter(set.Last - set.First + 1, set.Deepest - shallowest + 1, set.Pixels.size(),
                   Sizes)) {
        return true;
      }
    }
  }
  return false;
}

// The lines from the line of Side up to and with its deepest band line within Sizes.Depth;
// 0 when there is none, or when a letter lies before it.
template <class TDark>
int32_t BandLines(const TSideFrame& Side, int32_t Last, int32_t Light, const TEdgeSizes& Sizes,
                  TDark&& Dark) {
  if (Side.From > Side.To) return 0;
  int32_t band = -1;
  for (int32_t t = Sizes.Depth - 1; t >= 0 && band < 0; --t) {
    if (IsBandLine(Side, t, Light, Dark)) band = t;
  }
  if (band < 0 || HoldsLetter(Side, Last, band, Sizes, Dark)) return 0;
  return band + 1;
}

// Moves the sides of Rect that Framed marks (left, top, right, bottom: the walk found surround
// there) in past the book edge along them, up to a quarter of the rectangle. A band line may
// hold a LightShare (in per cent) of light places; Across holds the sizes across the left and
// right sides, Down those across the top and bottom; IsDark(Row, X) tells the dark pixels.
template <class TIsDark>
void TakeBookEdges(const TDIB& Page, TDIB::TRect& Rect, const std::array<bool, 4>& Framed,
                   double LightShare, const TEdgeSizes& Across, const TEdgeSizes& Down,
                   TIsDark&& IsDark) {
  int32_t* edges[4] = {&Rect.Left, &Rect.Top, &Rect.Right, &Rect.Bottom};
  for (int32_t i = 0; i < 4; ++i) {
    if (!Framed[i]) continue;
    const bool vertical = i % 2 == 0;
    const int32_t step = i < 2 ? 1 : -1;
    TEdgeSizes sizes = vertical ? Across : Down;
    const int32_t from = vertical ? Rect.Top : Rect.Left, to = vertical ? Rect.Bottom : Rect.Right;
    const int32_t across = vertical ? Rect.Right - Rect.Left + 1 : Rect.Bottom - Rect.Top + 1;
    sizes.Depth = std::min(sizes.Depth, across / 4);
    const TSideFrame side{vertical, *edges[i], step, from, to, false};
    const int32_t light = Round((to - from + 1) * LightShare / 100);
    *edges[i] += step * BandLines(side, (vertical ? Page.Height() : Page.Width()) - 1, light, sizes,
                                  FrameDark(Page, side, IsDark));
  }
}

}  // namespace bookedge
