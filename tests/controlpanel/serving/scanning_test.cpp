// Real scans through the Source Manager and SimScanner.ds: the negotiation in its order and only
// for what the source lists, native pages cached and served, and scanners that fail or vanish.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TRadioGroup.h"
#include "rounding.h"
#include "serving_fixture.h"
#include "testclient.h"
#include "vekTWAIN.h"

namespace {

namespace fs = std::filesystem;

struct TCall {
  unsigned DAT = 0, MSG = 0, Cap = 0;
};

class ScanningTest : public TServingTest {
 protected:
  void SetUp() override {
    TServingTest::SetUp();
    AddScanner();
    Trace = (Dir() / "scanner.trace").string();
    setenv("CLARIVO_SIMSCANNER_TRACE", Trace.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CLARIVO_SIMSCANNER_TRACE");
    TServingTest::TearDown();
  }

  TFinestraPrincipale& MakeSim() {
    TFinestraPrincipale& w = Make("SimScanner");
    EXPECT_EQ(w.ComboBoxScanners->currentText(), "SimScanner");
    return w;
  }
  // Settings the scanner takes when the window has opened it, before the window negotiates.
  // After runs once the window has negotiated.
  void Arm(
      const TSimScannerSettings& Settings,
      std::function<void(TvekTWAIN&)> After = [](TvekTWAIN&) {}) {
    TvekTWAIN& twain = *Window->vekTWAIN1;
    if (!WindowNegotiation) WindowNegotiation = twain.OnNegotiation;
    auto own = WindowNegotiation;
    twain.OnNegotiation = [&twain, own, Settings, After](QObject* Sender) {
      TSimScannerSettings settings = Settings;
      twain.CallDSM(&twain.AppIdentity(), &twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                    MSG_SET, &settings);
      own(Sender);
      After(twain);
    };
  }
  // Settings the scanner keeps from its next opening on, given by a component of the test.
  void Preset(const TSimScannerSettings& Settings) {
    TvekTWAIN twain;
    ASSERT_TRUE(twain.OpenSourceMgr());
    ASSERT_TRUE(twain.OpenSource("SimScanner"));
    TSimScannerSettings settings = Settings;
    ASSERT_EQ(twain.CallDSM(&twain.AppIdentity(), &twain.SourceIdentity(), DG_CONTROL,
                            DAT_SIMSCANNER, MSG_SET, &settings),
              TWRC_SUCCESS);
    twain.CloseSource();
    twain.CloseSourceMgr();
    fs::remove(Trace);
  }
  // Every page served until there is none.
  std::vector<std::unique_ptr<TDIB>> ServeAll() {
    std::vector<std::unique_ptr<TDIB>> pages;
    for (int i = 0; i < 20; ++i) {
      uint8_t flag = 0;
      win32::HGLOBAL handle = Window->NextProcessedPage(flag);
      if (handle == nullptr) break;
      pages.push_back(Adopt(handle));
    }
    return pages;
  }
  std::vector<TCall> Calls() const {
    std::vector<TCall> calls;
    std::ifstream in(Trace);
    for (std::string line; std::getline(in, line);) {
      TCall c;
      if (std::sscanf(line.c_str(), "%x %x %x", &c.DAT, &c.MSG, &c.Cap) >= 2) calls.push_back(c);
    }
    return calls;
  }
  // The capabilities set after the window's first, in order, and whether the image layout was
  // set after them.
  std::vector<unsigned> NegotiatedCaps(bool* LayoutLast = nullptr) const {
    std::vector<unsigned> caps;
    bool layout = false;
    for (const TCall& c : Calls()) {
      if (c.DAT == DAT_CAPABILITY && c.MSG == MSG_SET &&
          (c.Cap == ICAP_PIXELTYPE || !caps.empty())) {
        caps.push_back(c.Cap);
        layout = false;
      }
      if (c.DAT == DAT_IMAGELAYOUT && c.MSG == MSG_SET && !caps.empty()) layout = true;
    }
    if (LayoutLast != nullptr) *LayoutLast = layout;
    return caps;
  }
  bool Touched(unsigned Cap) const {
    for (const TCall& c : Calls()) {
      if (c.DAT == DAT_CAPABILITY && c.Cap == Cap) return true;
    }
    return false;
  }

  std::string Trace;
  TvekTWAIN::TNotifyEvent WindowNegotiation;
};

const std::vector<unsigned> kBlackAndWhiteRows = {
    ICAP_PIXELTYPE,    ICAP_BITDEPTH,    ICAP_BITDEPTHREDUCTION, CAP_FEEDERENABLED,
    CAP_DUPLEXENABLED, ICAP_BITORDER,    ICAP_PIXELFLAVOR,       ICAP_PLANARCHUNKY,
    ICAP_UNITS,        ICAP_XRESOLUTION, ICAP_YRESOLUTION,       ICAP_CONTRAST,
    ICAP_BRIGHTNESS,   ICAP_AUTOBRIGHT,  ICAP_THRESHOLD};

// A black-and-white request: every row in order, the layout last; the pages come by native
// transfer at the request's type, resolution and size, one per sheet, and are served once.
TEST_F(ScanningTest, BlackAndWhiteScanNegotiatesEveryRowInOrder) {
  TFinestraPrincipale& w = MakeSim();
  TScanRequest request = Request(0, 100, 2, 3);
  request.ADF = 1;
  w.StartScan(request);
  std::vector<std::unique_ptr<TDIB>> pages = ServeAll();
  bool layoutLast = false;
  EXPECT_EQ(NegotiatedCaps(&layoutLast), kBlackAndWhiteRows);
  EXPECT_TRUE(layoutLast);
  ASSERT_EQ(pages.size(), 3u);
  for (const auto& page : pages) {
    EXPECT_EQ(page->PixelType(), pt1bit);
    EXPECT_EQ(page->Width(), 200);
    EXPECT_EQ(page->Height(), 300);
    EXPECT_EQ(page->XResolution(), 100);
  }
  EXPECT_TRUE(Logged("Starting scanner SimScanner for -1 images..."));
  EXPECT_EQ(Count("New Image Scanned..."), 3u);
  EXPECT_LE(w.vekTWAIN1->GetState(), 4);
  w.StopScan();
  EXPECT_TRUE(w.TabSheetScanner->isEnabled());
}

// A gray request leaves out the two black-and-white rows; the panel's own mode, resolution and
// paper stand in for the request's; the transfer count is the low 16 bits of ImageCount.
TEST_F(ScanningTest, PanelOverridesAndGrayScans) {
  TFinestraPrincipale& w = MakeSim();
  w.RadioButtonGray->setChecked(true);
  w.RadioButtonCustomResolution->setChecked(true);
  w.SpinEditResolution->setValue(100);
  w.RadioButtonCustomPage->setChecked(true);
  w.ComboBoxPagina->setCurrentIndex(w.ComboBoxPagina->findText("A5"));
  w.RadioGroupADF->SetItemIndex(1);
  TScanRequest request = Request(0, 300, 1, 1);
  request.ImageCount = 65536 + 2;
  w.StartScan(request);
  std::vector<std::unique_ptr<TDIB>> pages = ServeAll();
  std::vector<unsigned> gray = kBlackAndWhiteRows;
  std::erase(gray, ICAP_BITDEPTHREDUCTION);
  std::erase(gray, ICAP_THRESHOLD);
  EXPECT_EQ(NegotiatedCaps(), gray);
  ASSERT_EQ(pages.size(), 2u);
  // Scanned gray at the panel's 100 dpi on A5, served for the request (black and white, 300 dpi).
  EXPECT_EQ(pages[0]->PixelType(), pt1bit);
  EXPECT_EQ(pages[0]->Width(), 3 * 584);
  EXPECT_EQ(pages[0]->XResolution(), 300);
  std::unique_ptr<TDIB> original = Adopt(w.OriginalPage());
  EXPECT_EQ(original->PixelType(), pt8bit);
  EXPECT_EQ(original->Width(), 584);
}

int32_t CurrentValue(TvekTWAIN& Twain, uint16_t Cap) {
  TTwnContainer* container = nullptr;
  if (Twain.GetCapability(Cap, MSG_GETCURRENT, container) != TWRC_SUCCESS) return -1;
  return static_cast<int32_t>(container->GetCurrentValue().AsInteger());
}

// Diffusion for a black-and-white scan of a dithered request, or of a gray one with the panel
// on Mono; a fixed threshold otherwise. The light comes from the request or the panel.
TEST_F(ScanningTest, BitDepthReductionAndLight) {
  struct Case {
    int32_t PixelType;
    bool Dithering, PanelMono;
    int32_t Reduction, Contrast, Threshold;
  } cases[] = {
      {0, true, false, TWBR_DIFFUSION, 40, 90},
      {0, false, false, TWBR_THRESHOLD, 40, 90},
      {1, false, true, TWBR_DIFFUSION, -300, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.PixelType * 10 + c.Dithering);
    WindowNegotiation = nullptr;
    TFinestraPrincipale& w = MakeSim();
    if (c.PanelMono) {
      w.RadioButtonMono->setChecked(true);
      w.RadioButtonCustomLight->setChecked(true);
      w.SpinEditCon->setValue(-300);
      w.SpinEditThreshold->setValue(200);
    }
    int32_t reduction = -1, contrast = -1, threshold = -1;
    Arm(TSimScannerSettings{}, [&](TvekTWAIN& twain) {
      reduction = CurrentValue(twain, ICAP_BITDEPTHREDUCTION);
      contrast = Round(twain.GetContrast());
      threshold = CurrentValue(twain, ICAP_THRESHOLD);
    });
    TScanRequest request = Request(c.PixelType, 100, 1, 1);
    request.Dithering = c.Dithering;
    request.Contrast = 40;
    request.Threshold = 90;
    w.StartScan(request);
    EXPECT_EQ(ServeAll().size(), 1u);
    EXPECT_EQ(reduction, c.Reduction);
    EXPECT_EQ(contrast, c.Contrast);
    EXPECT_EQ(threshold, c.Threshold);
  }
}

// "Max" on the panel is the scanner's whole bed.
TEST_F(ScanningTest, MaxIsTheScannersWholeBed) {
  TFinestraPrincipale& w = MakeSim();
  w.RadioButtonCustomPage->setChecked(true);
  w.ComboBoxPagina->setCurrentIndex(0);
  w.StartScan(Request(1, 50, 1, 1));
  std::vector<std::unique_ptr<TDIB>> pages = ServeAll();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0]->Width(), Round(50 * 8.5));
  EXPECT_EQ(pages[0]->Height(), Round(50 * 14.0));
}

