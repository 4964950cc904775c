// The buffers of a TDIBWorkspace, one member per operation that uses them.
#pragma once

#include "dibunit.h"
#include "dibunit_components.h"
#include "dibunit_extremelines.h"
#include "dibworkspace.h"
#include "localthreshold.h"

// The running column sums and the per-column window tables of the local mean and deviation
// threshold.
struct TLocalStatsBuffers {
  std::vector<uint32_t> Values, Squares;             // column sums over the window's lines
  std::vector<int32_t> First, End;                   // the window's columns about x
  std::vector<double> Inverse;                       // 1 / pixels in the window
  std::vector<int64_t> PrefixValues, PrefixSquares;  // prefix sums of the column sums
};

// The dark maps and projection profiles of skew detection.
struct TSkewBuffers {
  std::vector<uint8_t> Bits;               // one line's dark pixels
  std::vector<uint16_t> Narrow, Wide;      // the dark maps in narrow and wide strips
  std::vector<int32_t> Lines[2], Bins[2];  // the coarse and the fine profile
  std::vector<uint32_t> Levels;            // the gray-level counts of the dark level
};

struct TDIBWorkspace::TParts {
  TComponentSearch Components;
  TExtremeBuffers Minimum, Maximum;
  TLocalStatsBuffers LocalStats;
  std::vector<uint8_t> LocalStatsResult;  // the local mean and deviation threshold's lines
  TSkewBuffers Skew;
};
