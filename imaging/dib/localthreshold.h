// The local mean and deviation threshold: each pixel of a gray page against the mean and
// standard deviation of the pixels in a window about it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "dibunit.h"
#include "dibworkspace.h"

// The entries of SqrtTable.
inline constexpr int32_t kSqrtTableSize = 16642;

// Entry i holds floor(sqrt(i)) for i = 0..16640; that covers every variance the threshold can
// meet (below 128 x 128 with the truncated mean). The last entry is never used.
extern const std::array<int32_t, kSqrtTableSize> SqrtTable;

// Writes 255 or 0 for each pixel of Source into Target (8-bit pages of the same size): 255
// unless the pixel is darker than the local mean + K x the local deviation (about).
void LocalStatsFilter(int32_t WindowWidth, int32_t WindowHeight, const TDIB& Source, TDIB& Target,
                      double K);
// LocalStatsFilter into lines of Source's width, line Y at TargetLine(Y) (asked for in turn),
// with the working memory of Workspace.
void LocalStatsFilter(int32_t WindowWidth, int32_t WindowHeight, const TDIB& Source, double K,
                      const std::function<uint8_t*(int32_t Y)>& TargetLine,
                      TDIBWorkspace& Workspace);
// LocalStatsFilter with a square window.
void LocalStatsThreshold(int32_t Window, const TDIB& Source, TDIB& Target, double K);
