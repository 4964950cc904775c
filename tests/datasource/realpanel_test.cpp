// The dialog and the quality-control window against the real control panel with its test
// scanner: pages are scanned, served as temporary files, reviewed and handed back.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "NewObjImage.h"
#include "QualityControl.h"
#include "ScanClientUnit.h"
#include "askedmessages.h"
#include "pagecheck.h"
#include "realpanel.h"
#include "screenshot.h"
#include "testdata.h"
#include "uDSUserInterface.h"

namespace {

namespace fs = std::filesystem;

// The page files left in the temporary directory.
std::vector<std::string> PageFilesIn(const fs::path& Folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Folder)) {
    if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename());
  }
  return names;
}

class DialogWithPanelTest : public RealPanelTest {
 protected:
  void TearDown() override {
    Form.reset();
    RealPanelTest::TearDown();
  }

  std::unique_ptr<TFormSource> Form;
  TAskedMessages Messages;
  std::vector<QString>& Asked = Messages.Texts;
};

TEST_F(DialogWithPanelTest, ScanFetchesTheTestScannersPagesAsTemporaryFiles) {
  Store("Images", "Dynamic Thresholding", "0");
  ASSERT_TRUE(StartPanel()) << PanelOutput();
  Form = std::make_unique<TFormSource>();
  ASSERT_TRUE(Form->Connected());
  int announced = 0;
  Form->OnTransferReady = [&] { ++announced; };
  Form->ShowInterface(true);
  Form->RadioButtonGray->click();
  Form->SpinEditXResolution->setValue(100);
  SaveScreenshot(*Form, "datasource-dialog.png");
  QTest::mouseClick(Form->ButtonScan, Qt::LeftButton);
  ASSERT_FALSE(Form->Page().Empty()) << PanelOutput();
  EXPECT_EQ(Form->Page().PixelType(), pt8bit);
  EXPECT_EQ(Form->Page().Width(), 850);
  EXPECT_EQ(Form->Page().Height(), 1100);
  EXPECT_EQ(Form->Page().XResolution(), 100);
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(PageFilesIn(Root / "tmp"), std::vector<std::string>{}) << "a served file was left";
  Form->PageDone();
  EXPECT_EQ(Form->PendingTransfers(), 0);  // a simplex scan of the test scanner: one page
  EXPECT_TRUE(Asked.empty()) << Asked.front().toStdString();
  Form->close();
}

// A scan request that the panel refuses keeps the connection, and the panel's own reason
// reaches the client.
TEST_F(DialogWithPanelTest, ARefusedRequestGivesThePanelsReason) {
  ASSERT_TRUE(StartPanel()) << PanelOutput();
  TScanClient client;
  client.Open(0, "127.0.0.1", Port);
  TScanRequest request{};
  request.XResolution = request.YResolution = 200;
  request.PageWidth = 0;
  request.PageHeight = 11;
  request.ImageCount = -1;
  client.SendSettings(request);
  EXPECT_EQ(client.RequestPage(), nullptr);
  EXPECT_EQ(client.FailureReason(), "Invalid page width in scan request: 0.000000 inches");
  EXPECT_TRUE(client.Connected());
}

