// TDIB: one page image as a packed device-independent bitmap (40-byte header, a full palette of
// 2^bits entries for 1, 4 and 8 bits, bottom-up rows padded to 4 bytes) in one movable global
// memory block that stays locked for the page's life. Image operations work in place on that
// block and keep its handle, so a holder of the handle still holds the page afterwards.
//
// Pixel types are the one-byte codes 1 (1 bit), 2 (4 bits), 3 (8 bits) and 6 (24 bits). Rows
// are addressed top-down through the line table: Lines(y) is picture row y counted from the
// top. A 24-bit pixel value is red + green * 256 + blue * 65536.
//
// The member functions are defined in several files, one family of operations each.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../limits.h"
#include "exception.h"
#include "globalmem.h"
#include "streams.h"
#include "wingdi.h"

// Pixel types.
inline constexpr uint8_t pt1bit = 1;
inline constexpr uint8_t pt4bit = 2;
inline constexpr uint8_t pt8bit = 3;
inline constexpr uint8_t pt24bit = 6;

// Pixels per metre in one dot per inch.
inline constexpr double kPelsPerMeterPerDPI = 39.37;

// Round to the nearest integer, halves to the even neighbour.
int32_t Round(double value);

int32_t IntMax(int32_t a, int32_t b);
int32_t IntMin(int32_t a, int32_t b);
int32_t IntPower(int32_t base, int32_t exponent);

// The block layout of a page of the given size and type.
struct TDIBLayout {
  int32_t BlockSize = 0;
  int32_t LineBytes = 0;
  int32_t Stride = 0;
};

// Signature tests: each reads at the stream's position and puts the position back.
bool IsBMP(TStream& Stream);
bool IsTIFF(TStream& Stream);
bool IsPNG(TStream& Stream);

class TDeviceContext;

class TDIB {
 public:
  using TPixelGetter = int32_t (TDIB::*)(int32_t X, int32_t Y) const;
  using TPixelSetter = void (TDIB::*)(int32_t X, int32_t Y, int32_t Value);

  TDIB();
  ~TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // ---- Construction and memory ----
  void* Lock();
  void Unlock();
  void UnlockAll();
  void FreeImage();
  void NewImage(int32_t Width, int32_t Height, uint8_t PixelType, int32_t XDPI, int32_t YDPI);
  void SetHandle(win32::HGLOBAL Handle);
  win32::HGLOBAL GetHandle() const;
  void ParseHeader();
  void BuildLineTable();
  // Leaves the layout untouched for pixel types other than 1, 2, 3, 6.
  static void LayoutForType(int32_t Width, int32_t Height, uint8_t PixelType, TDIBLayout& Layout);
  // Raises before anything is allocated when a page of that size and type would exceed the
  // library's limits (or has a negative size, or an unknown type).
  static void CheckImageSize(int64_t Width, int64_t Height, uint8_t PixelType);

  // ---- The image and its members ----
  bool Empty() const { return FHandle == nullptr; }
  uint8_t* Lines(int32_t Y) const { return FLines[Y]; }
  win32::HGLOBAL Handle() const { return FHandle; }
  void* Memory() const { return FMemory; }
  bool OwnsHandle() const { return FOwnsHandle; }
  void SetOwnsHandle(bool Value) { FOwnsHandle = Value; }
  int32_t BlockSize() const { return FBlockSize; }
  uint8_t PixelType() const { return FPixelType; }
  int32_t LockCount() const { return FLockCount; }
  win32::BITMAPFILEHEADER& FileHeader() { return FFileHeader; }
  const win32::BITMAPFILEHEADER& FileHeader() const { return FFileHeader; }
  win32::BITMAPINFOHEADER* Header() const { return FHeader; }
  win32::RGBQUAD* Palette() const { return FPalette; }
  uint8_t* Bits() const { return FBits; }
  int32_t ColorCount() const { return FColorCount; }
  uint32_t ColorsUsed() const { return FColorsUsed; }
  int32_t Stride() const { return FStride; }
  int32_t LineBytes() const { return FLineBytes; }
  TPixelGetter PixelGetter() const { return FPixelGetter; }
  TPixelSetter PixelSetter() const { return FPixelSetter; }

