// TNorvaneImage driven headless: where the page lands at each zoom mode, the scroll bars, the
// gray reduction and the antialiasing modes as rendered, and the calls into the annotation
// editor.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "viewfixture.h"

namespace {

void Settle() {
  QCoreApplication::processEvents();
}

// A white page with a black frame one pixel wide, so that its corners can be seen.
win32::HGLOBAL FramedPage(int32_t Width, int32_t Height, uint8_t Type = pt8bit) {
  auto page = WhitePage(Width, Height, Type);
  for (int32_t x = 0; x < Width; ++x) page->SetPixel(x, 0, 0), page->SetPixel(x, Height - 1, 0);
  for (int32_t y = 0; y < Height; ++y) page->SetPixel(0, y, 0), page->SetPixel(Width - 1, y, 0);
  page->SetOwnsHandle(false);
  return page->GetHandle();
}

class ViewTest : public ::testing::Test {
 protected:
  void Show(int Width, int Height) {
    view.resize(Width, Height);
    view.show();
    Settle();
  }
  QRect Panel() { return view.DisplayPanel().geometry(); }
  TNorvaneImage view;
};

TEST_F(ViewTest, StartsAsTheQualityWindowExpects) {
  EXPECT_EQ(view.Zoom(), 100);
  EXPECT_EQ(view.ZoomMode(), TZoomMode::zmCustom);
  EXPECT_EQ(view.Antialiasing(), TAntialiasing::aaScaleToGray);
  EXPECT_EQ(view.AntialiasingThreshold(), 50);
  EXPECT_TRUE(view.Centered());
  EXPECT_EQ(view.Page(), 0);
  EXPECT_EQ(view.PageCount(), 1);
  EXPECT_EQ(view.ImageHandle(), nullptr);
  EXPECT_EQ(view.Color(), QColor(128, 128, 128));
  EXPECT_EQ(view.FitToPageZoom(), 1);  // no page
  EXPECT_EQ(view.FitToWidthZoom(), 100);
  EXPECT_EQ(view.FitToHeightZoom(), 100);
  view.SetAntialiasingThreshold(150);
  EXPECT_EQ(view.AntialiasingThreshold(), 100);
  view.SetAntialiasingThreshold(-3);
  EXPECT_EQ(view.AntialiasingThreshold(), 0);
}

TEST_F(ViewTest, ZoomIsClampedAndTheSameZoomKeepsThePaint) {
  Show(500, 400);
  view.SetImageHandle(FramedPage(800, 800, pt1bit));
  view.SetZoom(0);
  EXPECT_EQ(view.Zoom(), 0.1);
  view.SetZoom(20000);
  EXPECT_EQ(view.Zoom(), 10000);
  EXPECT_EQ(Panel().size(), QSize(80000, 80000));

  int scaled = 0;
  view.OnScale = [&](QObject*) { ++scaled; };
  view.SetZoom(25);
  Rendered(view);
  const TDIB* cache = view.DisplayPanel().GrayCache();
  ASSERT_NE(cache, nullptr);
  view.SetZoom(25);  // the same zoom: no relayout, the gray reduction stays
  Rendered(view);
  EXPECT_EQ(view.DisplayPanel().GrayCache(), cache);
  EXPECT_EQ(scaled, 2);
}

// 2480 x 20.16 % is 499.97: the panel is 499 wide while the reduction is 500. The reduction
// is made once for the panel, not again at every paint.
TEST_F(ViewTest, GrayReductionIsMadeOncePerPanelSize) {
  Show(700, 700);
  view.SetImageHandle(FramedPage(2480, 300, pt1bit));
  view.SetZoom(20.16);
  Rendered(view);
  const TDIB* cache = view.DisplayPanel().GrayCache();
  ASSERT_NE(cache, nullptr);
  EXPECT_NE(cache->Width(), Panel().width());
  Rendered(view);
  view.HorzScrollBar().setValue(0);
  Rendered(view);
  EXPECT_EQ(view.DisplayPanel().GrayCache(), cache);
  view.RefreshView(true);  // a forced repaint makes it again
  EXPECT_EQ(view.DisplayPanel().GrayCache(), nullptr);
}

TEST_F(ViewTest, GrayReductionOnlyFor1BitPagesBelowHalfSize) {
  const struct {
    uint8_t Type;
    double Zoom;
    TAntialiasing Mode;
    bool Reduced;
  } cases[] = {{pt1bit, 49.9, TAntialiasing::aaScaleToGray, true},
               {pt1bit, 50, TAntialiasing::aaScaleToGray, false},
               {pt1bit, 10, TAntialiasing::aaNone, false},
               {pt1bit, 10, TAntialiasing::aaPreserveBlack, false},
               {pt8bit, 10, TAntialiasing::aaScaleToGray, false}};
  Show(600, 600);
  for (const auto& c : cases) {
    view.SetImageHandle(FramedPage(400, 400, c.Type));
    view.SetAntialiasing(c.Mode);
    view.SetZoom(c.Zoom);
    Rendered(view);
    const TDIB* cache = view.DisplayPanel().GrayCache();
    EXPECT_EQ(cache != nullptr, c.Reduced) << int(c.Type) << " at " << c.Zoom;
    if (cache != nullptr) {
      EXPECT_EQ(cache->BitCount(), 4);
    }
  }
}

// Where the page's corners land, for each zoom mode, in a 500 x 400 view.
TEST_F(ViewTest, PageCornersAtEachZoomMode) {
  Show(500, 400);
  const int bar = view.ScrollBarSize();
  ASSERT_GT(bar, 0);
  const int fitHeightWidth = int(std::trunc(400 * ((400.0 - bar) / 300 * 100) / 100));
  const struct {
    int32_t Width, Height;
    TZoomMode Mode;
    QRect Box;
    bool HorzBar, VertBar;
  } cases[] = {
      {400, 300, TZoomMode::zmCustom, QRect(50, 50, 400, 300), false, false},
      {400, 300, TZoomMode::zmFitToPage, QRect(0, 12, 500, 375), false, false},
      {400, 300, TZoomMode::zmFitToWidth, QRect(0, 12, 500, 375), false, false},
      {400, 300, TZoomMode::zmFitToOriginal, QRect(50, 50, 400, 300), false, false},
      {400, 300, TZoomMode::zmFitToHeight, QRect(0, 0, 500, 400 - bar), true, false},
      {300, 900, TZoomMode::zmFitToWidth, QRect(0, 0, 500 - bar, 400), false, true},
      {300, 800, TZoomMode::zmFitToPage, QRect(175, 0, 150, 400), false, false},
  };
  for (const auto& c : cases) {
    view.SetZoomMode(TZoomMode::zmCustom);
    view.SetZoom(100);
    view.SetImageHandle(FramedPage(c.Width, c.Height));
    view.SetZoomMode(c.Mode);
    Settle();
    const QImage shot = Rendered(view);
    const QRect box = PageBox(shot, view.ClientRect());
    QRect expected = c.Box;
    // Fitted to the area less a bar: the fitted side may come out a pixel short by rounding.
    if (c.HorzBar) {
      EXPECT_NEAR(Panel().height(), view.ClientRect().height(), 1);
    }
    if (c.VertBar) {
      EXPECT_NEAR(Panel().width(), view.ClientRect().width(), 1);
    }
    if (c.HorzBar || c.VertBar) {
      expected = QRect(c.Box.topLeft(), Panel().size()) & view.ClientRect();
    }
    EXPECT_EQ(box, expected) << int(c.Mode) << " " << c.Width << "x" << c.Height;
    EXPECT_EQ(view.HorzScrollBar().isVisible(), c.HorzBar) << int(c.Mode);
    EXPECT_EQ(view.VertScrollBar().isVisible(), c.VertBar) << int(c.Mode);
    // The page's own top-left corner is there, black (a shrunk page may drop its frame).
    if (view.Zoom() >= 100) {
      EXPECT_EQ(shot.pixel(box.topLeft()), qRgb(0, 0, 0)) << int(c.Mode);
    }
    if (c.Mode == TZoomMode::zmFitToHeight) {
      EXPECT_NEAR(Panel().width(), fitHeightWidth, 1);
    }
  }
}

// Fitting does not flip the scroll bars: asking again, or resizing to the same size, keeps the
// zoom and the bars, for pages whose fit lies right at the bars' edge.
TEST_F(ViewTest, FittingNeverOscillates) {
  Show(500, 400);
  const int bar = view.ScrollBarSize();
  for (TZoomMode mode :
       {TZoomMode::zmFitToWidth, TZoomMode::zmFitToHeight, TZoomMode::zmFitToPage}) {
    for (int32_t height : {399, 400, 401, 400 - bar, 400 + bar, 480, 520}) {
      view.SetImageHandle(FramedPage(500, height));
      view.SetZoomMode(mode);
      const double zoom = view.Zoom();
      const bool h = view.HorzScrollBar().isVisible(), v = view.VertScrollBar().isVisible();
      for (int again = 0; again < 3; ++again) {
        view.SetZoomMode(mode);
        view.RefreshView(false);
        Settle();
        EXPECT_EQ(view.Zoom(), zoom);
        EXPECT_EQ(view.HorzScrollBar().isVisible(), h);
        EXPECT_EQ(view.VertScrollBar().isVisible(), v);
      }
      // The fitted side fills the view, less a bar where the other side may need one.
      const QRect client = view.ClientRect();
      if (mode != TZoomMode::zmFitToHeight) {
        EXPECT_FALSE(h) << int(mode) << " " << height;
        EXPECT_LE(Panel().width(), client.width());
      }
      if (mode == TZoomMode::zmFitToWidth) {
        EXPECT_GE(Panel().width(), 500 - bar - 1) << height;
      }
      if (mode != TZoomMode::zmFitToWidth) {
        EXPECT_FALSE(v) << int(mode) << " " << height;
        EXPECT_LE(Panel().height(), client.height());
      }
      if (mode == TZoomMode::zmFitToPage) {
        EXPECT_TRUE(Panel().width() >= client.width() - 1 ||
                    Panel().height() >= client.height() - 1);
      }
    }
  }
}

// Centred without bars in the whole view, also right after the bars go; scrolled with them.
TEST_F(ViewTest, CentringWithAndWithoutBars) {
  Show(500, 400);
  view.SetImageHandle(FramedPage(400, 300));
  view.SetZoom(200);
  EXPECT_TRUE(view.HorzScrollBar().isVisible());
  EXPECT_TRUE(view.VertScrollBar().isVisible());
  EXPECT_EQ(view.HorzScrollBar().maximum(), 800 - (500 - view.ScrollBarSize()));
  view.HorzScrollBar().setValue(100);
  view.VertScrollBar().setValue(50);
  EXPECT_EQ(Panel().topLeft(), QPoint(-100, -50));
  view.SetZoom(50);
  EXPECT_FALSE(view.HorzScrollBar().isVisible());
  EXPECT_FALSE(view.VertScrollBar().isVisible());
  EXPECT_EQ(Panel(), QRect(150, 125, 200, 150));
  view.SetCentered(false);
  EXPECT_EQ(Panel(), QRect(0, 0, 200, 150));
  // Wider than the view, not as high: only the horizontal bar, centred vertically above it.
  view.SetCentered(true);
  view.SetImageHandle(FramedPage(1000, 100));
  view.SetZoom(100);
  EXPECT_TRUE(view.HorzScrollBar().isVisible());
  EXPECT_FALSE(view.VertScrollBar().isVisible());
  EXPECT_EQ(Panel().top(), (400 - view.ScrollBarSize() - 100) / 2);
}

// A 1-pixel line of a 1-bit page that plain stretching drops at 25 per cent: the gray
// reduction keeps it visible, keeping black keeps it pure black, colour on colour loses it.
TEST_F(ViewTest, ThinLineAtAQuarter) {
  Show(500, 400);
  auto page = WhitePage(800, 800, pt1bit);
  for (int32_t i = 0; i < 800; ++i) page->SetPixel(401, i, 0);
  page->SetOwnsHandle(false);
  view.SetImageHandle(page->GetHandle());
  view.SetZoom(25);
  ASSERT_EQ(Panel(), QRect(150, 100, 200, 200));
  const struct {
    TAntialiasing Mode;
    int DarkestAbove;  // the lightest the line may be in any row; -1: it is gone
  } cases[] = {{TAntialiasing::aaScaleToGray, 220},
               {TAntialiasing::aaPreserveBlack, 0},
               {TAntialiasing::aaNone, -1}};
  for (const auto& c : cases) {
    view.SetAntialiasing(c.Mode);
    const QImage shot = Rendered(view);
    int lightestRow = 0;
    for (int y = 100; y < 300; ++y) {
      int darkest = 255;
      for (int x = 150 + 99; x <= 150 + 101; ++x)
        darkest = std::min(darkest, qGray(shot.pixel(x, y)));
      lightestRow = std::max(lightestRow, darkest);
    }
    if (c.DarkestAbove < 0) {
      EXPECT_EQ(lightestRow, 255) << int(c.Mode);
    } else {
      EXPECT_LE(lightestRow, c.DarkestAbove) << int(c.Mode);
    }
  }
}

// Keeping white keeps a white line on a black page.
TEST_F(ViewTest, PreserveWhiteKeepsWhiteLines) {
  Show(500, 400);
  auto page = WhitePage(800, 800, pt8bit);
  for (int32_t y = 0; y < 800; ++y) {
    for (int32_t x = 0; x < 800; ++x) page->SetPixel(x, y, x == 401 ? 255 : 0);
  }
  page->SetOwnsHandle(false);
  view.SetImageHandle(page->GetHandle());
  view.SetAntialiasing(TAntialiasing::aaPreserveWhite);
  view.SetZoom(25);
  const QImage shot = Rendered(view);
  for (int y = 100; y < 300; ++y) ASSERT_EQ(shot.pixel(250, y), qRgb(255, 255, 255)) << y;
  EXPECT_EQ(shot.pixel(200, 200), qRgb(0, 0, 0));
}

TEST_F(ViewTest, TurnsAndCropsShowThePageAgain) {
  Show(500, 400);
  view.SetImageHandle(FramedPage(400, 100));
  view.Rotate(90);
  EXPECT_EQ(Panel(), QRect(200, 0, 100, 400));
  view.Crop({0, 0, 49, 49});
  EXPECT_EQ(Panel(), QRect(225, 175, 50, 50));
  const QImage shot = Rendered(view);
  EXPECT_EQ(PageBox(shot, view.ClientRect()), QRect(225, 175, 50, 50));
}

// The wheel scrolls (sideways with Shift), with Ctrl it zooms about the mouse; arrows and the
// page keys scroll.
TEST_F(ViewTest, WheelAndKeysMoveThePage) {
  Show(300, 200);
  view.SetImageHandle(FramedPage(1000, 1000));
  view.SetZoom(100);
  QScrollBar& down = view.VertScrollBar();
  QScrollBar& across = view.HorzScrollBar();
  const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent e(QPointF(100, 80), view.mapToGlobal(QPointF(100, 80)), QPoint(), delta,
                  Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &e);  // what the panel leaves reaches the view
  };
  const auto key = [&](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, code, modifiers);
    QCoreApplication::sendEvent(&view, &e);
  };
  wheel({0, -120}, Qt::NoModifier);
  EXPECT_EQ(down.value(), 48);
  wheel({0, -120}, Qt::ShiftModifier);
  EXPECT_EQ(across.value(), 48);
  wheel({0, 120}, Qt::NoModifier);
  EXPECT_EQ(down.value(), 0);

  const struct {
    int Key;
    Qt::KeyboardModifiers Modifiers;
    int Across, Down;
  } keys[] = {
      {Qt::Key_Down, Qt::NoModifier, 48, 32},
      {Qt::Key_Right, Qt::NoModifier, 80, 32},
      {Qt::Key_PageDown, Qt::NoModifier, 80, 32 + down.pageStep()},
      {Qt::Key_Up, Qt::NoModifier, 80, down.pageStep()},
      {Qt::Key_End, Qt::NoModifier, 80, down.maximum()},
      {Qt::Key_Home, Qt::ControlModifier, 0, 0},
      {Qt::Key_Left, Qt::NoModifier, 0, 0},
  };
  for (const auto& k : keys) {
    key(k.Key, k.Modifiers);
    EXPECT_EQ(across.value(), k.Across) << k.Key;
    EXPECT_EQ(down.value(), k.Down) << k.Key;
  }

  view.SetZoomMode(TZoomMode::zmFitToWidth);
  down.setValue(60);
  wheel({0, 120}, Qt::ControlModifier);  // the page's point under the mouse stays there
  EXPECT_EQ(view.ZoomMode(), TZoomMode::zmCustom);
  const double before = view.FitToWidthZoom();
  EXPECT_DOUBLE_EQ(view.Zoom(), before * 1.25);
  const QPoint under = view.DisplayPanel().mapFrom(&view, QPoint(100, 80));
  EXPECT_NEAR(under.y(), (60 + 80) * 1.25, 2);
  wheel({0, -240}, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view.Zoom(), before / 1.25);
}

