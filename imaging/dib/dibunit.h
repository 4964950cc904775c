// TDIB: one page image as a packed device-independent bitmap (40-byte header, a full palette of
// 2^bits entries for 1, 4 and 8 bits, bottom-up rows padded to 4 bytes) in one movable global
// memory block that stays locked for the page's life. Image operations work in place on that
// block and keep its handle, so a holder of the handle still holds the page afterwards.
//
// Pixel types are the one-byte codes 1 (1 bit), 2 (4 bits), 3 (8 bits) and 6 (24 bits). Rows
// are addressed top-down through the line table: Lines(y) is picture row y counted from the
// top. A 24-bit pixel value is red + green * 256 + blue * 65536.
//
// Who owns the block: a page holds at most one block, locked while it holds it, and frees it
// only when OwnsHandle() is true. FreeImage, the destructor, SetHandle, TakeImage, NewImage and
// the loaders first let go of the page's block: they free it when the page owns it, else only
// unlock it. A new page owns; SetHandle, NewImage and the loaders leave the flag as it is, so a
// page that lends its block with SetOwnsHandle(false) does not own the next block either until
// SetOwnsHandle(true). GetHandle and Handle only show the handle: the page keeps the block.
// TakeImage is the one way to hand a block from one page to another.
//
// Where the members are defined, one family of operations a file:
//   dibunit.cpp                 construction and memory, IntMax, IntMin, IntPower,
//                               resolution, pixels, palette, InvertBits, ReversePalette,
//                               Duplicate
//   dibunit_io.cpp              IsBMP, IsTIFF, IsPNG, LoadFromStream, LoadFromFile, LoadBMP,
//                               SaveToStream, SaveToFile
//   dibunit_png.cpp             LoadPNG (over the codec of gfx_png.h)
//   dibunit_tiffjpeg.cpp        LoadTIFF, LoadJPEG, ReadTIFF, ReadJPEG, SwapRGBTriples
//   dibunit_tiffjpegwrite.cpp   PageCount, PageCountFromStream, SaveTIFF, SaveTIFFToStream,
//                               SaveJPEG, SaveJPEGToStream, WriteTIFF, WriteJPEG
//   tiffstream.cpp              libtiff over a TStream (tiffstream.h), under both TIFF files
//   jpegstream.cpp              libjpeg over a TStream (private/jpegstream.h), under both JPEG
//                               files
//   dibunit_convert.cpp         ConvertPixelType and its steps, RGBToGray, ScaleToGray
//   dibunit_levels.cpp          Histogram, HistogramDirect, HistogramByPalette,
//                               MeasureBrightness, DifferenceHistogram*, MeasureContrast,
//                               BlockRankLevel, Trunc, GrayOf24 and the level functions
//                               (HistogramRange ... IntermeansLevel)
//   dibunit_threshold.cpp       Threshold, AutoThreshold, AdaptiveThreshold, LocalMinimum,
//                               LocalMaximum, NiblackThreshold
//   dibunit_paperlevel.cpp      AdaptiveGlobalLevel, TPaperLevels (paperlevels.h)
//   localthreshold.cpp          LocalStatsFilter, LocalStatsThreshold (localthreshold.h), under
//                               NiblackThreshold
//   dibunit_blobs.cpp           TBlobList, FindBlobs, EraseBlobs, Despeckle, CountLineBits,
//                               CountColumnBits, CountRunBits, CountRunBelow, CountRunBelow24
//   dibunit_components.cpp      the component search under FindBlobs
//   dibunit_skew.cpp            DetectSkew, DetectSkew1, DetectSkew8, DetectSkew24, ProfileScore
//   dibunit_darkmap.cpp         the dark-pixel strip table under the skew search
//   dibunit_rotate.cpp          Rotate, Rotate1, Rotate8, Rotate24, MixColors
//   dibunit_rotategeneric.cpp   RotateGeneric
//   dibunit_geometry.cpp        FlipVertical, Resize, ResizeCanvas, Crop, ShiftLine,
//                               ShiftHorizontal, ShiftVertical, DrawLine, FrameRect, FillRect
//   dibunit_blackborder.cpp     DetectBlackBorder
//   dibunit_sidestrips.cpp      EraseSideStrips
//   dibunit_border.cpp          DetectContent, DetectBorder*, Border*,
//                               Count*InRange*, BackgroundValue, EraseOutside, AutoCrop,
//                               PaperSizes, PaperSizeByName
//   dibunit_source.cpp          CopyRect, IsGray, SwapRedBlue, Planes, PaperNameBySize
//   dibunit_source_lut.cpp      ContrastLUT, StretchLUT, GainLUT, ApplyLUT, AdjustContrast,
//                               AdjustBrightness
//   dibunit_source_rotate.cpp   Rotate90, Rotate180, Rotate270, RotateByAngle, AutoDeskew
//   dibworkspace.cpp            TDIBWorkspace (dibworkspace.h), the working memory that the
//                               overloads taking one borrow
//
// Each declaration says what it does, then, only where they apply: "Types:" the pixel types it
// takes, "Raises:" its exception texts, "Owns:" what ownership it takes or gives, "In place:"
// whether it changes this page or makes a new one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../limits.h"
#include "exception.h"
#include "globalmem.h"
#include "rounding.h"
#include "streams.h"
#include "wingdi.h"

// Pixel types.
inline constexpr uint8_t pt1bit = 1;
inline constexpr uint8_t pt4bit = 2;
inline constexpr uint8_t pt8bit = 3;
inline constexpr uint8_t pt24bit = 6;

// Pixels per metre in one dot per inch.
inline constexpr double kPelsPerMeterPerDPI = 39.37;

// The larger of the two.
int32_t IntMax(int32_t a, int32_t b);
// The smaller of the two.
int32_t IntMin(int32_t a, int32_t b);
// Base to the power Exponent, wrapping modulo 2^32; 1 for an exponent of 0 or less.
int32_t IntPower(int32_t base, int32_t exponent);

