// Histograms of a page and the level functions that pick a threshold from one.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "dibunit.h"

namespace {

const char* const kNeeds8Bit = "This operation requires 8 bit per pixel bitmap !";

void ClearHistogram(THistogram& Histogram) {
  std::memset(Histogram.Bins, 0, sizeof Histogram.Bins);
}

// The byte counts of every pixel of an 8-bit page, in eight interleaved tables so that runs of
// one value do not wait on their own stores. A page holds at most 2^30 pixels (../limits.h), so
// 32-bit counts do. The tables lie apart by a little more than 1 KiB: at exactly 1 KiB the
// counts of one value in tables 0 and 4 share their address bits below 4 KiB, and the processor
// holds each load of one back until the store to the other is done.
void CountBytes(const TDIB& Page, THistogram& Histogram) {
  uint32_t part[8][256 + 16] = {};
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = Page.Lines(y);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
      uint64_t eight;
      std::memcpy(&eight, row + x, sizeof eight);
      for (int32_t i = 0; i < 8; ++i) ++part[i][(eight >> (8 * i)) & 0xFF];
    }
    for (; x < width; ++x) ++part[0][row[x]];
  }
  for (int32_t i = 0; i < 256; ++i) {
    uint64_t count = 0;
    for (const auto& table : part) count += table[i];
    Histogram[i] = count;
  }
}

// Set pixels of a 1-bit page; the bits after a line's last pixel are not pixels.
uint64_t CountSetBits(const TDIB& Page) {
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  const int32_t wholeBytes = width / 8;
  const auto lastMask = static_cast<uint8_t>(0xFF00 >> (width % 8));
  uint64_t set = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = Page.Lines(y);
    for (int32_t i = 0; i < wholeBytes; ++i) set += std::popcount(row[i]);
    if (lastMask != 0) set += std::popcount(static_cast<uint8_t>(row[wholeBytes] & lastMask));
  }
  return set;
}

void CountGray24(const TDIB& Page, THistogram& Histogram) {
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* p = Page.Lines(y);
    for (int32_t x = 0; x < width; ++x, p += 3) ++Histogram[GrayOf24(p)];
  }
}

}  // namespace

int32_t Trunc(double Value) {
  if (!(Value > -2147483649.0 && Value < 2147483648.0)) {
    throw Exception("Invalid floating point operation");
  }
  return static_cast<int32_t>(Value);
}

uint8_t GrayOf24(const uint8_t* BlueGreenRed) {
  // The weights in hundredths, so that a gray pixel keeps its level exactly.
  return static_cast<uint8_t>((11 * BlueGreenRed[0] + 59 * BlueGreenRed[1] + 30 * BlueGreenRed[2]) /
                              100);
}

// ---- Histograms ----

void TDIB::Histogram(THistogram& Histogram) const {
  ClearHistogram(Histogram);
  if (Empty()) return;
  switch (FPixelType) {
    case pt1bit:
    case pt24bit:
      HistogramDirect(Histogram);
      return;
    case pt8bit:
      if (HasGrayPalette()) {
        HistogramDirect(Histogram);
      } else {
        HistogramByPalette(Histogram);
      }
      return;
    default:
      throw Exception(kNeeds8Bit);
  }
}

void TDIB::HistogramDirect(THistogram& Histogram) const {
  ClearHistogram(Histogram);
  if (Empty()) return;
  switch (FPixelType) {
    case pt1bit: {
      uint64_t set = CountSetBits(*this);
      Histogram[1] = set;
      Histogram[0] = static_cast<uint64_t>(Width()) * static_cast<uint64_t>(Height()) - set;
      return;
    }
    case pt8bit:
      CountBytes(*this, Histogram);
      return;
    case pt24bit:
      CountGray24(*this, Histogram);
      return;
    default:
      return;
  }
}

void TDIB::HistogramByPalette(THistogram& Histogram) const {
  ClearHistogram(Histogram);
  if (FPixelType != pt8bit) throw Exception(kNeeds8Bit);
  if (Empty()) return;
  THistogram values;
  CountBytes(*this, values);
  for (int32_t i = 0; i < 256; ++i) Histogram[FPalette[i].rgbBlue] += values[i];
}

