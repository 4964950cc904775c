// The images a transfer hands over: checking the packed DIB a source delivers, turning it or
// a BMP file into a DIB section or a global memory block, and the palettes and pixel order of
// memory transfers. Whatever a source or a file says about sizes, nothing here reads or writes
// outside the block, the file's data or the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "dibsection.h"
#include "globalmem.h"
#include "wingdi.h"

// The layout of a packed DIB: a header, a colour table and uncompressed rows padded to 4
// bytes.
struct TPackedDIB {
  bool Core = false;  // a 12-byte BITMAPCOREHEADER with 3-byte colour entries
  uint32_t HeaderSize = 0;
  int32_t Width = 0;
  int32_t Height = 0;  // negative for rows stored top row first
  uint16_t BitCount = 0;
  uint32_t Entries = 0;  // colour entries stored in the block
  uint32_t EntrySize = 4;
  size_t PixelOffset = 0;
  size_t ImageSize = 0;  // rows of pixels, padded
};

// The layout of a sound packed DIB of Size bytes: a core header or one of at least 40 bytes,
// one plane, 1, 4, 8, 16, 24 or 32 bits uncompressed, sides within the page limits, no more
// colour entries than the depth has (at most 256 above 8 bits), and every row inside the
// block. biSizeImage is not believed. Anything else gives nothing.
std::optional<TPackedDIB> CheckPackedDIB(const void* Block, size_t Size);

// The BITMAPINFO of a DIB section for a checked DIB: a 40-byte header with biClrUsed 0 and
// the full colour table of its depth (entries it does not store are black); a resolution below
// 1 takes the other axis's, or 300 dpi when both are.
struct TBitmapInfoBuffer {
  alignas(win32::BITMAPINFOHEADER) uint8_t Bytes[sizeof(win32::BITMAPINFOHEADER) + 256 * 4] = {};
  win32::BITMAPINFO* Info() { return reinterpret_cast<win32::BITMAPINFO*>(Bytes); }
  win32::BITMAPINFOHEADER& Header() { return Info()->bmiHeader; }
};
void SectionInfoOfPackedDIB(const void* Block, const TPackedDIB& Layout, TBitmapInfoBuffer& Out);

// A DIB section holding a copy of the checked DIB's image; nullptr when none can be made.
win32::HBITMAP DIBSectionOfPackedDIB(const void* Block, const TPackedDIB& Layout);

// A BMP file read into a DIB section, or its packed DIB into a movable zero-filled global
// memory block; nullptr when the file cannot be read or does not hold a sound BMP image.
// Nothing is raised.
win32::HBITMAP LoadBMPFileToDIBSection(const std::string& FileName);
win32::HGLOBAL LoadBMPFileToGlobal(const std::string& FileName);

// Colors gray entries (2, 16 or 256; others are left alone): 0 and 255, 0, 15, 31 … 239, or
// 0 … 255, each 255 minus that with Vanilla.
void FillGrayPalette(win32::RGBQUAD* Colors, int Count, bool Vanilla);

// Turns the rows of an image that arrived top row first upside down, so that it reads as a
// bottom-up DIB, and with SwapRedBlue (24 bits only) turns red-green-blue pixels into
// blue-green-red: one pass over the image.
void ReorderMemPixels(uint8_t* Bits, int32_t Width, int32_t Height, int BitCount, bool SwapRedBlue);
