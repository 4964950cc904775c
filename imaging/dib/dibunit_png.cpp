// PNG pages: the library's own codec decodes the rows straight into the page's block.
#include <algorithm>
#include <cstring>

#include "dibunit.h"
#include "gfx_png.h"

void TDIB::LoadPNG(TStream& Stream) {
  FreeImage();
  try {
    TPNGImage png;
    png.OnAllocateRows = [this](int32_t Width, int32_t Height, uint8_t PixelFormat) {
      NewImage(Width, Height, PixelFormat, 0, 0);
      return FLines;
    };
    png.LoadFromStream(Stream);
    if (const TChunkPHYS* phys = png.Chunks().First<TChunkPHYS>()) {
      SetXResolution(phys->XDPI());
      SetYResolution(phys->YDPI());
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
