#include "UnitSplash.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "TrayIconImage.h"

TSplashForm::TSplashForm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashForm");
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  colours.setColor(QPalette::WindowText, QColor(0x1f, 0x3f, 0x6f));
  setPalette(colours);

  auto* picture = new QLabel(this);
  picture->setObjectName("ImageSplash");
  picture->setPixmap(TrayIconImage(0).pixmap(QSize(96, 96), devicePixelRatioF()));
  auto* lines = new QVBoxLayout;
  for (const char* line : {"Share your scanner over a network !",
                           "Improve your images with real-time on-line image processing !",
                           "Check automatically the quality of scanned documents !",
                           "Get two image (gray/color + mono) with a single scan !",
                           "Convert a monochrome scanner in a grayscale scanner !"}) {
    lines->addWidget(new QLabel(line, this));
  }
  auto* product = new QLabel("Clarivo®", this);
  product->setObjectName("LabelProduct");
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 2.5);
  big.setBold(true);
  product->setFont(big);
  lines->addSpacing(12);
  lines->addWidget(product, 0, Qt::AlignRight);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(24);
  layout->addWidget(picture, 0, Qt::AlignTop);
  layout->addLayout(lines);
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
}
