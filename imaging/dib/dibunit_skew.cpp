// Skew detection: the dark pixels of the sheet are projected on lines of each candidate slope,
// one bin a line; the slope whose profile has the sharpest steps between neighbouring bins
// follows the text lines. The search looks only inside the dark surround of the sheet: the
// surround's dark lines would otherwise outweigh every text line and hold the result near 0.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <vector>

#include "dibunit.h"
#include "dibunit_darkmap.h"
#include "dibunit_workspace.h"

namespace {

// A line or column that is at least this dark (in percent) belongs to the sheet's surround, or
// to the dark wedges that a skewed sheet leaves inside the surround's straight lines. Text
// lines are far lighter.
constexpr double kSurroundDarkPercent = 30;

// The best slope must beat the unturned page by this factor, or the page is left as it is: a
// page of pictures or of a few marks has no slope that stands out.
constexpr double kSureFactor = 1.02;

// Across a fall of this many degrees every line of text smears into its neighbours, as it does
// on the unturned page when the page is turned far: a page of text keeps less than half its best
// score at the lower of the two, and the best slope must stand out from it by this factor. A
// photograph, a page of shapes or of scattered specks keeps most of its score at any slope, and
// has no slope to go by.
constexpr double kBlurredDegrees = 5;
constexpr double kStandsOutFactor = 2;

// The best candidates of the coarse search that the finer passes look around.
constexpr size_t kRefined = 3;

// How far from the coarse result, in lines over the width, the final pass looks: strips of 32
// columns round the slope to whole lines over 32 columns, which can move the best score by a
// line.
constexpr int32_t kFinalReach = 1;

// The share of the coarse best's score that a displacement must reach to be looked at again.
constexpr double kContender = 0.95;

// The part of the page inside its dark surround; the whole page when there is none, or when
// less than half the page in either direction would be left (a dark page, whose paper would
// pass for surround).
TDIB::TRect SheetOf(const TDIB& Page) {
  const int32_t width = Page.Width(), height = Page.Height();
  TDIB::TRect rect;
  Page.DetectBlackBorder(0, rect, 100 - kSurroundDarkPercent);
  if (rect.Right - rect.Left < width / 2 || rect.Bottom - rect.Top < height / 2) {
    rect = {0, 0, width - 1, height - 1};
  }
  return rect;
}

// The projection of the strips' dark pixels for the signed displacement U over the width (U < 0
// for lines that fall to the right), in bins of Step lines with an empty bin at both ends, and
// its score: the sum of the squared differences of neighbouring bins. Every dark pixel lands
// in one bin whatever the slope, so the scores of all candidates weigh the same pixels. The
// profiles live in Lines and Bins.
class TProjector {
 public:
  TProjector(const TDarkStrips& Strips, int32_t MaxDisplacement, int32_t Step,
             std::vector<int32_t>& Lines, std::vector<int32_t>& Bins)
      : FStrips(Strips), FStep(Step), FLines(Lines), FBins(Bins) {
    FLines.assign(static_cast<size_t>(Strips.Height() + MaxDisplacement) + 2, 0);
    FBins.assign(FLines.size() / static_cast<size_t>(Step) + 3, 0);
  }

  // Half puts the steps of the staircase half a line later: where a strip's fall lies halfway
  // between two lines, the two choices sort its pixels differently.
  int64_t Score(int32_t U, bool Half = false) {
    const int64_t key = int64_t{U} * 2 + Half;
    if (auto known = FScores.find(key); known != FScores.end()) return known->second;
    const int32_t d = std::abs(U), height = FStrips.Height();
    const int64_t width = FStrips.Width();
    const size_t used = static_cast<size_t>(height + d) + 2;
    std::fill(FLines.begin(), FLines.begin() + static_cast<std::ptrdiff_t>(used), 0);
    for (int32_t s = 0; s < FStrips.Strips(); ++s) {
      // The strip's lines move by the whole lines that the slope falls up to its middle.
      const int64_t along = int64_t{d} * FStrips.DoubleMiddle(s) + (Half ? width : 0);
      const auto fall = static_cast<int32_t>(along / (2 * width));
      const int32_t shift = U < 0 ? d - fall : fall;
      const uint16_t* counts = FStrips.Counts(s);
      int32_t* bins = FLines.data() + 1 + shift;
      for (int32_t y = 0; y < height; ++y) bins[y] += counts[y];
    }
    const int64_t score = StepScore(used);
    FScores.emplace(key, score);
    return score;
  }