// The panel scans gray, binarises for the request and flags the page: the window shows it,
// rescans it from the gray original with other sliders, and "Continue" hands it back.
TEST_F(DialogWithPanelTest, AFlaggedPageIsRescannedVirtuallyAndHandedBack) {
  Store("Images", "Type", "2");
  Store("Images", "QC", "1");
  Store("QC", "Min Brightness", "254");
  ASSERT_TRUE(StartPanel()) << PanelOutput();
  Form = std::make_unique<TFormSource>();
  ASSERT_TRUE(Form->Connected());
  Form->ShowInterface(true);
  Form->RadioButtonMono->click();
  Form->SpinEditXResolution->setValue(100);

  std::unique_ptr<TDIB> arrived, rescanned;
  bool reviewed = false;
  QTimer::singleShot(0, [&] {
    auto* qc = dynamic_cast<TFormQC*>(QApplication::activeModalWidget());
    ASSERT_NE(qc, nullptr);
    reviewed = true;
    arrived = qc->ImageObject->Image().DIB().Duplicate();
    SaveScreenshot(*qc, "quality-control-arrived.png");
    EXPECT_TRUE(qc->TrackBarThresholdContrast->isEnabled());
    qc->TrackBarThresholdContrast->setValue(6);
    qc->RescanVirtually();
    EXPECT_NE(qc->Original(), nullptr);
    EXPECT_EQ(qc->Original()->PixelType(), pt8bit);
    EXPECT_EQ(qc->Reprocessings(), 1);
    rescanned = qc->ImageObject->Image().DIB().Duplicate();
    SaveScreenshot(*qc, "quality-control-rescanned.png");
    qc->ImageObjectImageMouseDown(Qt::LeftButton, 60, 80);
    qc->ImageObjectImageMouseMove(200, 240);
    SaveScreenshot(*qc, "quality-control-selecting.png");
    qc->ImageObjectImageMouseUp(Qt::LeftButton, 200, 240);
    EXPECT_TRUE(qc->ButtonCrop->isEnabled());
    qc->ButtonOK->click();
  });
  QTest::mouseClick(Form->ButtonScan, Qt::LeftButton);
  ASSERT_TRUE(reviewed) << PanelOutput();
  ASSERT_NE(arrived, nullptr);
  ASSERT_NE(rescanned, nullptr);
  EXPECT_EQ(arrived->PixelType(), pt1bit);
  EXPECT_FALSE(SamePixels(*arrived, *rescanned));
  ASSERT_FALSE(Form->Page().Empty());
  EXPECT_TRUE(SamePixels(Form->Page(), *rescanned));
  EXPECT_EQ(PageFilesIn(Root / "tmp"), std::vector<std::string>{});
  EXPECT_TRUE(Asked.empty()) << Asked.front().toStdString();
}

// A real scan among the test scanner's pages: the window shows it, flagged by the panel's own
// limits, and says why. Its screenshot is the README's picture of the window.
TEST_F(DialogWithPanelTest, AFlaggedBookPageSaysWhyItWasFlagged) {
  const fs::path scan = fs::path(TestDataDir()) / "scans" / "leptonica" / "zanotti-78.jpg";
  if (TestDataDir().empty() || !fs::exists(scan)) GTEST_SKIP() << scan << " is absent";
  TDIB page;
  page.LoadFromFile(scan.string());
  fs::create_directories(Root / "program" / "test");
  page.SaveToFile((Root / "program" / "test" / "zanotti-78.bmp").string());
  Store("Images", "QC", "1");
  ASSERT_TRUE(StartPanel()) << PanelOutput();
  Form = std::make_unique<TFormSource>();
  ASSERT_TRUE(Form->Connected());
  Form->ShowInterface(true);
  Form->RadioButtonGray->click();
  Form->SpinEditXResolution->setValue(100);
  int reviews = 0;
  QString flagged;
  // The test scanner's own page comes first and goes on as it is; the scan follows.
  auto review = [&] {
    QTimer::singleShot(0, [&] {
      auto* qc = dynamic_cast<TFormQC*>(QApplication::activeModalWidget());
      ASSERT_NE(qc, nullptr);
      if (++reviews == 2) {
        flagged = qc->LabelFlagged->text();
        SaveScreenshot(*qc, "quality-control-flagged-scan.png");
      }
      qc->ButtonOK->click();
    });
  };
  review();
  QTest::mouseClick(Form->ButtonScan, Qt::LeftButton);
  ASSERT_FALSE(Form->Page().Empty()) << PanelOutput();
  Form->PageDone();
  review();
  EXPECT_EQ(Form->PendingTransfers(), -1) << PanelOutput();
  EXPECT_EQ(reviews, 2);
  EXPECT_TRUE(flagged.startsWith("Flagged by the quality check:\nBrightness "))
      << flagged.toStdString();
  EXPECT_TRUE(flagged.contains(": too")) << flagged.toStdString();
  EXPECT_EQ(Form->Page().Width(), 701);  // 1052 pixels at 150 dpi, served at 100 dpi
  Form->close();
}

}  // namespace