  int32_t Width() const { return FHeader == nullptr ? 0 : FHeader->biWidth; }
  int32_t Height() const { return FHeader == nullptr ? 0 : FHeader->biHeight; }
  int32_t BitCount() const { return FHeader->biBitCount; }
  int32_t XResolution() const;
  int32_t YResolution() const;
  void SetXResolution(int32_t DPI);
  void SetYResolution(int32_t DPI);

  // ---- Pixels (no range checks: 0 <= X < Width, 0 <= Y < Height) ----
  int32_t GetPixel(int32_t X, int32_t Y) const { return (this->*FPixelGetter)(X, Y); }
  void SetPixel(int32_t X, int32_t Y, int32_t Value) { (this->*FPixelSetter)(X, Y, Value); }
  int32_t GetPixel1(int32_t X, int32_t Y) const;
  int32_t GetPixel4(int32_t X, int32_t Y) const;
  int32_t GetPixel8(int32_t X, int32_t Y) const;
  int32_t GetPixel24(int32_t X, int32_t Y) const;
  void SetPixel1(int32_t X, int32_t Y, int32_t Value);
  void SetPixel4(int32_t X, int32_t Y, int32_t Value);
  void SetPixel8(int32_t X, int32_t Y, int32_t Value);
  void SetPixel24(int32_t X, int32_t Y, int32_t Value);
  void Fill(uint8_t Value);
  void Clear() { Fill(255); }

  // ---- Palette ----
  uint32_t GetPaletteEntry(int32_t I) const;
  void SetPaletteEntry(int32_t I, uint32_t Entry);
  void SetPaletteFromLog(const win32::LOGPALETTE& LogPalette);
  int32_t WhiteIndex() const;
  int32_t BlackIndex() const;
  bool HasGrayPalette() const;

  // ---- Polarity and copies ----
  void InvertBits();
  void ReversePalette();
  std::unique_ptr<TDIB> Duplicate() const;

  // ---- Loading and saving (BMP here; the other readers in their own files) ----
  void LoadFromStream(TStream& Stream, int32_t PageIndex = 0);
  void LoadFromFile(const std::string& FileName, int32_t PageIndex = 0);
  void SaveToStream(TStream& Stream);
  void SaveToFile(const std::string& FileName);
  void LoadBMP(TStream& Stream);
  void LoadPNG(TStream& Stream);
  void LoadTIFF(TStream& Stream, int32_t PageIndex);
  void LoadJPEG(TStream& Stream);

  // ---- PNG ----

  // ---- TIFF and JPEG ----
  // The number of pages of a TIFF file; 1 for any other file.
  static int32_t PageCount(const std::string& FileName);
  // The pages of the TIFF at the stream's start; raises "TIFFOpen" when it is none.
  static int32_t PageCountFromStream(TStream& Stream);
  // Compression is the program's code: 0 by pixel type (1 bit Group 4, 4 bits PackBits, 8 and
  // 24 bits JPEG), 1 none, 2 PackBits, 3 Group 3, 4 Group 3 2-D, 5 Group 4, 6 Deflate, 7 JPEG,
  // 8 LZW, any other none. RowsPerStrip of 0 or less means 16; JPEG always uses 8.
  // With Append and an existing file the page becomes the file's last page.
  void SaveTIFF(const std::string& FileName, bool Append, uint8_t Compression,
                int32_t RowsPerStrip);
  void SaveTIFFToStream(TStream& Stream, bool Append, uint8_t Compression, int32_t RowsPerStrip);
  // 8 and 24-bit pages only; the JFIF density carries the page's resolution in dots per inch.
  void SaveJPEG(const std::string& FileName, bool Progressive, uint8_t Quality);
  void SaveJPEGToStream(TStream& Stream, bool Progressive, uint8_t Quality);

