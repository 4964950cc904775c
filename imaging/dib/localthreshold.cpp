#include "localthreshold.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dibunit_workspace.h"

namespace {

constexpr std::array<int32_t, kSqrtTableSize> BuildSqrtTable() {
  std::array<int32_t, kSqrtTableSize> table{};
  int32_t root = 0;
  for (int32_t i = 0; i < kSqrtTableSize - 1; ++i) {
    while ((root + 1) * (root + 1) <= i) ++root;
    table[i] = root;
  }
  return table;
}

void CheckPages(const TDIB& Source, const TDIB& Target) {
  if (Source.Empty() || Target.Empty() || Source.PixelType() != pt8bit ||
      Target.PixelType() != pt8bit) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
  if (Source.Width() != Target.Width() || Source.Height() != Target.Height()) {
    throw Exception("The target page must have the size of the page");
  }
}

// The window's lines about output line Y: the sums hold lines Y - Above .. Y + Below, fewer near
// the top and bottom where the window shrinks evenly about the line.
struct TLineSpan {
  int32_t First;
  int32_t Last;
};

TLineSpan WindowLines(int32_t Y, int32_t WindowHeight, int32_t Height) {
  const int32_t edge = std::min(Y, Height - 1 - Y);
  return {Y - std::min((WindowHeight - 1) / 2, edge), Y + std::min(WindowHeight / 2, edge)};
}

// Truncated quotient of non-negative N by D from a precomputed 1 / D. (N + 1/2) / D lies at
// least 1 / (2D) inside the integer interval of N / D, and the two roundings move it by less
// than (N / D + 1) x 2^-51, far less for the quotients here (below 2^14, D below 2^33).
inline int64_t Quotient(int64_t N, double Inverse) {
  return static_cast<int64_t>((static_cast<double>(N) + 0.5) * Inverse);
}

// Column sums of values and squared values over the lines in the window, cleared at the start.
// A column holds at most 65535 lines of 255 x 255, which fits 32 unsigned bits.
class TColumnSums {
 public:
  TColumnSums(int32_t Width, TLocalStatsBuffers& Buffers)
      : FValues(Buffers.Values), FSquares(Buffers.Squares) {
    FValues.assign(static_cast<size_t>(Width), 0);
    FSquares.assign(static_cast<size_t>(Width), 0);
  }

  void Add(const uint8_t* Line, int32_t Sign) {
    const auto width = static_cast<int32_t>(FValues.size());
    uint32_t* values = FValues.data();
    uint32_t* squares = FSquares.data();
    const auto sign = static_cast<uint32_t>(Sign);
    for (int32_t x = 0; x < width; ++x) {
      uint32_t v = Line[x];
      values[x] += sign * v;
      squares[x] += sign * v * v;
    }
  }
  const uint32_t* Values() const { return FValues.data(); }
  const uint32_t* Squares() const { return FSquares.data(); }

 private:
  std::vector<uint32_t>& FValues;
  std::vector<uint32_t>& FSquares;
};

// One output line: each pixel against the statistics of the columns about it.
class TLineFilter {
 public:
  TLineFilter(int32_t Width, int32_t WindowWidth, int32_t K, TLocalStatsBuffers& Buffers)
      : FWidth(Width),
        FK(K),
        FFirst(Buffers.First),
        FEnd(Buffers.End),
        FInverse(Buffers.Inverse),
        FValues(Buffers.PrefixValues),
        FSquares(Buffers.PrefixSquares) {
    const auto width = static_cast<size_t>(Width);
    FFirst.resize(width);
    FEnd.resize(width);
    FInverse.resize(width);
    FValues.resize(width + 1);
    FSquares.resize(width + 1);
    FValues[0] = FSquares[0] = 0;
    const int32_t half = WindowWidth / 2;
    for (int32_t x = 0; x < Width; ++x) {
      int32_t r = std::min({half, x, Width - 1 - x});
      FFirst[x] = x - r;
      FEnd[x] = x + r + 1;
    }
  }

