// The bitmap format module: reads and writes PCX, Targa and BMP files through file callbacks
// that its user may install. Every operation answers one of the codes below and never raises.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "streams.h"

namespace bitmapfmt {

// Result codes; ErrorText gives their messages.
enum : int {
  kOk = 0,
  kNoMemory = 1,
  kNotSupported = 2,
  kBadOption = 3,
  kNotFound = 4,
  kBadMagic = 5,
  kBadSize = 6,
  kReadError = 7,
  kWriteError = 8,
  kBadArgument = 9,
  kBmpPlanesNot1 = 300,
  kBmpBitCount = 301,
  kBmpCbFix = 302,
  kBmpCompression = 303,
  kBmpIndex = 304,
  kTgaBitsPerPixel = 400,
  kTgaCompression = 401,
  kTgaColorMapEntry = 402,
  kPcxVersion = 700,
  kPcxEncoding = 701,
  kPcxPlanes = 702,
  kPcxTrailer = 703,
};

// Capability flags of a format: what it reads (low four bits) and writes (high four bits).
enum : int {
  kRead1 = 0x01,
  kRead4 = 0x02,
  kRead8 = 0x04,
  kRead24 = 0x08,
  kWrite1 = 0x10,
  kWrite4 = 0x20,
  kWrite8 = 0x40,
  kWrite24 = 0x80,
};

// One row of the format table.
struct TBitmapFormat {
  const char* ShortName = "";
  const char* LongName = "";
  const char* Extensions = "";  // separated by blanks
  int Flags = 0;
};

// A palette entry: red, green, blue.
struct TRgb {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  bool operator==(const TRgb&) const = default;
};

// What a format's reader keeps between the header, palette and data steps.
struct TBitmapPrivate {
  int Format = -1;  // the format whose ReadHeader filled the description
  int W = 0;        // the size the header gave; a changed description is refused
  int H = 0;
  int Bpp = 0;
  int64_t PaletteOffset = 0;
  int64_t DataOffset = 0;
  int PaletteEntries = 0;  // entries stored in the file
  int PaletteEntryBytes = 0;
  int FirstEntry = 0;  // index of the first stored palette entry
  int FileBits = 0;    // bits per pixel, or per plane, as stored
  int Planes = 0;
  int LineBytes = 0;  // bytes of one stored line (of one plane)
  int Compression = 0;
  bool TopDown = false;
  bool RightToLeft = false;
  unsigned Options = 0;  // the reading options given to ReadHeader
};

// A bitmap: width, height and bits per pixel (1, 4, 8 or 24).
struct TBitmapDesc {
  int W = 0;
  int H = 0;
  int Bpp = 0;
  TBitmapPrivate Private;
};

// Bytes of one row of the pixel buffer: rows run from the bottom up, each padded to 4 bytes;
// 24-bit pixels are blue, green, red.
inline int64_t RowBytes(int w, int bpp) {
  return (static_cast<int64_t>(w) * bpp + 31) / 32 * 4;
}

// File callbacks over integer handles. Open and Create answer a handle or -1 (Create makes the
// file or truncates it); Close answers 0 or -1; Seek the new position or -1; Read and Write the
// number of bytes moved or -1.
struct TBitmapIo {
  std::function<int(const std::string& fileName)> Open;
  std::function<int(const std::string& fileName)> Create;
  std::function<int(int handle)> Close;
  std::function<int64_t(int handle, int64_t offset, TSeekOrigin origin)> Seek;
  std::function<int64_t(int handle, void* buffer, int64_t count)> Read;
  std::function<int64_t(int handle, const void* buffer, int64_t count)> Write;
};

// Installs the callbacks; an empty one keeps the default (the host's file streams).
int SetIo(const TBitmapIo& io);
// The callbacks in use, for opening and closing the files handed to the operations.
TBitmapIo CurrentIo();

// The number of formats; kBadArgument for a null count.
int FormatCount(int* count);
// The first format whose extensions hold the file name's extension, ignoring case; kNotFound
// when none does.
int GuessFormat(const char* fileName, int* index);
// Row index of the format table; kBadArgument for an index outside it or a null format.
int QueryFormat(int index, TBitmapFormat* format);
// Options are words separated by blanks, tabs or commas, matched without regard to case;
// a null options string means none.
int ReadHeader(const char* fileName, int handle, int index, TBitmapDesc* desc, const char* options);
// The palette of a 1, 4 or 8-bit bitmap (2, 16 or 256 entries); empty for 24 bits.
int ReadPalette(int handle, int index, const TBitmapDesc* desc, std::vector<TRgb>* palette);
// The pixel buffer, RowBytes(W, Bpp) x H bytes. Left unchanged when the reading fails.
int ReadData(int handle, int index, const TBitmapDesc* desc, std::vector<uint8_t>* data);
// palette must hold 2^Bpp entries for 1, 4 and 8 bits (it may be null for 24 bits); data
// must hold RowBytes(W, Bpp) x H bytes.
int WriteImage(const char* fileName, int handle, int index, const TBitmapDesc* desc,
               const std::vector<TRgb>* palette, const std::vector<uint8_t>* data,
               const char* options);
// The message of a result code; "general error" for a code it does not know.
const char* ErrorText(int code);

}  // namespace bitmapfmt
