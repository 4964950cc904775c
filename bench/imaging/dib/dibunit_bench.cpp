// The page object on the A4 300 dpi reference page.
#include <benchmark/benchmark.h>

#include "benchpages.h"

namespace {

void BM_Duplicate(benchmark::State& state) {
  const TDIB& page = ReferencePage(pt8bit);
  for (auto _ : state) {
    auto copy = page.Duplicate();
    benchmark::DoNotOptimize(copy->Memory());
  }
  state.SetBytesProcessed(state.iterations() * page.BlockSize());
}
BENCHMARK(BM_Duplicate)->Unit(benchmark::kMillisecond);

void BM_InvertBits(benchmark::State& state) {
  auto page = ReferencePage(pt8bit).Duplicate();
  for (auto _ : state) {
    page->InvertBits();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * page->BlockSize());
}
BENCHMARK(BM_InvertBits)->Unit(benchmark::kMillisecond);

}  // namespace
