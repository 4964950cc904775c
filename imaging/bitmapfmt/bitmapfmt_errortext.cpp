// The messages of the result codes.
#include "bitmapfmt.h"

namespace bitmapfmt {

const char* ErrorText(int code) {
  switch (code) {
    case kOk:
      return "ok";
    case kNoMemory:
      return "out of memory";
    case kNotSupported:
      return "not supported";
    case kBadOption:
      return "bad option(s)";
    case kNotFound:
      return "not found";
    case kBadMagic:
      return "bad magic number / signiture block";
    case kBadSize:
      return "bad bitmap size";
    case kReadError:
      return "can't read file";
    case kWriteError:
      return "can't write file";
    case kBadArgument:
      return "bad argument to gbm function";
    case kBmpPlanesNot1:
      return "number of bitmap planes is not 1";
    case kBmpBitCount:
      return "bit count not 1, 4, 8 or 24";
    case kBmpCbFix:
      return "cbFix bad";
    case kBmpCompression:
      return "compression type not uncompressed, RLE4 or RLE8";
    case kBmpIndex:
      return "less bitmaps in file than index requested";
    case kTgaBitsPerPixel:
      return "bits per pixel not 8, 16, 24 or 32";
    case kTgaCompression:
      return "unsupported compression type for bits per pixel";
    case kTgaColorMapEntry:
      return "color map entry size not 24 bits per pixel";
    case kPcxVersion:
      return "version number not 4 or 5";
    case kPcxEncoding:
      return "encoding mode not 1";
    case kPcxPlanes:
      return "unsupported bpp/plane / plane combination";
    case kPcxTrailer:
      return "corrupt file trailer";
    default:
      return "general error";
  }
}

}  // namespace bitmapfmt
