// The PNG codec: TPNGImage keeps a file as an ordered list of chunk objects, one class per known
// chunk type, decodes it into a bitmap of 1, 4, 8 or 24 bits per pixel with a palette, and
// writes a bitmap back as PNG. Compression goes through zlib.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exception.h"
#include "streams.h"

// Every failure of the codec: "Portable Network Graphics format handler error", two line
// breaks, then the message.
class EPNGImageException : public Exception {
 public:
  explicit EPNGImageException(const std::string& Message);
};

// The codec's messages.
extern const char* const EPngInvalidFileHeader;
extern const char* const EPngUnknownCriticalChunk;
extern const char* const EPngInvalidCRC;
extern const char* const EPngIHDRNotFirst;
extern const char* const EPngNoImageData;
extern const char* const EPngMissingPalette;
extern const char* const EPngInvalidPalette;
extern const char* const EPngUnknownColorType;
extern const char* const EPngUnknownFilterType;
extern const char* const EPngUnknownInterlace;
extern const char* const EPngOutOfRange;
extern const char* const EPngChunkNotInList;
extern const char* const EPngClassOutOfRange;
extern const char* const EPngInvalidBitDepth;
extern const char* const EPngInvalidPHYs;

// Pixel formats of the bitmap: the codes of the page object's pixel types, and 32 bits, which
// only saving accepts.
inline constexpr uint8_t pf1bit = 1;
inline constexpr uint8_t pf4bit = 2;
inline constexpr uint8_t pf8bit = 3;
inline constexpr uint8_t pf24bit = 6;
inline constexpr uint8_t pf32bit = 7;

// Encoder filter sets: one bit per filter type.
inline constexpr uint8_t pfNone = 1;
inline constexpr uint8_t pfSub = 2;
inline constexpr uint8_t pfUp = 4;
inline constexpr uint8_t pfAverage = 8;
inline constexpr uint8_t pfPaeth = 16;
inline constexpr uint8_t kDefaultFilters = pfNone | pfSub | pfAverage | pfPaeth;

// The four letters of a chunk type.
using TChunkType = std::array<char, 4>;

// The value with its four bytes in reverse order.
uint32_t ByteSwap32(uint32_t Value);
// The Paeth predictor of the PNG standard: the neighbour closest to Left + Up - UpLeft.
uint8_t PaethPredictor(uint8_t Left, uint8_t Up, uint8_t UpLeft);
// The CRC-32 of the PNG standard over the type and the data.
uint32_t ChunkCRC(const TChunkType& Type, const uint8_t* Data, uint32_t Length);

// A palette entry.
struct TPNGColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const TPNGColor&) const = default;
};

class TChunk;
class TChunkList;
class TPNGImage;

// A chunk class is known by the function that makes an object of it.
using TChunkClass = std::unique_ptr<TChunk> (*)(TChunkList& Owner);

// One chunk of a file: its type and data, in a list. The plain class keeps a chunk of a type
// the codec does not know as it is.
class TChunk {
 public:
  // A chunk of the plain class, whose type stays all zeros until it is set.
  explicit TChunk(TChunkList& Owner) : TChunk(Owner, &TChunk::New) {}
  virtual ~TChunk() = default;
  // Chunks are not copied; Assign copies the data of one into another.
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;
  // Each class's New makes a chunk of that class for Owner; the function is the class's name.
  static std::unique_ptr<TChunk> New(TChunkList& Owner);

  // Applies a loaded chunk to the image.
  virtual void Decode() {}
  // Copies data and type from another chunk.
  virtual void Assign(const TChunk& Source);
  // Writes length, type, data and CRC.
  virtual void SaveToStream(TStream& Stream);

  // The class, the type and the data, and the list and image the chunk belongs to.
  TChunkClass ClassType() const { return FClass; }
  const TChunkType& Type() const { return FType; }
  void SetType(const TChunkType& Type) { FType = Type; }
  TMemoryStream& Data() { return FData; }
  const TMemoryStream& Data() const { return FData; }
  int64_t DataSize() const { return static_cast<int64_t>(FData.Bytes().size()); }
  TChunkList& Owner() const { return FOwner; }
  TPNGImage& Image() const;
  // Raises the corrupted-data message unless the data has exactly that many bytes.
  void CheckDataSize(int64_t Size) const;

