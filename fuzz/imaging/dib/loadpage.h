// The body the page-loading harnesses share: arbitrary bytes loaded as a page must give a clear
// exception or a sound page, whose corner pixels read and which saves as a BMP stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dibunit.h"

// Copying the largest pages the readers allow only slows the search down.
constexpr int32_t kMaxSavedBlock = 64 << 20;

inline void LoadAndSave(const uint8_t* Data, size_t Size, int32_t Page) {
  TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  TDIB dib;
  try {
    dib.LoadFromStream(stream, Page);
    if (dib.Width() > 0 && dib.Height() > 0) {
      dib.GetPixel(dib.Width() - 1, 0);
      dib.GetPixel(0, dib.Height() - 1);
      if (dib.BlockSize() <= kMaxSavedBlock) {
        TMemoryStream out;
        dib.SaveToStream(out);
      }
    }
  } catch (const Exception&) {
  }
}
