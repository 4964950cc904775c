// The quality-control window headless: its enabling rules, the virtual rescan from the
// original, the selection, rotation, crop, figures and the hand-back of the page.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "DlgWait.h"
#include "NewObjImage.h"
#include "QualityControl.h"
#include "askedmessages.h"
#include "fakepanel.h"
#include "pagecheck.h"
#include "screenshot.h"
#include "testdata.h"

namespace {

// Black pixels of a 1-bit page with a standard palette (index 0 black).
int64_t BlackPixels(const TDIB& Page) {
  int64_t count = 0;
  for (int32_t y = 0; y < Page.Height(); ++y) {
    for (int32_t x = 0; x < Page.Width(); ++x) count += Page.GetPixel(x, y) == 0;
  }
  return count;
}

class QualityControlTest : public ::testing::Test {
 protected:
  void TearDown() override { Form.reset(); }

  // The window over Shown, whose original is Original (nullptr: the panel has none). While
  // the original is fetched, WhileFetching runs.
  TFormQC& Make(const TDIB& Shown, const TDIB* Original) {
    Form = std::make_unique<TFormQC>(
        [this, Original]() -> win32::HGLOBAL {
          ++Fetches;
          if (WhileFetching) WhileFetching();
          if (Original == nullptr) return nullptr;
          auto copy = Original->Duplicate();
          copy->SetOwnsHandle(false);
          return copy->GetHandle();
        },
        nullptr, [] { return std::string("The control panel holds no original"); });
    Form->ShowPage(Shown);
    Form->resize(900, 640);
    Form->show();
    return *Form;
  }
  const TDIB& ShownPage() { return Form->ImageObject->Image().DIB(); }
  // A drag with the left button on the view's drawing surface, in its pixels.
  void Drag(int X1, int Y1, int X2, int Y2) {
    Form->ImageObjectImageMouseDown(Qt::LeftButton, X1, Y1);
    Form->ImageObjectImageMouseMove((X1 + X2) / 2, (Y1 + Y2) / 2);
    Form->ImageObjectImageMouseUp(Qt::LeftButton, X2, Y2);
  }

  std::unique_ptr<TFormQC> Form;
  int Fetches = 0;
  std::function<void()> WhileFetching;
  TAskedMessages Messages;
  std::vector<QString>& Asked = Messages.Texts;
};

TEST_F(QualityControlTest, ShowingEnablesTheThresholdControlsOnlyForABilevelPage) {
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    SCOPED_TRACE(int(type));
    auto page = SmallPage(type);
    TFormQC& form = Make(*page, nullptr);
    const bool bilevel = type == pt1bit;
    for (QWidget* control : std::initializer_list<QWidget*>{
             form.TrackBarThresholdContrast, form.TrackBarThresholdArea, form.LabelThreshold,
             form.RadioButtonManual, form.RadioButtonDynamic, form.RadioButtonAdvanced}) {
      EXPECT_EQ(control->isEnabled(), bilevel) << control->metaObject()->className();
    }
    EXPECT_FALSE(form.ButtonCrop->isEnabled());
    EXPECT_EQ(form.ThresholdMethod(), 0);
  }
}

// The threshold makes a black-and-white page: it is offered only for one, and only when the
// original is not black and white already.
TEST_F(QualityControlTest, TheThresholdControlsFollowThePageAndItsOriginal) {
  struct Case {
    uint8_t Shown, Original;
    bool Threshold;
  };
  for (const Case& c :
       {Case{pt1bit, pt8bit, true}, Case{pt1bit, pt1bit, false}, Case{pt8bit, pt8bit, false},
        Case{pt24bit, pt24bit, false}, Case{pt8bit, pt1bit, false}}) {
    SCOPED_TRACE(int(c.Shown) * 10 + c.Original);
    auto page = SmallPage(c.Shown), original = SmallPage(c.Original);
    TFormQC& form = Make(*page, original.get());
    form.TrackBarDeskew->setValue(1);
    form.RescanVirtually();
    for (QWidget* control : std::initializer_list<QWidget*>{
             form.TrackBarThresholdContrast, form.TrackBarThresholdArea, form.LabelThreshold,
             form.RadioButtonManual, form.RadioButtonDynamic, form.RadioButtonAdvanced}) {
      EXPECT_EQ(control->isEnabled(), c.Threshold) << control->metaObject()->className();
    }
  }
}

