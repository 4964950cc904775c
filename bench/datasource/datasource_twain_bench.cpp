// Clarivo.ds through TWAIN_32.DLL against the real control panel with its test scanner, on
// loopback, with A4 300 dpi gray pages: from MSG_ENABLEDS (no dialog) to the first page in
// the application's hands, and each further page of a feeder batch, for each transfer; beside
// them the same pages fetched by the scan client alone, which is what the control panel and
// the protocol cost without TWAIN.
// Each iteration of the first page is a scan of its own, so their count is fixed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScanClientUnit.h"
#include "globalmem.h"
#include "pagegen.h"
#include "panelprocess.h"
#include "rawhost.h"
#include "registry.h"

namespace {

constexpr int kFeederPages = 6;

// The control panel of the benchmark with its feeder's pages, started once.
class TPanel : public TPanelProcess {
 public:
  TPanel() : TPanelProcess("ds-bench", CLARIVO_EXE, TWAIN_32_DLL, CLARIVO_DS) {
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteInteger("User Interface", "Image Type", 1);
    reg.WriteInteger("User Interface", "X Resolution", 300);
    reg.WriteInteger("User Interface", "Y Resolution", 300);
    reg.WriteString("User Interface", "Page Width", "8.27");
    reg.WriteString("User Interface", "Page Height", "11.69");
    reg.UpdateFile();
    TPageOptions o = ReferencePageOptions(pt8bit);
    for (int i = 0; i < kFeederPages; ++i) {
      o.Seed = static_cast<uint32_t>(i + 1);
      MakeReferencePage(o)->SaveToFile(
          (ProgramDir / "test" / ("page" + std::to_string(i) + ".bmp")).string());
    }
    Ready = Start();
  }

  bool Ready = false;
};

TPanel& Panel() {
  static TPanel panel;
  return panel;
}

// One application with Clarivo.ds open, taking pages by one mechanism.
class TSession {
 public:
  explicit TSession(TW_UINT16 Mech) : FMech(Mech) { FHost.OpenDSM(); }
  ~TSession() {
    Close();
    FHost.CloseDSM();
  }

  // Opens and enables without a dialog: true once the first page is announced.
  bool Start() { return Open() && Enable(); }
  bool Open() {
    if (FHost.OpenDS("Clarivo®", FSource) != TWRC_SUCCESS) return false;
    FOpen = true;
    return FHost.SetOneValue(FSource, ICAP_XFERMECH, TWTY_UINT16, FMech) == TWRC_SUCCESS;
  }
  // True once the first page is announced.
  bool Enable() {
    if (FHost.Enable(FSource) != TWRC_SUCCESS) return false;
    return !FHost.PumpNotifications(20000).empty();
  }
  void Close() {
    if (!FOpen) return;
    FHost.CloseDS(FSource);
    FOpen = false;
  }
  // The page held, in the application's hands.
  bool Take() {
    if (FMech == TWSX_NATIVE) {
      TW_HANDLE handle = nullptr;
      bool done =
          FHost.Call(&FSource, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) == TWRC_XFERDONE;
      win32::GlobalFree(handle);
      return done;
    }
    if (FMech == TWSX_FILE) {
      TW_SETUPFILEXFER setup{};
      std::snprintf(setup.FileName, sizeof setup.FileName, "%s",
                    (Panel().Root / "tmp" / "page.bmp").c_str());
      FHost.Call(&FSource, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
      return FHost.Call(&FSource, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) == TWRC_XFERDONE;
    }
    TW_SETUPMEMXFER setup{};
    FHost.Call(&FSource, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    FBuffer.resize(64 * 1024);
    TW_UINT16 rc;
    do {
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(FBuffer.size()),
                      FBuffer.data()};
      rc = FHost.Call(&FSource, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    } while (rc == TWRC_SUCCESS);
    return rc == TWRC_XFERDONE;
  }
  // True while another page follows.
  bool EndTransfer() {
    TW_UINT16 count = 0;
    FHost.EndTransfer(FSource, count);
    return count != 0;
  }

 private:
  TW_UINT16 FMech;
  TRawHost FHost;
  TW_IDENTITY FSource{};
  bool FOpen = false;
  std::vector<uint8_t> FBuffer;
};

bool Ready(benchmark::State& state) {
  if (Panel().Ready) return true;
  state.SkipWithError("the control panel did not start");
  return false;
}

void BM_EnableToFirstPage(benchmark::State& state) {
  if (!Ready(state)) return;
  const auto mech = static_cast<TW_UINT16>(state.range(0));
  TSession session(mech);
  for (auto _ : state) {
    state.PauseTiming();
    session.Close();
    if (!session.Open()) {
      state.SkipWithError("the source does not open");
      break;
    }
    state.ResumeTiming();
    if (!session.Enable() || !session.Take()) state.SkipWithError("no first page");
  }
}

// The end of a transfer, the next page fetched from the control panel and transferred.
void BM_NextPageOfABatch(benchmark::State& state) {
  if (!Ready(state)) return;
  const auto mech = static_cast<TW_UINT16>(state.range(0));
  TSession session(mech);
  bool more = false;
  for (auto _ : state) {
    if (!more) {
      state.PauseTiming();
      session.Close();
      if (!session.Start() || !session.Take()) {
        state.SkipWithError("no first page");
        break;
      }
      state.ResumeTiming();
    }
    more = session.EndTransfer();
    if (more && !session.Take()) state.SkipWithError("transfer failed");
  }
}

// The same pages fetched by the data source's scan client alone: the control panel's own work
// on a page and the scan protocol, without TWAIN.
TScanRequest GrayA4Request() {
  TScanRequest request{};
  request.ImageCount = -1;
  request.XResolution = request.YResolution = 300;
  request.XScaling = request.YScaling = 100;
  request.PageWidth = 8.27;
  request.PageHeight = 11.69;
  request.Threshold = 128;
  request.PixelType = 1;
  request.BitDepth = 8;
  return request;
}

void BM_NextPageByTheScanClient(benchmark::State& state) {
  if (!Ready(state)) return;
  TScanClient client;
  client.Open(0, "127.0.0.1", Panel().Port);
  auto fetch = [&] {
    win32::HGLOBAL page = client.RequestPage();
    win32::GlobalFree(page);
    return page != nullptr;
  };
  bool more = false;
  for (auto _ : state) {
    if (!more) {
      state.PauseTiming();
      client.EndSession();
      client.SendSettings(GrayA4Request());
      if (!fetch()) {
        state.SkipWithError("no first page");
        break;
      }
      state.ResumeTiming();
    }
    more = fetch();
  }
  client.Close();
}

}  // namespace

BENCHMARK(BM_EnableToFirstPage)
    ->ArgName("mech")
    ->Arg(TWSX_NATIVE)
    ->Arg(TWSX_MEMORY)
    ->Arg(TWSX_FILE)
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextPageOfABatch)
    ->ArgName("mech")
    ->Arg(TWSX_NATIVE)
    ->Arg(TWSX_MEMORY)
    ->Arg(TWSX_FILE)
    ->Iterations(2 * kFeederPages)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextPageByTheScanClient)->Iterations(2 * kFeederPages)->Unit(benchmark::kMillisecond);
