#include "GraphicControlResizer.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <climits>

namespace {

constexpr int kInfinity = 2147483647;

TResizerRect ToRect(const QRect& R) {
  return {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()};
}

}  // namespace

// The rubber band: nested dotted rectangles on a mouse-transparent overlay of the parent. Only
// the band's own area is repainted as it moves.
class TResizerBand : public QWidget {
 public:
  TResizerBand(QWidget* Parent, int LineSize) : QWidget(Parent), FLineSize(LineSize) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(Parent->rect());
    raise();
    show();
  }
  void SetBand(const QRect& Band) {
    update(FBand.adjusted(0, 0, 1, 1));
    FBand = Band;
    update(FBand.adjusted(0, 0, 1, 1));
  }

 protected:
  // Each ring as a focus rectangle draws it: one pixel inside right and bottom, every other
  // pixel dark over a light ring, so that it shows on any page.
  void paintEvent(QPaintEvent*) override {
    QPainter P(this);
    QPen Light(Qt::white, 0);
    QPen Dots(Qt::black, 0);
    Dots.setDashPattern({1, 1});
    for (int I = 0; I < FLineSize; ++I) {
      const QRect Ring(FBand.left() + I, FBand.top() + I, FBand.width() - 2 * I - 1,
                       FBand.height() - 2 * I - 1);
      if (Ring.width() < 0 || Ring.height() < 0) break;
      P.setPen(Light);
      P.drawRect(Ring);
      P.setPen(Dots);
      P.drawRect(Ring);
    }
  }

 private:
  int FLineSize;
  QRect FBand;
};

// A grip: a plain square in the frame's box colour that hands its mouse to the frame.
class TResizerGrip : public QWidget {
 public:
  TResizerGrip(TControlResizer* Frame, TControlResizer::TGrip Which, Qt::CursorShape Cursor)
      : FFrame(Frame), FWhich(Which) {
    setCursor(Cursor);
    hide();
  }
  QColor Color;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter P(this);
    P.fillRect(rect(), Color);
  }
  void mousePressEvent(QMouseEvent* E) override { FFrame->GripDown(FWhich, E); }
  void mouseMoveEvent(QMouseEvent* E) override { FFrame->GripMove(FWhich, E); }
  void mouseReleaseEvent(QMouseEvent* E) override { FFrame->GripUp(FWhich, E); }

 private:
  TControlResizer* FFrame;
  TControlResizer::TGrip FWhich;
};

TControlResizer::TControlResizer(QWidget* Owner) : QWidget(Owner) {
  setCursor(Qt::SizeAllCursor);
  resize(25, 25);
}

TControlResizer::~TControlResizer() {
  for (QWidget* G : FGrips) delete G;
}

QWidget* TControlResizer::Grip(TGrip Which) const {
  return FGrips[Which];
}
QWidget* TControlResizer::BandOverlay() const {
  return FBandOverlay.get();
}

TResizerRect TControlResizer::BoundsRect() const {
  return ToRect(geometry());
}

void TControlResizer::SetTargetControl(QWidget* Target) {
  if (Target == FTarget || FBusy) return;
  FBusy = true;
  HideGrips();
  if (Target != nullptr) {
    SetParent(Target->parentWidget());
    FTarget = Target;
    FitToTarget();
    raise();
    FBusy = false;
    show();
    ShowGrips();
  } else {
    SetParent(nullptr);
    FTarget = nullptr;
  }
  FBusy = false;
}

void TControlResizer::SetParent(QWidget* Parent) {
  const bool Shown = !isHidden();
  setParent(Parent);
  if (Shown && Parent != nullptr) QWidget::setVisible(true);
  for (QWidget* G : FGrips) {
    if (G != nullptr) G->setParent(Parent);
  }
  PlaceGrips();
}

void TControlResizer::SetBounds(int Left, int Top, int Width, int Height) {
  setGeometry(Left, Top, Width, Height);
  PlaceGrips();
}

void TControlResizer::SetBoxSize(int Value) {
  FBoxSize = Value;
  PlaceGrips();
}

void TControlResizer::SetBoxColor(const QColor& Value) {
  FBoxColor = Value;
  for (QWidget* G : FGrips) {
    if (G != nullptr) {
      static_cast<TResizerGrip*>(G)->Color = Value;
      G->update();
    }
  }
}

