// The codec's one way to give up on damaged data, or on zlib refusing to work.
#pragma once

#include "gfx_png.h"

[[noreturn]] inline void RaiseCorrupted() {
  throw EPNGImageException(EPngInvalidCRC);
}
