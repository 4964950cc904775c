// The serving path as the control panel runs it, page after page in one process: the page is
// loaded from the uncompressed BMP file that the page cache stores, processed for a
// black-and-white target, quality-checked and written out as a BMP image in memory. Nothing is
// kept from one page to the next but the pipeline object. Each step's mean time per page and the
// minor page faults per page are reported as counters (load_ms, process_ms, qc_ms, save_ms,
// faults); BM_ServingSteps shows the pipeline's own steps on the same path.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "ProcessingPipeline.h"
#include "benchpages.h"

namespace {

enum TPage { kReference, kBenchmarkPage };
const char* const kPageNames[] = {"generated", "bench_page"};

// The page as a BMP file in the temporary folder, written once per program and removed at its
// end; "" with the reason when the page cannot be had.
class TCachedPage {
 public:
  explicit TCachedPage(TPage Which) {
    try {
      std::unique_ptr<TDIB> page;
      if (Which == kReference) {
        page = MakeReferencePage(ReferencePageOptions(pt8bit));
      } else {
        page = std::make_unique<TDIB>();
        page->LoadFromFile(CLARIVO_TESTDATA "/bench/page-a4-300-gray.png");
      }
      const char* tmp = std::getenv("TMPDIR");
      FFile = std::string(tmp != nullptr ? tmp : "/tmp") + "/clarivo-serving-" +
              std::to_string(getpid()) + "-" + kPageNames[Which] + ".bmp";
      page->SaveToFile(FFile);
    } catch (const Exception& e) {
      FFile.clear();
      FReason = e.what();
    }
  }
  ~TCachedPage() {
    if (!FFile.empty()) std::remove(FFile.c_str());
  }
  const std::string& File() const { return FFile; }
  const std::string& Reason() const { return FReason; }

 private:
  std::string FFile, FReason;
};

const TCachedPage& Cached(TPage Which) {
  static TCachedPage pages[] = {TCachedPage(kReference), TCachedPage(kBenchmarkPage)};
  return pages[Which];
}

// The settings of the pipeline benchmark, quality control on.
TProcessingPipeline Pipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = p.Checks.QC = true;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 30;
  p.ScanRequest.Threshold = 128;
  return p;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
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

bool Available(benchmark::State& State, TPage Which) {
  if (!Cached(Which).File().empty()) return true;
  State.SkipWithError(Cached(Which).Reason().c_str());
  return false;
}

void BM_ServingPath(benchmark::State& state) {
  const auto which = static_cast<TPage>(state.range(0));
  if (!Available(state, which)) return;
  state.SetLabel(kPageNames[which]);
  TProcessingPipeline pipeline = Pipeline();
  TStepClock clock(state);
  long faults = 0;
  for (auto _ : state) {
    const long before = MinorFaults();
    TDIB page;
    clock.Time("load", [&] { page.LoadFromFile(Cached(which).File()); });
    clock.Time("process", [&] { pipeline.ProcessPage(page, pt1bit, 300, 300); });
    bool failed = false;
    clock.Time("qc", [&] { failed = pipeline.QualityCheck(page); });
    benchmark::DoNotOptimize(failed);
    clock.Time("save", [&] {
      TMemoryStream image;
      page.SaveToStream(image);
      benchmark::DoNotOptimize(image.Memory());
    });
    faults += MinorFaults() - before;
  }
  state.counters["faults"] = static_cast<double>(faults);
  clock.Finish();
}
BENCHMARK(BM_ServingPath)->Arg(kReference)->Arg(kBenchmarkPage)->Unit(benchmark::kMillisecond);

// The pipeline's steps one by one on the serving path, with the pipeline's settings and working
// memory kept from page to page as the pipeline keeps it.
void BM_ServingSteps(benchmark::State& state) {
  const auto which = static_cast<TPage>(state.range(0));
  if (!Available(state, which)) return;
  state.SetLabel(kPageNames[which]);
  const TProcessingParameters parameters = Pipeline().Parameters;
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
BENCHMARK(BM_ServingSteps)->Arg(kReference)->Arg(kBenchmarkPage)->Unit(benchmark::kMillisecond);

}  // namespace
