// Turning a gray page black and white: fixed, automatic, local minimum/maximum and local
// mean/deviation thresholds.
#include <algorithm>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "dibunit.h"
#include "dibunit_extremelines.h"
#include "dibunit_workspace.h"
#include "localthreshold.h"
#include "paperlevels.h"

namespace {

void Require8Bit(const TDIB& Page) {
  if (Page.Empty() || Page.PixelType() != pt8bit) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
}

template <class TPick>
void LocalExtreme(const TDIB& Source, TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) {
  Require8Bit(Source);
  Require8Bit(Target);
  if (Source.Width() != Target.Width() || Source.Height() != Target.Height()) {
    throw Exception("The target page must have the size of the page");
  }
  const int32_t width = Source.Width(), height = Source.Height();
  if (width == 0 || height == 0) return;
  TExtremeBuffers buffers;
  TExtremeLines<TPick> lines(Source, AreaWidth, AreaHeight, buffers);
  for (int32_t y = 0; y < height; ++y) std::memcpy(Target.Lines(y), lines.Next(y), width);
}

// One line of the threshold: each pixel against the middle of its local minimum and maximum
// (rounded down), or against its level where they lie closer than the contrast limit.
// Hi is never below Lo.
void AdaptiveLine(uint8_t* __restrict Line, const uint8_t* __restrict Lo,
                  const uint8_t* __restrict Hi, const uint8_t* __restrict Levels, int32_t Width,
                  uint8_t ContrastLimit, uint8_t DarkValue, uint8_t LightValue) {
  int32_t x = 0;
#ifdef __SSE2__
  // Sixteen pixels at a time in unsigned bytes: a >= b is max(a, b) == b, and the mean rounded
  // down is the rounded-up mean less the low bit of the sum.
  const __m128i limit = _mm_set1_epi8(static_cast<char>(ContrastLimit));
  const __m128i dark = _mm_set1_epi8(static_cast<char>(DarkValue));
  const __m128i light = _mm_set1_epi8(static_cast<char>(LightValue));
  const __m128i one = _mm_set1_epi8(1);
  auto atLeast = [](__m128i a, __m128i b) { return _mm_cmpeq_epi8(_mm_max_epu8(a, b), a); };
  for (; x + 16 <= Width; x += 16) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Line + x));
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Lo + x));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Hi + x));
    const __m128i global = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Levels + x));
    const __m128i contrasted = atLeast(_mm_sub_epi8(hi, lo), limit);
    const __m128i middle =
        _mm_sub_epi8(_mm_avg_epu8(hi, lo), _mm_and_si128(_mm_xor_si128(hi, lo), one));
    const __m128i level =
        _mm_or_si128(_mm_and_si128(contrasted, middle), _mm_andnot_si128(contrasted, global));
    const __m128i isLight = atLeast(p, level);
    const __m128i out =
        _mm_or_si128(_mm_and_si128(isLight, light), _mm_andnot_si128(isLight, dark));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Line + x), out);
  }
#endif
  for (; x < Width; ++x) {
    const uint8_t p = Line[x];
    const bool flat = Hi[x] - Lo[x] < ContrastLimit;
    const bool isLight = flat ? p >= Levels[x] : p >= (Hi[x] + Lo[x]) / 2;
    Line[x] = isLight ? LightValue : DarkValue;
  }
}

// Thresholds every line of Page against its local minimum and maximum over the area, and the
// levels of line Y at LevelsOf(Y) where they lie closer than the contrast limit. Both streams
// have read line y before it is overwritten, and never read it again.
template <class TLevelsOf>
void AdaptiveLines(TDIB& Page, uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                   uint8_t DarkValue, uint8_t LightValue, TDIBWorkspace& Workspace,
                   TLevelsOf&& LevelsOf) {
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  if (AreaWidth < 1 || AreaHeight < 1 || AreaWidth > width || AreaHeight > height) {
    throw Exception("Bad AreaW or AreaH value");
  }
  TDIBWorkspace::TParts& parts = Workspace.Parts();
  TExtremeLines<TMinimum> minimum(Page, AreaWidth, AreaHeight, parts.Minimum);
  TExtremeLines<TMaximum> maximum(Page, AreaWidth, AreaHeight, parts.Maximum);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* lo = minimum.Next(y);
    const uint8_t* hi = maximum.Next(y);
    AdaptiveLine(Page.Lines(y), lo, hi, LevelsOf(y), width, ContrastLimit, DarkValue, LightValue);
  }
}

}  // namespace

