// Histograms of a page and the level functions that pick a threshold from one.
#include <bit>
#include <cmath>
#include <cstring>

#include "dibunit.h"

namespace {

const char* const kNeeds8Bit = "This operation requires 8 bit per pixel bitmap !";

void ClearHistogram(THistogram& Histogram) {
  std::memset(Histogram.Bins, 0, sizeof Histogram.Bins);
}

// Trunc that raises, as the floating-point unit would, when the value has no integer.
int32_t TruncChecked(double Value) {
  if (!(Value > -2147483649.0 && Value < 2147483648.0)) {
    throw Exception("Invalid floating point operation");
  }
  return static_cast<int32_t>(Value);
}

// The byte counts of every pixel of an 8-bit page, in four interleaved tables so that runs of
// one value do not wait on their own stores.
void CountBytes(const TDIB& Page, THistogram& Histogram) {
  uint64_t part[4][256] = {};
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = Page.Lines(y);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      ++part[0][row[x]];
      ++part[1][row[x + 1]];
      ++part[2][row[x + 2]];
      ++part[3][row[x + 3]];
    }
    for (; x < width; ++x) ++part[0][row[x]];
  }
  for (int32_t i = 0; i < 256; ++i)
    Histogram[i] = part[0][i] + part[1][i] + part[2][i] + part[3][i];
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
  return TruncChecked(mean + K * std::sqrt(variance));
}
