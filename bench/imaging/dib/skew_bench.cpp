// Skew detection on the benchmark page that other tools were timed on (2480 x 3508, gray, text
// turned by 1.7 degrees inside a dark frame), with the pipeline's arguments, at the three
// depths it takes. The page is loaded once; detection does not change it.
#include <benchmark/benchmark.h>

#include <memory>

#include "dibunit.h"

namespace {

const TDIB* BenchPage(uint8_t Type, benchmark::State& State) {
  static std::unique_ptr<TDIB> pages[7];
  std::unique_ptr<TDIB>& page = pages[Type];
  if (!page) {
    try {
      auto loaded = std::make_unique<TDIB>();
      loaded->LoadFromFile(CLARIVO_TESTDATA "/bench/page-a4-300-gray.png");
      if (Type == pt1bit) loaded->AutoThreshold(0, true, 0, 255);
      if (Type == pt24bit) loaded->ConvertPixelType(pt24bit);
      page = std::move(loaded);
    } catch (const Exception& e) {
      State.SkipWithError(e.what());
      return nullptr;
    }
  }
  return page.get();
}

void BM_DetectSkewBenchPage(benchmark::State& state) {
  const TDIB* page = BenchPage(static_cast<uint8_t>(state.range(0)), state);
  if (page == nullptr) return;
  for (auto _ : state) benchmark::DoNotOptimize(page->DetectSkew(0, 0.1, 4));
}
BENCHMARK(BM_DetectSkewBenchPage)
    ->Arg(pt1bit)
    ->Arg(pt8bit)
    ->Arg(pt24bit)
    ->Unit(benchmark::kMillisecond);

}  // namespace