// The block layout of a page of the given size and type.
struct TDIBLayout {
  int32_t BlockSize = 0;
  int32_t LineBytes = 0;
  int32_t Stride = 0;
};

// Signature tests: each reads at the stream's position and puts the position back.
// "BM".
bool IsBMP(TStream& Stream);
// "II" or "MM".
bool IsTIFF(TStream& Stream);
// The eight signature bytes of a PNG file.
bool IsPNG(TStream& Stream);

class TDeviceContext;
class TDIBWorkspace;
class TPaperLevels;

class TDIB {
 public:
  // The per-depth pixel methods behind GetPixel and SetPixel.
  using TPixelGetter = int32_t (TDIB::*)(int32_t X, int32_t Y) const;
  using TPixelSetter = void (TDIB::*)(int32_t X, int32_t Y, int32_t Value);

  // An empty page: no block, pixel type 8 bits, owning; pixel access raises.
  TDIB();
  // Lets go of the block as FreeImage does.
  ~TDIB();
  // Pages are not copied: Duplicate copies one, TakeImage hands a block on.
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // ---- Construction and memory ----
  // Locks the block (on the first of nested calls) and returns its address.
  // Raises: the platform's error text when the block cannot be locked.
  void* Lock();
  // Undoes one Lock; the last one unlocks the block. Nothing when the page is not locked.
  void Unlock();
  // Undoes every Lock, the page's own one too: its addresses are stale until it is locked and
  // its header parsed again. Nothing on an empty page.
  void UnlockAll();
  // Empties the page: unlocks the block and forgets it, its line table and file header; pixel
  // access then raises. The ownership flag stays.
  // Owns: frees the block when the page owns it; a borrowed block is only let go of.
  void FreeImage();
  // Replaces the image with a blank one (all bits 0) of the size, type and resolution (dpi),
  // with a gray palette of the type's entries (1 bit: black, white).
  // Types: pt1bit, pt4bit, pt8bit, pt24bit.
  // Raises: the texts of CheckImageSize, after the old image is gone (the page is then empty);
  // the platform's error text when the block cannot be had.
  // Owns: lets go of the old block as FreeImage does; keeps the ownership flag.
  // In place: no; a new block and handle.
  void NewImage(int32_t Width, int32_t Height, uint8_t PixelType, int32_t XDPI, int32_t YDPI);
  // Adopts a packed bitmap block (rows right after the full palette); nullptr empties the page.
  // Raises: "Invalid bitmap block: ..." when the header does not fit the block (a negative or
  // too large size, more than 32 bits, too few bytes); the page is then empty and the block
  // unlocked and untouched.
  // Owns: lets go of the old block as FreeImage does; the page frees the new one later when
  // OwnsHandle() is true, a flag it keeps (true on a new page).
  // In place: the page's handle becomes Handle.
  void SetHandle(win32::HGLOBAL Handle);
  // The block's handle; nullptr on an empty page.
  // Owns: nothing changes; to give the block away, call SetOwnsHandle(false) as well.
  win32::HGLOBAL GetHandle() const;
  // Hands Source's block to this page. The header is read from the block again, as SetHandle
  // does; the rows stay where Source had them. Source ends empty and owning. Nothing when
  // Source is this page.
  // Raises: SetHandle's texts; this page is then empty and Source keeps its block.
  // Owns: lets go of this page's old block as FreeImage does; takes the block and its ownership
  // from Source (owning it exactly when Source did).
  // In place: this page's handle becomes Source's; the block itself neither moves nor changes.
  void TakeImage(TDIB& Source);
  // Reads pixel type, palette size, rows, stride, block size and pixel methods from the
  // block's header; rows at FileHeader().bfOffBits when it is not 0, else after the palette.
  // A bit count other than 1, 4, 8, 24 keeps the pixel type and leaves pixel access raising.
  // BuildLineTable must follow.
  void ParseHeader();
  // Points Lines(y) at picture row y (the block holds the rows bottom-up).
  void BuildLineTable();
  // Leaves the layout untouched for pixel types other than 1, 2, 3, 6.
  static void LayoutForType(int32_t Width, int32_t Height, uint8_t PixelType, TDIBLayout& Layout);
  // Raises before anything is allocated when a page of that size and type would exceed the
  // library's limits (or has a negative size, or an unknown type).
  // Raises: "Bit depht not allowed" for an unknown type, "Image size not allowed: ...",
  // "Image too large: ..." (../limits.h).
  static void CheckImageSize(int64_t Width, int64_t Height, uint8_t PixelType);

  // ---- The image and its members ----
  // True when the page holds no block.
  bool Empty() const { return FHandle == nullptr; }
  // Picture row Y counted from the top; no range check.
  uint8_t* Lines(int32_t Y) const { return FLines[Y]; }
  // The block's handle; nullptr on an empty page. The page keeps the block.
  win32::HGLOBAL Handle() const { return FHandle; }
  // The locked block's first byte (the info header); nullptr when the page is not locked.
  void* Memory() const { return FMemory; }
  // Whether FreeImage and the destructor free the block.
  bool OwnsHandle() const { return FOwnsHandle; }
  // Sets that flag: false lends (or gives away) the block, true takes it over.
  // Owns: as the flag says from now on; nothing is freed or unlocked here.
  void SetOwnsHandle(bool Value) { FOwnsHandle = Value; }
  // The bytes of header, palette and rows (the block may hold more).
  int32_t BlockSize() const { return FBlockSize; }
  // pt1bit, pt4bit, pt8bit or pt24bit; pt8bit on a new page.
  uint8_t PixelType() const { return FPixelType; }
  // The Lock calls not yet undone: 1 while the page holds its block.
  int32_t LockCount() const { return FLockCount; }
  // The BMP file header kept with the page: a bfOffBits other than 0 tells ParseHeader where
  // the rows start. Saving rewrites it.
  win32::BITMAPFILEHEADER& FileHeader() { return FFileHeader; }
  const win32::BITMAPFILEHEADER& FileHeader() const { return FFileHeader; }
  // The block's info header; nullptr on an empty page.
  win32::BITMAPINFOHEADER* Header() const { return FHeader; }
  // The palette after the info header (ColorCount() entries).
  win32::RGBQUAD* Palette() const { return FPalette; }
  // The first byte of the bottom row.
  uint8_t* Bits() const { return FBits; }
  // Palette entries of the bit count: 2, 16, 256, or 0 for 24 bits.
  int32_t ColorCount() const { return FColorCount; }
  // The header's biClrUsed when the page was made or its header parsed.
  uint32_t ColorsUsed() const { return FColorsUsed; }
  // Bytes of one row, padded to 4.
  int32_t Stride() const { return FStride; }
  // Bytes of one row that hold pixels.
  int32_t LineBytes() const { return FLineBytes; }
  // The method GetPixel calls.
  TPixelGetter PixelGetter() const { return FPixelGetter; }
  // The method SetPixel calls.
  TPixelSetter PixelSetter() const { return FPixelSetter; }