// Without an original the sliders cannot rescan: they say so by being disabled, and the status
// bar says why.
TEST_F(QualityControlTest, WithoutAnOriginalTheSlidersAreDisabledAndTheStatusSaysWhy) {
  auto page = SmallPage(pt1bit);
  TFormQC& form = Make(*page, nullptr);
  form.TrackBarDeskew->setValue(2);
  form.RescanVirtually();
  for (QSlider* slider :
       {form.TrackBarContrast, form.TrackBarBrightness, form.TrackBarThresholdContrast,
        form.TrackBarThresholdArea, form.TrackBarDeskew, form.TrackBarDespeckle}) {
    EXPECT_FALSE(slider->isEnabled());
  }
  EXPECT_EQ(form.StatusBar1->currentMessage(),
            "No original to rescan from: The control panel holds no original");
  EXPECT_TRUE(form.ComboBoxRotation->isEnabled());
}

TEST_F(QualityControlTest, EachSliderShowsItsValueAndTheDeskewItsDirection) {
  auto page = SmallPage(pt1bit);
  TFormQC& form = Make(*page, nullptr);
  form.TrackBarContrast->setValue(-7);
  form.TrackBarThresholdArea->setValue(4);
  form.TrackBarDespeckle->setValue(12);
  EXPECT_EQ(form.ValueContrast->text(), "-7");
  EXPECT_EQ(form.ValueBrightness->text(), "0");
  EXPECT_EQ(form.ValueThresholdArea->text(), "4");
  EXPECT_EQ(form.ValueDespeckle->text(), "12");
  for (auto [position, text] : {std::pair{0, "0°"}, std::pair{3, "1.5° clockwise"},
                                std::pair{-4, "2° counter-clockwise"}}) {
    form.TrackBarDeskew->setValue(position);
    EXPECT_EQ(form.ValueDeskew->text(), QString::fromUtf8(text));
  }
  form.TrackBarDeskew->setValue(-9);  // the longest text: "4.5° counter-clockwise"
  SaveScreenshot(form, "quality-control-deskew.png");
}

// The figures are the quality check's own, beside the panel's limits.
TEST_F(QualityControlTest, TheWindowSaysWhyThePageWasFlagged) {
  auto page = SmallPage(pt8bit);
  page->Fill(20);
  TQualityLimits limits;
  limits.MinContrast = 0;
  TFormQC form(nullptr);
  form.ShowPage(*page, limits);
  EXPECT_EQ(form.LabelFlagged->text(),
            "Flagged by the quality check:\nBrightness 20 (allowed 32 to 192): too dark\n"
            "Contrast 0 (allowed 0 to 192)");
  TDIB bilevel;
  bilevel.NewImage(800, 600, pt1bit, 200, 200);
  bilevel.Clear();
  limits.MaxBrightness = 250;
  EXPECT_EQ(FlaggedText(bilevel, limits),
            "Flagged by the quality check:\nBrightness 255 (allowed 32 to 250): too bright\n"
            "Contrast 0 (allowed 0 to 192)");
}

// A crop stays through later rescans, whatever turn the page takes before or after it.
TEST_F(QualityControlTest, ACropIsKeptByLaterRescansAtEveryTurn) {
  auto page = SmallPage(pt8bit, 120, 90), original = SmallPage(pt8bit, 120, 90);
  TFormQC& form = Make(*page, original.get());
  form.ImageObject->SetZoom(100);
  form.TrackBarBrightness->setValue(2);
  form.RescanVirtually();
  Drag(10, 20, 70, 50);  // at the turn "0"
  form.ButtonCrop->click();
  form.ComboBoxRotation->setCurrentIndex(1);
  Drag(5, 4, 20, 40);  // on the cropped page turned a quarter
  form.ButtonCrop->click();
  form.ComboBoxRotation->setCurrentIndex(2);
  form.TrackBarBrightness->setValue(5);
  form.RescanVirtually();
  TRescanSettings settings;
  settings.Brightness = 5;
  std::unique_ptr<TDIB> expected =
      ReprocessOriginal(*original, settings, 0, TRescanTarget{8, 100, 100});
  expected->Crop(TRect{10, 20, 70, 50});
  expected->Rotate90();
  expected->Crop(TRect{5, 4, 20, 40});
  expected->Rotate90();
  EXPECT_TRUE(SamePixels(ShownPage(), *expected));
  EXPECT_EQ(form.StatusBar1->currentMessage(), "Ready");
}

