// The default file callbacks of the bitmap format module, over the host's file streams.
#pragma once

#include "bitmapfmt.h"

namespace bitmapfmt {

TBitmapIo DefaultIo();

}  // namespace bitmapfmt
