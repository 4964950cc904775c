// Page operations of the data source: copies of a rectangle, the gray test, the red-blue swap
// of memory transfers, the plane count, and the paper name of a page size.
#include <cstdlib>
#include <utility>

#include "dibunit.h"

std::unique_ptr<TDIB> TDIB::CopyRect(int32_t Left, int32_t Top, int32_t Right,
                                     int32_t Bottom) const {
  int64_t width = std::llabs(int64_t{Right} - Left) + 1;
  int64_t height = std::llabs(int64_t{Bottom} - Top) + 1;
  // The copy reads width columns from Left and height lines from Top.
  if (Left < 0 || Top < 0 || Left + width > Width() || Top + height > Height()) {
    throw Exception("Rectangle (" + std::to_string(Left) + ", " + std::to_string(Top) + ", " +
                    std::to_string(Right) + ", " + std::to_string(Bottom) +
                    ") reaches outside the " + std::to_string(Width()) + " x " +
                    std::to_string(Height()) + " page");
  }
  auto copy = std::make_unique<TDIB>();
  copy->NewImage(static_cast<int32_t>(width), static_cast<int32_t>(height), FPixelType,
                 XResolution(), YResolution());
  for (int32_t i = 0; i < FColorCount; ++i) copy->FPalette[i] = FPalette[i];
  for (int32_t j = 0; j < height; ++j) {
    for (int32_t k = 0; k < width; ++k) copy->SetPixel(k, j, GetPixel(Left + k, Top + j));
  }
  return copy;
}

bool TDIB::IsGray() const {
  if (Empty()) return false;
  if (BitCount() == 1) return true;
  if (BitCount() != 8) return false;
  for (int32_t i = 0; i < FColorCount; ++i) {
    const win32::RGBQUAD& e = FPalette[i];
    if (e.rgbRed != e.rgbGreen || e.rgbGreen != e.rgbBlue) return false;
  }
  return true;
}

// Only 24-bit rows hold three bytes a pixel: on other pages the swap would run past the rows.
void TDIB::SwapRedBlue() {
  if (Empty() || BitCount() != 24) return;
  const int32_t height = Height(), width = Width();
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = FLines[y];
    for (int32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
  }
}

int32_t TDIB::Planes() const {
  return Empty() ? 0 : FHeader->biPlanes;
}

bool PaperNameBySize(double Width, double Height, std::string& Name) {
  for (const TPaperSize& paper : PaperSizes) {
    if (paper.Width == Width && paper.Height == Height) {
      Name = paper.Name;
      return true;
    }
  }
  return false;
}
