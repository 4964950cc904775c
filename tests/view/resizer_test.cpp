#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <filesystem>
#include <memory>

#include "GraphicControlResizer.h"

namespace {

void Mouse(QWidget* W, QEvent::Type Type, QPoint At, Qt::MouseButton Button = Qt::LeftButton) {
  const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button;
  QMouseEvent E(Type, QPointF(At), W->mapToGlobal(QPointF(At)),
                Type == QEvent::MouseMove ? Qt::NoButton : Button, Held, Qt::NoModifier);
  QApplication::sendEvent(W, &E);
}

// A page with one target under a frame; the frame records its events.
class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    Page.resize(400, 300);
    Page.setAutoFillBackground(true);
    Page.setPalette(QPalette(Qt::white));
    Target = new QWidget(&Page);  // owned by Page
    Target->setGeometry(100, 80, 60, 40);
    Target->setAutoFillBackground(true);
    Target->setPalette(QPalette(QColor(255, 220, 0)));
    Page.show();
    Resizer = std::make_unique<TControlResizer>();
    Resizer->OnMoved = [this](TControlResizer*, const TResizerRect& O, const TResizerRect& N) {
      Moved.push_back({O, N});
    };
    Resizer->OnResized = [this](TControlResizer*, const TResizerRect& O, const TResizerRect& N) {
      Resized.push_back({O, N});
    };
    Resizer->SetTargetControl(Target);
  }
  void TearDown() override { Resizer.reset(); }
  QRect Geometry() const { return Resizer->geometry(); }

  QWidget Page;
  QWidget* Target = nullptr;
  std::unique_ptr<TControlResizer> Resizer;
  std::vector<std::pair<TResizerRect, TResizerRect>> Moved, Resized;
};

}  // namespace

TEST_F(Frame, FitsAroundItsTargetWithGripsOnItsEdge) {
  EXPECT_EQ(Resizer->parentWidget(), &Page);
  EXPECT_EQ(Geometry(), QRect(95, 75, 70, 50));
  EXPECT_FALSE(Resizer->isHidden());
  Resizer->SetBounds(100, 100, 40, 30);
  EXPECT_EQ(Resizer->Grip(TControlResizer::gTopLeft)->geometry(), QRect(98, 98, 5, 5));
  const std::pair<TControlResizer::TGrip, QRect> Grips[] = {
      {TControlResizer::gBottomLeft, QRect(98, 127, 5, 5)},
      {TControlResizer::gBottomRight, QRect(137, 127, 5, 5)},
      {TControlResizer::gTopRight, QRect(137, 98, 5, 5)},
      {TControlResizer::gTop, QRect(117, 98, 5, 5)},
      {TControlResizer::gLeft, QRect(98, 112, 5, 5)},
      {TControlResizer::gBottom, QRect(117, 127, 5, 5)},
      {TControlResizer::gRight, QRect(137, 112, 5, 5)}};
  for (auto [G, R] : Grips) {
    EXPECT_EQ(Resizer->Grip(G)->geometry(), R) << G;
    EXPECT_TRUE(Resizer->Grip(G)->isVisible());
  }
}

