// The sheet's edge left along a side of the rectangle inside a black border: a thin dark line
// or strip that lies along the side and touches it (a shadow of the sheet's edge beside the
// surround, or the surround's own last strip where it does not reach across the whole side).
// Such a line is long, shallow and solid: it crosses each place along the side in one run.
// Letters that the side cuts are short, and a row of them that hang on one line crosses many
// places in two runs, with their counters between; a line that runs on deeper into the page
// is the page's own. The side moves in over the edge only where it takes no ink of the page
// with it: the lines it gives up hold nothing but the edge, the surround and specks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "dibunit.h"
#include "dibunit_sideframe.h"

namespace sheetedge {

// The sizes of a side's edge, in pixels across the side except Along.
struct TEdgeSizes {
  int32_t Depth;  // the lines from the side that the edge may take
  int32_t Along;  // the least length of a line of the edge
  int32_t Reach;  // the light lines at the page's side that the edge may lie behind
  int32_t Noise;  // the widest light gap inside a line of the edge that its ragged rim leaves
  int32_t
      Speck;  // a set shorter than this along the side, of fewer pixels than its square, is a speck
};

// A line of the sheet's edge crosses at most one place in this many in two runs or more.
constexpr int32_t kCrossings = 20;

// A connected set of dark pixels from the side's first lines on.
struct TEdgeSet {
  int32_t First, Last, Deepest;
  bool Touches;  // it meets the surround outside the side, or the page's side
  bool Deep;     // it runs on beyond the depth of the edge
  std::vector<std::pair<int32_t, int32_t>> Pixels;  // (J, T)
};

// The places that the set crosses in two runs, apart by more than Noise light pixels.
inline int32_t DoubleCrossings(std::vector<std::pair<int32_t, int32_t>>& Pixels, int32_t Noise) {
  std::sort(Pixels.begin(), Pixels.end());
  int32_t doubles = 0;
  for (size_t i = 0; i < Pixels.size();) {
    size_t k = i + 1;
    bool twice = false;
    for (; k < Pixels.size() && Pixels[k].first == Pixels[i].first; ++k) {
      twice |= Pixels[k].second - Pixels[k - 1].second - 1 > Noise;
    }
    doubles += twice ? 1 : 0;
    i = k;
  }
  return doubles;
}

// The connected set (8-neighbourhood) of Dark pixels in lines 0 .. Depth of Side from the pixel
// (T, J) on, marked in Seen (a byte a pixel, line by line). It touches the side when a pixel
// of it lies beside a dark one outside, or on the side's line at the page's side; Touching
// starts it as touching.
template <class TDark>
TEdgeSet FollowSet(const TSideFrame& Side, int32_t Depth, int32_t T, int32_t J, bool Touching,
                   std::vector<uint8_t>& Seen, TDark& Dark) {
  const int32_t length = Side.To - Side.From + 1;
  auto seen = [&](int32_t U, int32_t K) -> uint8_t& {
    return Seen[static_cast<size_t>(U) * length + (K - Side.From)];
  };
  TEdgeSet set{J, J, T, Touching, false, {}};
  std::vector<std::pair<int32_t, int32_t>> stack{{T, J}};
  seen(T, J) = 1;
  while (!stack.empty()) {
    const auto [t, k] = stack.back();
    stack.pop_back();
    set.Pixels.push_back({k, t});
    set.First = std::min(set.First, k);
    set.Last = std::max(set.Last, k);
    set.Deepest = std::max(set.Deepest, t);
    set.Deep |= t == Depth;
    for (int32_t u = t - 1; u <= t + 1; ++u) {
      for (int32_t v = std::max(k - 1, Side.From); v <= std::min(k + 1, Side.To); ++v) {
        if (u < 0) {
          set.Touches |= Side.AtSide || Dark(u, v);
        } else if (u <= Depth && seen(u, v) == 0 && Dark(u, v)) {
          seen(u, v) = 1;
          stack.push_back({u, v});
        }
      }
    }
  }
  return set;
}

// A line of the sheet's edge touches the side, stays within the depth, is long and solid.
inline bool IsEdgeLine(TEdgeSet& Set, const TEdgeSizes& Sizes) {
  const int32_t places = Set.Last - Set.First + 1;
  return Set.Touches && !Set.Deep && places >= Sizes.Along &&
         DoubleCrossings(Set.Pixels, Sizes.Noise) * kCrossings <= places;
}

// Whether giving up the first Lines lines of the side would take ink of the page with the set:
// cut a set in two that is not the surround running on along the side, or take the whole of
// one that does not touch the surround and is larger than a speck.
inline bool TakesInk(TEdgeSet& Set, int32_t Lines, const TEdgeSizes& Sizes) {
  if (IsEdgeLine(Set, Sizes)) return false;
  if (Set.Deepest >= Lines) return !(Set.Touches && Set.Deep);
  const bool speck = Set.Last - Set.First + 1 < Sizes.Speck &&
                     Set.Pixels.size() < size_t(Sizes.Speck) * Sizes.Speck;
  return !Set.Touches && !speck;
}

// The lines from the side's line that the sheet's edge along it takes, at most Depth: 0 when no
// set that touches the side is a line of the edge, or when giving up those lines takes ink of
// the page too. At the page's side a line of the edge may start on any of the first
// Sizes.Reach lines; elsewhere it starts on the side's line and meets the surround.
template <class TDark>
int32_t EdgeLines(const TSideFrame& Side, int32_t Depth, const TEdgeSizes& Sizes, TDark&& Dark) {
  if (Depth <= 0 || Side.From > Side.To) return 0;
  const size_t size = static_cast<size_t>(Depth + 1) * (Side.To - Side.From + 1);
  std::vector<uint8_t> seen;  // made when a set is first followed
  auto unseen = [&](int32_t T, int32_t J) {
    if (seen.empty()) seen.resize(size);
    return seen[static_cast<size_t>(T) * (Side.To - Side.From + 1) + (J - Side.From)] == 0;
  };
  const int32_t starts = Side.AtSide ? std::min(Sizes.Reach + 1, Depth) : 1;
  int32_t lines = 0;
  for (int32_t t = 0; t < starts; ++t) {
    for (int32_t j = Side.From; j <= Side.To; ++j) {
      if (!Dark(t, j) || !unseen(t, j)) continue;
      TEdgeSet set = FollowSet(Side, Depth, t, j, Side.AtSide, seen, Dark);
      if (IsEdgeLine(set, Sizes)) lines = std::max(lines, set.Deepest + 1);
    }
  }
  if (lines == 0) return 0;
  seen.assign(size, 0);
  for (int32_t t = 0; t < lines; ++t) {
    for (int32_t j = Side.From; j <= Side.To; ++j) {
      if (!Dark(t, j) || !unseen(t, j)) continue;
      TEdgeSet set = FollowSet(Side, Depth, t, j, Side.AtSide && t < starts, seen, Dark);
      if (TakesInk(set, lines, Sizes)) return 0;
    }
  }
  return lines;
}

// Moves the sides of Rect in over the sheet's edge along them, up to Depth lines from where
// each side was (and a quarter of the rectangle); a line of the edge that the move lays bare
// behind another is taken too. Across holds the sizes across the left and right sides, Down
// those across the top and bottom; IsDark(Row, X) tells the dark pixels.
template <class TIsDark>
void TrimSheetEdges(const TDIB& Page, TDIB::TRect& Rect, const TEdgeSizes& Across,
                    const TEdgeSizes& Down, TIsDark&& IsDark) {
  const int32_t width = Page.Width(), height = Page.Height();
  int32_t* edges[4] = {&Rect.Left, &Rect.Top, &Rect.Right, &Rect.Bottom};
  for (int32_t i = 0; i < 4; ++i) {
    const bool vertical = i % 2 == 0;
    const int32_t step = i < 2 ? 1 : -1;
    const TEdgeSizes& sizes = vertical ? Across : Down;
    const int32_t from = vertical ? Rect.Top : Rect.Left, to = vertical ? Rect.Bottom : Rect.Right;
    const int32_t across = vertical ? Rect.Right - Rect.Left + 1 : Rect.Bottom - Rect.Top + 1;
    const int32_t depth = std::min(sizes.Depth, across / 4);
    const int32_t start = *edges[i];
    int32_t moved = 0;
    while (moved < depth) {
      const int32_t line = start + step * moved, outside = line - step;
      const bool atSide = outside < 0 || outside >= (vertical ? width : height);
      const TSideFrame side{vertical, line, step, from, to, atSide};
      const int32_t lines = EdgeLines(side, depth - moved, sizes, FrameDark(Page, side, IsDark));
      if (lines == 0) break;
      moved += lines;
    }
    *edges[i] = start + step * moved;
  }
}

}  // namespace sheetedge
