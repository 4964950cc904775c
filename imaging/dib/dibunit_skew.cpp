// Skew detection: for each candidate slope, the dark pixels along a staircase of one-line
// segments are summed per band of lines; the slope whose band profile varies most follows the
// text lines. The search looks only inside the dark surround of the sheet: the surround's
// dark lines would otherwise outweigh every text line and hold the result near 0.
#include <algorithm>
#include <cmath>
#include <vector>

#include "dibunit.h"
#include "dibunit_darkmap.h"

namespace {

// A line or column that is at least this dark (in percent) belongs to the sheet's surround, or
// to the dark wedges that a skewed sheet leaves inside the surround's straight lines. Text
// lines are far lighter.
constexpr double kSurroundDarkPercent = 30;

// The part of the page inside its dark surround; the whole page when there is none, or when
// little but surround is there.
TDIB::TRect SheetOf(const TDIB& Page) {
  const int32_t width = Page.Width(), height = Page.Height();
  TDIB::TRect rect;
  Page.DetectBlackBorder(0, rect, 100 - kSurroundDarkPercent);
  if (rect.Right - rect.Left < width / 4 || rect.Bottom - rect.Top < height / 4) {
    rect = {0, 0, width - 1, height - 1};
  }
  return rect;
}

// Runs the staircase search over the dark pixels that Mark sets in a dark map of the sheet.
template <class TMark>
double SearchSkew(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
                  TMark&& Mark) {
  if (std::fabs(MaxAngle) < 0.1) return 0;
  if (Page.Width() == 0 || Page.Height() == 0) return 0;
  const TDIB::TRect sheet = SheetOf(Page);
  const int32_t width = sheet.Right - sheet.Left + 1, height = sheet.Bottom - sheet.Top + 1;
  const int32_t h = std::min(Round(width * std::sin(MaxAngle * M_PI / 180.0)), height);
  // A step of 0 is taken as the usual 0.1; a step beyond the range tries the range itself.
  if (AngleStep <= 0) AngleStep = 0.1;
  int32_t angles = Round(MaxAngle / AngleStep);
  if (angles == 0) angles = 1;
  int32_t m = h / angles;
  if (m == 0) m = 1;
  int32_t step = LineStep > 0 ? LineStep : Round(Page.YResolution() / 2.54 / 20);
  if (step < 2) step = 2;
  if (h < 0) return 0;  // no candidate
  const TDarkMap map(Page, sheet, Mark);

  std::vector<int32_t> down(static_cast<size_t>(height)), up(static_cast<size_t>(height));
  int64_t best = 0;
  int32_t u = 0;
  std::vector<int32_t> starts;
  for (int32_t d = 0; d <= h; d += m) {
    const int32_t bands = (height - d) / step;
    if (bands <= 0) continue;
    // Segment k covers columns starts[k] .. starts[k + 1] - 1: the d + 1 segments share the
    // whole width, so that the staircase falls d lines over the width. (Segments of width
    // div (d + 1) columns each would leave up to d columns out and make the staircase steeper
    // than the slope it stands for: the angle came out up to 0.2 degrees low at 4 degrees.)
    starts.resize(static_cast<size_t>(d) + 2);
    for (int32_t k = 0; k <= d + 1; ++k) {
      starts[k] = static_cast<int32_t>(int64_t{k} * width / (d + 1));
    }
    // Band i takes segment k from line i x step + k. The sums run line by line, so that the
    // segments taken from one line are read together and the lines in order.
    std::fill(down.begin(), down.begin() + bands, 0);
    std::fill(up.begin(), up.begin() + bands, 0);
    const int32_t lastLine = (bands - 1) * step + d;
    for (int32_t y = 0; y <= lastLine; ++y) {
      const TDarkMap::TLine line = map.Line(y);
      const int32_t firstBand = y > d ? (y - d + step - 1) / step : 0;
      const int32_t lastBand = std::min(bands - 1, y / step);
      for (int32_t i = firstBand; i <= lastBand; ++i) {
        const int32_t k = y - i * step;
        down[i] += line.Upto(starts[k + 1]) - line.Upto(starts[k]);
        up[i] += line.Upto(width - starts[k]) - line.Upto(width - starts[k + 1]);
      }
    }
    const int64_t downScore = ProfileScore(down.data(), bands);
    if (downScore > best) {
      best = downScore;
      u = -d;
    }
    const int64_t upScore = ProfileScore(up.data(), bands);
    if (upScore > best) {
      best = upScore;
      u = d;
    }
  }
  return std::asin(static_cast<double>(u) / width) * 180.0 / M_PI;
}

// The level below which a pixel counts as dark for the search: the page's mean gray level, as
// the truncating mean of MeanStdDevLevel gives it (the public MeanLevel rounds instead).
uint8_t DarkLevel(const TDIB& Page) {
  THistogram histogram;
  Page.Histogram(histogram);
  return static_cast<uint8_t>(MeanStdDevLevel(histogram, 0));
}

// The search over pixels darker than the page's mean level, which Mark(Row, X, N, Level, Bits)
// marks a line at a time (8 and 24-bit pages).
using TMarkBelow = void (*)(const uint8_t*, int32_t, int32_t, uint8_t, uint8_t*);
double SearchBelowMean(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
                       TMarkBelow Mark) {
  if (std::fabs(MaxAngle) < 0.1) return 0;
  const uint8_t level = DarkLevel(Page);
  return SearchSkew(Page, LineStep, AngleStep, MaxAngle,
                    [&](const uint8_t* row, int32_t x, int32_t n, uint8_t* bits) {
                      Mark(row, x, n, level, bits);
                    });
}

// A page without pixels (freed, or of no width or height) has no skew to find.
bool HasPixels(const TDIB& Page) {
  return !Page.Empty() && Page.Width() > 0 && Page.Height() > 0;
}

}  // namespace

