// The data source's page operations on the A4 300 dpi reference page: quarter turns, turns by
// any angle and lookup tables.
#include <benchmark/benchmark.h>

#include "benchpages.h"

namespace {

// Each run turns the same page again: the work does not depend on the picture.
template <void (TDIB::*Turn)()>
void BM_QuarterTurn(benchmark::State& state) {
  auto page = ReferencePage(static_cast<uint8_t>(state.range(0))).Duplicate();
  for (auto _ : state) {
    (page.get()->*Turn)();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * page->BlockSize());
}
BENCHMARK_TEMPLATE(BM_QuarterTurn, &TDIB::Rotate90)
    ->Arg(pt8bit)
    ->Arg(pt1bit)
    ->Arg(pt24bit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_QuarterTurn, &TDIB::Rotate180)->Arg(pt8bit)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_QuarterTurn, &TDIB::Rotate270)->Arg(pt8bit)->Unit(benchmark::kMillisecond);

// Args: pixel type, enlarge.
void BM_RotateByAngle3(benchmark::State& state) {
  const TDIB& reference = ReferencePage(static_cast<uint8_t>(state.range(0)));
  bool enlarge = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto page = reference.Duplicate();
    state.ResumeTiming();
    page->RotateByAngle(enlarge, page->WhiteIndex(), 3);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * reference.BlockSize());
}
BENCHMARK(BM_RotateByAngle3)
    ->Args({pt8bit, 0})
    ->Args({pt8bit, 1})
    ->Args({pt1bit, 0})
    ->Args({pt24bit, 0})
    ->Unit(benchmark::kMillisecond);

void BM_ApplyLUT(benchmark::State& state) {
  auto page = ReferencePage(pt8bit).Duplicate();
  TDIB::TLookupTable table;
  TDIB::ContrastLUT(table, 20);
  for (auto _ : state) {
    page->ApplyLUT(table);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * page->BlockSize());
}
BENCHMARK(BM_ApplyLUT)->Unit(benchmark::kMillisecond);

}  // namespace
