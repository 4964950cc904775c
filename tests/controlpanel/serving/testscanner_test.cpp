// The test scanner: its test page, its back side in a duplex scan only, the other bitmaps of
// the test folder, and the requests it refuses before anything is scanned.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <fstream>

#include "TRadioGroup.h"
#include "rounding.h"
#include "serving_fixture.h"

namespace {

namespace fs = std::filesystem;

class TestScannerTest : public TServingTest {
 protected:
  // The page of the next request, processed for the request's own type and resolution.
  std::unique_ptr<TDIB> Next(uint8_t& QCFailed) {
    win32::HGLOBAL handle = Window->NextProcessedPage(QCFailed);
    return handle == nullptr ? nullptr : Adopt(handle);
  }
  std::vector<std::string> Pending() const {
    std::vector<std::string> files;
    for (const TPendingPage& p : Window->PageCache.PendingPages) {
      files.push_back(fs::path(p.Path).filename().string());
    }
    return files;
  }
  void ChoosePaper(const QString& Name) {
    Window->RadioButtonCustomPage->setChecked(true);
    Window->ComboBoxPagina->setCurrentIndex(Window->ComboBoxPagina->findText(Name));
  }
};

// Gray, 200 dpi, "A4" chosen on the panel: the frame of a twentieth of each side and the ramp
// of 256 bands in the framed middle third; served with the other bitmaps of the folder.
TEST_F(TestScannerTest, GrayA4PageWithFrameAndRamp) {
  TFinestraPrincipale& w = Make();
  SavePage(TestDir() + "extra.bmp", pt8bit);
  std::ofstream(TestDir() + "notes.txt") << "not a page";
  ChoosePaper("A4");
  w.StartScan(Request(1, 200, 1, 1));
  EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp", "extra.bmp"}));
  EXPECT_TRUE(Logged("Starting scanner [Test Scanner] for -1 images..."));
  EXPECT_FALSE(w.TabSheetScanner->isEnabled());

  std::unique_ptr<TDIB> page = Load(TestDir() + "front.bmp");
  ASSERT_EQ(page->PixelType(), pt8bit);
  const int32_t W = page->Width(), H = page->Height();
  EXPECT_EQ(W, Round(200 * 8.27));
  EXPECT_EQ(H, Round(200 * 11.69));
  EXPECT_EQ(page->XResolution(), 200);
  const int32_t B = W / 3, C = H / 3;
  struct Probe {
    int32_t X, Y, Value;
  } probes[] = {
      {0, 0, 0},          {W / 2, H / 20, 0},           {W / 2, H / 20 + 1, 255},
      {W / 20, H / 2, 0}, {W / 20 + 1, H / 2, 255},     {W - W / 20 - 1, H / 2, 0},
      {W / 2, H - 1, 0},  {W / 2, H - H / 20 - 2, 255}, {B, 2 * C, 0},
      {2 * B, 2 * C, 0},  {B + 1, 2 * C - 1, 255},
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(page->GetPixel(p.X, p.Y), p.Value) << p.X << "," << p.Y;
  }
  const double s = B / 256.0;
  for (int32_t level : {0, 1, 100, 200, 254, 255}) {
    EXPECT_EQ(page->GetPixel(B + B / 2, C + Round(level * s + s / 2)), level) << level;
  }
  EXPECT_EQ(page->GetPixel(B + B / 2, C + B + 2), 255);
}

TEST_F(TestScannerTest, MaxIsA3AndEachModeHasItsDepth) {
  struct Case {
    const char* Mode;
    int32_t Type;
    uint8_t Depth;
  } cases[] = {
      {"Mono", 0, pt1bit}, {"Gray", 1, pt8bit}, {"Color", 2, pt24bit}, {"Odd", 7, pt24bit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Mode);
    TFinestraPrincipale& w = Make();
    ChoosePaper("Max");
    w.StartScan(Request(c.Type, 50, 1, 1));
    std::unique_ptr<TDIB> page = Load(TestDir() + "front.bmp");
    EXPECT_EQ(page->PixelType(), c.Depth);
    EXPECT_EQ(page->Width(), Round(50 * 11.69));
    EXPECT_EQ(page->Height(), Round(50 * 16.54));
    EXPECT_EQ(page->GetPixel(0, 0), page->BlackIndex());
    const int32_t B = page->Width() / 3, C = page->Height() / 3, x = B + B / 2;
    if (c.Depth == pt24bit) {
      // Red, green, blue bands from the top of the middle third.
      EXPECT_EQ(page->GetPixel(x, C + B / 6), 0x0000FF);
      EXPECT_EQ(page->GetPixel(x, C + B / 2), 0x00FF00);
      EXPECT_EQ(page->GetPixel(x, C + 5 * B / 6), 0xFF0000);
    } else if (c.Depth == pt1bit) {
      // The cross: both diagonals meet the column a quarter into the framed square.
      int blacks = 0;
      for (int32_t y = C + 1; y < 2 * C; ++y) {
        blacks += page->GetPixel(B + B / 4, y) == page->BlackIndex();
      }
      EXPECT_GE(blacks, 2);
    }
  }
}

// The back side is the front upside down, and is served in a duplex scan only: one left from
// an earlier duplex scan is not served in a simplex one.
TEST_F(TestScannerTest, BackSideOnlyInADuplexScan) {
  TFinestraPrincipale& w = Make();
  TScanRequest duplex = Request(1, 60, 3, 4);
  duplex.Duplex = 1;
  w.StartScan(duplex);
  EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp", "back.bmp"}));
  std::unique_ptr<TDIB> front = Load(TestDir() + "front.bmp");
  std::unique_ptr<TDIB> back = Load(TestDir() + "back.bmp");
  ASSERT_EQ(back->Height(), front->Height());
  for (int32_t y = 0; y < front->Height(); ++y) {
    ASSERT_EQ(
        std::memcmp(back->Lines(y), front->Lines(front->Height() - 1 - y), front->LineBytes()), 0)
        << y;
  }

  w.StartScan(Request(1, 60, 3, 4));
  EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp"}));
  EXPECT_TRUE(fs::exists(TestDir() + "back.bmp"));  // the user's folder keeps its files

  // The panel's "Enabled" makes a duplex scan of a simplex request, "Disabled" the reverse.
  w.RadioGroupDuplex->SetItemIndex(1);
  w.StartScan(Request(1, 60, 3, 4));
  EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp", "back.bmp"}));
  w.RadioGroupDuplex->SetItemIndex(2);
  w.StartScan(duplex);
  EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp"}));
}

// Fields that no page can have are refused before the cache or the test folder is touched.
TEST_F(TestScannerTest, ImpossibleRequestsAreRefusedBeforeScanning) {
  TFinestraPrincipale& w = Make();
  w.StartScan(Request(0, 60, 2, 2));
  SavePage(w.CacheDir.toStdString() + "01020304.bmp", pt1bit);
  fs::remove(TestDir() + "front.bmp");
  const TScanRequest cases[] = {
      Request(0, 0, 2, 2),        Request(0, -300, 2, 2),        Request(1, 300, 0, 11),
      Request(1, 300, 8.5, -1),   Request(2, 300, 8.5, NAN),     Request(2, 70000, 1, 1),
      Request(2, 1200, 300, 300), Request(1, 300, 1e300, 1e300),
  };
  for (const TScanRequest& request : cases) {
    SCOPED_TRACE(std::to_string(request.XResolution) + " dpi, " +
                 std::to_string(request.PageWidth) + " x " + std::to_string(request.PageHeight));
    EXPECT_THROW(w.StartScan(request), Exception);
    EXPECT_EQ(Pending(), (std::vector<std::string>{"front.bmp"}));
    EXPECT_TRUE(fs::exists(w.CacheDir.toStdString() + "01020304.bmp"));
    EXPECT_FALSE(fs::exists(TestDir() + "front.bmp"));
  }
  // The panel's own resolution stands in for the request's.
  w.RadioButtonCustomResolution->setChecked(true);
  w.SpinEditResolution->setValue(100);
  EXPECT_NO_THROW(w.StartScan(Request(0, 0, 2, 2)));
  EXPECT_EQ(Load(TestDir() + "front.bmp")->Width(), 200);
}

// Without a scan and with the test scanner there is nothing to wait for: a page request is
// answered at once, far inside the "Timeout".
TEST_F(TestScannerTest, NothingToWaitForWithoutAScan) {
  Store("Scanner", "Timeout", "99");
  TFinestraPrincipale& w = Make();
  QElapsedTimer clock;
  clock.start();
  uint8_t flag = 7;
  EXPECT_EQ(w.NextProcessedPage(flag), nullptr);
  EXPECT_EQ(flag, 7);
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_TRUE(Logged("WARNING: cached image asked from driver not found ! (Timeout)"));
}

}  // namespace