// A crop of the panel's page cannot be repeated on the original: the rescan says so.
TEST_F(QualityControlTest, ARescanAfterACropOfThePanelsPageSaysTheCropIsGone) {
  auto page = SmallPage(pt8bit, 120, 90), original = SmallPage(pt8bit, 120, 90);
  TFormQC& form = Make(*page, original.get());
  form.ImageObject->SetZoom(100);
  Drag(10, 20, 70, 50);
  form.ButtonCrop->click();
  form.TrackBarBrightness->setValue(2);
  form.RescanVirtually();
  EXPECT_EQ(ShownPage().Width(), 120);
  EXPECT_EQ(form.StatusBar1->currentMessage(),
            "Ready: rescanned from the original, without the crop of the panel's page");
}

// The window goes on taking input while the original comes: an Escape then closes it, and
// nothing is reprocessed behind it.
TEST_F(QualityControlTest, ACancelWhileTheOriginalComesIsKept) {
  auto page = SmallPage(pt8bit), original = SmallPage(pt8bit);
  TFormQC& form = Make(*page, original.get());
  WhileFetching = [&] {
    QTest::keyClick(&form, Qt::Key_Escape);
    QTest::qWait(50);
  };
  form.TrackBarBrightness->setValue(3);
  form.RescanVirtually();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(form.Reprocessings(), 0);
}

TEST_F(QualityControlTest, TheOriginalIsFetchedOnceAndSlidersMovedBackDoNoReprocessing) {
  auto page = SmallPage(pt8bit), original = SmallPage(pt8bit);
  TFormQC& form = Make(*page, original.get());
  form.TrackBarBrightness->setValue(3);
  EXPECT_TRUE(form.TimerRescan->isActive());
  EXPECT_EQ(form.TimerRescan->interval(), 500);
  form.TrackBarBrightness->setValue(0);
  form.RescanVirtually();
  EXPECT_FALSE(form.TimerRescan->isActive());
  EXPECT_EQ(Fetches, 1);
  EXPECT_NE(form.Original(), nullptr);
  EXPECT_EQ(form.Reprocessings(), 0);
  EXPECT_EQ(form.StatusBar1->currentMessage(), "Ready");
  form.TrackBarContrast->setValue(2);
  form.RescanVirtually();
  form.RescanVirtually();
  EXPECT_EQ(form.Reprocessings(), 1);
  EXPECT_EQ(Fetches, 1);
  EXPECT_EQ(form.Applied().Contrast, 2);
}

// Each rescan binarises the gray original anew: a level chosen again gives the same page.
TEST_F(QualityControlTest, ABilevelPageFromAGrayOriginalIsBinarisedAgainEachTime) {
  auto page = SmallPage(pt1bit, 200, 150), original = SmallPage(pt8bit, 200, 150);
  TFormQC& form = Make(*page, original.get());
  std::vector<int64_t> blacks;
  std::unique_ptr<TDIB> first;
  for (int level : {-5, 5, -5}) {
    form.TrackBarThresholdContrast->setValue(level);
    form.RescanVirtually();
    ASSERT_EQ(ShownPage().PixelType(), pt1bit);
    blacks.push_back(BlackPixels(ShownPage()));
    if (first == nullptr) first = ShownPage().Duplicate();
  }
  EXPECT_LT(blacks[0], blacks[1]);
  EXPECT_TRUE(SamePixels(ShownPage(), *first));
  for (QWidget* control : std::initializer_list<QWidget*>{
           form.TrackBarThresholdContrast, form.RadioButtonDynamic, form.TrackBarBrightness,
           form.TrackBarContrast, form.TrackBarDespeckle}) {
    EXPECT_TRUE(control->isEnabled());
  }
  for (QRadioButton* method : {form.RadioButtonDynamic, form.RadioButtonAdvanced}) {
    method->click();
    form.RescanVirtually();
    EXPECT_EQ(ShownPage().PixelType(), pt1bit);
  }
  EXPECT_EQ(form.Reprocessings(), 5);
  EXPECT_TRUE(Asked.empty());
}

