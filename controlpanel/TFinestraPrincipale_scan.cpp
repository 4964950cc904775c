#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <utility>

#include "ClientRequest.h"
#include "TFinestraPrincipale.h"
#include "TRadioGroup.h"
#include "TestScanner.h"
#include "boundaryguard.h"
#include "vekTWAIN.h"

namespace {

// What WaitForPage sleeps between two looks, letting window messages run.
constexpr int kWaitStepMs = 50;

// "Driver Setting" takes the request's flag; "Enabled" and "Disabled" override it.
bool DriverOrPanel(int ItemIndex, uint8_t RequestFlag) {
  switch (ItemIndex) {
    case 0:
      return RequestFlag != 0;
    case 1:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool TFinestraPrincipale::TestScannerChosen() const {
  return ComboBoxScanners->currentText().compare(TestScannerName, Qt::CaseInsensitive) == 0;
}

TScanRequest TFinestraPrincipale::EffectiveRequest(const TScanRequest& Request) const {
  TScanRequest effective = Request;
  if (!RadioButtonDriverPage->isChecked()) {
    // "Max" is the scanner's whole bed: A3 for the test scanner and for the check.
    std::string paper = ComboBoxPagina->currentIndex() <= 0
                            ? std::string("A3")
                            : ComboBoxPagina->currentText().toStdString();
    // The record is packed: its doubles are read and written by value only.
    double width = effective.PageWidth, height = effective.PageHeight;
    PaperSizeByName(paper, width, height);
    effective.PageWidth = width;
    effective.PageHeight = height;
  }
  if (!RadioButtonDriverResolution->isChecked()) {
    effective.XResolution = effective.YResolution = SpinEditResolution->value();
  }
  if (!RadioButtonDriverMode->isChecked()) {
    effective.PixelType = RadioButtonMono->isChecked() ? 0 : RadioButtonGray->isChecked() ? 1 : 2;
  }
  effective.ADF = DriverOrPanel(RadioGroupADF->ItemIndex(), Request.ADF);
  effective.Duplex = DriverOrPanel(RadioGroupDuplex->ItemIndex(), Request.Duplex);
  return effective;
}

// A request that no page can answer is refused before the cache or the scanner is touched,
// and the operator is told. A scan without a chosen scanner, or with one that does not start,
// yields no page, as the operator is told as well.
void TFinestraPrincipale::StartScan(const TScanRequest& Request) {
  TScanRequest effective{};
  try {
    effective = EffectiveRequest(Request);
    CheckScanRequest(effective);
  } catch (...) {
    Alert("ERROR: scan refused: " + QString::fromStdString(FailureText()));
    throw;
  }
  ClearCache();
  Pipeline.ScanRequest = Request;
  PageCache.Reset();
  ClearStatusLine();
  if (ComboBoxScanners->currentIndex() < 0) {
    Alert("ERROR: no scanner is chosen on the Hardware page: no page is scanned");
  } else if (TestScannerChosen()) {
    StartTestScanner(effective);
  } else if (!StartRealScanner(Request)) {
    Alert("ERROR: the scanner " + ComboBoxScanners->currentText() +
          " does not start: no page is scanned");
  }
  Log("Starting scanner " + ComboBoxScanners->currentText() + " for " +
      QString::number(Request.ImageCount) + " images...");
  TabSheetScanner->setEnabled(false);
  FScanIdle->start(SpinEditTimeout->value() * 1000);  // the interval of later starts too
  QCoreApplication::processEvents();
}

void TFinestraPrincipale::StartTestScanner(const TScanRequest& Effective) {
  TTestPageSpec spec;
  spec.WidthInches = Effective.PageWidth;
  spec.HeightInches = Effective.PageHeight;
  spec.XDPI = Effective.XResolution;
  spec.YDPI = Effective.YResolution;
  spec.PixelType = Effective.PixelType;
  spec.Duplex = Effective.Duplex != 0;
  for (const std::string& file : BuildTestPages(TestDir.toStdString(), spec)) {
    PageCache.Append(file);
  }
}

// A scan that still runs is ended first, so that the new request is negotiated afresh.
bool TFinestraPrincipale::StartRealScanner(const TScanRequest& Request) {
  if (vekTWAIN1->IsSourceOpen()) vekTWAIN1->CloseSource();
  vekTWAIN1->SetShowUI(false);
  vekTWAIN1->SetShowIndicators(false);
  vekTWAIN1->SetXferCount(static_cast<int16_t>(Request.ImageCount & 0xFFFF));
  vekTWAIN1->SetDisableAfterAcquire(true);
  vekTWAIN1->SetDIBHandleType(THDT_DIBRAW);
  vekTWAIN1->SetXferMech(TWFX_NATIVE);
  return vekTWAIN1->Acquire(ComboBoxScanners->currentText().toStdString());
}

void TFinestraPrincipale::StopScan() {
  if (!TestScannerChosen()) vekTWAIN1->DisableSource();
  Log("Stopping scanner...");
  FScanIdle->stop();
  TabSheetScanner->setEnabled(true);
  QCoreApplication::processEvents();
}

void TFinestraPrincipale::WaitForPage() {
  QElapsedTimer waited;
  waited.start();
  while (!FClosing && PageCache.PendingPages.empty() && vekTWAIN1->GetState() > 4 &&
         waited.elapsed() < SpinEditTimeout->value() * 1000LL) {
    WaitStep();
  }
}

void TFinestraPrincipale::WaitStep() {
  QEventLoop loop;
  QTimer::singleShot(kWaitStepMs, &loop, &QEventLoop::quit);
  QEventLoop* outer = std::exchange(FWaitLoop, &loop);
  loop.exec();
  FWaitLoop = outer;
}

void TFinestraPrincipale::ScanIdleTimeout() {
  Log("WARNING: no request from the driver for " + QString::number(SpinEditTimeout->value()) +
      " sec.: the Hardware page is enabled again");
  TabSheetScanner->setEnabled(true);
}

int32_t TFinestraPrincipale::PendingCount() {
  TClientRequest request(*this);
  WaitForPage();
  return PageCache.PendingPages.empty() ? 0 : -1;
}

bool TFinestraPrincipale::MirafoldMode() const {
  return (RadioButtonGray->isChecked() || RadioButtonColor->isChecked()) &&
         CheckBoxMultiStream->isChecked();
}

void TFinestraPrincipale::ClearCache() {
  PageCache.Clear();
}