// ---- Level functions ----

void HistogramRange(const THistogram& Histogram, int32_t Limit, int32_t& First, int32_t& Last) {
  auto exceeds = [&](int32_t i) {
    return Limit < 0 || Histogram[i] > static_cast<uint64_t>(Limit);
  };
  int32_t first = 0;
  while (first < 256 && !exceeds(first)) ++first;
  if (first == 256) return;
  int32_t last = 255;
  while (!exceeds(last)) --last;
  First = first;
  Last = last;
}

int32_t MeanStdDevLevel(const THistogram& Histogram, double K) {
  double total = 0;
  for (int32_t i = 0; i < 256; ++i) total += static_cast<double>(Histogram[i]);
  double mean = 0;
  for (int32_t i = 0; i < 256; ++i) mean += i * (static_cast<double>(Histogram[i]) / total);
  double variance = 0;
  for (int32_t i = 0; i < 256; ++i) {
    variance += (i - mean) * (i - mean) * (static_cast<double>(Histogram[i]) / total);
  }
  return Trunc(mean + K * std::sqrt(variance));
}

int32_t OtsuLevel(const THistogram& Histogram) {
  uint64_t total = 0;
  uint64_t moment = 0;
  for (int32_t i = 0; i < 256; ++i) {
    total += Histogram[i];
    moment += static_cast<uint64_t>(i) * Histogram[i];
  }
  if (total == 0) return 127;
  const double mean = static_cast<double>(moment) / static_cast<double>(total);
  double best = 0;
  int32_t level = 127;
  uint64_t below = 0;
  uint64_t belowMoment = 0;
  for (int32_t t = 0; t < 256; ++t) {
    below += Histogram[t];
    belowMoment += static_cast<uint64_t>(t) * Histogram[t];
    if (below == 0 || below == total) continue;
    double p = static_cast<double>(below);
    double d = p * mean - static_cast<double>(belowMoment);
    double score = d * d / (p * static_cast<double>(total - below));
    if (score > best) {
      best = score;
      level = t;
    }
  }
  return level;
}

namespace {

// The mean level of bins First..Last, or Empty when they hold no count.
double MeanOfBins(const THistogram& Histogram, int32_t First, int32_t Last, double Empty) {
  uint64_t count = 0;
  uint64_t moment = 0;
  for (int32_t i = First; i <= Last; ++i) {
    count += Histogram[i];
    moment += static_cast<uint64_t>(i) * Histogram[i];
  }
  return count == 0 ? Empty : static_cast<double>(moment) / static_cast<double>(count);
}

// The intermeans iteration settles in a few rounds on real pages; a histogram that makes it
// swing between two levels stops here with the last one.
constexpr int32_t kIntermeansRounds = 256;

}  // namespace

int32_t MeanLevel(const THistogram& Histogram) {
  double mean = MeanOfBins(Histogram, 0, 255, -1);
  return mean < 0 ? -1 : Round(mean);
}

int32_t IntermeansLevel(const THistogram& Histogram) {
  int32_t t = MeanLevel(Histogram);
  if (t < 0) return 127;
  for (int32_t round = 0; round < kIntermeansRounds; ++round) {
    double below = MeanOfBins(Histogram, 0, t, t);
    double above = MeanOfBins(Histogram, t + 1, 255, t);
    int32_t next = Round((below + above) / 2);
    if (next == t) break;
    t = next;
  }
  return t;
}

// ---- Measures ----

double TDIB::MeasureBrightness() const {
  THistogram histogram;
  Histogram(histogram);
  const uint64_t pixels = static_cast<uint64_t>(Width()) * static_cast<uint64_t>(Height());
  if (pixels == 0) return 0;
  uint64_t sum = 0;
  if (FColorCount >= 1 && FColorCount <= 256) {
    for (int32_t i = 0; i < FColorCount; ++i) sum += histogram[i] * FPalette[i].rgbRed;
  } else {
    for (int32_t i = 0; i < 256; ++i) sum += histogram[i] * static_cast<uint64_t>(i);
  }
  return static_cast<double>(sum) / static_cast<double>(pixels);
}