// "Dynamic" decides plain paper by a level below the paper about each place: bars of ink on
// browned paper darker than middle gray, or in a gutter's shadow that darkens the right half
// down to Shade, come out black on white, as they do on white paper.
TEST(VirtualRescan, DynamicKeepsPaperDarkerThanMiddleGrayWhite) {
  const struct {
    uint8_t Paper, Shade, Ink;
  } cases[] = {{230, 230, 30}, {110, 110, 30}, {70, 70, 20}, {230, 90, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.Paper} << " " << int{c.Shade} << " " << int{c.Ink});
    TDIB original;
    original.NewImage(400, 150, pt8bit, 200, 200);
    for (int32_t x = 0; x < 400; ++x) {
      const int32_t paper = x < 200 ? c.Paper : c.Paper - (c.Paper - c.Shade) * (x - 200) / 199;
      for (int32_t y = 0; y < 150; ++y) original.SetPixel8(x, y, paper);
    }
    for (int32_t y = 60; y < 90; ++y) {
      for (int32_t x = 40; x < 360; x += 8) {
        for (int32_t i = 0; i < 4; ++i) original.SetPixel8(x + i, y, c.Ink);
      }
    }
    TRescanSettings settings;
    settings.Method = 1;
    const auto page = ReprocessOriginal(original, settings, 0, {1, 200, 200});
    ASSERT_EQ(page->PixelType(), pt1bit);
    EXPECT_EQ(BlackPixels(*page), 40 * 4 * 30);
    EXPECT_EQ(page->GetPixel(41, 70), page->BlackIndex());
  }
}