void TControlResizer::FitToTarget() {
  if (FTarget == nullptr) return;
  const QRect T = FTarget->geometry();
  SetBounds(T.left() - FBoxSize, T.top() - FBoxSize, T.width() + 2 * FBoxSize,
            T.height() + 2 * FBoxSize);
}

void TControlResizer::ApplyToTarget() {
  if (FBusy || isHidden() || FTarget == nullptr) return;
  const int W = width() - 2 * FBoxSize, H = height() - 2 * FBoxSize;
  if (W > 0 && H > 0) FTarget->setGeometry(x() + FBoxSize, y() + FBoxSize, W, H);
}

void TControlResizer::ShowGrips() {
  if (!FGripsCreated) {
    static constexpr Qt::CursorShape Cursors[8] = {
        Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor, Qt::SizeBDiagCursor,
        Qt::SizeVerCursor,   Qt::SizeHorCursor,   Qt::SizeVerCursor,   Qt::SizeHorCursor};
    for (int I = 0; I < 8; ++I) {
      auto* G = new TResizerGrip(this, static_cast<TGrip>(I), Cursors[I]);  // owned by FGrips
      G->Color = FBoxColor;
      G->setParent(parentWidget());
      FGrips[I] = G;
    }
    FGripsCreated = true;
    PlaceGrips();
  }
  for (QWidget* G : FGrips) {
    G->show();
    G->raise();
  }
}

void TControlResizer::HideGrips() {
  if (!FGripsCreated) return;
  for (QWidget* G : FGrips) G->hide();
}

void TControlResizer::setVisible(bool Visible) {
  QWidget::setVisible(Visible);
  if (FBusy) return;
  if (Visible) {
    ShowGrips();
  } else {
    HideGrips();
  }
}

void TControlResizer::moveEvent(QMoveEvent*) {
  PlaceGrips();
}
void TControlResizer::resizeEvent(QResizeEvent*) {
  PlaceGrips();
}

// Each grip is a box centred on the frame's outermost row or column.
void TControlResizer::PlaceGrips() {
  if (!FGripsCreated) return;
  const int L = x(), T = y(), W = width(), H = height(), B = FBoxSize, h = B / 2;
  const QPoint At[8] = {{L - h, T - h},
                        {L - h, T + H + h - B},
                        {L + W + h - B, T + H + h - B},
                        {L + W + h - B, T - h},
                        {L + (W - B) / 2, T - h},
                        {L - h, T + (H - B) / 2},
                        {L + (W - B) / 2, T + H + h - B},
                        {L + W + h - B, T + (H - B) / 2}};
  for (int I = 0; I < 8; ++I) FGrips[I]->setGeometry(At[I].x(), At[I].y(), B, B);
}

void TControlResizer::TakeBand() {
  if (parentWidget() != nullptr) {
    FBandOverlay = std::make_unique<TResizerBand>(parentWidget(), LineSize);
  }
}

void TControlResizer::DrawBand() {
  if (FBandOverlay) FBandOverlay->SetBand(FBand);
}

void TControlResizer::ReleaseBand() {
  FBandOverlay.reset();
}

TResizerRect TControlResizer::BandInner() const {
  return {FBand.left() + FBoxSize, FBand.top() + FBoxSize, FBand.width() - 2 * FBoxSize,
          FBand.height() - 2 * FBoxSize};
}

void TControlResizer::Notify(const TControlResizerEvent& Event, const TResizerRect& Old,
                             const TResizerRect& New) {
  if (Event) Event(this, Old, New);
}

void TControlResizer::DoMoved() {
  Notify(OnMoved, FOldBounds, BoundsRect());
}
void TControlResizer::DoResized() {
  Notify(OnResized, FOldBounds, BoundsRect());
}

// ---- moving by the body ----

void TControlResizer::mousePressEvent(QMouseEvent* Event) {
  if (FBusy || Event->button() != Qt::LeftButton || !Movable || FMoving) return;
  FGrab = Event->position().toPoint();
  FMoving = true;
  HideGrips();
  FBand = geometry();
  TakeBand();
  DrawBand();
  Notify(OnMoving, BoundsRect(), BandInner());
}

