#include "TrayIconImage.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A sheet with a folded corner and text lines over a round blue badge.
QPixmap Picture(int Size) {
  QPixmap pixmap(Size, Size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(Size / 32.0, Size / 32.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
  painter.drawEllipse(QRectF(1, 1, 30, 30));
  const QPointF sheet[] = {{9, 6}, {19, 6}, {24, 11}, {24, 26}, {9, 26}};
  painter.setBrush(Qt::white);
  painter.drawPolygon(sheet, 5);
  painter.setBrush(QColor(0xb8, 0xcc, 0xe4));
  const QPointF fold[] = {{19, 6}, {24, 11}, {19, 11}};
  painter.drawPolygon(fold, 3);
  painter.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 1.6));
  for (int y = 14; y <= 22; y += 4) painter.drawLine(QPointF(12, y), QPointF(21, y));
  return pixmap;
}

}  // namespace

QIcon TrayIconImage(int /*Index*/) {
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64, 96, 192}) icon.addPixmap(Picture(size));
  return icon;
}