// A browned page and a page darkened by a book's gutter rescanned "Dynamic" in the window: the
// operator sees white paper with its letters, not a black page nor black blotches, on the
// right third too, where the gutter's shadow lies.
TEST_F(QualityControlTest, ADynamicRescanOfDarkenedPaperShowsItsPaperWhite) {
  const struct {
    const char* File;
    int32_t Dpi;  // the files state none
    const char* Screenshot;
    bool ShowRight;  // the screenshot shows the page's right side
  } cases[] = {
      {"1555.007.jpg", 150, "quality-control-dynamic-browned-paper.png", false},
      {"w91frag.jpg", 300, "quality-control-dynamic-gutter-shadow.png", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string file = TestDataDir() + "/scans/leptonica/" + c.File;
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
    TDIB original;
    original.LoadFromFile(file);
    original.ConvertPixelType(pt8bit);
    original.SetXResolution(c.Dpi);
    original.SetYResolution(c.Dpi);
    auto page = original.Duplicate();
    page->Threshold(128, true, 0, 255);
    TFormQC& form = Make(*page, &original);
    form.RadioButtonDynamic->click();
    form.RescanVirtually();
    const TDIB& shown = ShownPage();
    ASSERT_EQ(shown.PixelType(), pt1bit);
    const int64_t all = int64_t{shown.Width()} * shown.Height();
    EXPECT_LT(BlackPixels(shown), all / 4);
    EXPECT_GT(BlackPixels(shown), all / 50);
    const int32_t third = shown.Width() - shown.Width() / 3;
    const auto right = shown.Duplicate();
    right->Crop({third, 0, shown.Width() - 1, shown.Height() - 1});
    EXPECT_LT(BlackPixels(*right), all / 3 / 5);
    if (c.ShowRight) {
      QScrollBar& bar = Form->ImageObject->HorzScrollBar();
      bar.setValue(bar.maximum());
    }
    SaveScreenshot(*Form, c.Screenshot);
    Form.reset();
  }
}

TEST_F(QualityControlTest, AGrayPageFromABilevelOriginalWorksOnAQuarterSizeReduction) {
  auto page = SmallPage(pt8bit, 400, 240, 200), original = SmallPage(pt1bit, 400, 240, 200);
  TFormQC& form = Make(*page, original.get());
  form.TrackBarContrast->setValue(4);
  form.RescanVirtually();
  EXPECT_EQ(ShownPage().PixelType(), pt8bit);
  EXPECT_EQ(ShownPage().Width(), 400);
  EXPECT_EQ(ShownPage().Height(), 240);
  EXPECT_EQ(ShownPage().XResolution(), 200);
  EXPECT_FALSE(form.TrackBarThresholdContrast->isEnabled());
  EXPECT_TRUE(form.TrackBarBrightness->isEnabled());
  EXPECT_TRUE(form.TrackBarContrast->isEnabled());
  EXPECT_FALSE(form.TrackBarDespeckle->isEnabled());
}

TEST_F(QualityControlTest, ABilevelOriginalLeavesOnlyDespeckleDeskewAndRotation) {
  auto page = SmallPage(pt1bit), original = SmallPage(pt1bit);
  TFormQC& form = Make(*page, original.get());
  form.TrackBarDespeckle->setValue(3);
  form.RescanVirtually();
  for (QWidget* control : std::initializer_list<QWidget*>{
           form.LabelThreshold, form.TrackBarThresholdContrast, form.RadioButtonManual,
           form.TrackBarBrightness, form.LabelBrightness, form.TrackBarContrast}) {
    EXPECT_FALSE(control->isEnabled());
  }
  EXPECT_TRUE(form.TrackBarDespeckle->isEnabled());
  EXPECT_TRUE(form.TrackBarDeskew->isEnabled());
  EXPECT_EQ(form.Reprocessings(), 1);
}

TEST_F(QualityControlTest, ARescanWithASelectionChangesOnlyTheSelectedRectangle) {
  auto page = SmallPage(pt8bit, 120, 90), original = SmallPage(pt8bit, 120, 90);
  TFormQC& form = Make(*page, original.get());
  form.ImageObject->SetZoom(100);
  Drag(20, 10, 59, 39);
  EXPECT_TRUE(form.ButtonCrop->isEnabled());
  const TRect selected = form.Selection();
  EXPECT_EQ(selected.Left, 20);
  EXPECT_EQ(selected.Bottom, 39);
  auto before = ShownPage().Duplicate();
  form.TrackBarBrightness->setValue(5);
  form.RescanVirtually();
  int changedInside = 0;
  for (int32_t y = 0; y < 90; ++y) {
    for (int32_t x = 0; x < 120; ++x) {
      const bool inside = x >= 20 && x <= 59 && y >= 10 && y <= 39;
      const bool changed = ShownPage().GetPixel(x, y) != before->GetPixel(x, y);
      if (!inside) {
        ASSERT_FALSE(changed) << x << ", " << y;
      }
      changedInside += changed;
    }
  }
  EXPECT_GT(changedInside, 0);

  form.ButtonCrop->click();
  EXPECT_EQ(ShownPage().Width(), 40);
  EXPECT_FALSE(form.ButtonCrop->isEnabled());
  form.TrackBarBrightness->setValue(6);
  form.RescanVirtually();  // the crop stays
  EXPECT_EQ(ShownPage().Width(), 40);
  EXPECT_EQ(ShownPage().Height(), 30);
}

// However far the drag goes at whatever zoom, the selection stays on the page, so a rescan
// writes only inside it.
TEST_F(QualityControlTest, TheSelectionIsClippedToThePageAtEveryZoom) {
  auto page = SmallPage(pt8bit, 120, 90), original = SmallPage(pt8bit, 120, 90);
  for (double zoom : {25.0, 100.0, 333.0}) {
    SCOPED_TRACE(zoom);
    TFormQC& form = Make(*page, original.get());
    form.ImageObject->SetZoom(zoom);
    Drag(2, 2, 100000, 100000);
    const TRect s = form.Selection();
    EXPECT_GE(s.Left, 0);
    EXPECT_GE(s.Top, 0);
    EXPECT_LE(s.Right, 119);
    EXPECT_LE(s.Bottom, 89);
    form.TrackBarBrightness->setValue(5);
    form.RescanVirtually();
    EXPECT_EQ(form.Reprocessings(), 1);
  }
}

TEST_F(QualityControlTest, OnlyADragDownAndRightSelectsAndCropWithoutOneSaysSo) {
  auto page = SmallPage(pt8bit, 120, 90);
  TFormQC& form = Make(*page, nullptr);
  form.ImageObject->SetZoom(100);
  for (auto [x1, y1, x2, y2] :
       {std::tuple{50, 50, 10, 60}, std::tuple{50, 50, 60, 10}, std::tuple{50, 50, 50, 50}}) {
    Drag(x1, y1, x2, y2);
    EXPECT_FALSE(form.ButtonCrop->isEnabled());
  }
  form.ImageObjectImageMouseDown(Qt::RightButton, 1, 1);
  EXPECT_FALSE(form.Selecting());
  form.ButtonCropClick();
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0], "Please select the area to cropo on the image before to use this button...");
  EXPECT_EQ(ShownPage().Width(), 120);
}