void TControlResizer::mouseMoveEvent(QMouseEvent* Event) {
  if (!FMoving || FBusy) return;
  FDX = Event->position().toPoint().x() - FGrab.x();
  FDY = Event->position().toPoint().y() - FGrab.y();
  FBand = QRect(x() + FDX, y() + FDY, width(), height());
  DrawBand();
  Notify(OnMoving, BoundsRect(), BandInner());
}

void TControlResizer::mouseReleaseEvent(QMouseEvent* Event) {
  if (FBusy || Event->button() != Qt::LeftButton || !FMoving) return;
  ReleaseBand();
  FMoving = false;
  if (FBand.left() != x() || FBand.top() != y()) {
    FOldBounds = BoundsRect();
    SetBounds(FBand.left(), FBand.top(), FBand.width(), FBand.height());
    ApplyToTarget();
    DoMoved();
  }
  ShowGrips();
}

// ---- resizing by a grip ----

void TControlResizer::GripDown(TGrip Which, QMouseEvent* Event) {
  if (FBusy || Event->button() != Qt::LeftButton || !Resizable) return;
  HideGrips();
  FGrab = Event->position().toPoint();
  const int W = width(), H = height(), Inf = kInfinity;
  struct TLimits {
    int MinX, MaxX, MinY, MaxY;
  };
  const TLimits Limits[8] = {{-Inf, W, -Inf, H}, {-Inf, W, -H, Inf}, {-W, Inf, -H, Inf},
                             {-W, Inf, -Inf, H}, {0, 0, -Inf, H},    {-Inf, W, 0, 0},
                             {0, 0, -H, Inf},    {-W, Inf, 0, 0}};
  FMinX = Limits[Which].MinX;
  FMaxX = Limits[Which].MaxX;
  FMinY = Limits[Which].MinY;
  FMaxY = Limits[Which].MaxY;
  FBand = geometry();
  TakeBand();
  DrawBand();
  FResizing = true;
  Notify(OnResizing, BoundsRect(), BandInner());
}

QPoint TControlResizer::Limited(QPoint P) const {
  return {std::max(std::min(P.x(), FMaxX), FMinX), std::max(std::min(P.y(), FMaxY), FMinY)};
}

QRect TControlResizer::Resized(TGrip Which, int dX, int dY) const {
  const int L = x(), T = y(), W = width(), H = height();
  switch (Which) {
    case gTopLeft:
      return {L + dX, T + dY, W - dX, H - dY};
    case gBottomLeft:
      return {L + dX, T, W - dX, H + dY};
    case gBottomRight:
      return {L, T, W + dX, H + dY};
    case gTopRight:
      return {L, T + dY, W + dX, H - dY};
    case gTop:
      return {L, T + dY, W, H - dY};
    case gLeft:
      return {L + dX, T, W - dX, H};
    case gBottom:
      return {L, T, W, H + dY};
    case gRight:
      return {L, T, W + dX, H};
  }
  return geometry();
}

void TControlResizer::GripMove(TGrip Which, QMouseEvent* Event) {
  if (!FResizing || FBusy) return;
  const QPoint P = Limited(Event->position().toPoint());
  FDX = P.x() - FGrab.x();
  FDY = P.y() - FGrab.y();
  FBand = Resized(Which, FDX, FDY);
  FBand.setWidth(std::max(FBand.width(), MinWidth));
  FBand.setHeight(std::max(FBand.height(), MinHeight));
  DrawBand();
  Notify(OnResizing, BoundsRect(), BandInner());
}

void TControlResizer::GripUp(TGrip Which, QMouseEvent* Event) {
  if (FBusy || Event->button() != Qt::LeftButton || !FResizing) return;
  ReleaseBand();
  FResizing = false;
  const QPoint P = Limited(Event->position().toPoint());
  FDX = P.x() - FGrab.x();
  FDY = P.y() - FGrab.y();
  FOldBounds = BoundsRect();
  const QRect R = Resized(Which, FDX, FDY);
  SetBounds(R.left(), R.top(), R.width(), R.height());
  ShowGrips();
  ApplyToTarget();
  DoResized();
}
