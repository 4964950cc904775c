// The strips of a memory transfer, written by the source straight into the image's pixel
// memory one after the other, and spread there to the image's row stride when the source pads
// its rows differently. A source that pads its rows wider than the stride cannot fit its last
// rows into what is left of the image; those come through a buffer of their own and are copied
// in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One strip as the source reported it.
struct TMemStrip {
  uint32_t BytesPerRow = 0;
  uint32_t Rows = 0;
  uint32_t BytesWritten = 0;
};

// The image being filled: Size bytes of rows Stride apart; Filled of them hold strips.
class TStripImage {
 public:
  TStripImage(uint8_t* Pixels, size_t Size, size_t Stride)
      : FPixels(Pixels), FSize(Size), FStride(Stride) {}

  // Chooses the buffer of the next strip, of at most Preferred bytes: the image where it is
  // left when the strip fits there, else a buffer of its own. Returns its length (0 when the
  // image is full).
  size_t Offer(size_t Preferred);
  uint8_t* Next() { return FInScratch ? FScratch.data() : FPixels + FFilled; }
  size_t Filled() const { return FFilled; }

  // Takes the strip the source wrote into the buffer of Offered bytes: rows already Stride
  // apart are taken as written; others, Rows rows BytesPerRow apart ending at BytesWritten, are
  // moved to Stride apart. False, with nothing taken, for a strip that is longer than its
  // buffer, holds fewer bytes than its rows, or would reach beyond the image. A strip of no
  // bytes takes nothing and is no fault.
  bool Take(const TMemStrip& Strip, size_t Offered);

 private:
  bool TakeFromScratch(const TMemStrip& Strip);

  uint8_t* FPixels;
  size_t FSize;
  size_t FStride;
  size_t FFilled = 0;
  uint32_t FLastBytesPerRow = 0;
  bool FInScratch = false;
  std::vector<uint8_t> FScratch;
};
