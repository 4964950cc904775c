// The local minimum or maximum of a gray page, line by line as a stream: Next() gives the
// extremes over the window about the next output line, from a ring of two blocks of window
// lines, so that a caller can use each line at once and even overwrite the page's line with it.
// Along a line, extremes over runs of 1, 2, 4 ... P pixels (P the largest power of two up to the
// window) each double the last, and a window joins the two runs of P that cover it. Down the
// columns, in blocks of Window lines aligned at 0, Behind(i) is the extreme from line i to its
// block's end and Ahead(i) from its block's start to i; the window starting at s is Behind(s)
// joined with Ahead(s + Window - 1). Each pixel costs a few comparisons whatever the window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dibunit.h"

struct TMinimum {
  static uint8_t Pick(uint8_t A, uint8_t B) { return A < B ? A : B; }
};
struct TMaximum {
  static uint8_t Pick(uint8_t A, uint8_t B) { return A > B ? A : B; }
};

template <class TPick>
void PickLines(uint8_t* __restrict Target, const uint8_t* A, const uint8_t* B, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x) Target[x] = TPick::Pick(A[x], B[x]);
}
template <class TPick>
void PickInto(uint8_t* __restrict Target, const uint8_t* __restrict B, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x) Target[x] = TPick::Pick(Target[x], B[x]);
}

// Window length of the local extremes along a side of Size pixels: areas of 1 or less become 2,
// areas not below the side become Size - 1, then the window is made odd.
inline int32_t ExtremeWindow(int32_t Area, int32_t Size) {
  if (Area <= 1) Area = 2;
  if (Area >= Size) Area = Size - 1;
  return 2 * (Area / 2) + 1;
}

// Each output takes the window of Window values centred on it, moved inside the sequence of N
// (Window <= N) at both ends: the window's first index.
inline int32_t WindowStart(int32_t I, int32_t Window, int32_t N) {
  return std::clamp(I - Window / 2, 0, N - Window);
}

// The lines a stream works in, kept by a workspace from page to page. A stream writes every
// byte of them before it reads it.
struct TExtremeBuffers {
  std::vector<uint8_t> Ring;   // line y in slot y mod the slots
  std::vector<uint8_t> Ahead;  // Ahead of the stream's ahead line
  std::vector<uint8_t> Out;
  std::vector<uint8_t> Runs[2];
};

template <class TPick>
class TExtremeLines {
 public:
  TExtremeLines(const TDIB& Source, int32_t AreaWidth, int32_t AreaHeight, TExtremeBuffers& Buffers)
      : FSource(Source),
        FWidth(Source.Width()),
        FHeight(Source.Height()),
        FAcross(ExtremeWindow(AreaWidth, FWidth)),
        FDown(ExtremeWindow(AreaHeight, FHeight)),
        FSlots(std::min(2 * FDown, FHeight)),
        FRing(Buffers.Ring),
        FAhead(Buffers.Ahead),
        FOut(Buffers.Out),
        FRuns(Buffers.Runs) {
    FRing.resize(Line() * static_cast<size_t>(FSlots));
    FAhead.resize(Line());
    FOut.resize(Line());
    for (auto& runs : FRuns) runs.resize(Line());
  }

  // The extremes about output line I, for I = 0, 1, ... in turn; valid until the next call.
  // Source lines up to the window's last line have been read by then, none after it.
  const uint8_t* Next(int32_t I) {
    const int32_t s = WindowStart(I, FDown, FHeight), e = s + FDown - 1;
    const int32_t block = s / FDown, next = (block + 1) * FDown;
    if (block != FBehindBlock) TakeBehind(block);
    if (e < next) return Slot(s);  // the window is the whole block
    while (FAheadLine < e) {
      ++FAheadLine;
      ReadUpTo(FAheadLine);
      if (FAheadLine == next) {
        std::memcpy(FAhead.data(), Slot(FAheadLine), Line());
      } else {
        PickInto<TPick>(FAhead.data(), Slot(FAheadLine), FWidth);
      }
    }
    PickLines<TPick>(FOut.data(), Slot(s), FAhead.data(), FWidth);
    return FOut.data();
  }

 private:
  size_t Line() const { return static_cast<size_t>(FWidth); }
  uint8_t* Slot(int32_t Y) { return FRing.data() + Line() * static_cast<size_t>(Y % FSlots); }

  // Behind over the lines of the block, in place of their extremes along the line.
  void TakeBehind(int32_t Block) {
    const int32_t start = Block * FDown, end = std::min(start + FDown, FHeight);
    ReadUpTo(end - 1);
    for (int32_t i = end - 2; i >= start; --i) {
      PickInto<TPick>(Slot(i), Slot(i + 1), FWidth);
    }
    FBehindBlock = Block;
    FAheadLine = end - 1;
  }

  void ReadUpTo(int32_t Y) {
    for (; FRead <= Y; ++FRead) Across(FSource.Lines(FRead), Slot(FRead));
  }

  // The extremes along one line.
  void Across(const uint8_t* Source, uint8_t* Out) {
    const int32_t width = FWidth, window = FAcross;
    const uint8_t* runs = Source;
    int32_t run = 1;
    for (int32_t b = 0; 2 * run <= window; run *= 2, b ^= 1) {
      // Runs of 2 x run start at 0 .. width - 2 x run.
      PickLines<TPick>(FRuns[b].data(), runs, runs + run, width - run);
      runs = FRuns[b].data();
    }
    const int32_t last = width - window;  // the last window start
    const int32_t half = window / 2;
    const int32_t join = window - run;
    // Windows of the first columns start at 0, those of the last ones at the last start.
    for (int32_t i = 0; i < half; ++i) Out[i] = TPick::Pick(runs[0], runs[join]);
    PickLines<TPick>(Out + half, runs, runs + join, last + 1);
    for (int32_t i = half + last + 1; i < width; ++i) {
      Out[i] = TPick::Pick(runs[last], runs[last + join]);
    }
  }

  const TDIB& FSource;
  const int32_t FWidth, FHeight;
  const int32_t FAcross, FDown;  // the window's columns and lines
  const int32_t FSlots;          // two blocks of lines, or the whole page when smaller
  std::vector<uint8_t>& FRing;   // line y in slot y mod FSlots
  std::vector<uint8_t>& FAhead;  // Ahead of FAheadLine
  std::vector<uint8_t>& FOut;
  std::vector<uint8_t> (&FRuns)[2];
  int32_t FRead = 0;  // source lines read so far
  int32_t FBehindBlock = -1;
  int32_t FAheadLine = -1;
};