// What the source does not list is never touched.
TEST_F(ScanningTest, OnlyWhatTheSourceLists) {
  TSimScannerSettings settings;
  settings.OmitCaps[0] = ICAP_BITDEPTHREDUCTION;
  settings.OmitCaps[1] = CAP_DUPLEXENABLED;
  settings.OmitCaps[2] = ICAP_BRIGHTNESS;
  TFinestraPrincipale& w = MakeSim();
  Preset(settings);
  w.StartScan(Request(0, 100, 1, 1));
  EXPECT_EQ(ServeAll().size(), 1u);
  std::vector<unsigned> listed = kBlackAndWhiteRows;
  for (unsigned cap : {ICAP_BITDEPTHREDUCTION, CAP_DUPLEXENABLED, ICAP_BRIGHTNESS}) {
    std::erase(listed, cap);
    EXPECT_FALSE(Touched(cap)) << cap;
  }
  EXPECT_EQ(NegotiatedCaps(), listed);
  Preset(TSimScannerSettings{});
}

// Pages the pipeline cannot take as they come: without a resolution they are served at the
// request's; 16 and 32-bit DIBs are logged and dropped. Nothing crashes and the scan ends.
TEST_F(ScanningTest, ZeroDpiAndDeepDIBs) {
  struct Case {
    TSimFailure Failure;
    size_t Served;
  } cases[] = {{TSimFailure::ZeroDpi, 2}, {TSimFailure::Bits16, 1}, {TSimFailure::Bits32, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Failure));
    WindowNegotiation = nullptr;
    TFinestraPrincipale& w = MakeSim();
    TSimScannerSettings settings;
    settings.Sheets = 2;
    settings.Failure = c.Failure;
    settings.FailurePage = 0;
    Arm(settings);
    TScanRequest request = Request(1, 100, 1, 1);
    request.ADF = 1;
    w.StartScan(request);
    std::vector<std::unique_ptr<TDIB>> pages = ServeAll();
    ASSERT_EQ(pages.size(), c.Served);
    for (const auto& page : pages) {
      EXPECT_EQ(page->XResolution(), 100);
      EXPECT_EQ(page->Width(), 100);
    }
    std::vector<std::string> lines = LogLines();
    const bool dropped = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
      return l.rfind("WARNING: scanned image dropped: ", 0) == 0;
    });
    EXPECT_EQ(dropped, c.Failure != TSimFailure::ZeroDpi);
    EXPECT_EQ(w.PendingCount(), 0);
  }
}