  // In pixels; 0 on an empty page.
  int32_t Width() const { return FHeader == nullptr ? 0 : FHeader->biWidth; }
  int32_t Height() const { return FHeader == nullptr ? 0 : FHeader->biHeight; }
  // The header's bits per pixel; only on a page that holds a block.
  int32_t BitCount() const { return FHeader->biBitCount; }
  // Dots per inch, rounded from the header's pixels per metre; only on a page that holds a block.
  int32_t XResolution() const;
  int32_t YResolution() const;
  // Stores dots per inch as pixels per metre in the header; only on a page that holds a block.
  // In place: the header only.
  void SetXResolution(int32_t DPI);
  void SetYResolution(int32_t DPI);

  // ---- Pixels (no range checks: 0 <= X < Width, 0 <= Y < Height) ----
  // A pixel through the depth's methods: a palette index, or a 24-bit value.
  // Raises: "Pixel access on an empty bitmap", "Pixel access not allowed on a N bits per pixel
  // bitmap" for a bit count without pixel methods.
  int32_t GetPixel(int32_t X, int32_t Y) const { return (this->*FPixelGetter)(X, Y); }
  // SetPixel stores the value's low bits; 1 bit: a value of 0 or less clears the pixel.
  void SetPixel(int32_t X, int32_t Y, int32_t Value) { (this->*FPixelSetter)(X, Y, Value); }
  // The methods of one depth each, with no check of the page's depth.
  int32_t GetPixel1(int32_t X, int32_t Y) const;
  int32_t GetPixel4(int32_t X, int32_t Y) const;
  int32_t GetPixel8(int32_t X, int32_t Y) const;
  int32_t GetPixel24(int32_t X, int32_t Y) const;
  void SetPixel1(int32_t X, int32_t Y, int32_t Value);
  void SetPixel4(int32_t X, int32_t Y, int32_t Value);
  void SetPixel8(int32_t X, int32_t Y, int32_t Value);
  void SetPixel24(int32_t X, int32_t Y, int32_t Value);
  // Sets every byte of the rows, padding included; nothing on an empty page.
  // In place: yes.
  void Fill(uint8_t Value);
  // Fill(255): every pixel takes the highest index (white on standard 1, 8 and 24-bit pages).
  // In place: yes.
  void Clear() { Fill(255); }

  // ---- Palette ----
  // Entry I as the word of its bytes blue, green, red, reserved (blue the low byte); no range
  // check.
  uint32_t GetPaletteEntry(int32_t I) const;
  // Stores entry I from such a word; no range check.
  // In place: yes.
  void SetPaletteEntry(int32_t I, uint32_t Entry);
  // Copies the logical palette's entries into the first entries of the page's palette.
  // Raises: "Palette too large: N entries for M" when it holds more than the page's palette.
  // In place: yes.
  void SetPaletteFromLog(const win32::LOGPALETTE& LogPalette);
  // The first white palette entry; without one 255 (8 bits), 16777215 (24 bits), else 0.
  int32_t WhiteIndex() const;
  // The first black palette entry; without one 0 (8 and 24 bits), else 1.
  int32_t BlackIndex() const;
  // 8 bits: entry i is gray level i for every i; 1 bit: entry 0 white, entry 1 black; true for
  // the other types.
  bool HasGrayPalette() const;

  // ---- Polarity and copies ----
  // Complements every pixel byte of the rows (not the padding).
  // In place: yes.
  void InvertBits();
  // InvertBits, and the palette in reverse order: the page looks the same.
  // In place: yes.
  void ReversePalette();
  // A copy of the block (header, palette, rows).
  // Raises: "DIB Duplicate error !" on an empty page and on a block that its pixel type does not
  // lay out (a bit count without pixel type).
  // Owns: the caller owns the copy. In place: no; a new page.
  std::unique_ptr<TDIB> Duplicate() const;

  // ---- Loading and saving (BMP here; the other readers in their own files) ----
  // Loads the file at the stream's position by its signature: BMP, TIFF (page PageIndex), PNG,
  // anything else as JPEG.
  // Raises: the reader's texts; the page is then empty.
  // Owns: lets go of the old block as FreeImage does. In place: no; a new block.
  void LoadFromStream(TStream& Stream, int32_t PageIndex = 0);
  // LoadFromStream over the file.
  // Raises: the file stream's text when it cannot be opened, then the reader's texts.
  void LoadFromFile(const std::string& FileName, int32_t PageIndex = 0);
  // Writes a BMP file: the 14-byte file header, then the block's first BlockSize() bytes.
  // Raises: "No image to save" on an empty page; the stream's texts.
  // In place: rewrites FileHeader().
  void SaveToStream(TStream& Stream);
  // SaveToStream into the file, made anew.
  void SaveToFile(const std::string& FileName);
  // A BMP file image: 40-byte header, 1, 4, 8 or 24 bits, uncompressed, bottom-up; a short
  // palette is filled out with black entries and a gap before the rows skipped.
  // Raises: "Invalid bitmap file !" without the signature, "Invalid bitmap file: <why>" for
  // another header, offset or size, CheckImageSize's texts; the page is then empty.
  // Owns: lets go of the old block as FreeImage does. In place: no; a new block.
  void LoadBMP(TStream& Stream);
  // A PNG through the codec of gfx_png.h, with its palette and the resolution of its pHYs
  // chunk (0 without one).
  // Raises: the codec's texts (EPNGImageException); the page is then empty.
  // Owns: lets go of the old block as FreeImage does. In place: no; a new block.
  void LoadPNG(TStream& Stream);
  // ReadTIFF into this page.
  // Raises: ReadTIFF's texts; the page is then empty.
  // Owns: lets go of the old block as FreeImage does. In place: no; a new block.
  void LoadTIFF(TStream& Stream, int32_t PageIndex);
  // ReadJPEG into this page.
  // Raises: ReadJPEG's texts; the page is then empty.
  // Owns: lets go of the old block as FreeImage does. In place: no; a new block.
  void LoadJPEG(TStream& Stream);

