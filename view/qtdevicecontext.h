// The device context over a QPainter that is active on a widget, an image or a printer.
#pragma once

#include <QRect>

#include "devicecontext.h"

class QPainter;

class TQtDeviceContext : public TDeviceContext {
 public:
  // Clip is the part of the device to paint, in device pixels (a widget's exposed rectangle);
  // an empty one stands for the whole device.
  explicit TQtDeviceContext(QPainter& Painter, const QRect& Clip = QRect());

  // The resolutions and size of the painter's device; on a printer the size is its printable
  // area and the physical offsets are the margins outside it.
  int32_t GetDeviceCaps(int32_t Index) const override;

 protected:
  win32::RECT ClipBox() const override;
  void PutPixels(int32_t X, int32_t Y, int32_t Width, int32_t Height, const uint32_t* Pixels,
                 int32_t Stride) override;

 private:
  QPainter& FPainter;
  QRect FClip;
};
