// The 8-connected components of a 1-bit page, found from the runs of its lines: each line's
// runs of foreground pixels are joined with the runs of the line above that touch them (a
// shared or diagonal neighbour) in a union-find over runs, so that the page is read once, a
// word of 64 pixels at a time, and large components cost no more than their runs.
#pragma once

#include <cstdint>
#include <vector>

#include "dibunit.h"

struct TComponent {
  int32_t FirstX, FirstY;            // its first pixel in a column-by-column scan
  int32_t Left, Top, Right, Bottom;  // inclusive
  int32_t Count;                     // pixels (at most 2,147,483,647)
};

// A run of foreground pixels of one line.
struct TRun {
  int32_t First, Last;  // columns, inclusive
};

// The tables of one search, kept by a workspace from page to page; every search fills them
// anew.
struct TComponentSearch {
  std::vector<TRun> Runs;          // the runs of all lines, line after line
  std::vector<int32_t> Edges;      // one line's run edges
  std::vector<int32_t> LineStart;  // each line's first run, and the end of the last line's
  std::vector<int32_t> Parent;     // the union-find over runs
  std::vector<int32_t> Index;      // a root run's component
  std::vector<int64_t> Counts;     // each component's pixels, unclipped
  std::vector<TComponent> Components;
};

// The components of the pixels whose bit equals Foreground, in the order of their first run
// in a line-by-line scan; they live in Search.Components until its next search.
const std::vector<TComponent>& FindComponents(const TDIB& Page, bool Foreground,
                                              TComponentSearch& Search);