  // ---- TIFF and JPEG ----
  // The number of pages of a TIFF file; 1 for any other file.
  // Raises: the file stream's text when it cannot be opened, "TIFFOpen".
  static int32_t PageCount(const std::string& FileName);
  // The pages of the TIFF at the stream's start; raises "TIFFOpen" when it is none.
  static int32_t PageCountFromStream(TStream& Stream);
  // Compression is the program's code: 0 by pixel type (1 bit Group 4, 4 bits PackBits, 8 and
  // 24 bits JPEG), 1 none, 2 PackBits, 3 Group 3, 4 Group 3 2-D, 5 Group 4, 6 Deflate, 7 JPEG,
  // 8 LZW, any other none. RowsPerStrip of 0 or less means 16; JPEG always uses 8.
  // With Append and an existing file the page becomes the file's last page.
  // Raises: the file stream's text, WriteTIFF's texts.
  void SaveTIFF(const std::string& FileName, bool Append, uint8_t Compression,
                int32_t RowsPerStrip);
  // SaveTIFF into a stream; with Append the stream holds a TIFF from its start.
  // Raises: WriteTIFF's texts.
  void SaveTIFFToStream(TStream& Stream, bool Append, uint8_t Compression, int32_t RowsPerStrip);
  // 8 and 24-bit pages only; the JFIF density carries the page's resolution in dots per inch.
  // Types: pt8bit, pt24bit.
  // Raises: the file stream's text, "Invalid bit depth !", the library's message.
  void SaveJPEG(const std::string& FileName, bool Progressive, uint8_t Quality);
  // SaveJPEG into a stream.
  // Types: pt8bit, pt24bit. Raises: "Invalid bit depth !", the library's message.
  void SaveJPEGToStream(TStream& Stream, bool Progressive, uint8_t Quality);

  // ---- Pixel-format conversions ----
  // Changes the page to pixel type NewType with a fresh standard palette; the current type
  // does nothing. Down to 1 bit every index but 0 becomes 1; 24 bits go through RGBToGray.
  // Types: all four; a page whose bit count has no pixel type, and an empty page, stay as they
  // are.
  // Raises: "Function not available :-(" for a NewType other than 1, 2, 3, 6; the platform's
  // error text when the block cannot be resized.
  // In place: yes; the same block and handle.
  void ConvertPixelType(uint8_t NewType);
  // 24-bit to 8-bit gray over the selected channels, weighted 0.3 red, 0.59 green, 0.11 blue
  // or averaged.
  // Types: pt24bit.
  // Raises: "This operation requires 24 bit per pixel bitmap !" (also on an empty page),
  // "Unable to convert RGB to Gray without one channel selected !".
  // In place: yes; the same handle, now 8 bits with a gray palette.
  void RGBToGray(bool Weighted, bool UseRed, bool UseGreen, bool UseBlue);
  // A new gray page of a 1-bit page at Percent per cent of its size with Levels gray levels, by
  // counting set pixels in boxes; nullptr when it cannot be made. Levels are taken within 4 ..
  // 256 (over 16: an 8-bit page, else 4 bits), Percent within 1 .. 100.
  // Types: pt1bit.
  // Raises: "This operation requires 1 bit per pixel bitmap !" (also on an empty page).
  // Owns: the caller owns the new page. In place: no; a new page.
  std::unique_ptr<TDIB> ScaleToGray(int32_t Levels, double Percent) const;

 private:
  // The single steps of ConvertPixelType, each from the type its name gives.
  void Convert8To1();
  void Convert4To1();
  void Convert8To4();
  void Convert1To8();
  void Convert1To4();
  void Convert4To8();
  void Convert8To24();
  void Convert4To24();

