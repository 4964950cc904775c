// Copying a rectangle of the page to the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "NewObjImage.h"
#include "qtdevicecontext.h"

namespace {

// The page as an image of its own pixels, with its resolutions.
QImage ImageOfPage(const TDIB& Page) {
  QImage image(Page.Width(), Page.Height(), QImage::Format_RGB32);
  {
    QPainter painter(&image);
    TQtDeviceContext dc(painter);
    Page.Draw(dc, 0, 0, Page.Width(), Page.Height(), 0);
  }
  image.setDotsPerMeterX(Page.Header()->biXPelsPerMeter);
  image.setDotsPerMeterY(Page.Header()->biYPelsPerMeter);
  return image;
}

}  // namespace

void TMemoryImage::CopyToClipboard(const TRect& Rect) {
  if (!IsValid()) return;
  std::unique_ptr<TDIB> copy = FDIB.CopyRect(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  QGuiApplication::clipboard()->setImage(ImageOfPage(*copy));
}