TEST_F(Frame, MoveShowsABandAndMovesAtRelease) {
  Mouse(Resizer.get(), QEvent::MouseButtonPress, {10, 10});
  ASSERT_TRUE(Resizer->Moving());
  EXPECT_FALSE(Resizer->Grip(TControlResizer::gTop)->isVisible());
  Mouse(Resizer.get(), QEvent::MouseMove, {40, -5});
  EXPECT_EQ(Resizer->Band(), QRect(125, 60, 70, 50));
  EXPECT_EQ(Geometry(), QRect(95, 75, 70, 50));  // nothing moves while dragging
  EXPECT_EQ(Target->geometry(), QRect(100, 80, 60, 40));
  ASSERT_NE(Resizer->BandOverlay(), nullptr);
  const QImage Shot = Page.grab().toImage();
  // Two dotted rings: every other pixel of the rows 60 and 61 is dark, light between.
  for (int Row : {60, 61}) {
    int Dark = 0, Light = 0;
    for (int X = 127; X < 193; ++X) {
      Dark += Shot.pixelColor(X, Row) == Qt::black;
      Light += Shot.pixelColor(X, Row) == Qt::white;
    }
    EXPECT_EQ(Dark, 33) << Row;
    EXPECT_EQ(Light, 33) << Row;
  }
  EXPECT_EQ(Shot.pixelColor(180, 100), Qt::white);  // inside the band the page shows
  EXPECT_EQ(Shot.pixelColor(150, 100), QColor(255, 220, 0));
  EXPECT_EQ(Shot.pixelColor(196, 60), Qt::white);
  EXPECT_EQ(Shot.pixelColor(150, 110), QColor(255, 220, 0));  // the target shows in the band
  Mouse(Resizer.get(), QEvent::MouseButtonRelease, {40, -5});
  EXPECT_FALSE(Resizer->Moving());
  EXPECT_EQ(Resizer->BandOverlay(), nullptr);
  EXPECT_EQ(Geometry(), QRect(125, 60, 70, 50));
  EXPECT_EQ(Target->geometry(), QRect(130, 65, 60, 40));
  ASSERT_EQ(Moved.size(), 1u);
  EXPECT_EQ(Moved[0].first, (TResizerRect{95, 75, 165, 125}));
  EXPECT_EQ(Moved[0].second, (TResizerRect{125, 60, 195, 110}));
  EXPECT_TRUE(Resizer->Grip(TControlResizer::gTop)->isVisible());
}

TEST_F(Frame, MoveThatEndsWhereItBeganChangesNothing) {
  Mouse(Resizer.get(), QEvent::MouseButtonPress, {10, 10});
  Mouse(Resizer.get(), QEvent::MouseMove, {30, 30});
  Mouse(Resizer.get(), QEvent::MouseMove, {10, 10});
  Mouse(Resizer.get(), QEvent::MouseButtonRelease, {10, 10});
  EXPECT_TRUE(Moved.empty());
  EXPECT_EQ(Geometry(), QRect(95, 75, 70, 50));
  EXPECT_TRUE(Resizer->Grip(TControlResizer::gLeft)->isVisible());
}

TEST_F(Frame, GripsResizeByTheirRows) {
  struct TCase {
    TControlResizer::TGrip Grip;
    QPoint To;  // release point in the grip's own coordinates (pressed at 2, 2)
    QRect Frame;
  };
  const TCase Cases[] = {
      {TControlResizer::gTopLeft, {12, 7}, QRect(105, 80, 60, 45)},
      {TControlResizer::gBottomLeft, {-8, 12}, QRect(85, 75, 80, 60)},
      {TControlResizer::gBottomRight, {22, -3}, QRect(95, 75, 90, 45)},
      {TControlResizer::gTopRight, {-18, -8}, QRect(95, 65, 50, 60)},
      {TControlResizer::gTop, {50, 12}, QRect(95, 85, 70, 40)},   // x is held at 0
      {TControlResizer::gLeft, {-3, 50}, QRect(90, 75, 75, 50)},  // y is held at 0
      {TControlResizer::gBottom, {-40, 7}, QRect(95, 75, 70, 55)},
      {TControlResizer::gRight, {5, 90}, QRect(95, 75, 73, 50)},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Grip);
    Resizer->SetBounds(95, 75, 70, 50);
    Resized.clear();
    QWidget* G = Resizer->Grip(C.Grip);
    Mouse(G, QEvent::MouseButtonPress, {2, 2});
    ASSERT_TRUE(Resizer->Resizing());
    Mouse(G, QEvent::MouseMove, C.To);
    Mouse(G, QEvent::MouseButtonRelease, C.To);
    EXPECT_EQ(Geometry(), C.Frame);
    EXPECT_EQ(Target->geometry(), C.Frame.adjusted(5, 5, -5, -5));
    ASSERT_EQ(Resized.size(), 1u);
  }
}

