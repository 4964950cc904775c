// Small pages with known pixels for the tests of the data source's page operations.
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "dibunit.h"

// A page of the given type whose pixels are drawn from a fixed sequence, with different X
// and Y resolutions, pixels per metre that no DPI gives, and a palette that is not the
// default one, so that whatever an operation should keep can be seen to be kept.
inline std::unique_ptr<TDIB> PatternPage(int32_t Width, int32_t Height, uint8_t PixelType,
                                         uint32_t Seed = 7) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(Width, Height, PixelType, 300, 200);
  page->Header()->biXPelsPerMeter += 3;
  for (int32_t i = 0; i < page->ColorCount(); ++i) page->SetPaletteEntry(i, 0x010203u * i + 5);
  std::mt19937 random(Seed);
  uint32_t mask = PixelType == pt24bit ? 0xFFFFFF : (1u << page->BitCount()) - 1;
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) page->SetPixel(x, y, static_cast<int32_t>(random() & mask));
  }
  return page;
}

inline const uint8_t* BlockBytes(const TDIB& Page) {
  return static_cast<const uint8_t*>(Page.Memory());
}