namespace {

// Walks the interior pixels of a page of gray lines, giving each with the lines above and
// below it. Gray(y, buffer) returns line y as one byte per pixel.
template <class TGrayLine, class TVisit>
void ForInteriorPixels(int32_t Width, int32_t Height, TGrayLine GrayLine, TVisit Visit) {
  if (Width < 3 || Height < 3) return;
  std::vector<uint8_t> buffers[3];
  for (auto& b : buffers) b.resize(static_cast<size_t>(Width));
  const uint8_t* above = GrayLine(0, buffers[0].data());
  const uint8_t* line = GrayLine(1, buffers[1].data());
  for (int32_t y = 1; y < Height - 1; ++y) {
    const uint8_t* below = GrayLine(y + 1, buffers[(y + 1) % 3].data());
    Visit(above, line, below);
    above = line;
    line = below;
  }
}

// Difference counts in eight tables, one for each neighbour of a pixel or each of four
// neighbours of every other pixel, so that runs of one difference do not wait on their own
// stores; apart by more than 1 KiB, as the byte counts above. A page holds at most 2^30 pixels
// (../limits.h), so 32-bit counts do.
class TDifferenceCounts {
 public:
  void Count(int32_t Table, int32_t A, int32_t B) { ++FParts[Table][A > B ? A - B : B - A]; }
  // Adds the counts of every table into the histogram.
  void AddInto(THistogram& Histogram) const {
    for (int32_t i = 0; i < 256; ++i) {
      for (const auto& part : FParts) Histogram[i] += part[i];
    }
  }

 private:
  uint32_t FParts[8][256 + 16] = {};
};

}  // namespace

void TDIB::DifferenceHistogram(bool EightNeighbours, THistogram& Histogram) const {
  if (EightNeighbours) {
    DifferenceHistogram8(Histogram);
  } else {
    DifferenceHistogram4(Histogram);
  }
}

void TDIB::DifferenceHistogram8(THistogram& Histogram) const {
  ClearHistogram(Histogram);
  if (FPixelType != pt8bit) throw Exception(kNeeds8Bit);
  const int32_t width = Width();
  TDifferenceCounts counts;
  ForInteriorPixels(
      width, Height(),
      [this](int32_t y, uint8_t*) { return static_cast<const uint8_t*>(Lines(y)); },
      [&](const uint8_t* up, const uint8_t* p, const uint8_t* down) {
        for (int32_t x = 1; x < width - 1; ++x) {
          int32_t v = p[x];
          counts.Count(0, v, up[x - 1]);
          counts.Count(1, v, up[x]);
          counts.Count(2, v, up[x + 1]);
          counts.Count(3, v, p[x - 1]);
          counts.Count(4, v, p[x + 1]);
          counts.Count(5, v, down[x - 1]);
          counts.Count(6, v, down[x]);
          counts.Count(7, v, down[x + 1]);
        }
      });
  counts.AddInto(Histogram);
}

void TDIB::DifferenceHistogram4(THistogram& Histogram) const {
  ClearHistogram(Histogram);
  if (FPixelType != pt8bit && FPixelType != pt24bit) throw Exception(kNeeds8Bit);
  const int32_t width = Width();
  TDifferenceCounts counts;
  auto visit = [&](const uint8_t* up, const uint8_t* p, const uint8_t* down) {
    for (int32_t x = 1; x < width - 1; ++x) {
      const int32_t v = p[x], half = 4 * (x & 1);
      counts.Count(half, v, down[x]);
      counts.Count(half + 1, v, up[x]);
      counts.Count(half + 2, v, p[x + 1]);
      counts.Count(half + 3, v, p[x - 1]);
    }
  };
  if (FPixelType == pt8bit) {
    ForInteriorPixels(
        width, Height(),
        [this](int32_t y, uint8_t*) { return static_cast<const uint8_t*>(Lines(y)); }, visit);
  } else {
    ForInteriorPixels(
        width, Height(),
        [this, width](int32_t y, uint8_t* gray) {
          const uint8_t* p = Lines(y);
          for (int32_t x = 0; x < width; ++x, p += 3) gray[x] = GrayOf24(p);
          return static_cast<const uint8_t*>(gray);
        },
        visit);
  }
  counts.AddInto(Histogram);
}