TEST_F(Frame, ResizeBandKeepsItsMinimumAndReleaseAlwaysReports) {
  QWidget* G = Resizer->Grip(TControlResizer::gBottomRight);
  Mouse(G, QEvent::MouseButtonPress, {2, 2});
  Mouse(G, QEvent::MouseMove, {-500, -500});
  EXPECT_EQ(Resizer->Band(), QRect(95, 75, 8, 8));
  Mouse(G, QEvent::MouseMove, {2, 2});
  Mouse(G, QEvent::MouseButtonRelease, {2, 2});
  ASSERT_EQ(Resized.size(), 1u);
  EXPECT_EQ(Resized[0].first, Resized[0].second);
  // Released far inside: the frame ends smaller than its margins and the target stays.
  Mouse(G, QEvent::MouseButtonPress, {2, 2});
  Mouse(G, QEvent::MouseButtonRelease, {-66, -46});
  EXPECT_EQ(Geometry(), QRect(95, 75, 2, 2));
  EXPECT_EQ(Target->geometry(), QRect(100, 80, 60, 40));
}

TEST_F(Frame, PressesThatStartNothing) {
  Resizer->Movable = false;
  Mouse(Resizer.get(), QEvent::MouseButtonPress, {10, 10});
  EXPECT_FALSE(Resizer->Moving());
  Resizer->Movable = true;
  Mouse(Resizer.get(), QEvent::MouseButtonPress, {10, 10}, Qt::RightButton);
  EXPECT_FALSE(Resizer->Moving());
  QWidget* G = Resizer->Grip(TControlResizer::gRight);
  Mouse(G, QEvent::MouseButtonPress, {2, 2}, Qt::RightButton);
  EXPECT_FALSE(Resizer->Resizing());
  Resizer->Resizable = false;
  Mouse(G, QEvent::MouseButtonPress, {2, 2});
  EXPECT_FALSE(Resizer->Resizing());
  Mouse(G, QEvent::MouseButtonRelease, {30, 2});
  EXPECT_TRUE(Resized.empty());
  EXPECT_EQ(Geometry(), QRect(95, 75, 70, 50));
  EXPECT_TRUE(G->isVisible());
}

TEST_F(Frame, TargetAndBoxColour) {
  Resizer->SetTargetControl(Target);  // the same target: nothing happens
  EXPECT_EQ(Geometry(), QRect(95, 75, 70, 50));
  Resizer->SetTargetControl(nullptr);
  EXPECT_EQ(Resizer->parentWidget(), nullptr);
  EXPECT_EQ(Resizer->TargetControl(), nullptr);
  TControlResizer Fresh;
  Fresh.SetBoxColor(Qt::red);
  Fresh.SetTargetControl(Target);
  const QImage Shot = Page.grab().toImage();
  EXPECT_EQ(Shot.pixelColor(Fresh.Grip(TControlResizer::gTopLeft)->geometry().center()),
            QColor(Qt::red));
}

TEST_F(Frame, Screenshot) {
  Mouse(Resizer.get(), QEvent::MouseButtonPress, {10, 10});
  Mouse(Resizer.get(), QEvent::MouseMove, {60, 40});
  const std::filesystem::path Dir = CLARIVO_SCREENSHOTS;
  std::filesystem::create_directories(Dir);
  const QImage Shot = Page.grab().toImage();
  Shot.save(QString::fromStdString((Dir / "resizer-drag.png").string()));
  EXPECT_EQ(Shot.pixelColor(150, 110), QColor(255, 220, 0));  // the target shows in the band
  EXPECT_EQ(Shot.pixelColor(120, 90), QColor(255, 220, 0));
  Mouse(Resizer.get(), QEvent::MouseButtonRelease, {60, 40});
  Page.grab().save(QString::fromStdString((Dir / "resizer-after.png").string()));
}
