// PNG pages: decoded by the library's own codec, then copied into the page's block.
#include <algorithm>
#include <cstring>

#include "dibunit.h"
#include "gfx_png.h"

void TDIB::LoadPNG(TStream& Stream) {
  FreeImage();
  try {
    TPNGImage png;
    png.LoadFromStream(Stream);
    int32_t xDPI = 0, yDPI = 0;
    if (const TChunkPHYS* phys = png.Chunks().First<TChunkPHYS>()) {
      xDPI = phys->XDPI();
      yDPI = phys->YDPI();
    }
    NewImage(png.Width(), png.Height(), png.PixelFormat(), xDPI, yDPI);
    for (int32_t y = 0; y < png.Height(); ++y) {
      std::memcpy(FLines[y], png.ScanLine(y), static_cast<size_t>(FLineBytes));
    }
    const std::vector<TPNGColor>& palette = png.Palette();
    int32_t entries = std::min<int32_t>(static_cast<int32_t>(palette.size()), FColorCount);
    for (int32_t i = 0; i < entries; ++i) {
      FPalette[i] = {palette[i].Blue, palette[i].Green, palette[i].Red, 0};
    }
  } catch (...) {
    FreeImage();
    throw;
  }
}
