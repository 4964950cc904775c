// Row filters: each loop runs over a whole row, the left neighbours of the first pixel first.
#include "gfx_png_filters.h"

#include <cstdlib>
#include <cstring>

#include "gfx_png.h"

uint8_t PaethPredictor(uint8_t Left, uint8_t Up, uint8_t UpLeft) {
  int p = Left + Up - UpLeft;
  int pa = std::abs(p - Left);
  int pb = std::abs(p - Up);
  int pc = std::abs(p - UpLeft);
  if (pa <= pb && pa <= pc) return Left;
  if (pb <= pc) return Up;
  return UpLeft;
}

void UnfilterRow(uint8_t Type, uint8_t* Row, const uint8_t* Up, size_t Count, size_t PixelBytes) {
  size_t first = PixelBytes < Count ? PixelBytes : Count;
  switch (Type) {
    case kFilterNone:
      return;
    case kFilterSub:
      for (size_t i = PixelBytes; i < Count; ++i) Row[i] += Row[i - PixelBytes];
      return;
    case kFilterUp:
      for (size_t i = 0; i < Count; ++i) Row[i] += Up[i];
      return;
    case kFilterAverage:
      for (size_t i = 0; i < first; ++i) Row[i] += Up[i] >> 1;
      for (size_t i = PixelBytes; i < Count; ++i) {
        Row[i] += static_cast<uint8_t>((Row[i - PixelBytes] + Up[i]) >> 1);
      }
      return;
    case kFilterPaeth:
      for (size_t i = 0; i < first; ++i) Row[i] += Up[i];
      for (size_t i = PixelBytes; i < Count; ++i) {
        Row[i] += PaethPredictor(Row[i - PixelBytes], Up[i], Up[i - PixelBytes]);
      }
      return;
    default:
      throw EPNGImageException(EPngUnknownFilterType);
  }
}

void FilterRow(uint8_t Type, const uint8_t* Raw, const uint8_t* Up, uint8_t* Out, size_t Count,
               size_t PixelBytes) {
  size_t first = PixelBytes < Count ? PixelBytes : Count;
  switch (Type) {
    case kFilterSub:
      std::memcpy(Out, Raw, first);
      for (size_t i = PixelBytes; i < Count; ++i) Out[i] = Raw[i] - Raw[i - PixelBytes];
      return;
    case kFilterUp:
      for (size_t i = 0; i < Count; ++i) Out[i] = Raw[i] - Up[i];
      return;
    case kFilterAverage:
      for (size_t i = 0; i < first; ++i) Out[i] = Raw[i] - (Up[i] >> 1);
      for (size_t i = PixelBytes; i < Count; ++i) {
        Out[i] = static_cast<uint8_t>(Raw[i] - ((Raw[i - PixelBytes] + Up[i]) >> 1));
      }
      return;
    case kFilterPaeth:
      for (size_t i = 0; i < first; ++i) Out[i] = Raw[i] - Up[i];
      for (size_t i = PixelBytes; i < Count; ++i) {
        Out[i] = Raw[i] - PaethPredictor(Raw[i - PixelBytes], Up[i], Up[i - PixelBytes]);
      }
      return;
    default:
      std::memcpy(Out, Raw, Count);
      return;
  }
}

int32_t FilterScore(const uint8_t* Row, size_t Count) {
  int32_t score = 0;
  for (size_t k = 4; k < Count; ++k) {
    uint8_t b = Row[k];
    score += b == Row[k - 1] && b == Row[k - 2] && b == Row[k - 3] && b == Row[k - 4];
  }
  return score;
}
