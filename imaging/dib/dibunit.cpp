#include "dibunit.h"

#include "rounding.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

struct TTypeInfo {
  int32_t Bits;
  int32_t Colors;
};

// Bit count and palette size of a pixel type; false for an unknown type.
bool TypeInfo(uint8_t PixelType, TTypeInfo& Info) {
  switch (PixelType) {
    case pt1bit:
      Info = {1, 2};
      return true;
    case pt4bit:
      Info = {4, 16};
      return true;
    case pt8bit:
      Info = {8, 256};
      return true;
    case pt24bit:
      Info = {24, 0};
      return true;
    default:
      return false;
  }
}

int64_t LineBytesFor(int64_t Width, int64_t Bits) {
  return (Width * Bits + 7) / 8;
}

}  // namespace

int32_t IntMax(int32_t a, int32_t b) {
  return a > b ? a : b;
}
int32_t IntMin(int32_t a, int32_t b) {
  return a < b ? a : b;
}

int32_t IntPower(int32_t base, int32_t exponent) {
  uint32_t result = 1;
  for (int32_t i = 0; i < exponent; ++i) result *= static_cast<uint32_t>(base);
  return static_cast<int32_t>(result);
}

TDIB::TDIB() : FPixelSetter(&TDIB::SetPixelUnset), FPixelGetter(&TDIB::GetPixelUnset) {}

TDIB::~TDIB() {
  FreeImage();
}

// ---- Construction and memory ----

void* TDIB::Lock() {
  if (FLockCount == 0) {
    FMemory = win32::GlobalLock(FHandle);
    if (FMemory == nullptr) win32::RaiseLastError();
  }
  ++FLockCount;
  return FMemory;
}

void TDIB::Unlock() {
  if (FLockCount <= 0) return;
  --FLockCount;
  if (FLockCount == 0) {
    win32::GlobalUnlock(FHandle);
    FMemory = nullptr;
  }
}

void TDIB::UnlockAll() {
  if (FHandle == nullptr) return;
  while (FLockCount > 0) Unlock();
}

void TDIB::FreeImage() {
  FLines.clear();
  FLines.shrink_to_fit();
  UnlockAll();
  if (FHandle != nullptr && FOwnsHandle) win32::GlobalFree(FHandle);
  FHandle = nullptr;
  FHeader = nullptr;
  FPalette = nullptr;
  FBits = nullptr;
  FFileHeader = {};
  // Pixel access on the emptied page raises, as on a new one, instead of reading freed rows.
  FPixelGetter = &TDIB::GetPixelUnset;
  FPixelSetter = &TDIB::SetPixelUnset;
}

void TDIB::LayoutForType(int32_t Width, int32_t Height, uint8_t PixelType, TDIBLayout& Layout) {
  TTypeInfo info{};
  if (!TypeInfo(PixelType, info)) return;
  Layout.Stride = static_cast<int32_t>(StrideFor(Width, info.Bits));
  Layout.LineBytes = static_cast<int32_t>(LineBytesFor(Width, info.Bits));
  Layout.BlockSize = 40 + 4 * info.Colors + Height * Layout.Stride;
}

void TDIB::CheckImageSize(int64_t Width, int64_t Height, uint8_t PixelType) {
  TTypeInfo info{};
  if (!TypeInfo(PixelType, info)) throw Exception("Bit depht not allowed");
  CheckPageLimits(Width, Height, info.Bits, info.Colors);
}

