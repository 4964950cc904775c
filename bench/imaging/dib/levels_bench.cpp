// Histograms, measures and thresholds on the A4 300 dpi reference page.
#include <benchmark/benchmark.h>

#include <vector>

#include "benchpages.h"
#include "paperlevels.h"

namespace {

void BM_Histogram(benchmark::State& state) {
  const TDIB& page = ReferencePage(static_cast<uint8_t>(state.range(0)));
  THistogram histogram;
  for (auto _ : state) {
    page.Histogram(histogram);
    benchmark::DoNotOptimize(histogram.Bins);
  }
}
BENCHMARK(BM_Histogram)
    ->ArgName("type")
    ->Arg(pt1bit)
    ->Arg(pt8bit)
    ->Arg(pt24bit)
    ->Unit(benchmark::kMillisecond);

void BM_MeasureBrightness(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  for (auto _ : state) benchmark::DoNotOptimize(page.MeasureBrightness());
}
BENCHMARK(BM_MeasureBrightness)->Unit(benchmark::kMillisecond);

void BM_MeasureContrast(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  for (auto _ : state) benchmark::DoNotOptimize(page.MeasureContrast(false, -1, 0));
}
BENCHMARK(BM_MeasureContrast)->Unit(benchmark::kMillisecond);

void BM_BlockRankLevel(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  for (auto _ : state) benchmark::DoNotOptimize(page.BlockRankLevel());
}
BENCHMARK(BM_BlockRankLevel)->Unit(benchmark::kMillisecond);

void BM_AdaptiveGlobalLevel(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  for (auto _ : state) benchmark::DoNotOptimize(page.AdaptiveGlobalLevel());
}
BENCHMARK(BM_AdaptiveGlobalLevel)->Unit(benchmark::kMillisecond);

// The levels of every line, as the local minimum/maximum threshold reads them.
void BM_PaperLevels(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  std::vector<uint8_t> line(static_cast<size_t>(page.Width()));
  for (auto _ : state) {
    const TPaperLevels levels(page);
    for (int32_t y = 0; y < page.Height(); ++y) {
      if (!levels.SameAsAbove(y)) levels.Line(y, line.data());
    }
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(BM_PaperLevels)->Unit(benchmark::kMillisecond);

// Each threshold runs on a fresh copy of the gray page, as the pipeline calls it (to 1 bit).
template <class TRun>
void OnFreshCopies(benchmark::State& state, TRun Run) {
  OnCopies(state, ReferencePage(pt8bit), Run);
}

void BM_AutoThreshold(benchmark::State& state) {
  OnFreshCopies(state, [](TDIB& page) { page.AutoThreshold(0, true, 0, 255); });
}
BENCHMARK(BM_AutoThreshold)->Unit(benchmark::kMillisecond);

void BM_Threshold(benchmark::State& state) {
  OnFreshCopies(state, [](TDIB& page) { page.Threshold(128, true, 0, 255); });
}
BENCHMARK(BM_Threshold)->Unit(benchmark::kMillisecond);

void BM_AdaptiveThreshold(benchmark::State& state) {
  const auto area = static_cast<int32_t>(state.range(0));
  OnFreshCopies(state,
                [area](TDIB& page) { page.AdaptiveThreshold(50, area, area, 128, true, 0, 255); });
}
BENCHMARK(BM_AdaptiveThreshold)
    ->ArgName("area")
    ->Arg(9)
    ->Arg(99)
    ->Arg(999)
    ->Unit(benchmark::kMillisecond);

void BM_NiblackThreshold(benchmark::State& state) {
  const auto window = static_cast<int32_t>(state.range(0));
  OnFreshCopies(state, [window](TDIB& page) { page.NiblackThreshold(window, 50, true, 0, 255); });
}
BENCHMARK(BM_NiblackThreshold)
    ->ArgName("window")
    ->Arg(9)
    ->Arg(99)
    ->Arg(999)
    ->Unit(benchmark::kMillisecond);

}  // namespace
