// Pixel-type conversions and scale-to-gray on the A4 300 dpi reference page.
#include <benchmark/benchmark.h>

#include "benchpages.h"

namespace {

void BM_ConvertPixelType(benchmark::State& state) {
  const auto from = static_cast<uint8_t>(state.range(0));
  const auto to = static_cast<uint8_t>(state.range(1));
  OnCopies(state, ReferencePage(from), [to](TDIB& page) { page.ConvertPixelType(to); });
}

void ConversionPaths(benchmark::internal::Benchmark* bench) {
  const int64_t types[] = {pt1bit, pt4bit, pt8bit, pt24bit};
  for (int64_t from : types)
    for (int64_t to : types)
      if (from != to) bench->Args({from, to});
}
BENCHMARK(BM_ConvertPixelType)
    ->ArgNames({"from", "to"})
    ->Apply(ConversionPaths)
    ->Unit(benchmark::kMillisecond);

void BM_ScaleToGray(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt1bit);
  for (auto _ : state) {
    auto gray = page.ScaleToGray(256, static_cast<double>(state.range(0)) / 10);
    benchmark::DoNotOptimize(gray->Memory());
  }
}
BENCHMARK(BM_ScaleToGray)
    ->ArgName("percent_x10")
    ->Arg(250)
    ->Arg(125)
    ->Unit(benchmark::kMillisecond);

}  // namespace