  // ---- Pixel-format conversions ----
  // In place, in the same memory block (the handle stays), to pixel type 1, 2, 3 or 6, with a
  // fresh standard palette. The current type does nothing; another value raises. A page whose
  // bit count has no pixel type, and an empty object, are left as they are.
  void ConvertPixelType(uint8_t NewType);
  // 24-bit to 8-bit gray over the selected channels, weighted 0.3 red, 0.59 green, 0.11 blue
  // or averaged.
  void RGBToGray(bool Weighted, bool UseRed, bool UseGreen, bool UseBlue);
  // A new gray page of a 1-bit page at Percent per cent of its size with Levels gray levels, by
  // counting set pixels in boxes; nullptr when it cannot be made.
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
  void Histogram(THistogram& Histogram) const;
  // 1-bit: bin 1 set pixels, bin 0 the others; 8-bit: byte values; 24-bit: gray values. Other
  // types leave the histogram cleared.
  void HistogramDirect(THistogram& Histogram) const;
  // 8-bit only: the blue byte of each pixel's palette entry.
  void HistogramByPalette(THistogram& Histogram) const;
  // The mean gray level 0..255 of the page's pixels, seen through the palette's red bytes when
  // there is a palette; 0 for a page without pixels.
  double MeasureBrightness() const;
  // Absolute differences between each interior pixel and its eight or four neighbours.
  void DifferenceHistogram(bool EightNeighbours, THistogram& Histogram) const;
  void DifferenceHistogram8(THistogram& Histogram) const;
  void DifferenceHistogram4(THistogram& Histogram) const;
  // The mean neighbour difference above the split level (negative: the middle of the
  // differences that occur), 0 when fewer than MinimumCount (negative: one per thousand pixels).
  double MeasureContrast(bool EightNeighbours, int32_t SplitLevel, int32_t MinimumCount) const;
  // A level from the rank statistics of the page's 2 x 2 blocks; 127 without a block.
  int32_t BlockRankLevel() const;
  // Method 0 Otsu, 1 mean, 2 intermeans, 3 block rank, 4 mean; others 127. Thresholds the page
  // at the level (its low byte) and returns that.
  uint8_t AutoThreshold(uint8_t Method, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // Bytes above the level become the light value, the others the dark value; Convert turns the
  // page to 1 bit afterwards.
  void Threshold(uint8_t Level, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // Local minimum/maximum threshold: where the local contrast is below the limit, the global
  // level decides, else the middle of the local minimum and maximum.
  void AdaptiveThreshold(uint8_t ContrastLimit, int32_t AreaWidth, int32_t AreaHeight,
                         uint8_t GlobalLevel, bool Convert, uint8_t DarkValue, uint8_t LightValue);
  // The minimum (maximum) of an 8-bit page over a window about each pixel, into Target, an
  // 8-bit page of the same size.
  void LocalMinimum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const;
  void LocalMaximum(TDIB& Target, int32_t AreaWidth, int32_t AreaHeight) const;
  // Local mean and deviation threshold with k = -Aggressivity / 100.
  void NiblackThreshold(int32_t Window, int32_t Aggressivity, bool Convert, uint8_t DarkValue,
                        uint8_t LightValue);

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
    int32_t Add(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Count,
                int32_t Data1, int32_t Data2);
    const TBlob& Items(int32_t Index) const;
    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    void Clear() { FItems.clear(); }

   private:
    std::vector<TBlob> FItems;
  };
  // The 8-connected components of black pixels of a 1-bit page whose pixel count and bounding
  // box lie in the given ranges, added to Blobs (when given) in the order of their first pixel
  // in a column-by-column scan.
  void FindBlobs(int32_t MinWidth, int32_t MinHeight, int32_t MinCount, int32_t MaxWidth,
                 int32_t MaxHeight, int32_t MaxCount, TBlobList* Blobs);
  // Paints the bounding boxes of records First..Last with Value; returns Last - First + 1.
  int32_t EraseBlobs(const TBlobList& Blobs, int32_t First, int32_t Last, int32_t Value);
  // Paints white every black component at most MaxWidth x MaxHeight pixels (<= 0: 0.5 mm) and
  // returns how many there were.
  int32_t Despeckle(int32_t MaxWidth, int32_t MaxHeight);
  int32_t CountLineBits(int32_t Y) const;
  int32_t CountColumnBits(int32_t X) const;
  // Set pixels among X..X+N-1 of line Y, or the clear ones when CountSet is false (1-bit).
  int32_t CountRunBits(int32_t X, int32_t Y, int32_t N, bool CountSet) const;
  // Pixels among X..X+N-1 of line Y below Level: 8-bit values, or 24-bit gray values.
  int32_t CountRunBelow(int32_t X, int32_t Y, int32_t N, uint8_t Level) const;
  int32_t CountRunBelow24(int32_t X, int32_t Y, int32_t N, uint8_t Level) const;

  // ---- Geometry ----
  // A rectangle of pixels; Right and Bottom are the last column and line inside it.
  struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  };
  // The skew of the text lines in degrees (positive: they rise to the right), from projection
  // profiles along staircases; 0 for pixel types other than 1, 8 and 24 bits.
  double DetectSkew(int32_t LineStep, double AngleStep, double MaxAngle) const;
  double DetectSkew1(int32_t LineStep, double AngleStep, double MaxAngle) const;
  double DetectSkew8(int32_t LineStep, double AngleStep, double MaxAngle) const;
  double DetectSkew24(int32_t LineStep, double AngleStep, double MaxAngle) const;
  // Turns the picture by two shears in place: clockwise on screen for positive angles.
  void Rotate(bool FillWhite, bool UseTypeVariants, double AngleA, double AngleB, bool Enlarge);
  void Rotate1(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  void Rotate8(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  void Rotate24(bool FillWhite, bool Enlarge, double AngleA, double AngleB);
  void RotateGeneric(bool FillWhite, bool Enlarge, double Angle);
  void FlipVertical();
  void Resize(int32_t NewWidth, int32_t NewHeight, bool Average);
  // Keeps the top-left content; new pixels take FillValue (its bits, for 1 and 4 bits).
  void ResizeCanvas(int32_t NewWidth, int32_t NewHeight, uint8_t FillValue);
  void Crop(const TRect& Rect);
  // Moves line Y (or every line) by N pixels, positive to the right; vacated pixels are white.
  void ShiftLine(int32_t Y, int32_t N);
  void ShiftHorizontal(int32_t N);
  // Moves the picture by N lines, positive downwards; vacated lines are white.
  void ShiftVertical(int32_t N);
  void DrawLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Value);
  void FrameRect(const TRect& Rect, int32_t Value);
  void FillRect(const TRect& Rect, int32_t Value);

  // ---- Black borders, erase outside and auto-crop ----
  // The rectangle inside the dark frame: the sides walk in over columns and lines that are at
  // least (100 - Percent) percent dark, crossing light runs of at most Gap (< 0: about 1 mm).
  void DetectBlackBorder(int32_t Gap, TRect& Rect, double Percent) const;
  // The bounding rectangle of the dark content, walking in over columns and lines that are at
  // least (100 - Percent) percent light.
  void DetectContent(int32_t Gap, TRect& Rect, double Percent) const;
  void DetectBorder1(int32_t Index, int32_t Gap, TRect& Rect, double Percent) const;
  void DetectBorder8(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect, double Percent) const;
  void DetectBorder24(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect, double Percent) const;
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
  int32_t CountColumnInRange(int32_t X, uint8_t Low, uint8_t High) const;
  int32_t CountLineInRange(int32_t Y, uint8_t Low, uint8_t High) const;
  int32_t CountColumnInRange24(int32_t X, uint8_t Low, uint8_t High) const;
  int32_t CountLineInRange24(int32_t Y, uint8_t Low, uint8_t High) const;
  // The pixel value that paints like the page's paper.
  int32_t BackgroundValue() const;
  // Paints everything outside the rectangle with the background value.
  void EraseOutside(const TRect& Rect);
  // Crops to the paper size of the list (names separated by ";"; empty: the content itself)
  // that best fits the content widened by Margin inches, within Tolerance percent.
  void AutoCrop(const std::string& PaperList, float Percent, float Margin, float Tolerance);

  // ---- Data-source image operations ----
  // A table of byte values indexed by the old value.
  using TLookupTable = uint8_t[256];
  // Quarter turns clockwise (90) and counter-clockwise (270) and the half turn, in place. The
  // page keeps its pixel type, header (the resolutions are not exchanged) and palette.
  void Rotate90();
  void Rotate180();
  void Rotate270();
  // Turns the page by Angle degrees about its centre (clockwise on screen for a positive
  // angle), nearest sample. With Enlarge the canvas grows to hold the turned corners; pixels
  // that come from outside the page take Fill (a pixel value).
  void RotateByAngle(bool Enlarge, int32_t Fill, double Angle);
  // Detects the skew (up to MaxAngle degrees) and straightens the page by it, without enlarging
  // the canvas; returns the detected angle.
  double AutoDeskew(bool FillWhite, bool UseTypeVariants, double MaxAngle);
  // Lookup tables for a percentage: contrast about 127, a clipping stretch, a proportional gain.
  static void ContrastLUT(TLookupTable& Table, double Percentage);
  static void StretchLUT(TLookupTable& Table, double Percentage);
  static void GainLUT(TLookupTable& Table, double Percentage);
  // Maps every pixel byte of every line (not the padding) through the table.
  void ApplyLUT(const TLookupTable& Table);
  void AdjustContrast(bool AroundMid, double Percentage);
  void AdjustBrightness(double Percentage);
  // A new page holding the rectangle (corners inclusive); raises when it reaches outside.
  std::unique_ptr<TDIB> CopyRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) const;
  // True for a 1-bit page and for an 8-bit page whose palette entries are all gray.
  bool IsGray() const;
  // Exchanges the red and blue bytes of every pixel of a 24-bit page.
  void SwapRedBlue();
  // The header's plane count.
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

// ---- PNG: free functions ----

// ---- TIFF and JPEG: free functions ----
// Page PageIndex (from 0) of the TIFF at the stream's position into Image; offsets count from
// the stream's start. A page index past the last page raises.
void ReadTIFF(TDIB& Image, TStream& Stream, int32_t PageIndex);
void ReadJPEG(TDIB& Image, TStream& Stream);
// Exchanges the first and third byte of each whole 3-byte group in the first Count bytes.
void SwapRGBTriples(uint8_t* Buffer, int64_t Count);
// Mode: 0 read, 1 write, 2 append (see tiffstream.h); Compression as for TDIB::SaveTIFF.
void WriteTIFF(TDIB& Image, TStream& Stream, uint8_t Mode, uint8_t Compression,
               int32_t RowsPerStrip);
void WriteJPEG(TDIB& Image, TStream& Stream, bool Progressive, bool Optimize, uint8_t Quality);

// ---- Pixel-format conversions: free functions ----

// ---- Histograms, measures and thresholds: free functions ----
using THistogram = TDIB::THistogram;

// Drop the fraction (towards zero); raises, as Round does, on NaN or beyond 32 bits.
int32_t Trunc(double Value);

// Gray value of a 24-bit pixel stored blue, green, red: Trunc(0.3 R + 0.59 G + 0.11 B).
uint8_t GrayOf24(const uint8_t* BlueGreenRed);

// The lowest and highest bins whose count exceeds Limit; both left as they were when none does.
void HistogramRange(const THistogram& Histogram, int32_t Limit, int32_t& First, int32_t& Last);
// Trunc(mean + K x standard deviation) of the histogram's levels.
int32_t MeanStdDevLevel(const THistogram& Histogram, double K);
// The level of maximum between-class variance; 127 when no level splits the histogram.
int32_t OtsuLevel(const THistogram& Histogram);
// The rounded mean level; -1 for an empty histogram.
int32_t MeanLevel(const THistogram& Histogram);
// The level halfway between the means below and above it, found by iteration; 127 for an
// empty histogram.
int32_t IntermeansLevel(const THistogram& Histogram);

// ---- Despeckle and connected components: free functions ----
using TBlob = TDIB::TBlob;
using TBlobList = TDIB::TBlobList;

// ---- Geometry: free functions ----
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
inline constexpr int32_t kPaperSizeCount = 11;
extern const TPaperSize PaperSizes[kPaperSizeCount];
// The size of the paper of that name, ignoring letter case; false (outputs untouched) when
// there is none.
bool PaperSizeByName(const std::string& Name, double& Width, double& Height);

// ---- Data-source image operations: free functions ----
// The name of the first paper size of exactly Width x Height inches (portrait and landscape
// differ); false, the name untouched, when there is none.
bool PaperNameBySize(double Width, double Height, std::string& Name);
