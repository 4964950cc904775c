// What the quality-control window tells about a page: why it was flagged, the deskew's
// direction, and where a crop lies on a turned page.
#include <QString>
#include <algorithm>
#include <cstdlib>

#include "ProcessingPipeline.h"
#include "QualityControl.h"
#include "registry.h"
#include "uDSUserInterface.h"

namespace {

// One measure beside its allowed range, and which way it leaves the range.
QString MeasureLine(const char* Name, int32_t Value, int32_t Minimum, int32_t Maximum,
                    const char* Low, const char* High) {
  QString line = QString("%1 %2 (allowed %3 to %4)").arg(Name).arg(Value).arg(Minimum).arg(Maximum);
  if (Value < Minimum)
    line += QString(": ") + Low;
  else if (Value > Maximum)
    line += QString(": ") + High;
  return line;
}

}  // namespace

TQualityLimits ReadQualityLimits() {
  TRegIniFile reg(TFormSource::RegistryKey);
  TQualityLimits limits;
  limits.MinBrightness = reg.ReadInteger("QC", "Min Brightness", limits.MinBrightness);
  limits.MaxBrightness = reg.ReadInteger("QC", "Max Brightness", limits.MaxBrightness);
  limits.MinContrast = reg.ReadInteger("QC", "Min Contrast", limits.MinContrast);
  limits.MaxContrast = reg.ReadInteger("QC", "Max Contrast", limits.MaxContrast);
  return limits;
}

QString FlaggedText(const TDIB& Page, const TQualityLimits& Limits) {
  const QString title = "Flagged by the quality check:";
  uint8_t brightness = 0, contrast = 0;
  if (!MeasureQuality(Page, brightness, contrast)) {
    return title + "\nthe page is too small to be measured";
  }
  QString text = title + "\n" +
                 MeasureLine("Brightness", brightness, Limits.MinBrightness, Limits.MaxBrightness,
                             "too dark", "too bright") +
                 "\n" +
                 MeasureLine("Contrast", contrast, Limits.MinContrast, Limits.MaxContrast,
                             "too low", "too high");
  if (Limits.MaxBrightness == 0 || Limits.MaxContrast == 0) {
    text += "\nA maximum of 0 flags every page";
  }
  return text;
}

QString DeskewText(int32_t Position) {
  if (Position == 0) return QString::fromUtf8("0°");
  return QString::fromUtf8("%1° %2")
      .arg(std::abs(Position) / 2.0)
      .arg(Position > 0 ? "clockwise" : "counter-clockwise");
}

// Where pixel (x, y) goes by each quarter turn clockwise: (h - 1 - y, x), then
// (w - 1 - x, h - 1 - y), then (y, w - 1 - x).
TRect TurnRect(const TRect& Rect, int32_t Rotation, int32_t Width, int32_t Height) {
  auto turn = [&](int32_t X, int32_t Y, int32_t& TX, int32_t& TY) {
    switch (Rotation) {
      case 1:
        TX = Height - 1 - Y, TY = X;
        break;
      case 2:
        TX = Width - 1 - X, TY = Height - 1 - Y;
        break;
      case 3:
        TX = Y, TY = Width - 1 - X;
        break;
      default:
        TX = X, TY = Y;
    }
  };
  int32_t x1, y1, x2, y2;
  turn(Rect.Left, Rect.Top, x1, y1);
  turn(Rect.Right, Rect.Bottom, x2, y2);
  return TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}
