// The log page's list: bounded, showing the start of its lines, and painting only what a new
// line changes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "TLogView.h"

namespace {

// The region that the viewport paints, from the first paint after Reset on.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QWidget* Target) { Target->installEventFilter(this); }
  void Reset() { Painted = QRegion(); }
  QRegion Painted;

 protected:
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(Event)->region();
    return false;
  }
};

class LogViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    View.resize(300, 200);
    View.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
  }
  void Append(int Count, const QString& Text = "line %1") {
    for (int i = 0; i < Count; ++i) View.AppendLine(Text.arg(Next++));
  }
  int Value() const { return View.verticalScrollBar()->value(); }
  int Height() const { return View.fontMetrics().lineSpacing(); }

  TLogView View;
  int Next = 0;
};

TEST_F(LogViewTest, KeepsTheLastLinesOnly) {
  Append(TLogView::MaxLines + 10);
  EXPECT_EQ(View.LineCount(), TLogView::MaxLines);
  QStringList lines = View.toPlainText().split('\n');
  EXPECT_EQ(lines.front(), "line 10");
  EXPECT_EQ(lines.back(), QString("line %1").arg(TLogView::MaxLines + 9));
}

// Lines wider than the page show their start; the vertical bar follows the end.
TEST_F(LogViewTest, ShowsTheStartOfLongLinesAndFollowsTheEnd) {
  Append(50, QString("Retrieving unprocessed cached original image %1 ") + QString(200, 'x'));
  QApplication::processEvents();
  EXPECT_GT(View.horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(View.horizontalScrollBar()->value(), 0);
  EXPECT_EQ(Value(), View.verticalScrollBar()->maximum());
  View.horizontalScrollBar()->setValue(40);
  Append(1);
  EXPECT_EQ(View.horizontalScrollBar()->value(), 40);  // where the operator left it
}

// While the operator reads above the end, the lines read stay in view, also when the oldest
// lines leave.
TEST_F(LogViewTest, LinesReadAboveTheEndStayInView) {
  Append(TLogView::MaxLines - 5);
  View.verticalScrollBar()->setValue(100);
  Append(3);
  EXPECT_EQ(Value(), 100);
  Append(7);  // two, then seven lines leave at the top
  EXPECT_EQ(Value(), 95);
  EXPECT_EQ(View.toPlainText().split('\n')[Value()], "line 100");
}

// A new line paints its own strip: below the others, or the strip that scrolling uncovers.
TEST_F(LogViewTest, ANewLinePaintsOnlyItsStrip) {
  PaintRecorder recorder(View.viewport());
  const struct {
    int Before;  // lines in the view before the one that is added
  } cases[] = {{2}, {40}, {TLogView::MaxLines}};
  for (const auto& c : cases) {
    View.clear();
    Append(c.Before);
    QApplication::processEvents();
    recorder.Reset();
    Append(1);
    QApplication::processEvents();
    EXPECT_FALSE(recorder.Painted.isEmpty()) << c.Before;
    EXPECT_LE(recorder.Painted.boundingRect().height(), 2 * Height()) << c.Before;
  }
}

// On a real X server, what the screen shows: moving the horizontal bar right moves the lines
// left by as much, and the bar's slider right. (The offscreen platform's grab paints the
// widget itself and would not show a fault of the window system's side.)
TEST_F(LogViewTest, OnARealServerTheBarMovesTheLinesTheRightWay) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
  Append(30, QString("WARNING: cached image %1 not served ") + QString(80, 'x'));
  QTest::qWait(200);
  auto screen = [&] {
    QPoint at = View.viewport()->mapTo(&View, QPoint(0, 0));
    return View.screen()
        ->grabWindow(View.winId(), at.x(), at.y(), View.viewport()->width(),
                     View.viewport()->height())
        .toImage();
  };
  auto slider = [&] {
    QScrollBar* bar = View.horizontalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.pageStep = bar->pageStep();
    option.sliderPosition = option.sliderValue = bar->value();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
  };
  QImage before = screen();
  QRect sliderBefore = slider();
  const int shift = 40;
  View.horizontalScrollBar()->setValue(shift);
  QTest::qWait(200);
  QImage after = screen();
  const int width = before.width() - shift;
  EXPECT_EQ(after.copy(0, 0, width, after.height()), before.copy(shift, 0, width, before.height()));
  EXPECT_GT(slider().x(), sliderBefore.x());
}

}  // namespace