 public:
  // ---- Histograms, measures and thresholds ----
  // 256 bins of 64-bit counts indexed by gray level; every operation that fills one clears it
  // first. A plain value that the caller owns.
  struct THistogram {
    uint64_t Bins[256];
    uint64_t& operator[](int32_t Level) { return Bins[Level]; }
    uint64_t operator[](int32_t Level) const { return Bins[Level]; }
  };
  // 1-bit, 24-bit and gray 8-bit pages by value, other 8-bit pages through the palette; other
  // types raise. A page without pixels gives a cleared histogram.
  // Raises: "This operation requires 8 bit per pixel bitmap !" for a 4-bit page.
  void Histogram(THistogram& Histogram) const;
  // 1-bit: bin 1 set pixels, bin 0 the others; 8-bit: byte values; 24-bit: gray values. Other
  // types leave the histogram cleared.
  void HistogramDirect(THistogram& Histogram) const;
  // 8-bit only: the blue byte of each pixel's palette entry.
  // Types: pt8bit. Raises: "This operation requires 8 bit per pixel bitmap !".
  void HistogramByPalette(THistogram& Histogram) const;
  // The mean gray level 0..255 of the page's pixels, seen through the palette's red bytes when
  // there is a palette; 0 for a page without pixels.
  // Raises: Histogram's texts.
  double MeasureBrightness() const;
  // Absolute differences between each interior pixel and its eight or four neighbours.
  // Types: as DifferenceHistogram8 and DifferenceHistogram4.
  void DifferenceHistogram(bool EightNeighbours, THistogram& Histogram) const;
  // Eight neighbours.
  // Types: pt8bit. Raises: "This operation requires 8 bit per pixel bitmap !".
  void DifferenceHistogram8(THistogram& Histogram) const;
  // Four neighbours, of 8-bit values or 24-bit gray values.
  // Types: pt8bit, pt24bit. Raises: "This operation requires 8 bit per pixel bitmap !".
  void DifferenceHistogram4(THistogram& Histogram) const;
  // The mean neighbour difference above the split level (negative: the middle of the
  // differences that occur), 0 when fewer than MinimumCount (negative: one per thousand pixels).
  // Types: pt8bit, and pt24bit with four neighbours.
  // Raises: "This operation requires 8 bit per pixel bitmap !".
  double MeasureContrast(bool EightNeighbours, int32_t SplitLevel, int32_t MinimumCount) const;
  // A level from the rank statistics of the page's 2 x 2 blocks; 127 without a block.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  int32_t BlockRankLevel() const;
  // Method 0 Otsu, 1 mean, 2 intermeans, 3 block rank, 4 mean; others 127. Thresholds the page
  // at the level (its low byte) and returns that.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  // In place: yes; with Convert the same block becomes 1 bit.
  uint8_t AutoThreshold(uint8_t Method, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // Bytes above the level become the light value, the others the dark value; Convert turns the
  // page to 1 bit afterwards.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  // In place: yes; with Convert the same block becomes 1 bit.
  void Threshold(uint8_t Level, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // Local minimum/maximum threshold: where the local contrast is below the limit, the global
  // level decides, else the middle of the local minimum and maximum.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page), "Bad
  // AreaW or AreaH value" for an area below 1 or larger than the page.
  // In place: yes; with Convert the same block becomes 1 bit.
  void AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                         uint8_t GlobalLevel, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // AdaptiveThreshold with the working memory of Workspace.
  void AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                         uint8_t GlobalLevel, bool Convert, uint8_t DarkValue, uint8_t LightValue,
                         TDIBWorkspace& Workspace);
  // AdaptiveThreshold with a level of the paper's for each pixel (paperlevels.h) in place of
  // the one global level.
  // Raises: also "The paper levels must have the size of the page".
  void AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                         const TPaperLevels& Levels, bool Convert, uint8_t DarkValue,
                         uint8_t LightValue, TDIBWorkspace& Workspace);
  // The global level for AdaptiveThreshold's low-contrast windows, from the paper: the byte
  // value that 95 per cent of the middle half of the page lie at or below (read on 128 to 255
  // rows spread evenly over it, every row of a smaller middle). A quarter of the scale below
  // the paper (at least half the paper's value), and never above 128, so that plain paper
  // darker than middle gray stays light while a page with paper from 192 up keeps 128. The
  // paper levels of each place (paperlevels.h) lie between half this level and this level;
  // border removal's side strips read dark pixels below it too; a 24-bit page is read by its
  // gray.
  // Types: pt8bit, pt24bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  uint8_t AdaptiveGlobalLevel() const;
  // The minimum (maximum) of an 8-bit page over a window about each pixel, into Target, an
  // 8-bit page of the same size.
  // Types: pt8bit, both pages.
  // Raises: "This operation requires 8 bit per pixel bitmap !", "The target page must have the
  // size of the page".
  // In place: writes Target's rows only.
  void LocalMinimum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const;
  void LocalMaximum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const;
  // Local mean and deviation threshold with k = -Aggressivity / 100 (LocalStatsThreshold of
  // localthreshold.h), then Threshold at 128.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  // In place: yes; with Convert the same block becomes 1 bit.
  void NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                        uint8_t LightValue);
  // NiblackThreshold with the working memory of Workspace.
  void NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                        uint8_t LightValue, TDIBWorkspace& Workspace);

  // ---- Despeckle and connected components ----
  // The bounding box (Right and Bottom inclusive) and pixel count of one component.
  struct TBlob {
    int32_t Left, Top, Right, Bottom;
    int32_t Reserved;  // always 0
    int32_t Count;
    int32_t Data1, Data2;
  };
  // The components that a search kept, in the order it found them.
  class TBlobList {
   public:
    // Appends a record and returns its index.
    int32_t Add(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Count,
                int32_t Data1, int32_t Data2);
    // Record Index.
    // Raises: "List index out of bounds (N)".
    const TBlob& Items(int32_t Index) const;
    // The number of records.
    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    // Removes every record.
    void Clear() { FItems.clear(); }

   private:
    std::vector<TBlob> FItems;
  };
  // The 8-connected components of black pixels of a 1-bit page whose pixel count and bounding
  // box lie in the given ranges, added to Blobs (when given) in the order of their first pixel
  // in a column-by-column scan.
  // Types: pt1bit.
  // Raises: "This operation requires 1 bit per pixel bitmap !" (also on an empty page).
  void FindBlobs(int32_t MinWidth, int32_t MinHeight, int32_t MinCount, int32_t MaxWidth,
                 int32_t MaxHeight, int32_t MaxCount, TBlobList* Blobs);
  // Paints the bounding boxes of records First..Last with Value; returns Last - First + 1.
  // Raises: "List index out of bounds (N)", SetPixel's texts.
  // In place: yes.
  int32_t EraseBlobs(const TBlobList& Blobs, int32_t First, int32_t Last, int32_t Value);
  // Paints white every black component at most MaxWidth x MaxHeight pixels (<= 0: 0.5 mm) and
  // returns how many there were.
  // Types: pt1bit.
  // Raises: "This operation requires 1 bit per pixel bitmap !" (also on an empty page).
  // In place: yes.
  int32_t Despeckle(int32_t MaxWidth, int32_t MaxHeight);
  // Despeckle with the working memory of Workspace.
  int32_t Despeckle(int32_t MaxWidth, int32_t MaxHeight, TDIBWorkspace& Workspace);
  // Set pixels of line Y, or of column X.
  // Types: pt1bit.
  // Raises: "This operation requires 1 bit per pixel bitmap !" (also on an empty page).
  int32_t CountLineBits(int32_t Y) const;
  int32_t CountColumnBits(int32_t X) const;
  // Set pixels among X..X+N-1 of line Y, or the clear ones when CountSet is false (1-bit).
  // Types: pt1bit, not checked.
  int32_t CountRunBits(int32_t X, int32_t Y, int32_t N, bool CountSet) const;
  // Pixels among X..X+N-1 of line Y below Level: 8-bit values, or 24-bit gray values.
  // Types: pt8bit (CountRunBelow), pt24bit (CountRunBelow24), not checked.
  int32_t CountRunBelow(int32_t X, int32_t Y, int32_t N, uint8_t Level) const;
  int32_t CountRunBelow24(int32_t X, int32_t Y, int32_t N, uint8_t Level) const;

  // ---- Geometry ----
  // A rectangle of pixels; Right and Bottom are the last column and line inside it.
  struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  };
  // The skew of the text lines in degrees (positive: they rise to the right), from projection
  // profiles along staircases; 0 for pixel types other than 1, 8 and 24 bits.
  // Types: pt1bit, pt8bit, pt24bit.
  double DetectSkew(int32_t LineStep, double AngleStep, double MaxAngle) const;
  // DetectSkew with the working memory of Workspace.
  double DetectSkew(int32_t LineStep, double AngleStep, double MaxAngle,
                    TDIBWorkspace& Workspace) const;
  // DetectSkew for one depth each, not checked: 1 bit counts black pixels, 8 and 24 bits the
  // pixels below the page's mean level.
  double DetectSkew1(int32_t LineStep, double AngleStep, double MaxAngle) const;
  double DetectSkew8(int32_t LineStep, double AngleStep, double MaxAngle) const;
  double DetectSkew24(int32_t LineStep, double AngleStep, double MaxAngle) const;
  // Turns the picture by two shears in place: clockwise on screen for positive angles. AngleA
  // shears the rows, AngleB the columns; when both are below 0.1 degrees nothing happens. Without
  // UseTypeVariants: RotateGeneric by AngleA. Enlarge grows the canvas to hold the corners.
  // Types: pt1bit, pt8bit, pt24bit (a 4-bit page stays); all four without UseTypeVariants.
  // In place: yes; the same handle.
  void Rotate(bool FillWhite, bool UseTypeVariants, double AngleA, double AngleB, bool Enlarge);
  // Rotate's shears for one depth each, not checked; a grown 24-bit canvas is white.
  void Rotate1(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  void Rotate8(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  void Rotate24(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  // Turns the picture by two shears of whole pixels (no mixing); nothing below 0.1 degrees.
  // Types: pt1bit, pt4bit, pt8bit, pt24bit.
  // Raises: GetPixel's text on another bit count when any pixel would move.
  // In place: yes; the same handle.
  void RotateGeneric(bool FillWhite, bool Enlarge, double Angle);
  // Turns the picture upside down.
  // In place: yes.
  void FlipVertical();
  // Scales the picture to the new size: nearest pixel, or the mean of each box with Average.
  // Raises: CheckImageSize's texts, the platform's error text when the block cannot grow.
  // In place: yes; the same handle.
  void Resize(int32_t NewWidth, int32_t NewHeight, bool Average);
  // Keeps the top-left content; new pixels take FillValue (its bits, for 1 and 4 bits).
  // Raises: CheckImageSize's texts, the platform's error text when the block cannot grow (the
  // page is then as it was).
  // In place: yes; the same handle.
  void ResizeCanvas(int32_t NewWidth, int32_t NewHeight, uint8_t FillValue);
  // Keeps the rectangle; nothing when it is inverted.
  // Raises: as ResizeCanvas. In place: yes; the same handle.
  void Crop(const TRect& Rect);
  // Moves line Y (or every line) by N pixels, positive to the right; vacated pixels are white.
  // In place: yes.
  void ShiftLine(int32_t Y, int32_t N);
  void ShiftHorizontal(int32_t N);
  // Moves the picture by N lines, positive downwards; vacated lines are white.
  // In place: yes.
  void ShiftVertical(int32_t N);
  // Paints the segment from (X1, Y1) to (X2, Y2) with Value; points outside are skipped.
  // In place: yes.
  void DrawLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Value);
  // Paints the rectangle's four sides.
  // In place: yes.
  void FrameRect(const TRect& Rect, int32_t Value);
  // Paints the rectangle, corners in either order.
  // In place: yes.
  void FillRect(const TRect& Rect, int32_t Value);

  // ---- Black borders, erase outside and auto-crop ----
  // The rectangle inside the dark frame: the sides walk in over columns and lines that are at
  // least (100 - Percent) percent dark with pixels that the dark frame reaches from the side,
  // crossing light runs of at most Gap (< 0: about 1 mm) and a light edge of about 1 mm at the
  // side, and on through the lines that the frame still reaches into.
  // Types: pt1bit, pt8bit, pt24bit (a 4-bit page gives the whole page).
  void DetectBlackBorder(int32_t Gap, TRect& Rect, double Percent) const;
  // The bounding rectangle of the dark content, walking in over columns and lines that are at
  // least (100 - Percent) percent light.
  // Types: pt1bit, pt8bit, pt24bit (a 4-bit page gives the whole page).
  void DetectContent(int32_t Gap, TRect& Rect, double Percent) const;
  // The four side walks of one depth, not checked: a column or line is border while at most
  // Percent percent of its pixels are of index Index (1 bit) or lie in Low..High.
  void DetectBorder1(int32_t Index, int32_t Gap, TRect& Rect, double Percent) const;
  void DetectBorder8(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect, double Percent) const;
  void DetectBorder24(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect, double Percent) const;
  // One side walk each: the first column or line inside the border, from that side.
  int32_t BorderLeft1(int32_t Index, int32_t Gap, double Percent) const;
  int32_t BorderTop1(int32_t Index, int32_t Gap, double Percent) const;
  int32_t BorderRight1(int32_t Index, int32_t Gap, double Percent) const;
  int32_t BorderBottom1(int32_t Index, int32_t Gap, double Percent) const;
  int32_t BorderLeft8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderTop8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderRight8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderBottom8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderLeft24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderTop24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderRight24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  int32_t BorderBottom24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const;
  // Pixels of a column or line with Low <= value <= High (24-bit: gray value).
  // Types: pt8bit, pt24bit (the ...24 ones), not checked.
  int32_t CountColumnInRange(int32_t X, uint8_t Low, uint8_t High) const;
  int32_t CountLineInRange(int32_t Y, uint8_t Low, uint8_t High) const;
  int32_t CountColumnInRange24(int32_t X, uint8_t Low, uint8_t High) const;
  int32_t CountLineInRange24(int32_t Y, uint8_t Low, uint8_t High) const;
  // The pixel value that paints like the page's paper: 1 bit the white index, else the most
  // frequent level of the light half (a 24-bit gray value).
  // Raises: Histogram's texts.
  int32_t BackgroundValue() const;
  // Paints everything outside the rectangle with the background value; a rectangle that keeps
  // nothing leaves the page alone.
  // Raises: BackgroundValue's texts. In place: yes.
  void EraseOutside(const TRect& Rect);
  // Paints with the background value the thin dark strips that run along the sides of the
  // rectangle (inclusive, clipped to the page) inside it: lines of up to 8 mm from a side,
  // steady along it over more than 25 mm, where each line across the side gives up only its
  // dark run from the side, no deeper than the strip. Letters touching a strip keep their
  // parts beyond its depth; deep or ragged dark regions, and everything outside the
  // rectangle, stay.
  // Types: pt1bit, pt8bit, pt24bit (another type is left alone).
  // Raises: BackgroundValue's texts. In place: yes.
  void EraseSideStrips(const TRect& Rect);
  // Crops to the paper size (of those whose names occur in PaperList, ignoring letter case;
  // empty: the content itself) that best fits the content widened by Margin inches, within
  // Tolerance percent. A paper smaller than that takes from the margin, never from the
  // content: the crop then holds the content. Nor does the crop cut ink that runs out of the
  // content into the margin, unless it runs on to a side of the page.
  // Raises: as Crop. In place: yes; the same handle.
  void AutoCrop(const std::string& PaperList, float Percent, float Margin, float Tolerance);

  // ---- Data-source image operations ----
  // A table of byte values indexed by the old value.
  using TLookupTable = uint8_t[256];
  // Quarter turns clockwise (90) and counter-clockwise (270) and the half turn, in place. The
  // page keeps its pixel type, header (the resolutions are not exchanged) and palette.
  // Raises: "Pixel access not allowed on a N bits per pixel bitmap" for a bit count without
  // pixel methods, before anything changes.
  // In place: yes; the same handle.
  void Rotate90();
  void Rotate180();
  void Rotate270();
  // Turns the page by Angle degrees about its centre (clockwise on screen for a positive
  // angle), nearest sample. With Enlarge the canvas grows to hold the turned corners; pixels
  // that come from outside the page take Fill (a pixel value).
  // Raises: "Invalid floating point operation" for an angle that is not finite, the quarter
  // turns' text.
  // In place: yes; the same handle.
  void RotateByAngle(bool Enlarge, int32_t Fill, double Angle);
  // Detects the skew (up to MaxAngle degrees) and straightens the page by it, without enlarging
  // the canvas; returns the detected angle.
  // In place: yes; the same handle.
  double AutoDeskew(bool FillWhite, bool UseTypeVariants, double MaxAngle);
  // Lookup tables for a percentage: contrast about 127, a clipping stretch, a proportional gain;
  // entries rounded and clipped to 0..255.
  // Raises: "Invalid floating point operation" for a percentage that is not a number.
  static void ContrastLUT(TLookupTable& Table, double Percentage);
  static void StretchLUT(TLookupTable& Table, double Percentage);
  static void GainLUT(TLookupTable& Table, double Percentage);
  // Maps every pixel byte of every line (not the padding) through the table.
  // In place: yes.
  void ApplyLUT(const TLookupTable& Table);
  // ApplyLUT of ContrastLUT (AroundMid) or StretchLUT.
  // In place: yes.
  void AdjustContrast(bool AroundMid, double Percentage);
  // ApplyLUT of GainLUT.
  // In place: yes.
  void AdjustBrightness(double Percentage);
  // A new page holding the rectangle (corners inclusive); raises when it reaches outside.
  // Raises: "Rectangle (L, T, R, B) reaches outside the W x H page".
  // Owns: the caller owns the new page. In place: no; a new page.
  std::unique_ptr<TDIB> CopyRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) const;
  // True for a 1-bit page and for an 8-bit page whose palette entries are all gray.
  bool IsGray() const;
  // Exchanges the red and blue bytes of every pixel of a 24-bit page.
  // Types: pt24bit (other pages stay). In place: yes.
  void SwapRedBlue();
  // The header's plane count; 0 on an empty page.
  int32_t Planes() const;
  // Stretches the whole page onto the rectangle (X, Y, Width, Height) of the device context, by
  // Mode: 0 colour on colour (nearest sample), 1 black on white (shrinking keeps the darkest), 2
  // white on black (keeps the lightest), 3 halftone (averages; brush origin (0, 0)); any other
  // mode draws with the context's own. The context's stretch mode and brush origin are given
  // back afterwards, also when drawing raises. An empty page draws nothing.
  // Types: 1, 4, 8 and 24 bits.
  void Draw(TDeviceContext& DC, int32_t X, int32_t Y, int32_t Width, int32_t Height,
            uint8_t Mode) const;

 private:
  int32_t GetPixelUnset(int32_t X, int32_t Y) const;
  void SetPixelUnset(int32_t X, int32_t Y, int32_t Value);
  // Chooses the per-depth methods and returns true for the bit counts the object maps.
  bool ChoosePixelMethods(int32_t BitCount);
  void CheckAdoptedBlock(size_t GlobalBytes) const;
  // SetHandle with the file header that tells where the rows start.
  void AdoptBlock(win32::HGLOBAL Handle, const win32::BITMAPFILEHEADER& FileHeader);
  void ReadBMPRows(TStream& Stream, const win32::BITMAPINFOHEADER& Info);

  std::vector<uint8_t*> FLines;
  win32::HGLOBAL FHandle = nullptr;
  void* FMemory = nullptr;
  bool FOwnsHandle = true;
  int32_t FBlockSize = 0;
  uint8_t FPixelType = pt8bit;
  int32_t FLockCount = 0;
  win32::BITMAPFILEHEADER FFileHeader{};
  win32::BITMAPINFOHEADER* FHeader = nullptr;
  win32::RGBQUAD* FPalette = nullptr;
  uint8_t* FBits = nullptr;
  int32_t FColorCount = 0;
  uint32_t FColorsUsed = 0;
  int32_t FStride = 0;
  int32_t FLineBytes = 0;
  TPixelSetter FPixelSetter;
  TPixelGetter FPixelGetter;
};

