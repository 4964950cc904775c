#include "qtdevicecontext.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

TQtDeviceContext::TQtDeviceContext(QPainter& Painter, const QRect& Clip)
    : FPainter(Painter), FClip(Clip) {}

int32_t TQtDeviceContext::GetDeviceCaps(int32_t Index) const {
  const QPaintDevice* device = FPainter.device();
  if (device == nullptr) return 0;
  const auto* printer = dynamic_cast<const QPrinter*>(device);
  switch (Index) {
    case win32::HORZRES:
      return device->width();
    case win32::VERTRES:
      return device->height();
    case win32::LOGPIXELSX:
      return device->logicalDpiX();
    case win32::LOGPIXELSY:
      return device->logicalDpiY();
    case win32::PHYSICALOFFSETX:
    case win32::PHYSICALOFFSETY: {
      if (printer == nullptr) return 0;
      const QRect paper = printer->pageLayout().paintRectPixels(printer->resolution());
      return Index == win32::PHYSICALOFFSETX ? paper.left() : paper.top();
    }
    default:
      return 0;
  }
}

win32::RECT TQtDeviceContext::ClipBox() const {
  QRect box = FClip;
  if (box.isEmpty()) {
    const QPaintDevice* device = FPainter.device();
    box = device == nullptr ? QRect() : QRect(0, 0, device->width(), device->height());
  }
  return {box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
}

// The pixels are drawn one to one, so the painter only copies them; the image is a view over
// the band, not a copy of it.
void TQtDeviceContext::PutPixels(int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                 const uint32_t* Pixels, int32_t Stride) {
  const QImage band(reinterpret_cast<const uchar*>(Pixels), Width, Height,
                    static_cast<qsizetype>(Stride) * 4, QImage::Format_RGB32);
  FPainter.drawImage(QPoint(X, Y), band);
}