TEST_F(ViewTest, MouseEventsInPanelPixels) {
  Show(500, 400);
  view.SetImageHandle(FramedPage(400, 300));
  QPoint seen;
  Qt::MouseButton button = Qt::NoButton;
  QObject* sender = nullptr;
  view.SetOnImageMouseDown([&](QObject* s, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
    sender = s, button = b, seen = QPoint(x, y);
  });
  int moves = 0;
  view.SetOnImageMouseMove([&](QObject*, Qt::KeyboardModifiers, int, int) { ++moves; });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 34), QPointF(12, 34), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&view.DisplayPanel(), &press);
  EXPECT_EQ(seen, QPoint(12, 34));
  EXPECT_EQ(button, Qt::LeftButton);
  EXPECT_EQ(sender, &view.DisplayPanel());
  QMouseEvent move(QEvent::MouseMove, QPointF(1, 2), QPointF(1, 2), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&view.DisplayPanel(), &move);
  EXPECT_EQ(moves, 1);
  EXPECT_TRUE(view.OnImageMouseDown());
  EXPECT_FALSE(view.OnImageMouseUp());
}

// An editor that records what the view asks of it.
struct TRecordingEditor : IAnnotationsEditor {
  explicit TRecordingEditor(TNorvaneImage& View, std::vector<std::string>& Log)
      : Panel(&View.DisplayPanel()), Calls(Log) {}
  ~TRecordingEditor() override { Calls.push_back(Panel ? "destroyed, panel alive" : "destroyed"); }
  void LoadMarks(const std::string& FileName, int32_t Page) override {
    Calls.push_back("load '" + FileName + "' " + std::to_string(Page));
    if (FailLoads) throw Exception("bad annotations");
  }
  void SetResolution(int32_t DPI) override { Calls.push_back("resolution " + std::to_string(DPI)); }
  void SetZoom(double Percent) override { Calls.push_back("zoom " + std::to_string(int(Percent))); }
  void SetViewRect(const TRect& R) override {
    Calls.push_back("rect " + std::to_string(R.Right) + "x" + std::to_string(R.Bottom));
  }
  void RepaintMarks() override { Calls.push_back("repaint"); }
  void RotateMarks(int32_t Angle, int32_t Width, int32_t Height) override {
    Calls.push_back("rotate " + std::to_string(Angle) + " " + std::to_string(Width) + "x" +
                    std::to_string(Height));
  }
  QPointer<QWidget> Panel;
  std::vector<std::string>& Calls;
  bool FailLoads = false;
};

