// A native transfer that hands over a TIFF file image instead of a packed DIB, as 2.x
// drivers may: read as a page, and given on as the packed DIB the toolkit hands over.
#pragma once

#include "globalmem.h"

// The block itself when it holds no TIFF; else a new packed DIB block of its first page, the
// TIFF block freed. A TIFF that cannot be read leaves the block as it is, for the packed DIB
// check to refuse.
win32::HGLOBAL PackedDIBOfNativeBlock(win32::HGLOBAL Handle);
