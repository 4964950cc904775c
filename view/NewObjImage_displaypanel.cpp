// TDisplayPanel: paints the exposed part of the page at the panel's size. A 1-bit page below 50
// per cent with aaScaleToGray is drawn from its 16-level gray reduction, made once for the
// panel's size and kept until the next repaint, so that thin strokes survive the shrinking.
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "NewObjImage.h"
#include "boundaryguard.h"
#include "qtdevicecontext.h"

namespace {

void Report(const char* What) {
  qWarning("%s: %s", What, FailureText().c_str());
}

}  // namespace

TDisplayPanel::TDisplayPanel(TNorvaneImage& View, QWidget* Parent) : QWidget(Parent), FView(View) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TDisplayPanel::Repaint() {
  FGrayCache.reset();
  FGrayCacheFor = QSize();
  update();
}

const TDIB& TDisplayPanel::PageToDraw(uint8_t& Mode) {
  const TMemoryImage& image = FView.Image();
  Mode = 0;
  switch (FView.Antialiasing()) {
    case TAntialiasing::aaScaleToGray:
      if (FGrayCacheFor != size()) {
        FGrayCache.reset();
        FGrayCacheFor = size();
        if (FView.Zoom() < 50.0 && image.Depth() == 1) {
          FGrayCache = image.DIB().ScaleToGray(16, FView.Zoom());
        }
      }
      return FGrayCache ? *FGrayCache : image.DIB();
    case TAntialiasing::aaPreserveBlack:
      Mode = 1;
      break;
    case TAntialiasing::aaPreserveWhite:
      Mode = 2;
      break;
    case TAntialiasing::aaNone:
      break;
  }
  FGrayCache.reset();
  FGrayCacheFor = QSize();
  return image.DIB();
}

void TDisplayPanel::PaintPage(const QRect& Exposed) {
  QPainter painter(this);
  if (!FView.Image().IsValid()) {
    painter.fillRect(Exposed, FView.Color());
    return;
  }
  uint8_t mode = 0;
  const TDIB& page = PageToDraw(mode);
  TQtDeviceContext dc(painter, Exposed);
  page.Draw(dc, 0, 0, width(), height(), mode);
}

void TDisplayPanel::paintEvent(QPaintEvent* Event) {
  if (FView.LayoutRunning() || FPainting) return;
  FPainting = true;
  Guarded([&] { PaintPage(Event->rect()); }, [] { Report("Painting the page failed"); });
  FPainting = false;
  Guarded(
      [&] {
        if (FView.OnPaint) FView.OnPaint(&FView);
      },
      [] { Report("OnPaint failed"); });
}

void TDisplayPanel::mousePressEvent(QMouseEvent* Event) {
  const QPoint at = Event->position().toPoint();
  Guarded(
      [&] {
        if (OnMouseDown) OnMouseDown(this, Event->button(), Event->modifiers(), at.x(), at.y());
      },
      [] { Report("OnImageMouseDown failed"); });
}

void TDisplayPanel::mouseReleaseEvent(QMouseEvent* Event) {
  const QPoint at = Event->position().toPoint();
  Guarded(
      [&] {
        if (OnMouseUp) OnMouseUp(this, Event->button(), Event->modifiers(), at.x(), at.y());
      },
      [] { Report("OnImageMouseUp failed"); });
}

void TDisplayPanel::mouseMoveEvent(QMouseEvent* Event) {
  const QPoint at = Event->position().toPoint();
  Guarded(
      [&] {
        if (OnMouseMove) OnMouseMove(this, Event->modifiers(), at.x(), at.y());
      },
      [] { Report("OnImageMouseMove failed"); });
}