TEST(ViewEditor, TheViewKeepsTheEditorInStep) {
  std::vector<std::string> calls;
  {
    TNorvaneImage view;
    view.resize(500, 400);
    auto editor = std::make_unique<TRecordingEditor>(view, calls);
    TRecordingEditor* e = editor.get();
    view.SetAnnotationsEditor(std::move(editor));
    view.SetImageHandle(FramedPage(300, 200));
    EXPECT_EQ(calls, (std::vector<std::string>{"repaint", "zoom 100", "rect 300x200"}));
    calls.clear();
    view.Rotate(90.7);  // marks turn by whole degrees with the size before the turn
    EXPECT_EQ(calls.front(), "rotate 90 300x200");
    calls.clear();
    e->FailLoads = true;  // annotations that cannot be read leave the page shown
    view.SetPage(3);
    EXPECT_EQ(calls[0], "load '' 0");
    EXPECT_EQ(calls[1], "resolution 200");
    EXPECT_TRUE(view.Image().IsValid());
    calls.clear();
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"destroyed, panel alive"}));
}

TEST(ViewEditor, PageOfAFileLoadsItsMarks) {
  TTempDir dir;
  const std::string name = dir.File("two.tif");
  WhitePage(30, 20, pt1bit)->SaveTIFF(name, true, 0, 16);
  WhitePage(40, 20, pt1bit)->SaveTIFF(name, true, 0, 16);
  std::vector<std::string> calls;
  TNorvaneImage view;
  view.SetAnnotationsEditor(std::make_unique<TRecordingEditor>(view, calls));
  view.Image().LoadImage(name, 0);
  view.SetPage(7);
  EXPECT_EQ(view.Page(), 1);
  EXPECT_EQ(view.Image().HorzSize(), 40);
  EXPECT_EQ(calls[0], "load '" + name + "' 1");
}

// Views, pages and handles made and destroyed in any order: only owned blocks are freed.
TEST(ViewLifetime, AnyOrder) {
  win32::HGLOBAL kept = FramedPage(50, 50, pt1bit);
  auto first = std::make_unique<TNorvaneImage>();
  auto second = std::make_unique<TNorvaneImage>();
  first->SetImageHandle(kept);
  first->Image().SetFreeImageHandle(false);
  second->SetImageHandle(FramedPage(60, 60));
  first->SetZoom(30);
  Rendered(*first);
  first.reset();
  second->SetImageHandle(FramedPage(10, 10));  // the earlier owned block is freed here
  EXPECT_EQ(win32::GlobalLockCount(kept), 0u);
  EXPECT_EQ(win32::GlobalFree(kept), nullptr);
  second.reset();
}

}  // namespace