 protected:
  // Takes the type registered for the class.
  TChunk(TChunkList& Owner, TChunkClass Class);
  // Fields of the data; reading beyond the data raises.
  uint8_t GetByte(int64_t Offset) const;
  uint16_t GetBE16(int64_t Offset) const;
  uint32_t GetBE32(int64_t Offset) const;
  void SetByte(int64_t Offset, uint8_t Value);
  void SetBE16(int64_t Offset, uint16_t Value);
  void SetBE32(int64_t Offset, uint32_t Value);

 private:
  TChunkList& FOwner;
  TChunkClass FClass;
  TChunkType FType{};
  TMemoryStream FData;
};

// The image header.
class TChunkIHDR : public TChunk {
 public:
  // Holds 13 bytes: bit depth 2, colour type 3, the rest 0.
  explicit TChunkIHDR(TChunkList& Owner);
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Fills in the image's size and format (a 32-bit bitmap becomes 24 bits first), then writes.
  void SaveToStream(TStream& Stream) override;

  // The header's fields.
  uint32_t Width() const { return GetBE32(0); }
  uint32_t Height() const { return GetBE32(4); }
  uint8_t BitDepth() const { return GetByte(8); }
  uint8_t ColorType() const { return GetByte(9); }
  uint8_t CompressionMethod() const { return GetByte(10); }
  uint8_t FilterMethod() const { return GetByte(11); }
  uint8_t InterlaceMethod() const { return GetByte(12); }
  // Also resize the image.
  void SetWidth(uint32_t Value);
  void SetHeight(uint32_t Value);
  // Store the field only.
  void SetBitDepth(uint8_t Value) { SetByte(8, Value); }
  void SetColorType(uint8_t Value) { SetByte(9, Value); }
};

// The palette.
class TChunkPLTE : public TChunk {
 public:
  // Holds no entry.
  explicit TChunkPLTE(TChunkList& Owner) : TChunk(Owner, &New) {}
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Writes the image's palette (2 entries at most for 1 bit, 16 for 4 bits) through the gAMA
  // chunk's inverse table; nothing when the image has no palette.
  void SaveToStream(TStream& Stream) override;
  // The entries of the data; raises the invalid-palette message unless the data holds 1 to
  // 256 whole entries.
  std::vector<TPNGColor> Entries() const;
};

// The compressed pixels; the list holds them in one such chunk.
class TChunkIDAT : public TChunk {
 public:
  // Holds no data.
  explicit TChunkIDAT(TChunkList& Owner) : TChunk(Owner, &New) {}
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Decodes the pixels into the image (gfx_png_decoder.cpp).
  void Decode() override;
  // Encodes the image's pixels into the data, then writes the chunk (gfx_png_encoder.cpp).
  void SaveToStream(TStream& Stream) override;
};

// The end of the file.
class TChunkIEND : public TChunk {
 public:
  // Holds no data.
  explicit TChunkIEND(TChunkList& Owner) : TChunk(Owner, &New) {}
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
};

// The gamma of the image.
class TChunkGAMA : public TChunk {
 public:
  // A byte value for each byte value.
  using TGammaTable = std::array<uint8_t, 256>;
  // Holds 1; its tables are the identity until it is decoded.
  explicit TChunkGAMA(TChunkList& Owner);
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Builds the gamma table and its inverse from the stored value.
  void Decode() override;
  // Copies the data and, from a gAMA chunk, its tables.
  void Assign(const TChunk& Source) override;
  // Gamma x 100000.
  uint32_t Gamma() const { return GetBE32(0); }
  void SetGamma(uint32_t Value) { SetBE32(0, Value); }
  // The decoded table, its inverse (used when saving), and the table that changes nothing.
  const TGammaTable& GammaTable() const { return FGammaTable; }
  const TGammaTable& InverseTable() const { return FInverseTable; }
  static const TGammaTable& IdentityTable();

 private:
  TGammaTable FGammaTable;
  TGammaTable FInverseTable;
};