// ---- TIFF and JPEG: free functions ----
// Page PageIndex (from 0) of the TIFF at the stream's position into Image; offsets count from
// the stream's start. A page index past the last page raises.
// Raises: "TIFFOpen", "TIFFSetDirectory: Page = N is past the last page", "Image size not
// allowed: ...", "Unsupported bit count: N", a tag's "TIFFGetField: Tag = N", "TIFFReadScanline",
// "TIFFReadEncodedStrip", "TIFFReadRGBAImage", CheckImageSize's texts.
// In place: Image gets a new block (NewImage).
void ReadTIFF(TDIB& Image, TStream& Stream, int32_t PageIndex);
// The JPEG at the stream's position into Image: 8-bit gray or 24 bits, the JFIF density as
// dots per inch.
// Raises: the library's message, "Invalid samples count: N", CheckImageSize's texts.
// In place: Image gets a new block (NewImage).
void ReadJPEG(TDIB& Image, TStream& Stream);
// Exchanges the first and third byte of each whole 3-byte group in the first Count bytes.
void SwapRGBTriples(uint8_t* Buffer, int64_t Count);
// Mode: 0 read, 1 write, 2 append (see tiffstream.h); Compression as for TDIB::SaveTIFF.
// Raises: "TIFFOpen", a setter's "<name>: Tag = N", "TIFFWriteScanLine", "TIFFFlush".
void WriteTIFF(TDIB& Image, TStream& Stream, uint8_t Mode, uint8_t Compression,
               int32_t RowsPerStrip);
