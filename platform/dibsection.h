// DIB sections: a bitmap made from a BITMAPINFO, whose header, colour table and pixel memory
// live behind one handle until DeleteObject frees them. Nothing draws them here; they carry a
// transferred image to the code that takes it.
#pragma once

#include <cstddef>

#include "wingdi.h"

namespace win32 {

using HBITMAP = void*;

// The colour-table entries a header of Bits bits per pixel carries: biClrUsed when it is set,
// else 2^Bits up to 8 bits and none above.
size_t ColorTableEntries(const BITMAPINFOHEADER& Header);

// Makes a DIB section of an uncompressed image of 1, 4, 8, 16, 24 or 32 bits per pixel within
// the page limits, with a copy of Info's header and colour table and zeroed pixels, and points
// Bits at its pixels. A header it cannot make (other sizes, compression, more colour entries
// than the depth has) gives nullptr, with Bits nullptr.
HBITMAP CreateDIBSection(const BITMAPINFO* Info, void** Bits);
// Frees a DIB section; false for anything that is not a live DIB section.
bool DeleteObject(HBITMAP Bitmap);

// The header with its colour table, the pixels and their size of a live DIB section, or
// nullptr / 0.
const BITMAPINFO* DIBSectionInfo(HBITMAP Bitmap);
void* DIBSectionBits(HBITMAP Bitmap);
size_t DIBSectionImageSize(HBITMAP Bitmap);

// DIB sections alive in this module, for leak checks.
size_t LiveDIBSections();

}  // namespace win32