void TDIB::NewImage(int32_t Width, int32_t Height, uint8_t PixelType, int32_t XDPI, int32_t YDPI) {
  FreeImage();
  CheckImageSize(Width, Height, PixelType);
  TTypeInfo info{};
  TypeInfo(PixelType, info);
  int32_t xPels = Round(XDPI * kPelsPerMeterPerDPI);
  int32_t yPels = Round(YDPI * kPelsPerMeterPerDPI);
  ChoosePixelMethods(info.Bits);
  TDIBLayout layout;
  LayoutForType(Width, Height, PixelType, layout);
  FStride = layout.Stride;
  FLineBytes = layout.LineBytes;
  FBlockSize = layout.BlockSize;
  FColorCount = info.Colors;
  FPixelType = PixelType;

  FHandle = win32::GlobalAlloc(win32::GHND, static_cast<size_t>(FBlockSize));
  if (FHandle == nullptr) win32::RaiseLastError();
  Lock();

  FFileHeader.bfType = win32::kBitmapSignature;
  FFileHeader.bfOffBits = 54 + 4 * FColorCount;

  FHeader = static_cast<win32::BITMAPINFOHEADER*>(FMemory);
  FHeader->biSize = 40;
  FHeader->biWidth = Width;
  FHeader->biHeight = Height;
  FHeader->biPlanes = 1;
  FHeader->biBitCount = static_cast<uint16_t>(info.Bits);
  FHeader->biCompression = win32::BI_RGB;
  FHeader->biSizeImage = static_cast<uint32_t>(Height * FStride);
  FHeader->biXPelsPerMeter = xPels;
  FHeader->biYPelsPerMeter = yPels;
  FHeader->biClrUsed = static_cast<uint32_t>(FColorCount);
  FHeader->biClrImportant = static_cast<uint32_t>(FColorCount);
  FColorsUsed = FHeader->biClrUsed;

  FPalette = reinterpret_cast<win32::RGBQUAD*>(static_cast<uint8_t*>(FMemory) + 40);
  if (FColorCount == 2) {
    FPalette[1] = {255, 255, 255, 0};
  } else {
    for (int32_t i = 0; i < FColorCount; ++i) {
      auto level = static_cast<uint8_t>(Round(256.0 / FColorCount * i));
      FPalette[i] = {level, level, level, 0};
    }
  }
  FBits = reinterpret_cast<uint8_t*>(FPalette + FColorCount);
  BuildLineTable();
}

void TDIB::CheckAdoptedBlock(size_t GlobalBytes) const {
  if (GlobalBytes < sizeof(win32::BITMAPINFOHEADER)) {
    throw Exception("Invalid bitmap block: " + std::to_string(GlobalBytes) + " bytes");
  }
  const auto* info = static_cast<const win32::BITMAPINFOHEADER*>(FMemory);
  int64_t bits = info->biBitCount;
  if (info->biWidth < 0 || info->biHeight < 0 || info->biWidth > kMaxImageDimension ||
      info->biHeight > kMaxImageDimension || bits > 32) {
    throw Exception("Invalid bitmap block: " + std::to_string(info->biWidth) + " x " +
                    std::to_string(info->biHeight) + " pixels of " + std::to_string(bits) +
                    " bits");
  }
  int64_t colors = bits <= 8 ? int64_t{1} << bits : 0;
  int64_t needed = 40 + 4 * colors + info->biHeight * StrideFor(info->biWidth, bits);
  if (needed > static_cast<int64_t>(GlobalBytes)) {
    throw Exception("Invalid bitmap block: the header needs " + std::to_string(needed) +
                    " bytes, the block holds " + std::to_string(GlobalBytes));
  }
}

void TDIB::SetHandle(win32::HGLOBAL Handle) {
  AdoptBlock(Handle, {});
}

void TDIB::AdoptBlock(win32::HGLOBAL Handle, const win32::BITMAPFILEHEADER& FileHeader) {
  FreeImage();
  FHandle = Handle;
  if (FHandle == nullptr) return;
  size_t globalBytes = win32::GlobalSize(FHandle);
  FBlockSize = static_cast<int32_t>(std::min<size_t>(globalBytes, INT32_MAX));
  try {
    Lock();
    CheckAdoptedBlock(globalBytes);
  } catch (...) {
    // The block stays its owner's: the object lets go of it without freeing it.
    UnlockAll();
    FHandle = nullptr;
    FMemory = nullptr;
    throw;
  }
  FFileHeader = FileHeader;
  ParseHeader();
  BuildLineTable();
}

void TDIB::TakeImage(TDIB& Source) {
  if (&Source == this) return;
  const bool owns = Source.FOwnsHandle;
  // Adopted while the source still holds it: if the block is refused, the source keeps it.
  AdoptBlock(Source.FHandle, Source.FFileHeader);
  FOwnsHandle = FHandle == nullptr || owns;
  Source.FOwnsHandle = false;
  Source.FreeImage();
  Source.FOwnsHandle = true;
}

win32::HGLOBAL TDIB::GetHandle() const {
  if (FHandle != nullptr) return FHandle;
  if (FMemory != nullptr) return win32::GlobalHandle(FMemory);
  return nullptr;
}