// The page as JPEG at the stream's position; Optimize computes optimal Huffman tables.
// Types: pt8bit, pt24bit. Raises: "Invalid bit depth !", the library's message.
void WriteJPEG(TDIB& Image, TStream& Stream, bool Progressive, bool Optimize, uint8_t Quality);

// ---- Histograms, measures and thresholds: free functions ----
// The histogram under its short name.
using THistogram = TDIB::THistogram;

// Drop the fraction (towards zero); raises, as Round does, on NaN or beyond 32 bits.
// Raises: "Invalid floating point operation".
int32_t Trunc(double Value);

// Gray value of a 24-bit pixel stored blue, green, red: Trunc(0.3 R + 0.59 G + 0.11 B).
uint8_t GrayOf24(const uint8_t* BlueGreenRed);

// The lowest and highest bins whose count exceeds Limit (a negative Limit: every bin); both
// left as they were when none does.
void HistogramRange(const THistogram& Histogram, int32_t Limit, int32_t& First, int32_t& Last);
// Trunc(mean + K x standard deviation) of the histogram's levels.
// Raises: "Invalid floating point operation" for an empty histogram.
int32_t MeanStdDevLevel(const THistogram& Histogram, double K);
// The level of maximum between-class variance; 127 when no level splits the histogram.
int32_t OtsuLevel(const THistogram& Histogram);
// The rounded mean level; -1 for an empty histogram.
int32_t MeanLevel(const THistogram& Histogram);
// The level halfway between the means below and above it, found by iteration; 127 for an
// empty histogram.
int32_t IntermeansLevel(const THistogram& Histogram);

