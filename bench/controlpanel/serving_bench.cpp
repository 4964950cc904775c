// Serving one page from the main window, as a page request does: the cached file loaded, the
// pipeline and the quality check, and the BMP file image of the reply made in memory; beside
// it the pipeline and the check alone on the same page in memory. The difference is what
// serving adds to the pipeline's own time. A4 300 dpi gray reference page, black-and-white
// request at 300 dpi, the window's first-start settings.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "TFinestraPrincipale.h"
#include "benchpages.h"
#include "streams.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "serving_bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

// A window over settings and folders of its own, with the reference page cached once.
struct TServingWindow {
  TServingWindow() {
    App();
    qputenv("CLARIVO_CONFIG_DIR", Config.path().toUtf8());
    TControlPanelServices services;
    services.ProgramDir = Program.path();
    Window = std::make_unique<TFinestraPrincipale>(services);
    TScanRequest& request = Window->Pipeline.ScanRequest;
    request.XResolution = request.YResolution = 300;
    request.PixelType = 0;
    request.Threshold = 128;
    CachedPage = Window->PageCache.NewFileName(std::time(nullptr));
    std::unique_ptr<TDIB> page = ReferencePage(pt8bit).Duplicate();
    page->SaveToFile(CachedPage);
  }
  QTemporaryDir Config, Program;
  std::unique_ptr<TFinestraPrincipale> Window;
  std::string CachedPage;
};

TServingWindow& Serving() {
  static TServingWindow serving;
  return serving;
}

void BM_PipelineAndCheck(benchmark::State& state) {
  TFinestraPrincipale& w = *Serving().Window;
  OnCopies(state, ReferencePage(pt8bit), [&](TDIB& page) {
    w.ProcessPage(page, pt1bit, 300, 300);
    benchmark::DoNotOptimize(w.QualityCheck(page));
  });
}
BENCHMARK(BM_PipelineAndCheck)->Unit(benchmark::kMillisecond);

void BM_ServePage(benchmark::State& state) {
  TServingWindow& serving = Serving();
  TFinestraPrincipale& w = *serving.Window;
  for (auto _ : state) {
    state.PauseTiming();
    w.PageCache.Append(serving.CachedPage);
    state.ResumeTiming();
    uint8_t failed = 0;
    TDIB page;
    page.SetHandle(w.NextProcessedPage(failed));
    page.SetOwnsHandle(true);
    TMemoryStream reply;
    page.SaveToStream(reply);
    benchmark::DoNotOptimize(reply.Memory());
  }
}
BENCHMARK(BM_ServePage)->Unit(benchmark::kMillisecond);

}  // namespace