int64_t ProfileScore(const int32_t* Values, int32_t Count) {
  if (Count <= 0) return 0;
  int64_t sum = 0;
  for (int32_t i = 0; i < Count; ++i) sum += Values[i];
  const int64_t mean = sum / Count;
  int64_t score = 0;
  for (int32_t i = 0; i < Count; ++i) score += (Values[i] - mean) * (Values[i] - mean);
  return score;
}

double TDIB::DetectSkew(int32_t LineStep, double AngleStep, double MaxAngle) const {
  switch (FPixelType) {
    case pt1bit:
      return DetectSkew1(LineStep, AngleStep, MaxAngle);
    case pt8bit:
      return DetectSkew8(LineStep, AngleStep, MaxAngle);
    case pt24bit:
      return DetectSkew24(LineStep, AngleStep, MaxAngle);
    default:
      return 0;
  }
}

// The dark pixels are those that CountRunBits, CountRunBelow and CountRunBelow24 count.

double TDIB::DetectSkew1(int32_t LineStep, double AngleStep, double MaxAngle) const {
  if (!HasPixels(*this)) return 0;
  const bool blackIsSet = BlackIndex() == 1;
  return SearchSkew(*this, LineStep, AngleStep, MaxAngle,
                    [&](const uint8_t* row, int32_t x, int32_t n, uint8_t* bits) {
                      darkmap::MarkBits(row, x, n, blackIsSet, bits);
                    });
}

double TDIB::DetectSkew8(int32_t LineStep, double AngleStep, double MaxAngle) const {
  if (!HasPixels(*this)) return 0;
  return SearchBelowMean(*this, LineStep, AngleStep, MaxAngle, darkmap::MarkBytesBelow);
}

double TDIB::DetectSkew24(int32_t LineStep, double AngleStep, double MaxAngle) const {
  if (!HasPixels(*this)) return 0;
  return SearchBelowMean(*this, LineStep, AngleStep, MaxAngle, darkmap::MarkGrayBelow);
}