// ---- Despeckle and connected components: free functions ----
// The component types under their short names.
using TBlob = TDIB::TBlob;
using TBlobList = TDIB::TBlobList;

// ---- Geometry: free functions ----
// The rectangle under its short name.
using TRect = TDIB::TRect;
// The sum of squared differences of the values from their truncated mean, in 64 bits.
int64_t ProfileScore(const int32_t* Values, int32_t Count);
// Each of red, green and blue of two 24-bit values mixed as F x first + (1 - F) x second.
int32_t MixColors(int32_t First, int32_t Second, double F);

// ---- Black borders, erase outside and auto-crop: free functions ----
// A named paper size in inches, portrait.
struct TPaperSize {
  const char* Name;
  double Width, Height;
};
// The number of named paper sizes.
inline constexpr int32_t kPaperSizeCount = 11;
// A6 to A0, Statement, Letter, Legal and Ledger.
extern const TPaperSize PaperSizes[kPaperSizeCount];
// The size of the paper of that name, ignoring letter case; false (outputs untouched) when
// there is none.
bool PaperSizeByName(const std::string& Name, double& Width, double& Height);

// ---- Data-source image operations: free functions ----
// The name of the first paper size of exactly Width x Height inches (portrait and landscape
// differ); false, the name untouched, when there is none.
bool PaperNameBySize(double Width, double Height, std::string& Name);
