// The format table of the bitmap format module and the steps each format provides. A step
// raises EBitmapFormat with its code; the operations have already checked their arguments.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmapfmt.h"
#include "bitmapfmt_readahead.h"
#include "bitmapfmt_writeout.h"

namespace bitmapfmt {

struct TFormatSteps {
  TBitmapFormat Row;
  // Fills W, H, Bpp and the private area.
  void (*ReadHeader)(TReadAhead& in, TBitmapDesc& desc);
  // Fills all 2^Bpp entries of a 1, 4 or 8-bit bitmap.
  void (*ReadPalette)(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette);
  // Raises kReadError unless the file can hold the data of the whole bitmap: checked before
  // any memory is taken for the pixels.
  void (*CheckData)(TReadAhead& in, const TBitmapDesc& desc);
  // Fills the zeroed pixel buffer.
  void (*ReadData)(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data);
  // palette is null for 24 bits.
  void (*WriteImage)(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                     const uint8_t* data);
};

constexpr int kFormatCount = 3;
// The formats in table order; index must be below kFormatCount.
const TFormatSteps& Format(int index);

namespace bmp {
void ReadHeader(TReadAhead& in, TBitmapDesc& desc);
void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette);
void CheckData(TReadAhead& in, const TBitmapDesc& desc);
void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data);
void WriteImage(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data);
}  // namespace bmp

namespace pcx {
void ReadHeader(TReadAhead& in, TBitmapDesc& desc);
void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette);
void CheckData(TReadAhead& in, const TBitmapDesc& desc);
void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data);
void WriteImage(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data);
}  // namespace pcx

namespace tga {
void ReadHeader(TReadAhead& in, TBitmapDesc& desc);
void ReadPalette(TReadAhead& in, const TBitmapDesc& desc, std::vector<TRgb>& palette);
void CheckData(TReadAhead& in, const TBitmapDesc& desc);
void ReadData(TReadAhead& in, const TBitmapDesc& desc, uint8_t* data);
void WriteImage(TWriteOut& out, unsigned options, const TBitmapDesc& desc, const TRgb* palette,
                const uint8_t* data);
}  // namespace tga

}  // namespace bitmapfmt
