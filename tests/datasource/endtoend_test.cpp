// Clarivo.ds opened through TWAIN_32.DLL by a raw TWAIN host, against the real control panel:
// every page of a feeder scan arrives by each transfer, with and without the dialog.
#include <signal.h>
#include <sys/wait.h>

#include <QCloseEvent>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <filesystem>

#include "endtoend_fixture.h"
#include "session_helpers.h"

namespace {

struct TEndToEndCase {
  const char* Name;
  TW_UINT16 Mech;
  bool ShowUI;
};

class TFeederScan : public TEndToEndTest, public ::testing::WithParamInterface<TEndToEndCase> {
 protected:
  // The page the transfer of the case hands over, as a page of the host.
  std::unique_ptr<TDIB> Transfer(TRawHost& Host, TW_IDENTITY& Source, int Index) {
    switch (GetParam().Mech) {
      case TWSX_MEMORY: {
        TStrips strips = MemoryPage(Host, Source);
        EXPECT_EQ(strips.Last, TWRC_XFERDONE);
        // Only the size of a strip-built page is checked: its rows arrive top row first.
        auto page = std::make_unique<TDIB>();
        page->NewImage(static_cast<int32_t>(strips.BytesPerRow), static_cast<int32_t>(strips.Rows),
                       pt8bit, 100, 100);
        return page;
      }
      case TWSX_FILE: {
        TW_SETUPFILEXFER setup{};
        std::string file = (Root / "tmp" / ("got" + std::to_string(Index) + ".bmp")).string();
        std::snprintf(setup.FileName, sizeof setup.FileName, "%s", file.c_str());
        EXPECT_EQ(Host.Call(&Source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
        EXPECT_EQ(Host.Call(&Source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
        auto page = std::make_unique<TDIB>();
        page->LoadFromFile(file);
        return page;
      }
      default:
        return NativePage(Host, Source);
    }
  }
};

TEST_P(TFeederScan, EveryPageArrivesAsRequested) {
  const TEndToEndCase& c = GetParam();
  FeederPages(2);
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  ASSERT_EQ(host.SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, c.Mech), TWRC_SUCCESS);
  ASSERT_EQ(host.Enable(source, c.ShowUI), TWRC_SUCCESS);
  if (c.ShowUI) {
    QPushButton* scan = ScanButton();
    ASSERT_NE(scan, nullptr);
    scan->click();
  }
  std::vector<TNotification> got = host.PumpNotifications(10000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Message, MSG_XFERREADY);

  int pages = 0;
  TW_UINT16 count = 0;
  do {
    TW_IMAGEINFO info{};
    ASSERT_EQ(host.Call(&source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(info.ImageWidth, 850) << "page " << pages;
    EXPECT_EQ(info.ImageLength, 1100);
    EXPECT_EQ(info.BitsPerPixel, 8);
    EXPECT_EQ(info.PixelType, TWPT_GRAY);
    std::unique_ptr<TDIB> page = Transfer(host, source, pages);
    if (c.Mech == TWSX_MEMORY) {
      EXPECT_EQ(page->Width(), 852);  // the stride of 850 gray pixels
    } else {
      EXPECT_EQ(page->Width(), 850);
      EXPECT_EQ(page->BitCount(), 8);
      EXPECT_EQ(page->XResolution(), 100);
    }
    EXPECT_EQ(page->Height(), 1100);
    ++pages;
    ASSERT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  } while (count != 0 && pages < 10);
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

INSTANTIATE_TEST_SUITE_P(Transfers, TFeederScan,
                         ::testing::Values(TEndToEndCase{"Native", TWSX_NATIVE, false},
                                           TEndToEndCase{"Memory", TWSX_MEMORY, false},
                                           TEndToEndCase{"File", TWSX_FILE, false},
                                           TEndToEndCase{"NativeWithDialog", TWSX_NATIVE, true},
                                           TEndToEndCase{"MemoryWithDialog", TWSX_MEMORY, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

// The application's request reaches the control panel: black and white at 75 dpi, and the
// skewed sheet of the feeder arrives deskewed.
TEST_F(TEndToEndTest, PagesArriveProcessedAsTheApplicationAsked) {
  FeederPages(1, 2.0);
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteBool("Images", "Deskew", true);
  reg.UpdateFile();
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  ASSERT_EQ(host.SetOneValue(source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  for (TW_UINT16 cap : {ICAP_XRESOLUTION, ICAP_YRESOLUTION})
    ASSERT_EQ(host.SetOneValue(source, cap, TWTY_FIX32, 75), TWRC_SUCCESS);  // Whole 75
  EnableAndWaitForPages(host, source);
  std::vector<std::unique_ptr<TDIB>> pages;
  TW_UINT16 count = 0;
  do {
    pages.push_back(NativePage(host, source));
    ASSERT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  } while (count != 0 && pages.size() < 5);
  ASSERT_EQ(pages.size(), 2u);
  for (const auto& page : pages) {
    EXPECT_EQ(page->BitCount(), 1);
    EXPECT_EQ(page->XResolution(), 75);
    EXPECT_EQ(page->Width(), 638);  // 8.5 inches
  }
  TDIB sheet;
  sheet.LoadFromFile((Root / "program" / "test" / "page0.bmp").string());
  ASSERT_GT(sheet.DetectSkew(1, 0.25, 5), 1.5);
  EXPECT_LT(std::abs(pages[1]->DetectSkew(1, 0.25, 5)), 0.5);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// The host's messages for the shown dialog's windows are the data source's; others are not.
TEST_F(TEndToEndTest, MessagesForTheDialogAreTakenByTheSource) {
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  ASSERT_EQ(host.Enable(source, true), TWRC_SUCCESS);
  QPushButton* scan = ScanButton();
  ASSERT_NE(scan, nullptr);
  win32::MSG msg;
  msg.hwnd = scan->window();
  msg.lParam = 7;
  TW_UINT16 message = MSG_XFERREADY;
  EXPECT_EQ(host.ProcessEvent(source, msg, message), TWRC_DSEVENT);
  EXPECT_EQ(message, MSG_NULL);
  EXPECT_EQ(msg.lParam, 0);
  msg.hwnd = host.Parent();
  EXPECT_EQ(host.ProcessEvent(source, msg, message), TWRC_NOTDSEVENT);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// The data source starts the control panel when none runs, and keeps none of its mutex.
TEST_F(TEndToEndTest, OpeningWithoutAPanelStartsOne) {
  ASSERT_FALSE(ControlPanelRunning());
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  EXPECT_EQ(Panels().size(), 1u);
  EXPECT_TRUE(ControlPanelRunning());
  EnableAndWaitForPages(host, source);
  std::unique_ptr<TDIB> page = NativePage(host, source);
  EXPECT_EQ(page->Width(), 850);
  TW_UINT16 count = 1;
  EXPECT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  ASSERT_EQ(host.CloseDS(source), TWRC_SUCCESS);
  // The data source holds no part of the mutex: once the panel exits, the next opening starts
  // a new one.
  EndPanels();
  EXPECT_FALSE(ControlPanelRunning());
  ASSERT_EQ(host.OpenDS("Clarivo®", source), TWRC_SUCCESS);
  EXPECT_EQ(Panels().size(), 1u);
  CloseSession(host, source);
}

// The control panel scanning with SimScanner.ds: its feeder's three sheets reach the host as
// the request asked, converted to gray at 100 dpi.
TEST_F(TEndToEndTest, EverySheetOfARealScannersFeederArrives) {
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteString("Scanner", "Name", "SimScanner");
  reg.UpdateFile();
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  ASSERT_EQ(host.SetOneValue(source, CAP_FEEDERENABLED, TWTY_BOOL, 1), TWRC_SUCCESS);
  EnableAndWaitForPages(host, source);
  int pages = 0;
  TW_UINT16 count = 0;
  do {
    std::unique_ptr<TDIB> page = NativePage(host, source);
    ASSERT_FALSE(page->Empty());
    EXPECT_EQ(page->BitCount(), 8);
    EXPECT_EQ(page->XResolution(), 100);
    ++pages;
    ASSERT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  } while (count != 0 && pages < 10);
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// A page that fails the control panel's quality check is reviewed in the quality-control
// window before it is handed over; the operator (the test) continues with it.
TEST_F(TEndToEndTest, AFlaggedPagePassesThroughTheQualityControlWindow) {
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteBool("Images", "QC", true);
  reg.WriteInteger("QC", "Max Brightness", 1);
  reg.UpdateFile();
  StartPanel();
  int reviewed = 0;
  QTimer operatorHand;
  QObject::connect(&operatorHand, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || !top->windowTitle().contains("Quality Control")) continue;
      for (QPushButton* button : top->findChildren<QPushButton*>()) {
        if (button->text() != "Continue") continue;
        ++reviewed;
        button->click();
        return;
      }
    }
  });
  operatorHand.start(50);
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  EnableAndWaitForPages(host, source);
  std::unique_ptr<TDIB> page = NativePage(host, source);
  EXPECT_EQ(page->Width(), 850);
  EXPECT_EQ(reviewed, 1);
  TW_UINT16 count = 1;
  EXPECT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// A failure inside the data source reaches the host as TWRC_FAILURE with TWCC_BUMMER, never
// as an exception, and leaves the source closed: a resolution of 0 in the dialog's settings
// gives no physical size.
TEST_F(TEndToEndTest, AFailureInsideTheSourceIsAnsweredAndLeavesItClosed) {
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteInteger("User Interface", "X Resolution", 0);
  reg.UpdateFile();
  StartPanel();
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY source;
  EXPECT_EQ(host.OpenDS("Clarivo®", source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BUMMER);
  // The dialog wrote its settings back from its controls, which hold a resolution.
  ASSERT_EQ(host.OpenDS("Clarivo®", source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// The control panel dies in the middle of a batch: the page that was due fails to transfer,
// the application is asked to close the source, and the batch ends after it.
TEST_F(TEndToEndTest, APanelThatDiesFailsThePageDueAndAsksToBeClosed) {
  FeederPages(2);
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  EnableAndWaitForPages(host, source);
  ASSERT_FALSE(NativePage(host, source)->Empty());
  for (pid_t pid : Panels()) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  TW_UINT16 count = 0;
  EXPECT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0xFFFF);
  std::vector<TNotification> got = host.PumpNotifications(5000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Message, MSG_CLOSEDSREQ);
  EXPECT_TRUE(NativePage(host, source, TWRC_FAILURE)->Empty());
  EXPECT_EQ(host.Condition(&source), TWCC_OPERATIONERROR);
  EXPECT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// No control panel runs and none can be started: the opening fails with its condition.
TEST_F(TEndToEndTest, WithoutAPanelToStartTheOpeningFails) {
  const std::string path = ::getenv("PATH");
  ::setenv("PATH", (Root / "nothing").c_str(), 1);
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY source;
  EXPECT_EQ(host.OpenDS("Clarivo®", source), TWRC_FAILURE);
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(host.Condition(), TWCC_OPERATIONERROR);
  EXPECT_TRUE(Panels().empty());
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

// A scan without the dialog that the control panel cannot make (its scanner is not there)
// fails the enabling at once; the source stays open for another try.
TEST_F(TEndToEndTest, AScanThePanelCannotMakeFailsTheEnabling) {
  TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
  reg.WriteString("Scanner", "Name", "No Such Scanner");
  reg.UpdateFile();
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  EXPECT_EQ(host.Enable(source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_OPERATIONERROR);
  EXPECT_TRUE(host.PumpNotifications(200).empty());
  EXPECT_EQ(host.Disable(source), TWRC_FAILURE);  // still open, not enabled
  CloseSession(host, source);
}

// The dialog's window closed by the window system asks the application to close the source,
// as "Cancel" does; the dialog stays until the application disables it.
TEST_F(TEndToEndTest, ClosingTheDialogsWindowAsksToCloseTheSource) {
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  ASSERT_EQ(host.Enable(source, true), TWRC_SUCCESS);
  QPushButton* scan = ScanButton();
  ASSERT_NE(scan, nullptr);
  QWidget* dialog = scan->window();
  ASSERT_NE(dialog->windowHandle(), nullptr);
  QCloseEvent close;
  QCoreApplication::sendEvent(dialog->windowHandle(), &close);
  std::vector<TNotification> got = host.PumpNotifications(5000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Message, MSG_CLOSEDSREQ);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  EXPECT_FALSE(dialog->isVisible());
  CloseSession(host, source);
}

struct TRescanCase {
  const char* Name;
  bool ShowUI;
};

class TScanAgain : public TEndToEndTest, public ::testing::WithParamInterface<TRescanCase> {
 protected:
  // Enables as the case says and takes the batch: its pages' widths and bit counts.
  std::vector<std::pair<int32_t, int>> Batch(TRawHost& Host, TW_IDENTITY& Source, TW_UINT16 Mech) {
    std::vector<std::pair<int32_t, int>> pages;
    EXPECT_EQ(Host.Enable(Source, GetParam().ShowUI), TWRC_SUCCESS);
    if (GetParam().ShowUI) {
      QPushButton* scan = ScanButton();
      if (scan == nullptr) {
        ADD_FAILURE() << "no dialog";
        return pages;
      }
      scan->click();
    }
    std::vector<TNotification> got = Host.PumpNotifications(10000);
    if (got.size() != 1u || got[0].Message != MSG_XFERREADY) {
      ADD_FAILURE() << "no page announced";
      return pages;
    }
    TW_UINT16 count = 0;
    do {
      TW_IMAGEINFO info{};
      EXPECT_EQ(Host.Call(&Source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
      if (Mech == TWSX_MEMORY) {
        EXPECT_EQ(MemoryPage(Host, Source).Last, TWRC_XFERDONE);
      } else {
        EXPECT_FALSE(NativePage(Host, Source)->Empty());
      }
      pages.emplace_back(info.ImageWidth, info.BitsPerPixel);
      EXPECT_EQ(Host.EndTransfer(Source, count), TWRC_SUCCESS);
    } while (count != 0 && pages.size() < 10);
    EXPECT_EQ(Host.Disable(Source), TWRC_SUCCESS);
    return pages;
  }
};

// One open source scans batch after batch, each with the capabilities as they are then.
TEST_P(TScanAgain, EveryEnablingScansWithTheCapabilitiesOfTheMoment) {
  FeederPages(1);
  StartPanel();
  TRawHost host;
  TW_IDENTITY source;
  OpenSession(host, source, "Clarivo®");
  using TPages = std::vector<std::pair<int32_t, int>>;
  EXPECT_EQ(Batch(host, source, TWSX_NATIVE), (TPages{{850, 8}, {850, 8}}));
  ASSERT_EQ(host.SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
  ASSERT_EQ(host.SetOneValue(source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  for (TW_UINT16 cap : {ICAP_XRESOLUTION, ICAP_YRESOLUTION})
    ASSERT_EQ(host.SetOneValue(source, cap, TWTY_FIX32, 75), TWRC_SUCCESS);
  EXPECT_EQ(Batch(host, source, TWSX_MEMORY), (TPages{{638, 1}, {638, 1}}));
  EXPECT_EQ(Batch(host, source, TWSX_MEMORY), (TPages{{638, 1}, {638, 1}}));
  CloseSession(host, source);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

INSTANTIATE_TEST_SUITE_P(Enablings, TScanAgain,
                         ::testing::Values(TRescanCase{"WithoutDialog", false},
                                           TRescanCase{"WithDialog", true}),
                         [](const auto& info) { return std::string(info.param.Name); });

int OpenFiles() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// Each round opens, scans a page and closes; nothing of a round stays behind.
TEST_F(TEndToEndTest, AHundredRoundsInOneHost) {
  StartPanel();
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  int files = 0;
  for (int round = 0; round < 100; ++round) {
    TW_IDENTITY source;
    ASSERT_EQ(host.OpenDS("Clarivo®", source), TWRC_SUCCESS) << "round " << round;
    EnableAndWaitForPages(host, source);
    std::unique_ptr<TDIB> page = NativePage(host, source);
    ASSERT_EQ(page->Width(), 850);
    TW_UINT16 count = 1;
    ASSERT_EQ(host.EndTransfer(source, count), TWRC_SUCCESS);
    ASSERT_EQ(host.Disable(source), TWRC_SUCCESS);
    ASSERT_EQ(host.CloseDS(source), TWRC_SUCCESS);
    if (round == 1) files = OpenFiles();
  }
  EXPECT_LE(OpenFiles(), files);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

}  // namespace
