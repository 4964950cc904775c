// Skew detection, rotation, despeckle, black borders, auto-crop and resize on the A4 300 dpi
// reference page.
#include <benchmark/benchmark.h>

#include "benchpages.h"

namespace {

void BM_DetectSkew(benchmark::State& state) {
  const TDIB& page = ReferencePage(static_cast<uint8_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(page.DetectSkew(0, 0.1, 4));
}
BENCHMARK(BM_DetectSkew)->Arg(pt1bit)->Arg(pt8bit)->Arg(pt24bit)->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state) {
  OnCopies(state, ReferencePage(static_cast<uint8_t>(state.range(0))),
           [](TDIB& page) { page.Rotate(true, true, -2, -2, false); });
}
BENCHMARK(BM_Rotate)->Arg(pt1bit)->Arg(pt8bit)->Arg(pt24bit)->Unit(benchmark::kMillisecond);

void BM_RotateGeneric8(benchmark::State& state) {
  OnCopies(state, ReferencePage(pt8bit),
           [](TDIB& page) { page.Rotate(true, false, -2, -2, false); });
}
BENCHMARK(BM_RotateGeneric8)->Unit(benchmark::kMillisecond);

void BM_Despeckle1(benchmark::State& state) {
  OnCopies(state, ReferencePage(pt1bit), [](TDIB& page) { page.Despeckle(3, 3); });
}
BENCHMARK(BM_Despeckle1)->Unit(benchmark::kMillisecond);

void BM_DetectBlackBorder(benchmark::State& state) {
  const TDIB& page = ReferencePage(static_cast<uint8_t>(state.range(0)));
  TRect rect;
  for (auto _ : state) {
    page.DetectBlackBorder(0, rect, 0.5);
    benchmark::DoNotOptimize(rect);
  }
}
BENCHMARK(BM_DetectBlackBorder)
    ->Arg(pt1bit)
    ->Arg(pt8bit)
    ->Arg(pt24bit)
    ->Unit(benchmark::kMillisecond);

// Auto-crop after the frame is cropped away, as the clean-up pipeline runs them: with paper
// names (none fits the sheet, so only the content is measured) and with none (it crops).
void BM_AutoCrop(benchmark::State& state) {
  std::unique_ptr<TDIB> sheet = ReferencePage(static_cast<uint8_t>(state.range(0))).Duplicate();
  TRect rect;
  sheet->DetectBlackBorder(0, rect, 0.5);
  sheet->Crop(rect);
  const char* list = state.range(1) != 0 ? "A4;Letter;" : "";
  OnCopies(state, *sheet, [&](TDIB& page) { page.AutoCrop(list, 0.5f, 0, 5); });
}
BENCHMARK(BM_AutoCrop)
    ->ArgsProduct({{pt1bit, pt8bit, pt24bit}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_ResizeAverage300To200(benchmark::State& state) {
  OnCopies(state, ReferencePage(static_cast<uint8_t>(state.range(0))), [](TDIB& page) {
    page.Resize(Round(page.Width() * 2 / 3.0), Round(page.Height() * 2 / 3.0), true);
  });
}
BENCHMARK(BM_ResizeAverage300To200)
    ->Arg(pt1bit)
    ->Arg(pt8bit)
    ->Arg(pt24bit)
    ->Unit(benchmark::kMillisecond);

void BM_ResizeNearest300To200(benchmark::State& state) {
  OnCopies(state, ReferencePage(pt8bit), [](TDIB& page) {
    page.Resize(Round(page.Width() * 2 / 3.0), Round(page.Height() * 2 / 3.0), false);
  });
}
BENCHMARK(BM_ResizeNearest300To200)->Unit(benchmark::kMillisecond);

}  // namespace
