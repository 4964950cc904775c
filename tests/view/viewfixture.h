// What the view tests share: a device context over plain memory, small pages with known pixels,
// and the view rendered as the user sees it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "NewObjImage.h"
#include "devicecontext.h"
#include "dibunit.h"

// A device of Width x Height pixels (0xFFRRGGBB) in memory, initially 0, that counts what it
// was asked to paint.
class TMemoryDC : public TDeviceContext {
 public:
  TMemoryDC(int32_t Width, int32_t Height, win32::RECT Clip = {0, 0, 0, 0})
      : FWidth(Width), FHeight(Height), FClip(Clip), FPixels(size_t(Width) * Height, 0) {
    if (Clip.right == 0 && Clip.bottom == 0) FClip = {0, 0, Width, Height};
  }
  int32_t GetDeviceCaps(int32_t Index) const override {
    switch (Index) {
      case win32::HORZRES:
        return FWidth;
      case win32::VERTRES:
        return FHeight;
      case win32::LOGPIXELSX:
      case win32::LOGPIXELSY:
        return 100;
      default:
        return 0;
    }
  }
  uint32_t At(int32_t X, int32_t Y) const { return FPixels[size_t(Y) * FWidth + X]; }
  int64_t PaintedPixels() const { return FPainted; }
  bool (*FailOnPut)() = nullptr;

 protected:
  win32::RECT ClipBox() const override { return FClip; }
  void PutPixels(int32_t X, int32_t Y, int32_t Width, int32_t Height, const uint32_t* Pixels,
                 int32_t Stride) override {
    if (FailOnPut != nullptr && FailOnPut()) throw Exception("device gone");
    for (int32_t y = 0; y < Height; ++y) {
      for (int32_t x = 0; x < Width; ++x) {
        const int32_t dx = X + x, dy = Y + y;
        EXPECT_TRUE(dx >= FClip.left && dx < FClip.right && dy >= FClip.top && dy < FClip.bottom)
            << "painted outside the clip box at " << dx << ", " << dy;
        if (dx >= 0 && dx < FWidth && dy >= 0 && dy < FHeight) {
          FPixels[size_t(dy) * FWidth + dx] = Pixels[size_t(y) * Stride + x];
        }
      }
    }
    FPainted += int64_t{Width} * Height;
  }

 private:
  int32_t FWidth, FHeight;
  win32::RECT FClip;
  std::vector<uint32_t> FPixels;
  int64_t FPainted = 0;
};

inline constexpr uint32_t kBlack = 0xFF000000u;
inline constexpr uint32_t kWhite = 0xFFFFFFFFu;
inline constexpr QRgb kViewGray = 0xFF808080u;

// A white page of the type; 1-bit pages have black = 0 and white = 1, 8-bit pages a gray
// palette.
inline std::unique_ptr<TDIB> WhitePage(int32_t Width, int32_t Height, uint8_t Type,
                                       int32_t XDPI = 200, int32_t YDPI = 200) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, Type, XDPI, YDPI);
  const int32_t white = Type == pt24bit ? 0xFFFFFF : (1 << page->BitCount()) - 1;
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) page->SetPixel(x, y, white);
  }
  return page;
}

// The view as it is on the screen.
inline QImage Rendered(QWidget& Widget) {
  return Widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The bounding box of the pixels that are not the view's gray.
inline QRect PageBox(const QImage& Image, const QRect& Area) {
  QRect box;
  for (int y = Area.top(); y <= Area.bottom(); ++y) {
    for (int x = Area.left(); x <= Area.right(); ++x) {
      if (Image.pixel(x, y) != kViewGray) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// A file name in a folder of the test's own, removed with the object.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  std::string File(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};

inline TTempDir::TTempDir() {
  char pattern[] = "/tmp/clarivo-view-XXXXXX";
  const char* made = mkdtemp(pattern);
  FPath = made == nullptr ? std::string("/tmp") : std::string(made);
}

inline TTempDir::~TTempDir() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}