TEST_F(QualityControlTest, TheRotationListTurnsByTheDifferenceAndARescanByTheWholeTurn) {
  auto page = SmallPage(pt8bit, 60, 40), original = SmallPage(pt8bit, 60, 40);
  TFormQC& form = Make(*page, original.get());
  // Each step: the list's new index, then the quarter turns the shown page carries in all.
  for (auto [index, quarters] :
       {std::pair{1, 1}, std::pair{3, 3}, std::pair{1, 1}, std::pair{0, 0}, std::pair{2, 2}}) {
    SCOPED_TRACE(index);
    form.ComboBoxRotation->setCurrentIndex(index);
    EXPECT_EQ(form.LastRotation(), index);
    auto expected = page->Duplicate();
    for (int q = 0; q < quarters; ++q) expected->Rotate90();
    EXPECT_TRUE(SamePixels(ShownPage(), *expected));
  }
  form.ComboBoxRotation->setCurrentIndex(1);
  form.TrackBarBrightness->setValue(2);
  form.RescanVirtually();
  EXPECT_EQ(ShownPage().Width(), 40);
  EXPECT_EQ(ShownPage().Height(), 60);
  EXPECT_EQ(form.LastRotation(), 1);
}

TEST_F(QualityControlTest, InfoGivesThePageFigures) {
  struct Case {
    uint8_t Type;
    int32_t Width, Height, DPI;
    QString Paper;
  };
  for (const Case& c : {Case{pt1bit, 2480, 3508, 300, "A4"}, Case{pt8bit, 700, 500, 100, "Custom"},
                        Case{pt24bit, 1700, 2200, 200, "Letter"}}) {
    SCOPED_TRACE(c.Width);
    TDIB page;
    page.NewImage(c.Width, c.Height, c.Type, c.DPI, c.DPI);
    page.Clear();
    TFormQC& form = Make(page, nullptr);
    const QStringList lines = form.InfoText().split("\n");
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QString("Size in Pixel: %1 x %2").arg(c.Width).arg(c.Height));
    EXPECT_EQ(lines[1], QString("Bits per Pixel: %1").arg(page.BitCount()));
    EXPECT_EQ(lines[2], QString("Resolution: %1 x %1").arg(c.DPI));
    EXPECT_EQ(lines[3], "Paper Format: " + c.Paper);
    EXPECT_EQ(lines[4], "Contrast: 0");
    EXPECT_EQ(lines[5], "Brightness: 255");
    form.Info1->trigger();
    EXPECT_EQ(Asked.back(), form.InfoText());
  }
}

TEST_F(QualityControlTest, WithoutAnOriginalARescanChangesNothingAndFailuresStayInside) {
  auto page = SmallPage(pt8bit);
  TFormQC& form = Make(*page, nullptr);
  form.TrackBarContrast->setValue(5);
  form.RescanVirtually();
  EXPECT_EQ(form.Original(), nullptr);
  EXPECT_TRUE(SamePixels(ShownPage(), *page));
  EXPECT_TRUE(Asked.empty());

  auto stale = SmallPage(pt8bit, 64, 48, 100);
  stale->SetXResolution(0);  // no resolution to scale from
  TFormQC& other = Make(*page, stale.get());
  other.TrackBarContrast->setValue(5);
  other.RescanVirtually();
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_TRUE(SamePixels(ShownPage(), *page));
  other.TrackBarContrast->setValue(6);  // the window goes on
  EXPECT_TRUE(other.TimerRescan->isActive());
}