void TDIB::Threshold(uint8_t Level, bool Convert, uint8_t DarkValue, uint8_t LightValue) {
  Require8Bit(*this);
  const int32_t width = Width();
  const int32_t height = Height();
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* line = Lines(y);
    for (int32_t x = 0; x < width; ++x) line[x] = line[x] > Level ? LightValue : DarkValue;
  }
  if (Convert) ConvertPixelType(pt1bit);
}

uint8_t TDIB::AutoThreshold(uint8_t Method, bool Convert, uint8_t DarkValue, uint8_t LightValue) {
  int32_t level = 127;
  if (Method == 3) {
    level = BlockRankLevel();
  } else if (Method <= 4) {
    THistogram histogram;
    Histogram(histogram);
    switch (Method) {
      case 0:
        level = OtsuLevel(histogram);
        break;
      case 1:
        level = MeanLevel(histogram);
        break;
      case 2:
        level = IntermeansLevel(histogram);
        break;
      default:
        level = MeanStdDevLevel(histogram, 0);
        break;
    }
  }
  auto used = static_cast<uint8_t>(level);
  Threshold(used, Convert, DarkValue, LightValue);
  return used;
}

void TDIB::LocalMinimum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const {
  LocalExtreme<TMinimum>(*this, Target, AreaWidth, AreaHeight);
}

void TDIB::LocalMaximum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const {
  LocalExtreme<TMaximum>(*this, Target, AreaWidth, AreaHeight);
}

void TDIB::AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                             uint8_t GlobalLevel, bool Convert, uint8_t DarkValue,
                             uint8_t LightValue) {
  TDIBWorkspace workspace;
  AdaptiveThreshold(ContrastLimit, AreaWidth, AreaHeight, GlobalLevel, Convert, DarkValue,
                    LightValue, workspace);
}

void TDIB::AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                             uint8_t GlobalLevel, bool Convert, uint8_t DarkValue,
                             uint8_t LightValue, TDIBWorkspace& Workspace) {
  Require8Bit(*this);
  const std::vector<uint8_t> levels(static_cast<size_t>(Width()), GlobalLevel);
  AdaptiveLines(*this, ContrastLimit, AreaWidth, AreaHeight, DarkValue, LightValue, Workspace,
                [&](int32_t) { return levels.data(); });
  if (Convert) ConvertPixelType(pt1bit);
}

void TDIB::AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                             const TPaperLevels& Levels, bool Convert, uint8_t DarkValue,
                             uint8_t LightValue, TDIBWorkspace& Workspace) {
  Require8Bit(*this);
  if (Levels.Width() != Width() || Levels.Height() != Height()) {
    throw Exception("The paper levels must have the size of the page");
  }
  std::vector<uint8_t> levels(static_cast<size_t>(Width()));
  AdaptiveLines(*this, ContrastLimit, AreaWidth, AreaHeight, DarkValue, LightValue, Workspace,
                [&](int32_t Y) {
                  if (!Levels.SameAsAbove(Y)) Levels.Line(Y, levels.data());
                  return levels.data();
                });
  if (Convert) ConvertPixelType(pt1bit);
}

void TDIB::NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                            uint8_t LightValue) {
  TDIBWorkspace workspace;
  NiblackThreshold(Window, Aggressivity, Convert, DarkValue, LightValue, workspace);
}

void TDIB::NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                            uint8_t LightValue, TDIBWorkspace& Workspace) {
  Require8Bit(*this);
  // The filter's 255 and 0 go back into the page as the light and dark values in one pass;
  // the scratch lines are all written by the filter before they are read.
  const auto width = static_cast<size_t>(Width());
  const int32_t height = Height();
  std::vector<uint8_t>& result = Workspace.Parts().LocalStatsResult;
  result.resize(width * static_cast<size_t>(height));
  LocalStatsFilter(
      Window, Window, *this, -Aggressivity / 100.0,
      [&](int32_t Y) { return result.data() + width * static_cast<size_t>(Y); }, Workspace);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = result.data() + width * static_cast<size_t>(y);
    uint8_t* to = Lines(y);
    for (size_t x = 0; x < width; ++x) to[x] = from[x] > 128 ? LightValue : DarkValue;
  }
  if (Convert) ConvertPixelType(pt1bit);
}
