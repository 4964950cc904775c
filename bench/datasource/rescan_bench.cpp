// One virtual rescan of an A4 300 dpi original: the reprocessing that runs 500 ms after the
// last slider move of the quality-control window, for the page kinds a control panel serves.
#include <benchmark/benchmark.h>

#include "QualityControl.h"
#include "benchpages.h"

namespace {

// The shown page's kind: a processed page of that depth at the original's 300 dpi.
void Rescan(benchmark::State& state, uint8_t OriginalType, int32_t ViewDepth,
            TRescanSettings Settings) {
  const TDIB& original = ReferencePage(OriginalType);
  const TRescanTarget target{ViewDepth, 300, 300};
  for (auto _ : state) {
    std::unique_ptr<TDIB> work = ReprocessOriginal(original, Settings, 0, target);
    benchmark::DoNotOptimize(work->Bits());
  }
}

TRescanSettings Sliders(int32_t Method, int32_t Deskew = 0, int32_t Despeckle = 0) {
  TRescanSettings s;
  s.Contrast = 2;
  s.Brightness = -1;
  s.ThresholdContrast = 1;
  s.ThresholdArea = -2;
  s.Deskew = Deskew;
  s.Despeckle = Despeckle;
  s.Method = Method;
  return s;
}

void BM_GrayToBilevelLinear(benchmark::State& state) {
  Rescan(state, pt8bit, 1, Sliders(0));
}
void BM_GrayToBilevelDynamic(benchmark::State& state) {
  Rescan(state, pt8bit, 1, Sliders(1));
}
void BM_GrayToBilevelAdvanced(benchmark::State& state) {
  Rescan(state, pt8bit, 1, Sliders(2));
}
void BM_GrayToBilevelDeskewDespeckle(benchmark::State& state) {
  Rescan(state, pt8bit, 1, Sliders(0, 3, 4));
}
void BM_GrayToGray(benchmark::State& state) {
  Rescan(state, pt8bit, 8, Sliders(0));
}
void BM_ColorToColorDeskew(benchmark::State& state) {
  Rescan(state, pt24bit, 24, Sliders(0, 3));
}
void BM_BilevelToGrayReduction(benchmark::State& state) {
  Rescan(state, pt1bit, 8, Sliders(0));
}

BENCHMARK(BM_GrayToBilevelLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayToBilevelDynamic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayToBilevelAdvanced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayToBilevelDeskewDespeckle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayToGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorToColorDeskew)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BilevelToGrayReduction)->Unit(benchmark::kMillisecond);

}  // namespace