TEST_F(QualityControlTest, TheViewMenuSetsZoomModesAndTogglesAntialiasing) {
  auto page = SmallPage(pt8bit);
  TFormQC& form = Make(*page, nullptr);
  const std::pair<QAction*, TZoomMode> modes[] = {{form.FittoWidth1, TZoomMode::zmFitToWidth},
                                                  {form.FittoHeight1, TZoomMode::zmFitToHeight},
                                                  {form.OriginalSize1, TZoomMode::zmFitToOriginal},
                                                  {form.FittoPage1, TZoomMode::zmFitToPage},
                                                  {form.NoScaling1, TZoomMode::zmCustom}};
  for (auto [action, mode] : modes) {
    action->trigger();
    EXPECT_EQ(form.ImageObject->ZoomMode(), mode);
  }
  EXPECT_EQ(form.ImageObject->Zoom(), 100);
  EXPECT_TRUE(form.Antialiasing1->isChecked());  // as the view starts
  form.Antialiasing1->trigger();
  EXPECT_FALSE(form.Antialiasing1->isChecked());
  EXPECT_EQ(form.ImageObject->Antialiasing(), TAntialiasing::aaNone);
  form.Antialiasing1->trigger();
  EXPECT_EQ(form.ImageObject->Antialiasing(), TAntialiasing::aaScaleToGray);
}

TEST_F(QualityControlTest, TheWaitBoxSaysWhatRuns) {
  auto page = SmallPage(pt8bit);
  TFormQC& form = Make(*page, nullptr);
  TDialogoWait wait(&form);
  wait.ShowOperation("Retrieving Original Image...");
  EXPECT_TRUE(wait.isVisible());
  EXPECT_EQ(wait.size(), QSize(180, 65));
  EXPECT_EQ(wait.Label1->text(), "Please wait !");
  EXPECT_EQ(wait.LabelOperation->text(), "Retrieving Original Image...");
  EXPECT_LE(
      QFontMetrics(wait.LabelOperation->font()).horizontalAdvance("Retrieving Original Image..."),
      wait.width());
  SaveScreenshot(wait, "wait-box.png");
}

// The review runs the window modally; the test acts in it once its loop runs.
void WhileModal(std::function<void(TFormQC&)> Act) {
  QTimer::singleShot(0, [Act] {
    auto* form = dynamic_cast<TFormQC*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    Act(*form);
  });
}

// A rescan writes into the window's own copy: the page changes only when "Continue" hands
// the shown image back.
TEST_F(QualityControlTest, ContinueHandsTheShownImageBackAndClosingKeepsThePage) {
  auto original = SmallPage(pt8bit, 120, 90);
  for (bool proceed : {false, true}) {
    SCOPED_TRACE(proceed);
    auto arrived = SmallPage(pt8bit, 120, 90);
    TDIB page;
    {
      auto copy = arrived->Duplicate();
      page.TakeImage(*copy);
    }
    page.SetOwnsHandle(false);
    const win32::HGLOBAL block = page.GetHandle();
    std::unique_ptr<TDIB> shown;
    WhileModal([&](TFormQC& form) {
      EXPECT_EQ(form.ImageObject->ZoomMode(), TZoomMode::zmFitToPage);
      form.ImageObject->SetZoomMode(TZoomMode::zmCustom);
      form.ImageObject->SetZoom(100);
      form.ImageObjectImageMouseDown(Qt::LeftButton, 5, 5);
      form.ImageObjectImageMouseUp(Qt::LeftButton, 80, 60);
      form.TrackBarBrightness->setValue(7);
      form.RescanVirtually();
      shown = form.ImageObject->Image().DIB().Duplicate();
      if (proceed) {
        form.ButtonOK->click();
      } else {
        form.reject();
      }
    });
    int fetches = 0;
    ReviewFlaggedPage(page, [&]() -> win32::HGLOBAL {
      ++fetches;
      auto copy = original->Duplicate();
      copy->SetOwnsHandle(false);
      return copy->GetHandle();
    });
    EXPECT_EQ(fetches, 1);
    EXPECT_FALSE(page.OwnsHandle());
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(SamePixels(*shown, *arrived));
    EXPECT_TRUE(SamePixels(page, proceed ? *shown : *arrived));
    if (!proceed) {
      EXPECT_EQ(page.GetHandle(), block);
    }
    page.SetOwnsHandle(true);
  }
}

}  // namespace