  // The displacements scored, whole steps, whose scores are at least Least (in order).
  std::vector<int32_t> ScoredAbove(int64_t Least) const {
    std::vector<int32_t> above;
    for (const auto& [key, score] : FScores) {
      if (key % 2 == 0 && score >= Least) above.push_back(static_cast<int32_t>(key / 2));
    }
    return above;
  }

 private:
  int64_t StepScore(size_t Used) {
    const int32_t* values = FLines.data();
    size_t count = Used;
    if (FStep > 1) {
      count = (Used + FStep - 1) / FStep + 2;
      std::fill(FBins.begin(), FBins.begin() + static_cast<std::ptrdiff_t>(count), 0);
      for (size_t i = 0; i < Used; ++i) FBins[i / FStep + 1] += FLines[i];
      values = FBins.data();
    }
    int64_t score = 0;
    for (size_t i = 1; i < count; ++i) {
      const int64_t step = values[i] - values[i - 1];
      score += step * step;
    }
    return score;
  }

  const TDarkStrips& FStrips;
  const size_t FStep;
  std::vector<int32_t>&FLines, &FBins;
  std::map<int64_t, int64_t> FScores;
};

struct TCandidate {
  int32_t U;
  int64_t Score;
};

// The coarse search over the displacements 0, M, 2M, ... H in both directions, and finer
// passes around its best candidates down to single lines, on the table of wide strips. Ties
// keep the earlier candidate: the smaller displacement, falling before rising. Nothing when the
// best does not stand out from the unturned page, or from the lower of the unturned page and the
// page blurred by a fall of Blurred lines either way.
std::optional<TCandidate> CoarseDisplacement(TProjector& Projector, int32_t H, int32_t M,
                                             int32_t Blurred) {
  std::vector<TCandidate> coarse;
  for (int32_t d = 0; d <= H; d += M) {
    coarse.push_back({-d, Projector.Score(-d)});
    if (d > 0) coarse.push_back({d, Projector.Score(d)});
  }
  std::stable_sort(coarse.begin(), coarse.end(),
                   [](const TCandidate& a, const TCandidate& b) { return a.Score > b.Score; });
  coarse.resize(std::min(coarse.size(), kRefined));
  TCandidate best = coarse.front();
  for (TCandidate around : coarse) {
    for (int32_t reach = M; reach > 1;) {
      const int32_t step = std::max(1, reach / 3);
      const int32_t centre = around.U;
      for (int32_t u = centre - reach + step; u < centre + reach; u += step) {
        if (u == centre || std::abs(u) > H) continue;
        if (const int64_t score = Projector.Score(u); score > around.Score) around = {u, score};
      }
      reach = step;
    }
    if (around.Score > best.Score) best = around;
  }
  const auto score = static_cast<double>(best.Score);
  const int64_t unturned = Projector.Score(0);
  const auto flat = static_cast<double>(unturned);
  const auto blurred = static_cast<double>(
      std::min({unturned, Projector.Score(-Blurred), Projector.Score(Blurred)}));
  if (score < kSureFactor * flat || score < kStandsOutFactor * blurred) return {};
  return best;
}

// The displacement that scores best, at either phase of the steps, on the table of narrow
// strips, whose strips follow the slope to within a tenth of a line, among the displacements
// next to those that came close to the coarse best: on a small page the wide strips' rounding
// can put a neighbouring peak a little ahead.
int32_t FinalDisplacement(TProjector& Fine, const TProjector& Coarse, TCandidate Best, int32_t H) {
  std::set<int32_t> near;
  for (int32_t u : Coarse.ScoredAbove(static_cast<int64_t>(kContender * Best.Score))) {
    for (int32_t v = u - kFinalReach; v <= u + kFinalReach; ++v) {
      if (v != 0 && std::abs(v) <= H) near.insert(v);
    }
  }
  // A displacement scores at the better phase of its steps, together with its two neighbours:
  // on a page of small type the scores of single lines wobble by more than the slope moves
  // them.
  auto phased = [&](int32_t U) {
    return std::abs(U) > H ? 0 : std::max(Fine.Score(U), Fine.Score(U, true));
  };
  auto smoothed = [&](int32_t U) { return phased(U - 1) + phased(U) + phased(U + 1); };
  TCandidate best{Best.U, smoothed(Best.U)};
  for (int32_t u : near) {
    if (const int64_t score = smoothed(u); score > best.Score) best = {u, score};
  }
  return best.U;
}

// Runs the search over the dark pixels that Mark sets in the strips of the sheet.
template <class TMark>
double SearchSkew(const TDIB& Page, const TDIB::TRect& Sheet, int32_t LineStep, double AngleStep,
                  double MaxAngle, TSkewBuffers& Buffers, TMark&& Mark) {
  const int32_t width = Sheet.Right - Sheet.Left + 1, height = Sheet.Bottom - Sheet.Top + 1;
  const int32_t h = std::min(Round(width * std::sin(MaxAngle * M_PI / 180.0)), height);
  if (h < 0) return 0;  // no candidate
  // A step of 0 is taken as the usual 0.1; a step beyond the range tries the range itself.
  if (AngleStep <= 0) AngleStep = 0.1;
  int32_t angles = Round(MaxAngle / AngleStep);
  if (angles == 0) angles = 1;
  const int32_t m = std::max(h / angles, 1);
  // Every line is a bin of its own unless the caller asks for bins of several lines.
  const int32_t step = LineStep > 0 ? LineStep : 1;
  const TDarkStrips narrow(Page, Sheet, Mark, Buffers.Bits, Buffers.Narrow);
  const TDarkStrips wide = narrow.Merged(4, Buffers.Wide);
  const int32_t blurred =
      std::min(std::max(h, Round(width * std::sin(kBlurredDegrees * M_PI / 180.0))), height);
  TProjector coarse(wide, blurred, step, Buffers.Lines[0], Buffers.Bins[0]);
  TProjector fine(narrow, h, step, Buffers.Lines[1], Buffers.Bins[1]);
  const std::optional<TCandidate> best = CoarseDisplacement(coarse, h, m, blurred);
  const int32_t u = best && best->U != 0 ? FinalDisplacement(fine, coarse, *best, h) : 0;
  return std::asin(static_cast<double>(u) / width) * 180.0 / M_PI;
}

// The level at and below which a pixel counts as dark for the search: Otsu's level of the
// sheet's gray values, taken from every fourth line. Ink, and what is left of the surround, lie
// below it however large the surround is (the mean level of a page with a wide dark surround
// lies below most of the ink). Where that level lies above middle gray and at least half the
// pixels below it lie at or below middle gray, the pixels between are the soft edges of the
// strokes, which only blur the lines, and the level is middle gray; where fewer do (faint
// print, pencil), they are the ink itself.
constexpr int32_t kMiddleGray = 128;

template <class TGray>
int32_t DarkLevel(const TDIB& Page, const TDIB::TRect& Sheet, std::vector<uint32_t>& Counts,
                  TGray&& GrayOf) {
  // Four counts a level, taken in turn, so that runs of one level do not wait on each other.
  Counts.assign(4 * 256, 0);
  for (int32_t y = Sheet.Top; y <= Sheet.Bottom; y += 4) {
    const uint8_t* row = Page.Lines(y);
    for (int32_t x = Sheet.Left; x <= Sheet.Right; ++x) ++Counts[(x & 3) * 256 + GrayOf(row, x)];
  }
  THistogram histogram{};
  for (int32_t i = 0; i < 4 * 256; ++i) histogram[i & 255] += Counts[i];
  const int32_t level = OtsuLevel(histogram);
  if (level <= kMiddleGray) return level;
  const uint64_t* bins = histogram.Bins;
  const uint64_t cores = std::accumulate(bins, bins + kMiddleGray + 1, uint64_t{0});
  const uint64_t dark = std::accumulate(bins, bins + level + 1, uint64_t{0});
  return 2 * cores >= dark ? kMiddleGray : level;
}

// The search over the pixels at or below the sheet's dark level, which Mark(Row, X, N, Level,
// Bits) marks as those below Level (8 and 24-bit pages).
using TMarkBelow = void (*)(const uint8_t*, int32_t, int32_t, uint8_t, uint8_t*);
template <class TGray>
double SearchBelowLevel(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
                        TSkewBuffers& Buffers, TMarkBelow Mark, TGray&& GrayOf) {
  const TDIB::TRect sheet = SheetOf(Page);
  const auto below = static_cast<uint8_t>(DarkLevel(Page, sheet, Buffers.Levels, GrayOf) + 1);
  return SearchSkew(Page, sheet, LineStep, AngleStep, MaxAngle, Buffers,
                    [&](const uint8_t* row, int32_t x, int32_t n, uint8_t* bits) {
                      Mark(row, x, n, below, bits);
                    });
}

// A page without pixels (freed, or of no width or height), or a range below the step, has no
// skew to find.
bool Searched(const TDIB& Page, double MaxAngle) {
  return !Page.Empty() && Page.Width() > 0 && Page.Height() > 0 && std::fabs(MaxAngle) >= 0.1;
}

double Skew1(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
             TSkewBuffers& Buffers) {
  if (!Searched(Page, MaxAngle)) return 0;
  const bool blackIsSet = Page.BlackIndex() == 1;
  return SearchSkew(Page, SheetOf(Page), LineStep, AngleStep, MaxAngle, Buffers,
                    [&](const uint8_t* row, int32_t x, int32_t n, uint8_t* bits) {
                      darkmap::MarkBits(row, x, n, blackIsSet, bits);
                    });
}

double Skew8(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
             TSkewBuffers& Buffers) {
  if (!Searched(Page, MaxAngle)) return 0;
  return SearchBelowLevel(Page, LineStep, AngleStep, MaxAngle, Buffers, darkmap::MarkBytesBelow,
                          [](const uint8_t* row, int32_t x) { return row[x]; });
}

double Skew24(const TDIB& Page, int32_t LineStep, double AngleStep, double MaxAngle,
              TSkewBuffers& Buffers) {
  if (!Searched(Page, MaxAngle)) return 0;
  return SearchBelowLevel(Page, LineStep, AngleStep, MaxAngle, Buffers, darkmap::MarkGrayBelow,
                          [](const uint8_t* row, int32_t x) { return GrayOf24(row + 3 * x); });
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
  TDIBWorkspace workspace;
  return DetectSkew(LineStep, AngleStep, MaxAngle, workspace);
}

double TDIB::DetectSkew(int32_t LineStep, double AngleStep, double MaxAngle,
                        TDIBWorkspace& Workspace) const {
  switch (FPixelType) {
    case pt1bit:
      return Skew1(*this, LineStep, AngleStep, MaxAngle, Workspace.Parts().Skew);
    case pt8bit:
      return Skew8(*this, LineStep, AngleStep, MaxAngle, Workspace.Parts().Skew);
    case pt24bit:
      return Skew24(*this, LineStep, AngleStep, MaxAngle, Workspace.Parts().Skew);
    default:
      return 0;
  }
}

double TDIB::DetectSkew1(int32_t LineStep, double AngleStep, double MaxAngle) const {
  TDIBWorkspace workspace;
  return Skew1(*this, LineStep, AngleStep, MaxAngle, workspace.Parts().Skew);
}

double TDIB::DetectSkew8(int32_t LineStep, double AngleStep, double MaxAngle) const {
  TDIBWorkspace workspace;
  return Skew8(*this, LineStep, AngleStep, MaxAngle, workspace.Parts().Skew);
}

double TDIB::DetectSkew24(int32_t LineStep, double AngleStep, double MaxAngle) const {
  TDIBWorkspace workspace;
  return Skew24(*this, LineStep, AngleStep, MaxAngle, workspace.Parts().Skew);
}