bool TDIB::ChoosePixelMethods(int32_t BitCount) {
  switch (BitCount) {
    case 1:
      FPixelGetter = &TDIB::GetPixel1;
      FPixelSetter = &TDIB::SetPixel1;
      FPixelType = pt1bit;
      return true;
    case 4:
      FPixelGetter = &TDIB::GetPixel4;
      FPixelSetter = &TDIB::SetPixel4;
      FPixelType = pt4bit;
      return true;
    case 8:
      FPixelGetter = &TDIB::GetPixel8;
      FPixelSetter = &TDIB::SetPixel8;
      FPixelType = pt8bit;
      return true;
    case 24:
      FPixelGetter = &TDIB::GetPixel24;
      FPixelSetter = &TDIB::SetPixel24;
      FPixelType = pt24bit;
      return true;
    default:
      // The pixel type stays; the methods of another depth would walk off the rows.
      FPixelGetter = &TDIB::GetPixelUnset;
      FPixelSetter = &TDIB::SetPixelUnset;
      return false;
  }
}

void TDIB::ParseHeader() {
  FHeader = static_cast<win32::BITMAPINFOHEADER*>(FMemory);
  int32_t bits = FHeader->biBitCount;
  FColorCount = bits <= 8 ? 1 << bits : 0;
  FColorsUsed = FHeader->biClrUsed;
  auto* memory = static_cast<uint8_t*>(FMemory);
  FPalette = reinterpret_cast<win32::RGBQUAD*>(memory + 40);
  FBits = FFileHeader.bfOffBits != 0 ? memory + FFileHeader.bfOffBits - 14
                                     : memory + 40 + 4 * FColorCount;
  FStride = static_cast<int32_t>(StrideFor(FHeader->biWidth, bits));
  FLineBytes = static_cast<int32_t>(LineBytesFor(FHeader->biWidth, bits));
  ChoosePixelMethods(bits);
  FBlockSize = 4 * FColorCount + FHeader->biHeight * FStride + 40;
}

void TDIB::BuildLineTable() {
  int32_t height = Height();
  FLines.assign(static_cast<size_t>(height), nullptr);
  for (int32_t y = 0; y < height; ++y) {
    FLines[y] = FBits + static_cast<ptrdiff_t>(height - 1 - y) * FStride;
  }
}

// ---- Resolution ----

int32_t TDIB::XResolution() const {
  return Round(FHeader->biXPelsPerMeter / kPelsPerMeterPerDPI);
}
int32_t TDIB::YResolution() const {
  return Round(FHeader->biYPelsPerMeter / kPelsPerMeterPerDPI);
}
void TDIB::SetXResolution(int32_t DPI) {
  FHeader->biXPelsPerMeter = Round(DPI * kPelsPerMeterPerDPI);
}
void TDIB::SetYResolution(int32_t DPI) {
  FHeader->biYPelsPerMeter = Round(DPI * kPelsPerMeterPerDPI);
}

// ---- Pixels ----

int32_t TDIB::GetPixel1(int32_t X, int32_t Y) const {
  return (FLines[Y][X >> 3] >> (7 - (X & 7))) & 1;
}

int32_t TDIB::GetPixel4(int32_t X, int32_t Y) const {
  uint8_t b = FLines[Y][X >> 1];
  return (X & 1) != 0 ? b & 0x0F : b >> 4;
}

int32_t TDIB::GetPixel8(int32_t X, int32_t Y) const {
  return FLines[Y][X];
}

int32_t TDIB::GetPixel24(int32_t X, int32_t Y) const {
  const uint8_t* p = FLines[Y] + 3 * X;
  return p[2] | (p[1] << 8) | (p[0] << 16);
}

void TDIB::SetPixel1(int32_t X, int32_t Y, int32_t Value) {
  uint8_t mask = static_cast<uint8_t>(0x80 >> (X & 7));
  uint8_t& b = FLines[Y][X >> 3];
  b = Value <= 0 ? b & ~mask : b | mask;
}

void TDIB::SetPixel4(int32_t X, int32_t Y, int32_t Value) {
  uint8_t& b = FLines[Y][X >> 1];
  if ((X & 1) != 0) {
    b = static_cast<uint8_t>((b & 0xF0) | (Value & 0x0F));
  } else {
    b = static_cast<uint8_t>((b & 0x0F) | ((Value << 4) & 0xF0));
  }
}