double TDIB::MeasureContrast(bool EightNeighbours, int32_t SplitLevel, int32_t MinimumCount) const {
  if (FPixelType != pt8bit && FPixelType != pt24bit) throw Exception(kNeeds8Bit);
  int64_t minimum = MinimumCount;
  if (minimum < 0) minimum = int64_t{Width()} * Height() / 1000;
  THistogram histogram;
  DifferenceHistogram(EightNeighbours, histogram);
  if (SplitLevel < 0) {
    int32_t first = 0;
    int32_t last = 0;
    HistogramRange(histogram, 0, first, last);
    SplitLevel = (first + last) / 2;
  }
  SplitLevel = std::min(SplitLevel, 254);
  uint64_t n = 0;
  uint64_t s = 0;
  for (int32_t i = SplitLevel + 1; i < 256; ++i) {
    n += histogram[i];
    s += histogram[i] * static_cast<uint64_t>(i);
  }
  if (n == 0 || n < static_cast<uint64_t>(std::max<int64_t>(minimum, 0))) return 0;
  return static_cast<double>(s) / static_cast<double>(n);
}

// ---- Block rank level ----

namespace {

struct TBlockRanks {
  // Bin 256 stays 0, so that the upper sum at t + 1 = 256 is defined.
  uint64_t A[257] = {};  // each of the four values
  uint64_t B[257] = {};  // the smaller value of each of the six pairs
  uint64_t C[257] = {};  // the smallest value

  void Add(uint8_t P, uint8_t Q, uint8_t R, uint8_t S) {
    uint8_t s1 = std::min(P, Q), s2 = std::max(P, Q), s3 = std::min(R, S), s4 = std::max(R, S);
    uint8_t lo = std::min(s1, s3), hi = std::max(s2, s4);
    uint8_t m1 = std::max(s1, s3), m2 = std::min(s2, s4);
    s1 = lo;
    s2 = std::min(m1, m2);
    s3 = std::max(m1, m2);
    s4 = hi;
    ++A[s1];
    ++A[s2];
    ++A[s3];
    ++A[s4];
    B[s1] += 3;
    B[s2] += 2;
    B[s3] += 1;
    ++C[s1];
  }

  void ToUpperSums() {
    for (int32_t v = 255; v >= 0; --v) {
      A[v] += A[v + 1];
      B[v] += B[v + 1];
      C[v] += C[v + 1];
    }
  }
};

// r >= 1 at level t; a negative value under the root counts as r < 1.
bool RankAtLeastOne(const TBlockRanks& Ranks, int32_t T) {
  double g = static_cast<double>(Ranks.A[T + 1]) / static_cast<double>(Ranks.A[0]);
  double l = static_cast<double>(Ranks.B[T + 1]) / static_cast<double>(Ranks.B[0]);
  double m = static_cast<double>(Ranks.C[T + 1]) / static_cast<double>(Ranks.C[0]);
  double d = g * g - l;
  if (d == 0) return false;
  double square = (l * l - m) / d;
  return square >= 0 && std::sqrt(square) >= 1;
}

}  // namespace

int32_t TDIB::BlockRankLevel() const {
  if (Empty() || FPixelType != pt8bit) throw Exception(kNeeds8Bit);
  TBlockRanks ranks;
  const int32_t width = Width();
  const int32_t height = Height();
  for (int32_t r = 0; r < height - 1; r += 2) {
    const uint8_t* top = Lines(r);
    const uint8_t* bottom = Lines(r + 1);
    for (int32_t c = 0; c < width - 1; c += 2)
      ranks.Add(top[c], top[c + 1], bottom[c], bottom[c + 1]);
  }
  ranks.ToUpperSums();
  // Without a block the search has nothing to weigh: the middle level, its first guess.
  if (ranks.A[0] == 0) return 127;
  int32_t low = 0;
  int32_t high = 255;
  int32_t t = 127;
  while (high != low + 1) {
    t = (low + high) / 2;
    if (RankAtLeastOne(ranks, t)) {
      low = t;
    } else {
      high = t;
    }
  }
  return t;
}
