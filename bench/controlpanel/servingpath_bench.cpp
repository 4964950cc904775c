// The serving path as the control panel runs it, page after page in one process: the page is
// loaded from the uncompressed BMP file that the page cache stores, processed for a
// black-and-white target, quality-checked and written out as a BMP image in memory. Nothing is
// kept from one page to the next but the pipeline object, which has served a page before the
// timing. Each step's mean time and minor page faults per page are reported as counters
// (load_ms, load_faults, process_ms, ...); BM_ServingSteps shows the pipeline's own steps on the
// same path. A fixed allocator threshold shows what fresh memory costs:
//   GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072 servingpath_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "servingpath.h"

namespace {

const TCachedPage& Cached(TServedPage Which) {
  static TCachedPage pages[] = {TCachedPage(kGeneratedPage), TCachedPage(kBenchPage)};
  return pages[Which];
}

// Times the named steps of each page and reports their mean per page in milliseconds, and the
// minor page faults they take per page.
class TStepClock {
 public:
  explicit TStepClock(benchmark::State& State) : FState(State) {}
  template <class TStep>
  void Time(const std::string& Name, TStep&& Step) {
    const long faults = MinorFaults();
    const auto start = std::chrono::steady_clock::now();
    Step();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    FState.counters[Name + "_ms"].value += spent.count();
    FState.counters[Name + "_faults"].value += static_cast<double>(MinorFaults() - faults);
  }
  void Finish() {
    for (auto& [name, counter] : FState.counters) {
      counter = benchmark::Counter(counter.value, benchmark::Counter::kAvgIterations);
    }
  }

 private:
  benchmark::State& FState;
};

bool Available(benchmark::State& State, TServedPage Which) {
  if (!Cached(Which).File().empty()) return true;
  State.SkipWithError(Cached(Which).Reason().c_str());
  return false;
}

void BM_ServingPath(benchmark::State& state) {
  const auto which = static_cast<TServedPage>(state.range(0));
  if (!Available(state, which)) return;
  state.SetLabel(kServedPageNames[which]);
  // The control panel serves pages for hours: the pipeline has served one before the timing.
  TProcessingPipeline pipeline = ServingPipeline();
  ServePage(pipeline, Cached(which).File(), [](const char*, auto&& step) { step(); });
  TStepClock clock(state);
  for (auto _ : state) {
    ServePage(pipeline, Cached(which).File(),
              [&](const char* name, auto&& step) { clock.Time(name, step); });
  }
  clock.Finish();
}
BENCHMARK(BM_ServingPath)->Arg(kGeneratedPage)->Arg(kBenchPage)->Unit(benchmark::kMillisecond);

// The pipeline's steps one by one on the serving path, with the pipeline's settings and working
// memory kept from page to page as the pipeline keeps it; Time(name, step) runs each.
template <class TTime>
void ServeSteps(const std::string& File, TDIBWorkspace& Workspace, TTime&& Time) {
  const TProcessingParameters parameters = ServingPipeline().Parameters;
  TDIB page;
  Time("load", [&] { page.LoadFromFile(File); });
  double angle = 0;
  Time("skew", [&] { angle = page.DetectSkew(0, 0.1, parameters.AngleRange); });
  Time("rotate", [&] {
    if (std::fabs(angle) >= parameters.AngleMin) {
      page.Rotate(!parameters.BlackBackground, parameters.Interpolation, angle, angle, false);
    }
  });
  Time("threshold", [&] {
    page.AdaptiveThreshold(static_cast<uint8_t>(parameters.Aggressivity), parameters.Area,
                           parameters.Area, 128, true, 0, 255, Workspace);
  });
  Time("despeckle", [&] { page.Despeckle(parameters.BlackSize, parameters.BlackSize, Workspace); });
  Time("black_border", [&] {
    TDIB::TRect rect;
    page.DetectBlackBorder(0, rect, 100 - parameters.BlackBorderThreshold);
    page.Crop(rect);
  });
  Time("auto_crop", [&] {
    page.AutoCrop(PaperList(parameters.AutoCropSizes),
                  static_cast<float>(100 - parameters.AutoCropThreshold),
                  static_cast<float>(parameters.AutoCropMargin), 5.0f);
  });
}

void BM_ServingSteps(benchmark::State& state) {
  const auto which = static_cast<TServedPage>(state.range(0));
  if (!Available(state, which)) return;
  state.SetLabel(kServedPageNames[which]);
  TDIBWorkspace workspace;
  ServeSteps(Cached(which).File(), workspace, [](const char*, auto&& step) { step(); });
  TStepClock clock(state);
  for (auto _ : state) {
    ServeSteps(Cached(which).File(), workspace,
               [&](const char* name, auto&& step) { clock.Time(name, step); });
  }
  clock.Finish();
}
BENCHMARK(BM_ServingSteps)->Arg(kGeneratedPage)->Arg(kBenchPage)->Unit(benchmark::kMillisecond);

}  // namespace