// A scanner that cannot be opened or enabled, or that asks to be closed at once, yields no
// page, and the request is answered at once; the window scans again afterwards.
TEST_F(ScanningTest, FailingAndMissingScannersLeaveTheWindowUsable) {
  Store("Scanner", "Timeout", "99");
  TFinestraPrincipale& w = MakeSim();
  TSimScannerSettings closing;
  closing.Failure = TSimFailure::CloseRequest;
  Arm(closing);
  w.StartScan(Request(1, 100, 1, 1));
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_TRUE(ServeAll().empty());
  w.StopScan();

  fs::remove(Dir() / "twain_32" / "SimScanner.ds");  // the scanner is gone
  w.StartScan(Request(1, 100, 1, 1));
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_TRUE(ServeAll().empty());
  w.StopScan();
  EXPECT_TRUE(w.TabSheetScanner->isEnabled());

  AddScanner();
  Arm(TSimScannerSettings{});
  w.StartScan(Request(1, 100, 1, 1));
  EXPECT_EQ(ServeAll().size(), 1u);
}

// A new scan while one runs starts afresh: the pages of the first are deleted unserved.
TEST_F(ScanningTest, ANewScanWhileOneRunsStartsAfresh) {
  TFinestraPrincipale& w = MakeSim();
  TScanRequest request = Request(1, 100, 1, 1);
  request.ADF = 1;
  w.StartScan(request);
  EXPECT_EQ(w.PendingCount(), -1);
  uint8_t flag = 0;
  win32::HGLOBAL served = w.NextProcessedPage(flag);
  ASSERT_NE(served, nullptr);
  Adopt(served);
  request.PixelType = 0;
  request.ADF = 0;
  w.StartScan(request);
  EXPECT_LE(w.PageCache.PendingPages.size(), 1u);
  std::vector<std::unique_ptr<TDIB>> pages = ServeAll();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0]->PixelType(), pt1bit);
  EXPECT_EQ(BitmapFiles(w.CacheDir.toStdString()).size(), 1u);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// An enabled scanner that has no sheet: the wait lasts the "Timeout", sleeping on the event
