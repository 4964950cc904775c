// The serving path as the control panel runs it, page after page in one process: the page is
// loaded from the uncompressed BMP file that the page cache stores, processed for a
// black-and-white target, quality-checked and written out as a BMP image in memory. Nothing is
// kept from one page to the next but the pipeline object. Each step's mean time per page and the
// minor page faults per page are reported as counters (load_ms, process_ms, qc_ms, save_ms,
// faults); BM_ServingSteps shows the pipeline's own steps on the same path.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "servingpath.h"

namespace {

const TCachedPage& Cached(TServedPage Which) {
  static TCachedPage pages[] = {TCachedPage(kGeneratedPage), TCachedPage(kBenchPage)};
  return pages[Which];
}

// Times the named steps of each page and reports their mean per page in milliseconds.
class TStepClock {
 public:
  explicit TStepClock(benchmark::State& State) : FState(State) {}
  template <class TStep>
  void Time(const std::string& Name, TStep&& Step) {
    const auto start = std::chrono::steady_clock::now();
    Step();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    FState.counters[Name + "_ms"].value += spent.count();
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
  TProcessingPipeline pipeline = ServingPipeline();
  TStepClock clock(state);
  const long before = MinorFaults();
  for (auto _ : state) {
    ServePage(pipeline, Cached(which).File(),
              [&](const char* name, auto&& step) { clock.Time(name, step); });
  }
  state.counters["faults"] = static_cast<double>(MinorFaults() - before);
  clock.Finish();
}
BENCHMARK(BM_ServingPath)->Arg(kGeneratedPage)->Arg(kBenchPage)->Unit(benchmark::kMillisecond);

// The pipeline's steps one by one on the serving path, with the pipeline's settings and working
// memory kept from page to page as the pipeline keeps it.
void BM_ServingSteps(benchmark::State& state) {
  const auto which = static_cast<TServedPage>(state.range(0));
  if (!Available(state, which)) return;
  state.SetLabel(kServedPageNames[which]);
  const TProcessingParameters parameters = ServingPipeline().Parameters;
  TDIBWorkspace workspace;
  TStepClock clock(state);
  for (auto _ : state) {
    TDIB page;
    clock.Time("load", [&] { page.LoadFromFile(Cached(which).File()); });
    double angle = 0;
    clock.Time("skew", [&] { angle = page.DetectSkew(0, 0.1, parameters.AngleRange); });
    clock.Time("rotate", [&] {
      if (std::fabs(angle) >= parameters.AngleMin) {
        page.Rotate(!parameters.BlackBackground, parameters.Interpolation, angle, angle, false);
      }
    });
    clock.Time("threshold", [&] {
      page.AdaptiveThreshold(static_cast<uint8_t>(parameters.Aggressivity), parameters.Area,
                             parameters.Area, 128, true, 0, 255, workspace);
    });
    clock.Time("despeckle",
               [&] { page.Despeckle(parameters.BlackSize, parameters.BlackSize, workspace); });
    clock.Time("black_border", [&] {
      TDIB::TRect rect;
      page.DetectBlackBorder(0, rect, 100 - parameters.BlackBorderThreshold);
      page.Crop(rect);
    });
    clock.Time("auto_crop", [&] {
      page.AutoCrop(PaperList(parameters.AutoCropSizes),
                    static_cast<float>(100 - parameters.AutoCropThreshold),
                    static_cast<float>(parameters.AutoCropMargin), 5.0f);
    });
  }
  clock.Finish();
}
BENCHMARK(BM_ServingSteps)->Arg(kGeneratedPage)->Arg(kBenchPage)->Unit(benchmark::kMillisecond);

}  // namespace
