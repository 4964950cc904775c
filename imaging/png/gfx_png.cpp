// TPNGImage: loading and saving the chunk list, and the bitmap the pixels are decoded into.
#include "gfx_png.h"

#include <algorithm>
#include <cstring>

const char* const EPngInvalidFileHeader =
    "Invalid Portable Graphics Network image, it has an invalid file header.";
const char* const EPngUnknownCriticalChunk =
    "The currently being loaded image contains critical(s) chunk(s) not reconized by the "
    "decoder.";
const char* const EPngInvalidCRC = "Can't read the PNG image, it has corrupted data. ";
const char* const EPngIHDRNotFirst =
    "This PNG image is invalid, the IHDR chunk is either not present or it isn't the first "
    "chunk.";
const char* const EPngNoImageData =
    "The current image being loaded has no data and could not be loaded.";
const char* const EPngMissingPalette =
    "The current image requeries a palette but it is not avaliable.";
const char* const EPngInvalidPalette = "The current image being loaded has an invalid palette!";
const char* const EPngUnknownColorType =
    "Could not read the image because it has an unknown color type.";
const char* const EPngUnknownFilterType =
    "The image could not be loaded because it uses an unknown set of filter types.";
const char* const EPngUnknownInterlace = "The image has an unknown interlace method.";
const char* const EPngOutOfRange = "The chunk index especified is out of the range.";
const char* const EPngChunkNotInList =
    "The especified chunk is not inside the chunk list containing the method being used. The "
    "funcion could not be completed.";
const char* const EPngClassOutOfRange = "The chunk class index especified is  out of range.";
const char* const EPngInvalidBitDepth = "The image has an invalid bit depth for its color type.";
const char* const EPngInvalidPHYs = "The pHYs chunk of the image has an invalid size.";

namespace {

const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Chunks whose fourth type letter is lower-case may be copied by editors that do not know
// them; the codec writes only pHYs of those.
bool IsWritten(const TChunk& Chunk) {
  const TChunkType& type = Chunk.Type();
  bool safeToCopy = (type[3] & 0x20) != 0;
  return !safeToCopy || std::memcmp(type.data(), "pHYs", 4) == 0;
}

}  // namespace

EPNGImageException::EPNGImageException(const std::string& Message)
    : Exception("Portable Network Graphics format handler error\r\n\r\n" + Message) {}

uint32_t ByteSwap32(uint32_t Value) {
  return (Value >> 24) | ((Value >> 8) & 0xFF00) | ((Value << 8) & 0xFF0000) | (Value << 24);
}

