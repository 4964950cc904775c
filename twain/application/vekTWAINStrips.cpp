#include "vekTWAINStrips.h"

#include <cstring>

size_t TStripImage::Offer(size_t Preferred) {
  const size_t left = FSize - FFilled;
  FInScratch = false;
  if (left == 0 || FLastBytesPerRow <= FStride) return Preferred < left ? Preferred : left;
  // Rows wider than the stride: offer room for the rows that are left at the source's width.
  const size_t rowsLeft = left / FStride;
  const size_t wanted = rowsLeft * FLastBytesPerRow;
  const size_t offered = Preferred < wanted ? Preferred : wanted;
  if (offered > left) {
    FScratch.resize(offered);
    FInScratch = true;
  }
  return offered;
}

bool TStripImage::TakeFromScratch(const TMemStrip& Strip) {
  const uint64_t rowBytes = uint64_t{Strip.Rows} * Strip.BytesPerRow;
  const uint64_t spread = uint64_t{Strip.Rows} * FStride;
  if (rowBytes > Strip.BytesWritten || spread > FSize - FFilled) return false;
  const uint8_t* from = FScratch.data() + (Strip.BytesWritten - rowBytes);
  const size_t copy = Strip.BytesPerRow < FStride ? Strip.BytesPerRow : FStride;
  for (size_t k = 0; k < Strip.Rows; ++k) {
    std::memcpy(FPixels + FFilled + k * FStride, from + k * Strip.BytesPerRow, copy);
  }
  FFilled += static_cast<size_t>(spread);
  return true;
}

bool TStripImage::Take(const TMemStrip& Strip, size_t Offered) {
  const size_t room = FInScratch ? FScratch.size() : FSize - FFilled;
  if (Strip.BytesWritten > Offered || Offered > room) return false;
  if (Strip.BytesWritten == 0) return true;
  FLastBytesPerRow = Strip.BytesPerRow;
  if (FInScratch) return TakeFromScratch(Strip);
  if (Strip.BytesPerRow == FStride) {
    FFilled += Strip.BytesWritten;
    return true;
  }
  const uint64_t rowBytes = uint64_t{Strip.Rows} * Strip.BytesPerRow;
  const uint64_t spread = uint64_t{Strip.Rows} * FStride;
  if (Strip.Rows == 0 || rowBytes > Strip.BytesWritten || spread > FSize - FFilled) return false;
  uint8_t* strip = FPixels + FFilled;
  // The rows end where the written bytes end; bring the first one to the strip's start.
  const size_t lead = Strip.BytesWritten - rowBytes;
  if (lead > 0) std::memmove(strip, strip + lead, rowBytes);
  const size_t bytesPerRow = Strip.BytesPerRow;
  if (bytesPerRow > FStride) {
    // Rows move towards the start, the first one first; each keeps Stride bytes.
    for (size_t k = 1; k < Strip.Rows; ++k) {
      std::memmove(strip + k * FStride, strip + k * bytesPerRow, FStride);
    }
  } else {
    // Rows move towards the end, the last one first; the padding they leave is cleared.
    for (size_t k = Strip.Rows; k-- > 0;) {
      if (k > 0) std::memmove(strip + k * FStride, strip + k * bytesPerRow, bytesPerRow);
      std::memset(strip + k * FStride + bytesPerRow, 0, FStride - bytesPerRow);
    }
  }
  FFilled += static_cast<size_t>(spread);
  return true;
}