// The pixel size.
class TChunkPHYS : public TChunk {
 public:
  // Holds 96 DPI in both directions.
  explicit TChunkPHYS(TChunkList& Owner);
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Whatever the unit byte says; a chunk whose data is not 9 bytes raises.
  int32_t XDPI() const;
  int32_t YDPI() const;
  // Store pixels per metre.
  void SetXDPI(int32_t DPI);
  void SetYDPI(int32_t DPI);
};

// The time of the last change.
class TChunkTIME : public TChunk {
 public:
  // Holds the current local time.
  explicit TChunkTIME(TChunkList& Owner);
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
};

// A keyword and its text.
class TChunkTEXT : public TChunk {
 public:
  // Holds two zero bytes.
  explicit TChunkTEXT(TChunkList& Owner);
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
};

// The transparent colour.
class TChunkTRNS : public TChunk {
 public:
  // Holds no data.
  explicit TChunkTRNS(TChunkList& Owner) : TChunk(Owner, &New) {}
  static std::unique_ptr<TChunk> New(TChunkList& Owner);
  // Written for RGB images (colour type 2) only, with the image's transparent colour.
  void SaveToStream(TStream& Stream) override;
  // The transparent colour of an RGB image as red + green * 256 + blue * 65536; samples of a
  // 16-bit image give their high bytes. Raises unless the data holds three samples.
  uint32_t TransparentColor() const;
  // Stores the colour as three 16-bit samples.
  void SetTransparentColor(uint32_t Color);
};

// The registry of chunk classes, by type.
struct TChunkClassEntry {
  TChunkType Type;
  TChunkClass Class;
};

class TChunkClasses {
 public:
  // The number of entries.
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Entry Index; raises EPngClassOutOfRange outside the registry.
  const TChunkClassEntry& Item(int32_t Index) const;
  // The first entry of the class, or of the type; -1 when none.
  int32_t IndexOfClass(TChunkClass Class) const;
  int32_t IndexOfType(const TChunkType& Type) const;
  // Appends an entry.
  void Add(const TChunkType& Type, TChunkClass Class);

 private:
  std::vector<TChunkClassEntry> FItems;
};

// The registry of the library, filled on first use with IEND, IHDR, gAMA, IDAT, PLTE, tEXt,
// tRNS, tIME, pHYs.
TChunkClasses& ChunkClasses();

// The chunks of an image in file order; the list owns them.
class TChunkList {
 public:
  // An empty list of the image.
  explicit TChunkList(TPNGImage& Owner) : FOwner(Owner) {}
  // Frees the chunks, last first.
  ~TChunkList() { Clear(); }
  TChunkList(const TChunkList&) = delete;
  TChunkList& operator=(const TChunkList&) = delete;

  // The number of chunks.
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Chunk Index; raises EPngOutOfRange outside the list.
  TChunk& Items(int32_t Index) const;
  // Appends the chunk, which the list then owns, and returns it.
  TChunk& Add(std::unique_ptr<TChunk> Chunk);
  // Appends a new chunk of the class and returns it.
  TChunk& AddNew(TChunkClass Class);
  // The first chunk of exactly that class, -1 when none.
  int32_t IndexOfClass(TChunkClass Class) const;
  // The place of that chunk object, -1 when it is not in the list.
  int32_t IndexOf(const TChunk& Chunk) const;
  // Moves a chunk to another place; raises EPngOutOfRange for a place outside the list.
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Frees the chunk; raises EPngChunkNotInList when it is not in the list.
  void Remove(TChunk& Chunk);
  // Frees all, last first.
  void Clear();
  // Reads one chunk and returns it; an IDAT when the list holds one already is appended to
  // the first, which is returned.
  TChunk& ReadChunk(TStream& Stream);
  // The image the list belongs to.
  TPNGImage& Owner() const { return FOwner; }

  // The first chunk of class T, or nullptr.
  template <class T>
  T* First() const {
    int32_t i = IndexOfClass(&T::New);
    return i < 0 ? nullptr : static_cast<T*>(FItems[i].get());
  }

 private:
  TPNGImage& FOwner;
  std::vector<std::unique_ptr<TChunk>> FItems;
  // The IDAT that ReadChunk appends to, kept at hand so that no read searches the list.
  TChunkIDAT* FReadIDAT = nullptr;
};

// A PNG image: its chunks and the bitmap they decode into.
class TPNGImage {
 public:
  // The progress callback's type.
  using TProgress = std::function<void(const std::string& Text, int32_t Percent)>;