uint32_t ChunkCRC(const TChunkType& Type, const uint8_t* Data, uint32_t Length) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char c : Type) crc = table[(crc ^ static_cast<uint8_t>(c)) & 0xFF] ^ (crc >> 8);
  for (uint32_t i = 0; i < Length; ++i) crc = table[(crc ^ Data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// ---- TPNGImage ----

TPNGImage::TPNGImage() : FChunks(std::make_unique<TChunkList>(*this)) {
  ResetChunks();
}

TPNGImage::~TPNGImage() = default;

void TPNGImage::ResetChunks() {
  FChunks->Clear();
  FChunks->AddNew(&TChunkIHDR::New);
  FChunks->AddNew(&TChunkPHYS::New);
  FChunks->AddNew(&TChunkIDAT::New);
  FChunks->AddNew(&TChunkIEND::New);
}

void TPNGImage::LoadFromStream(TStream& Stream) {
  ResetChunks();
  FChunks->Clear();
  FTransparent = false;
  uint8_t signature[8];
  if (Stream.Read(signature, 8) != 8 || std::memcmp(signature, kSignature, 8) != 0) {
    throw EPNGImageException(EPngInvalidFileHeader);
  }
  while (Stream.Remaining() > 0) {
    if (FChunks->ReadChunk(Stream).ClassType() == &TChunkIEND::New) break;
  }
  if (FChunks->Count() == 0 || FChunks->Items(0).ClassType() != &TChunkIHDR::New) {
    throw EPNGImageException(EPngIHDRNotFirst);
  }
  FChunks->Items(0).CheckDataSize(13);
  if (FChunks->First<TChunkIDAT>() == nullptr) throw EPNGImageException(EPngNoImageData);
  for (int32_t i = 0; i < FChunks->Count(); ++i) FChunks->Items(i).Decode();
  ApplyTransparency();
}

void TPNGImage::ApplyTransparency() {
  TChunkTRNS* trns = FChunks->First<TChunkTRNS>();
  if (trns == nullptr || FChunks->First<TChunkIHDR>()->ColorType() != 2) return;
  FTransparentColor = trns->TransparentColor();
  FTransparent = true;
}

void TPNGImage::PrepareChunksForSave() {
  if (FChunks->Count() == 0) ResetChunks();
  if (FChunks->Items(0).ClassType() != &TChunkIHDR::New) {
    // An IHDR further down is brought to the front rather than written twice.
    int32_t ihdr = FChunks->IndexOfClass(&TChunkIHDR::New);
    if (ihdr < 0) ihdr = FChunks->IndexOf(FChunks->AddNew(&TChunkIHDR::New));
    FChunks->Move(ihdr, 0);
  }
  bool paletted = FPixelFormat == pf1bit || FPixelFormat == pf4bit || FPixelFormat == pf8bit;
  if (paletted && FChunks->First<TChunkPLTE>() == nullptr) {
    FChunks->Move(FChunks->IndexOf(FChunks->AddNew(&TChunkPLTE::New)), 1);
  }
  if (FTransparent) {
    if (FChunks->First<TChunkTRNS>() == nullptr) {
      FChunks->Move(FChunks->IndexOf(FChunks->AddNew(&TChunkTRNS::New)), 1);
    }
  } else {
    while (TChunkTRNS* trns = FChunks->First<TChunkTRNS>()) FChunks->Remove(*trns);
  }
  if (FChunks->First<TChunkIEND>() == nullptr) FChunks->AddNew(&TChunkIEND::New);
  if (FChunks->First<TChunkIDAT>() == nullptr) {
    // Directly before the IEND, so that the chunks that must come before the pixels do.
    int32_t iend = FChunks->IndexOfClass(&TChunkIEND::New);
    FChunks->Move(FChunks->IndexOf(FChunks->AddNew(&TChunkIDAT::New)), iend);
  }
}

void TPNGImage::SaveToStream(TStream& Stream) {
  Stream.WriteBuffer(kSignature, 8);
  PrepareChunksForSave();
  for (int32_t i = 0; i < FChunks->Count(); ++i) {
    TChunk& chunk = FChunks->Items(i);
    if (IsWritten(chunk)) chunk.SaveToStream(Stream);
  }
}

void TPNGImage::Assign(const TPNGImage& Source) {
  if (&Source == this) return;
  FChunks->Clear();
  for (int32_t i = 0; i < Source.Chunks().Count(); ++i) {
    const TChunk& from = Source.Chunks().Items(i);
    int32_t registered = ChunkClasses().IndexOfType(from.Type());
    TChunkClass chunkClass = registered < 0 ? &TChunk::New : ChunkClasses().Item(registered).Class;
    FChunks->AddNew(chunkClass).Assign(from);
  }
  FFilters = Source.FFilters;
  FInterlacing = Source.FInterlacing;
  NewOwnBitmap(Source.FWidth, Source.FHeight, Source.FPixelFormat);
  for (int32_t y = 0; y < FHeight; ++y) {
    std::memcpy(ScanLine(y), Source.ScanLine(y), static_cast<size_t>(FStride));
  }
  FPalette = Source.FPalette;
  FTransparent = Source.FTransparent;
  FTransparentColor = Source.FTransparentColor;
}

// ---- The bitmap ----

namespace {

int32_t BitsOf(uint8_t PixelFormat) {
  switch (PixelFormat) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
    default:
      throw Exception("Bit depht not allowed");
  }
}

std::vector<TPNGColor> GrayPalette(int32_t Entries) {
  std::vector<TPNGColor> palette(static_cast<size_t>(Entries));
  for (int32_t i = 0; i < Entries; ++i) {
    auto level = static_cast<uint8_t>(i * 255 / (Entries - 1));
    palette[i] = {level, level, level};
  }
  return palette;
}

}  // namespace

void TPNGImage::NewBitmap(int32_t Width, int32_t Height, uint8_t PixelFormat) {
  if (!OnAllocateRows) {
    NewOwnBitmap(Width, Height, PixelFormat);
    return;
  }
  int32_t bits = BitsOf(PixelFormat);
  if (Width < 0 || Height < 0) throw Exception("Invalid bitmap size");
  std::vector<uint8_t*> rows = OnAllocateRows(Width, Height, PixelFormat);
  FPixels = {};
  FRows = std::move(rows);
  FWidth = Width;
  FHeight = Height;
  FStride = static_cast<int32_t>(((int64_t{Width} * bits + 31) / 32) * 4);
  FPixelFormat = PixelFormat;
  FPalette = bits <= 8 ? GrayPalette(1 << bits) : std::vector<TPNGColor>{};
}

void TPNGImage::NewOwnBitmap(int32_t Width, int32_t Height, uint8_t PixelFormat) {
  int32_t bits = BitsOf(PixelFormat);
  if (Width < 0 || Height < 0) throw Exception("Invalid bitmap size");
  int64_t stride = ((int64_t{Width} * bits + 31) / 32) * 4;
  FPixels.assign(static_cast<size_t>(stride * Height), 0);
  FRows.resize(static_cast<size_t>(Height));
  for (int32_t y = 0; y < Height; ++y) FRows[y] = FPixels.data() + y * stride;
  FWidth = Width;
  FHeight = Height;
  FStride = static_cast<int32_t>(stride);
  FPixelFormat = PixelFormat;
  FPalette = bits <= 8 ? GrayPalette(1 << bits) : std::vector<TPNGColor>{};
}

void TPNGImage::ConvertTo24Bits() {
  if (FPixelFormat != pf32bit) return;
  std::vector<uint8_t*> rows = FRows;
  std::vector<uint8_t> pixels = std::move(FPixels);
  NewOwnBitmap(FWidth, FHeight, pf24bit);
  for (int32_t y = 0; y < FHeight; ++y) {
    const uint8_t* from = rows[y];
    uint8_t* to = ScanLine(y);
    for (int32_t x = 0; x < FWidth; ++x) std::memcpy(to + 3 * x, from + 4 * x, 3);
  }
}

void TPNGImage::SetPalette(std::vector<TPNGColor> Palette) {
  if (Palette.size() > 256) Palette.resize(256);
  FPalette = std::move(Palette);
}
