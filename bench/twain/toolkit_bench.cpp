// The toolkit's own cost per page of an A4 page at 300 dpi, 8 bits gray, from SimScanner.ds
// through the Source Manager: the time of the transfer loop less the time the scanner spends
// inside its own entry (making the page, filling strips). Native hands the scanner's block on;
// memory assembles the strips into a DIB (spread, then turned bottom-up).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "messages.h"
#include "simscanner.h"
#include "vekTWAIN.h"

namespace {

constexpr int kPages = 2;

// A Windows directory of the benchmark's own, with the Source Manager and the scanner.
class TWindowsDir {
 public:
  TWindowsDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "clarivo-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    FDir = pattern;
    std::filesystem::create_directory(FDir / "twain_32");
    std::filesystem::create_symlink(TWAIN_32_DLL, FDir / "TWAIN_32.DLL");
    std::filesystem::create_symlink(SIMSCANNER_DS, FDir / "twain_32" / "SimScanner.ds");
    setenv("CLARIVO_WINDOWS_DIR", FDir.c_str(), 1);
  }
  ~TWindowsDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }

 private:
  std::filesystem::path FDir;
};

TSimScannerReport Report(TvekTWAIN& Twain) {
  TSimScannerReport report;
  Twain.CallDSM(&Twain.AppIdentity(), &Twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                MSG_QUERYSUPPORT, &report);
  return report;
}

void SetA4Gray300(TvekTWAIN& Twain) {
  TTwnContainer* type = Twain.Capabilities().Add(ICAP_PIXELTYPE);
  type->SetItemType(TWTY_UINT16);
  type->SetCurrentValue(TWPT_GRAY);
  Twain.SetCapability(MSG_SET, 1, type);
  Twain.SetXResolution(300);
  Twain.SetYResolution(300);
  Twain.SetImageLayout(TTwnImageLayout{0, 0, 2480 / 300.0, 3508 / 300.0, 0, 0, 0});
}

void Acquisition(benchmark::State& State, TTwnXferType Mech) {
  TWindowsDir dir;
  TvekTWAIN twain;
  twain.SetShowUI(false);
  twain.SetShowIndicators(false);
  twain.SetDisableAfterAcquire(false);  // the loop ends with the source still enabled
  twain.SetXferMech(Mech);
  twain.SetDIBHandleType(THDT_DIBRAW);
  int images = 0;
  twain.OnImageReady = [&](QObject*, void*, win32::BITMAPINFO*, void* hImage, const std::string&) {
    if (hImage == nullptr) std::abort();
    win32::GlobalFree(hImage);
    ++images;
  };
  TSimScannerSettings settings;
  settings.Sheets = kPages;
  settings.RowAlign = 1;  // 2480 bytes a row, as the DIB keeps them
  twain.OnNegotiation = [&](QObject*) {
    SetA4Gray300(twain);
    twain.CallDSM(&twain.AppIdentity(), &twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                  MSG_SET, &settings);
  };
  using TClock = std::chrono::steady_clock;
  TClock::time_point start;
  double busyAtStart = 0;
  twain.OnXferReady = [&](QObject*) {
    busyAtStart = Report(twain).BusySeconds;
    start = TClock::now();
  };
  double sourceSeconds = 0;
  for (auto _ : State) {
    images = 0;
    if (!twain.Acquire("SimScanner")) std::abort();
    while (images < kPages) {
      Application().WaitMessage(10);
      Application().ProcessMessages();
    }
    const double loop = std::chrono::duration<double>(TClock::now() - start).count();
    const double busy = Report(twain).BusySeconds - busyAtStart;
    State.SetIterationTime((loop - busy) / kPages);
    sourceSeconds += busy / kPages;
    twain.CloseSource();
    twain.CloseSourceMgr();
  }
  State.counters["source_ms_per_page"] =
      benchmark::Counter(1000 * sourceSeconds / static_cast<double>(State.iterations()));
  State.SetBytesProcessed(State.iterations() * int64_t{2480} * 3508);
}

void BM_ToolkitNativePage(benchmark::State& State) {
  Acquisition(State, TWFX_NATIVE);
}
void BM_ToolkitMemoryPage(benchmark::State& State) {
  Acquisition(State, TWFX_MEMORY);
}

BENCHMARK(BM_ToolkitNativePage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ToolkitMemoryPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