  // The chunks of ResetChunks and an empty 24-bit bitmap.
  TPNGImage();
  ~TPNGImage();
  // Images are not copied; Assign copies one into another.
  TPNGImage(const TPNGImage&) = delete;
  TPNGImage& operator=(const TPNGImage&) = delete;

  // Reads a PNG file at the stream's position and decodes it; raises EPNGImageException.
  void LoadFromStream(TStream& Stream);
  // Writes the file, adding the chunks the bitmap needs (IHDR first, PLTE, tRNS, IDAT, IEND).
  void SaveToStream(TStream& Stream);
  // An IHDR, a pHYs of 96 DPI, an IDAT and an IEND.
  void ResetChunks();
  // Copies the chunks (each as its registered class) and the bitmap.
  void Assign(const TPNGImage& Source);

  // The chunks.
  TChunkList& Chunks() { return *FChunks; }
  const TChunkList& Chunks() const { return *FChunks; }
  // The encoder's filter set.
  uint8_t Filters() const { return FFilters; }
  // None is always added.
  void SetFilters(uint8_t Set) { FFilters = Set | pfNone; }
  // A flag that Assign copies; the encoder writes non-interlaced files whatever it says.
  bool Interlacing() const { return FInterlacing; }
  void SetInterlacing(bool Value) { FInterlacing = Value; }

  // ---- The bitmap: rows padded to 4 bytes, 24-bit pixels as blue, green, red ----
  // The bitmap's size and pixel format.
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  uint8_t PixelFormat() const { return FPixelFormat; }
  // A new blank bitmap. Formats of 1, 4 and 8 bits get a gray palette, the others none.
  void NewBitmap(int32_t Width, int32_t Height, uint8_t PixelFormat);
  // NewBitmap with the new size or format: the pixels are blank afterwards.
  void SetSize(int32_t Width, int32_t Height) { NewBitmap(Width, Height, FPixelFormat); }
  void SetPixelFormat(uint8_t PixelFormat) { NewBitmap(FWidth, FHeight, PixelFormat); }
  // Turns a 32-bit bitmap into a 24-bit one, keeping the pixels.
  void ConvertTo24Bits();
  // Bytes of one row.
  int32_t Stride() const { return FStride; }
  // Row Y counted from the top.
  uint8_t* ScanLine(int32_t Y) { return FRows[static_cast<size_t>(Y)]; }
  const uint8_t* ScanLine(int32_t Y) const { return FRows[static_cast<size_t>(Y)]; }
  // The palette entries.
  const std::vector<TPNGColor>& Palette() const { return FPalette; }
  // Keeps at most 256 entries.
  void SetPalette(std::vector<TPNGColor> Palette);
  // Whether the transparent colour applies (an RGB image's tRNS chunk).
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) { FTransparent = Value; }
  // Red + green * 256 + blue * 65536.
  uint32_t TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(uint32_t Color) { FTransparentColor = Color; }
  // Called with "Drawing..." and the percentage done while pixels are decoded.
  TProgress OnProgress;
  // When set, NewBitmap puts the pixels elsewhere (a page's block) instead of in memory of
  // the image's own: given the size and pixel format, it makes room for a zeroed bitmap and
  // answers the address of each row, top row first, each of Stride bytes.
  using TRowsAllocator =
      std::function<std::vector<uint8_t*>(int32_t Width, int32_t Height, uint8_t PixelFormat)>;
  TRowsAllocator OnAllocateRows;

 private:
  void PrepareChunksForSave();
  void ApplyTransparency();
  // A zeroed bitmap in memory of the image's own.
  void NewOwnBitmap(int32_t Width, int32_t Height, uint8_t PixelFormat);

  std::unique_ptr<TChunkList> FChunks;
  uint8_t FFilters = kDefaultFilters;
  bool FInterlacing = false;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  uint8_t FPixelFormat = pf24bit;
  int32_t FStride = 0;
  std::vector<uint8_t> FPixels;  // empty when the rows lie elsewhere
  std::vector<uint8_t*> FRows;
  std::vector<TPNGColor> FPalette;
  bool FTransparent = false;
  uint32_t FTransparentColor = 0;
};
