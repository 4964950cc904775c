// Printing the page: a turned copy where the page lies the other way than the paper, at its
// own size, fitted, or one printer pixel a page pixel.
#include <QPainter>
#include <QPrinter>
#include <utility>

#include "NewObjImage.h"
#include "qtdevicecontext.h"

namespace {

// The printer's viewport origin, given back when printing ends.
class TViewportOrigin {
 public:
  TViewportOrigin(TDeviceContext& DC, win32::POINT Origin)
      : FDC(DC), FOld(DC.SetViewportOrgEx(Origin)) {}
  ~TViewportOrigin() { FDC.SetViewportOrgEx(FOld); }
  TViewportOrigin(const TViewportOrigin&) = delete;
  TViewportOrigin& operator=(const TViewportOrigin&) = delete;

 private:
  TDeviceContext& FDC;
  win32::POINT FOld;
};

}  // namespace

void TMemoryImage::Print(QPrinter& Printer, int32_t Mode, bool Center) {
  Printer.setDocName("Printing Image");
  QPainter painter;
  if (!painter.begin(&Printer)) throw Exception("Printing could not start");
  try {
    TQtDeviceContext dc(painter);
    PrintInCurrentJob(dc, Mode, Center);
  } catch (...) {
    painter.end();
    throw;
  }
  painter.end();
}

// Sizes are in page pixels at the horizontal resolution (the height corrected), so that a turned
// copy keeps its proportions.
void TMemoryImage::PrintInCurrentJob(TDeviceContext& Printer, int32_t Mode, bool Center) {
  const int32_t dpiX = Printer.GetDeviceCaps(win32::LOGPIXELSX);
  const int32_t dpiY = Printer.GetDeviceCaps(win32::LOGPIXELSY);
  const int32_t printableWidth = Printer.GetDeviceCaps(win32::HORZRES);
  const int32_t printableHeight = Printer.GetDeviceCaps(win32::VERTRES);
  int32_t w = FHorzSize, h = VertSizeCorrected();
  std::unique_ptr<TDIB> copy = FDIB.Duplicate();
  if ((printableWidth < printableHeight && w > h) || (printableWidth > printableHeight && w < h)) {
    copy->Rotate90();
    std::swap(w, h);
  }
  int32_t printedWidth = w, printedHeight = h;
  win32::POINT origin;
  if (Mode == 0) {
    printedWidth = Round(static_cast<double>(dpiX) / FHorzResolution * w);
    printedHeight = Round(static_cast<double>(dpiY) / FHorzResolution * h);
    if (printedWidth > printableWidth) origin.x = -Printer.GetDeviceCaps(win32::PHYSICALOFFSETX);
    if (printedHeight > printableHeight) origin.y = -Printer.GetDeviceCaps(win32::PHYSICALOFFSETY);
  } else if (Mode == 1) {
    const double scale =
        std::min(static_cast<double>(printableWidth) / w, static_cast<double>(printableHeight) / h);
    printedWidth = Round(w * scale);
    printedHeight = Round(scale * h);
  }
  int32_t x = 0, y = 0;
  if (Center) {
    x = (printableWidth - printedWidth) / 2;
    y = (printableHeight - printedHeight) / 2;
  }
  TViewportOrigin viewport(Printer, origin);
  copy->Draw(Printer, x, y, printedWidth, printedHeight, 0);
}
