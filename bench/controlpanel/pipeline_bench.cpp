// The whole clean-up pipeline for a black-and-white target, and each of its steps, on the A4
// 300 dpi reference page and on the benchmark page that other tools were timed on. Pages are
// loaded once; each run works on a fresh copy that is not timed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>

#include "ProcessingPipeline.h"
#include "benchpages.h"
#include "dibworkspace.h"
#include "paperlevels.h"

namespace {

enum TPage { kReference, kBenchmarkPage };

const TDIB& Source(TPage which) {
  static std::unique_ptr<TDIB> pages[2];
  if (!pages[which]) {
    if (which == kReference) {
      pages[which] = MakeReferencePage(ReferencePageOptions(pt8bit));
    } else {
      // Kept only once it has loaded, so that a missing file is reported on every run.
      auto page = std::make_unique<TDIB>();
      page->LoadFromFile(CLARIVO_TESTDATA "/bench/page-a4-300-gray.png");
      pages[which] = std::move(page);
    }
  }
  return *pages[which];
}

// The first-start settings plus despeckle, black-border removal and auto-crop, set for a
// sheet on a dark backing as both pages are (uncovered corners filled black, a line is border
// from 30 per cent dark on), so that the border and crop steps have their work to do.
TProcessingPipeline Pipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = true;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 30;
  p.ScanRequest.Threshold = 128;
  return p;
}

bool Available(benchmark::State& state, TPage which) {
  try {
    Source(which);
    return true;
  } catch (const Exception& e) {
    state.SkipWithError(e.what());
    return false;
  }
}

void BM_Pipeline(benchmark::State& state) {
  const auto which = static_cast<TPage>(state.range(0));
  if (!Available(state, which)) return;
  const TDIB& source = Source(which);
  TProcessingPipeline pipeline = Pipeline();
  double peakRatio = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<TDIB> page = source.Duplicate();
    const size_t before = win32::GlobalLiveBytes();
    win32::GlobalResetPeak();
    state.ResumeTiming();
    pipeline.ProcessPage(*page, pt1bit, 300, 300);
    state.PauseTiming();
    peakRatio = static_cast<double>(win32::GlobalPeakBytes() - before) / source.BlockSize();
    state.ResumeTiming();
  }
  state.counters["peak_extra_per_page_block"] = peakRatio;
}
BENCHMARK(BM_Pipeline)->Arg(kReference)->Arg(kBenchmarkPage)->Unit(benchmark::kMillisecond);

// The steps one by one with the pipeline's arguments, each on the page as the steps before it
// left it.
using TStep = std::function<void(TDIB&)>;

const TProcessingParameters kParameters = Pipeline().Parameters;

const TStep kSteps[] = {
    [](TDIB& page) {
      double angle = page.DetectSkew(0, 0.1, kParameters.AngleRange);
      if (std::fabs(angle) >= kParameters.AngleMin) {
        page.Rotate(!kParameters.BlackBackground, kParameters.Interpolation, angle, angle, false);
      }
    },
    [](TDIB& page) {
      TDIBWorkspace workspace;
      page.AdaptiveThreshold(static_cast<uint8_t>(kParameters.Aggressivity), kParameters.Area,
                             kParameters.Area, TPaperLevels(page), true, 0, 255, workspace);
    },
    [](TDIB& page) { page.Despeckle(kParameters.BlackSize, kParameters.BlackSize); },
    [](TDIB& page) {
      TDIB::TRect rect;
      page.DetectBlackBorder(0, rect, 100 - kParameters.BlackBorderThreshold);
      page.Crop(rect);
    },
    [](TDIB& page) {
      page.AutoCrop(PaperList(kParameters.AutoCropSizes),
                    static_cast<float>(100 - kParameters.AutoCropThreshold),
                    static_cast<float>(kParameters.AutoCropMargin), 5.0f);
    },
};
const char* const kStepNames[] = {"deskew", "threshold", "despeckle", "black_border", "auto_crop"};

// The page before step Index.
const TDIB& Before(TPage which, int Index) {
  static std::unique_ptr<TDIB> cache[2][std::size(kSteps)];
  std::unique_ptr<TDIB>& slot = cache[which][Index];
  if (!slot) {
    slot = Index == 0 ? Source(which).Duplicate() : Before(which, Index - 1).Duplicate();
    if (Index > 0) kSteps[Index - 1](*slot);
  }
  return *slot;
}

void BM_Step(benchmark::State& state) {
  const auto which = static_cast<TPage>(state.range(0));
  const auto index = static_cast<int>(state.range(1));
  if (!Available(state, which)) return;
  state.SetLabel(kStepNames[index]);
  OnCopies(state, Before(which, index), kSteps[index]);
}
BENCHMARK(BM_Step)
    ->ArgsProduct({{kReference, kBenchmarkPage}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
