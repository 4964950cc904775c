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

// The components of the pixels whose bit equals Foreground, in the order of their first run
// in a line-by-line scan.
std::vector<TComponent> FindComponents(const TDIB& Page, bool Foreground);