void TDIB::SetPixel8(int32_t X, int32_t Y, int32_t Value) {
  FLines[Y][X] = static_cast<uint8_t>(Value);
}

void TDIB::SetPixel24(int32_t X, int32_t Y, int32_t Value) {
  uint8_t* p = FLines[Y] + 3 * X;
  p[0] = static_cast<uint8_t>(Value >> 16);
  p[1] = static_cast<uint8_t>(Value >> 8);
  p[2] = static_cast<uint8_t>(Value);
}

int32_t TDIB::GetPixelUnset(int32_t, int32_t) const {
  if (FHeader == nullptr) throw Exception("Pixel access on an empty bitmap");
  throw Exception("Pixel access not allowed on a " + std::to_string(BitCount()) +
                  " bits per pixel bitmap");
}

void TDIB::SetPixelUnset(int32_t X, int32_t Y, int32_t) {
  GetPixelUnset(X, Y);
}

void TDIB::Fill(uint8_t Value) {
  if (FBits == nullptr) return;
  std::memset(FBits, Value, static_cast<size_t>(Height()) * FStride);
}

// ---- Palette ----

uint32_t TDIB::GetPaletteEntry(int32_t I) const {
  uint32_t entry;
  std::memcpy(&entry, &FPalette[I], 4);
  return entry;
}

void TDIB::SetPaletteEntry(int32_t I, uint32_t Entry) {
  std::memcpy(&FPalette[I], &Entry, 4);
}

void TDIB::SetPaletteFromLog(const win32::LOGPALETTE& LogPalette) {
  if (LogPalette.palNumEntries > FColorCount || LogPalette.palNumEntries > 256) {
    throw Exception("Palette too large: " + std::to_string(LogPalette.palNumEntries) +
                    " entries for " + std::to_string(FColorCount));
  }
  for (int32_t i = 0; i < LogPalette.palNumEntries; ++i) {
    const win32::PALETTEENTRY& e = LogPalette.palPalEntry[i];
    FPalette[i] = {e.peBlue, e.peGreen, e.peRed, 0};
  }
}

int32_t TDIB::WhiteIndex() const {
  for (int32_t i = 0; i < FColorCount; ++i) {
    const win32::RGBQUAD& e = FPalette[i];
    if (e.rgbBlue == 255 && e.rgbGreen == 255 && e.rgbRed == 255) return i;
  }
  if (FPixelType == pt8bit) return 255;
  if (FPixelType == pt24bit) return 16777215;
  return 0;
}

int32_t TDIB::BlackIndex() const {
  for (int32_t i = 0; i < FColorCount; ++i) {
    const win32::RGBQUAD& e = FPalette[i];
    if (e.rgbBlue == 0 && e.rgbGreen == 0 && e.rgbRed == 0) return i;
  }
  if (FPixelType == pt8bit || FPixelType == pt24bit) return 0;
  return 1;
}

bool TDIB::HasGrayPalette() const {
  if (FPixelType == pt8bit) {
    for (int32_t i = 0; i < 256; ++i) {
      const win32::RGBQUAD& e = FPalette[i];
      if (e.rgbBlue != i || e.rgbGreen != i || e.rgbRed != i) return false;
    }
    return true;
  }
  if (FPixelType == pt1bit) {
    return (GetPaletteEntry(0) & 0xFFFFFF) == 0xFFFFFF && (GetPaletteEntry(1) & 0xFFFFFF) == 0;
  }
  return true;
}

// ---- Polarity and copies ----

void TDIB::InvertBits() {
  // Locals, so that the byte writes cannot alias the members and the loop vectorises.
  const int32_t height = Height(), lineBytes = FLineBytes;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = FLines[y];
    for (int32_t i = 0; i < lineBytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  }
}

void TDIB::ReversePalette() {
  InvertBits();
  for (int32_t i = 0; i < FColorCount / 2; ++i)
    std::swap(FPalette[i], FPalette[FColorCount - 1 - i]);
}

std::unique_ptr<TDIB> TDIB::Duplicate() const {
  if (Empty()) throw Exception("DIB Duplicate error !");
  auto copy = std::make_unique<TDIB>();
  copy->NewImage(Width(), Height(), FPixelType, XResolution(), YResolution());
  if (copy->FBlockSize != FBlockSize) throw Exception("DIB Duplicate error !");
  std::memcpy(copy->FMemory, FMemory, static_cast<size_t>(FBlockSize));
  return copy;
}
