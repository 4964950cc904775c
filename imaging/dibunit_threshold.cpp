// Turning a gray page black and white: fixed, automatic, local minimum/maximum and local
// mean/deviation thresholds.
#include <algorithm>
#include <cstring>
#include <vector>

#include "dibunit.h"
#include "localthreshold.h"

namespace {

void Require8Bit(const TDIB& Page) {
  if (Page.Empty() || Page.PixelType() != pt8bit) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
}

// Window length of the local minimum and maximum along a side of Size pixels: areas of 1 or
// less become 2, areas not below the side become Size - 1, then the window is made odd.
int32_t ExtremeWindow(int32_t Area, int32_t Size) {
  if (Area <= 1) Area = 2;
  if (Area >= Size) Area = Size - 1;
  return 2 * (Area / 2) + 1;
}

struct TMinimum {
  static uint8_t Pick(uint8_t A, uint8_t B) { return A < B ? A : B; }
};
struct TMaximum {
  static uint8_t Pick(uint8_t A, uint8_t B) { return A > B ? A : B; }
};

// Each output takes the window of Window values centred on it, moved inside the sequence of N
// (Window <= N) at both ends: the window's first index.
inline int32_t WindowStart(int32_t I, int32_t Window, int32_t N) {
  return std::clamp(I - Window / 2, 0, N - Window);
}

template <class TPick>
void PickLines(uint8_t* __restrict Target, const uint8_t* A, const uint8_t* B, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x) Target[x] = TPick::Pick(A[x], B[x]);
}

// The horizontal pass, one line at a time in a line buffer: extremes over runs of 1, 2, 4 ... P
// pixels (P the largest power of two up to the window), each run doubling the last in one
// whole-line pass; a window then joins the two runs of P that cover it.
template <class TPick>
void HorizontalPass(const TDIB& Source, TDIB& Target, int32_t Window) {
  const int32_t width = Source.Width();
  const int32_t height = Source.Height();
  std::vector<uint8_t> buffers[2];
  for (auto& b : buffers) b.resize(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* runs = Source.Lines(y);
    int32_t run = 1;
    for (int32_t b = 0; 2 * run <= Window; run *= 2, b ^= 1) {
      // Runs of 2 x run start at 0 .. width - 2 x run.
      PickLines<TPick>(buffers[b].data(), runs, runs + run, width - run);
      runs = buffers[b].data();
    }
    uint8_t* out = Target.Lines(y);
    const int32_t last = width - Window;  // the last window start
    const int32_t half = Window / 2;
    const int32_t join = Window - run;
    // Windows of the first columns start at 0, those of the last ones at the last start.
    for (int32_t i = 0; i < half; ++i) out[i] = TPick::Pick(runs[0], runs[join]);
    PickLines<TPick>(out + half, runs, runs + join, last + 1);
    for (int32_t i = half + last + 1; i < width; ++i)
      out[i] = TPick::Pick(runs[last], runs[last + join]);
  }
}

// The vertical pass over the lines of the horizontal result, in place, whole lines at a time.
// In blocks of Window lines aligned at 0, Ahead(i) is the extreme from the block's start to
// line i and Behind(i) from i to the block's end; the window starting at s is Behind(s) joined
// with Ahead(s + Window - 1), so each line costs three comparisons whatever the window.
// Behind is taken for every line first; Ahead runs with the outputs and reads line e only
// when the window's end reaches it, which is below every line written so far.
template <class TPick>
void VerticalPass(TDIB& Page, int32_t Window) {
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  if (Window == 1) return;
  const auto line = static_cast<size_t>(width);
  std::vector<uint8_t> behindLines(line * static_cast<size_t>(height));
  auto behind = [&](int32_t i) { return behindLines.data() + static_cast<size_t>(i) * line; };
  for (int32_t start = 0; start < height; start += Window) {
    const int32_t end = std::min(start + Window, height);
    std::memcpy(behind(end - 1), Page.Lines(end - 1), line);
    for (int32_t i = end - 2; i >= start; --i) {
      PickLines<TPick>(behind(i), Page.Lines(i), behind(i + 1), width);
    }
  }
  std::vector<uint8_t> ahead(line);
  int32_t aheadLine = -1;
  for (int32_t i = 0; i < height; ++i) {
    const int32_t s = WindowStart(i, Window, height);
    const int32_t e = s + Window - 1;
    while (aheadLine < e) {
      ++aheadLine;
      if (aheadLine % Window == 0) {
        std::memcpy(ahead.data(), Page.Lines(aheadLine), line);
      } else {
        PickLines<TPick>(ahead.data(), Page.Lines(aheadLine), ahead.data(), width);
      }
    }
    PickLines<TPick>(Page.Lines(i), behind(s), ahead.data(), width);
  }
}

template <class TPick>
void LocalExtreme(const TDIB& Source, TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) {
  Require8Bit(Source);
  Require8Bit(Target);
  if (Source.Width() != Target.Width() || Source.Height() != Target.Height()) {
    throw Exception("The target page must have the size of the page");
  }
  if (Source.Width() == 0 || Source.Height() == 0) return;
  HorizontalPass<TPick>(Source, Target, ExtremeWindow(AreaWidth, Source.Width()));
  VerticalPass<TPick>(Target, ExtremeWindow(AreaHeight, Source.Height()));
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
  Require8Bit(*this);
  const int32_t width = Width();
  const int32_t height = Height();
  if (AreaWidth < 1 || AreaHeight < 1 || AreaWidth > width || AreaHeight > height) {
    throw Exception("Bad AreaW or AreaH value");
  }
  TDIB minimum;
  TDIB maximum;
  minimum.NewImage(width, height, pt8bit, 1, 1);
  maximum.NewImage(width, height, pt8bit, 1, 1);
  LocalMinimum(minimum, AreaWidth, AreaHeight);
  LocalMaximum(maximum, AreaWidth, AreaHeight);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* line = Lines(y);
    const uint8_t* lo = minimum.Lines(y);
    const uint8_t* hi = maximum.Lines(y);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t p = line[x];
      const bool flat = hi[x] - lo[x] < ContrastLimit;
      const bool light = flat ? p >= GlobalLevel : p >= (hi[x] + lo[x]) / 2;
      line[x] = light ? LightValue : DarkValue;
    }
  }
  if (Convert) ConvertPixelType(pt1bit);
}

void TDIB::NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                            uint8_t LightValue) {
  Require8Bit(*this);
  std::unique_ptr<TDIB> result = Duplicate();
  LocalStatsThreshold(Window, *this, *result, -Aggressivity / 100.0);
  std::memcpy(FMemory, result->Memory(), static_cast<size_t>(FBlockSize));
  result.reset();
  Threshold(128, Convert, DarkValue, LightValue);
}