  void Run(const TColumnSums& Sums, int32_t Lines, const uint8_t* Source, uint8_t* Target) {
    if (Lines != FLines) SetLines(Lines);
    const uint32_t* values = Sums.Values();
    const uint32_t* squares = Sums.Squares();
    int64_t* s = FValues.data();
    int64_t* q = FSquares.data();
    const int32_t width = FWidth;
    for (int32_t x = 0; x < width; ++x) {
      s[x + 1] = s[x] + values[x];
      q[x + 1] = q[x] + squares[x];
    }
    const int64_t k = FK;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t first = FFirst[x];
      const int32_t end = FEnd[x];
      const int64_t sum = s[end] - s[first];
      const int64_t mean = Quotient(sum, FInverse[x]);
      // Trunc(v - deviation x K / 256 - mean) >= 0, in integers: 256 (v - mean + 1) >
      // deviation x K. The deviation lies in 0..128, so the sign of the left side settles most
      // pixels without it.
      const int64_t left = 256 * (Source[x] - mean + 1);
      bool light;
      if (k <= 0 && left > 0) {
        light = true;
      } else if (k >= 0 && left <= 0) {
        light = false;
      } else {
        const int64_t squareSum = q[end] - q[first];
        const int64_t variance = Quotient(squareSum - sum * mean, FInverse[x]);
        light = left > SqrtTable[static_cast<size_t>(variance)] * k;
      }
      Target[x] = light ? 255 : 0;
    }
  }

 private:
  // 1 / the pixels in the window, for windows of that many lines.
  void SetLines(int32_t Lines) {
    FLines = Lines;
    for (int32_t x = 0; x < FWidth; ++x) {
      FInverse[x] = 1.0 / static_cast<double>(int64_t{Lines} * (FEnd[x] - FFirst[x]));
    }
  }

  int32_t FWidth;
  int32_t FK;
  int32_t FLines = 0;
  std::vector<int32_t>& FFirst;  // the window's columns about x: FFirst[x] .. FEnd[x] - 1
  std::vector<int32_t>& FEnd;
  std::vector<double>& FInverse;
  std::vector<int64_t>& FValues;  // prefix sums of the column sums
  std::vector<int64_t>& FSquares;
};

}  // namespace

constinit const std::array<int32_t, kSqrtTableSize> SqrtTable = BuildSqrtTable();

void LocalStatsFilter(int32_t WindowWidth, int32_t WindowHeight, const TDIB& Source, TDIB& Target,
                      double K) {
  CheckPages(Source, Target);
  TDIBWorkspace workspace;
  LocalStatsFilter(
      WindowWidth, WindowHeight, Source, K, [&](int32_t Y) { return Target.Lines(Y); }, workspace);
}

void LocalStatsFilter(int32_t WindowWidth, int32_t WindowHeight, const TDIB& Source, double K,
                      const std::function<uint8_t*(int32_t Y)>& TargetLine,
                      TDIBWorkspace& Workspace) {
  CheckPages(Source, Source);
  const int32_t width = Source.Width();
  const int32_t height = Source.Height();
  const int32_t k = Trunc(K * 256);
  // The window fits the page and keeps at least one line and one column.
  if (WindowHeight > height) WindowHeight = height - 1;
  WindowHeight = std::max(WindowHeight, 1);
  if (WindowWidth >= width) WindowWidth = width - 1;
  if (WindowWidth % 2 == 0) ++WindowWidth;
  WindowWidth = std::max(WindowWidth, 1);
  if (width == 0 || height == 0) return;

  TLocalStatsBuffers& buffers = Workspace.Parts().LocalStats;
  TColumnSums sums(width, buffers);
  TLineFilter filter(width, WindowWidth, k, buffers);
  int32_t first = 0;  // the lines in the sums: first .. last
  int32_t last = -1;
  for (int32_t y = 0; y < height; ++y) {
    TLineSpan span = WindowLines(y, WindowHeight, height);
    while (last < span.Last) sums.Add(Source.Lines(++last), 1);
    while (first < span.First) sums.Add(Source.Lines(first++), -1);
    filter.Run(sums, last - first + 1, Source.Lines(y), TargetLine(y));
  }
}

void LocalStatsThreshold(int32_t Window, const TDIB& Source, TDIB& Target, double K) {
  LocalStatsFilter(Window, Window, Source, Target, K);
}