// loop rather than spinning, and ends early when the window closes.
TEST_F(ScanningTest, WaitForPageSleepsUntilTheTimeoutOrTheClose) {
  Store("Scanner", "Timeout", "1");
  TFinestraPrincipale& w = MakeSim();
  TSimScannerSettings empty;
  empty.Sheets = 0;
  Arm(empty);
  TScanRequest request = Request(1, 100, 1, 1);
  request.ADF = 1;
  w.StartScan(request);
  ASSERT_GT(w.vekTWAIN1->GetState(), 4);
  QElapsedTimer clock;
  clock.start();
  const double cpu = CpuSeconds();
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_LT(CpuSeconds() - cpu, 0.5);

  w.SpinEditTimeout->setValue(99);
  QTimer::singleShot(200, &w, [&w] { w.close(); });
  clock.restart();
  uint8_t flag = 0;
  EXPECT_EQ(w.NextProcessedPage(flag), nullptr);
  EXPECT_LT(clock.elapsed(), 20000);
}

// Over the window's own server: a page request waits for an enabled scanner without sheets
// while another connection stops the scan; the waiting request is answered without a page at
// once, and both connections go on.
TEST_F(ScanningTest, AStopFromAnotherConnectionEndsAWaitingRequest) {
  Store("Scanner", "Timeout", "99");
  const uint16_t port = FreePort();
  Store("Server", "Local Port", QString::number(port));
  TFinestraPrincipale& w = Make("SimScanner", true);
  ASSERT_EQ(w.ServerPort(), port);
  TSimScannerSettings empty;
  empty.Sheets = 0;
  Arm(empty);
  TScanRequest request = Request(1, 100, 1, 1);
  request.ADF = 1;
  const TBytes payload(reinterpret_cast<const char*>(&request), sizeof request);
  std::atomic<bool> done = false;
  TBytes waited, pending;
  QElapsedTimer clock;
  clock.start();
  std::thread clients([&] {
    TTestClient a(w.ServerPort()), b(w.ServerPort());
    a.Send(TTestClient::Request(CMD_START_SCAN, payload));
    a.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_TRUE(a.Quiet(500));  // waiting for a sheet that never comes
    b.Send(TTestClient::Request(CMD_STOP_SCAN));
    waited = a.Reply();
    b.Send(TTestClient::Request(CMD_GET_PENDING));
    pending = b.Reply();
    done = true;
  });
  while (!done && clock.elapsed() < 30000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  clients.join();
  EXPECT_EQ(waited, TBytes("\x09\0\0\0\0\0\0\0\0", 9));
  EXPECT_EQ(pending, TBytes("\x08\0\0\0\0\0\0\0", 8));
  EXPECT_LT(clock.elapsed(), 20000);
  EXPECT_TRUE(Logged("Stopping scanner..."));
}

}  // namespace
