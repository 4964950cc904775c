// The default file callbacks of the bitmap format module, over the host's file streams, and the
// callbacks the module uses now.
#pragma once

#include "bitmapfmt.h"

namespace bitmapfmt {

TBitmapIo DefaultIo();

}  // namespace bitmapfmt
