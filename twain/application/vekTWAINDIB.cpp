#include "vekTWAINDIB.h"

#include <algorithm>
#include <cstring>

#include "../../imaging/limits.h"
#include "streams.h"

using namespace win32;

namespace {

// Pixels move in pieces of at most this many bytes.
constexpr size_t kCopyChunk = 32768;
// 300 dpi in pixels per metre, for an image that gives no resolution.
constexpr int32_t kDefaultPelsPerMeter = 11811;

bool DepthAllowed(uint16_t Bits) {
  return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

void CopyInChunks(uint8_t* To, const uint8_t* From, size_t Bytes) {
  for (size_t done = 0; done < Bytes; done += kCopyChunk) {
    std::memcpy(To + done, From + done, std::min(kCopyChunk, Bytes - done));
  }
}

template <class T>
T ReadAt(const uint8_t* Block, size_t Offset) {
  T value;
  std::memcpy(&value, Block + Offset, sizeof(T));
  return value;
}

// Fills the layout from the header's fields and checks it against the block.
std::optional<TPackedDIB> CheckLayout(TPackedDIB Layout, uint16_t Planes, uint32_t Compression,
                                      uint32_t ClrUsed, size_t Size) {
  const int64_t height = Layout.Height < 0 ? -int64_t{Layout.Height} : Layout.Height;
  if (Planes != 1 || Compression != BI_RGB || !DepthAllowed(Layout.BitCount) || Layout.Width <= 0 ||
      Layout.Width > kMaxImageDimension || height == 0 || height > kMaxImageDimension) {
    return std::nullopt;
  }
  const uint32_t depthEntries = Layout.BitCount <= 8 ? uint32_t{1} << Layout.BitCount : 0;
  const uint32_t most = Layout.BitCount <= 8 ? depthEntries : 256;
  if (ClrUsed > most) return std::nullopt;
  Layout.Entries = Layout.BitCount <= 8 && ClrUsed == 0 ? depthEntries : ClrUsed;
  const int64_t imageSize = StrideFor(Layout.Width, Layout.BitCount) * height;
  const int64_t pixelOffset =
      int64_t{Layout.HeaderSize} + int64_t{Layout.Entries} * Layout.EntrySize;
  if (imageSize > kMaxImageBlockSize || pixelOffset + imageSize > static_cast<int64_t>(Size)) {
    return std::nullopt;
  }
  Layout.PixelOffset = static_cast<size_t>(pixelOffset);
  Layout.ImageSize = static_cast<size_t>(imageSize);
  return Layout;
}

int32_t ResolutionOr(int32_t Value, int32_t Other) {
  if (Value >= 1) return Value;
  return Other >= 1 ? Other : kDefaultPelsPerMeter;
}

// The whole file in memory, or nothing when it cannot be read.
std::optional<TMemoryStream> ReadWholeFile(const std::string& FileName) {
  try {
    TMemoryStream stream;
    stream.LoadFromFile(FileName);
    return stream;
  } catch (...) {
    return std::nullopt;
  }
}

// The packed DIB of a BMP file image and its layout.
struct TBMPImage {
  const uint8_t* DIB = nullptr;
  size_t Size = 0;
  TPackedDIB Layout;
};

std::optional<TBMPImage> CheckBMPFile(const std::vector<uint8_t>& File) {
  if (File.size() < sizeof(BITMAPFILEHEADER)) return std::nullopt;
  const auto header = ReadAt<BITMAPFILEHEADER>(File.data(), 0);
  if (header.bfType != kBitmapSignature || header.bfSize < sizeof(BITMAPFILEHEADER) ||
      header.bfSize > File.size()) {
    return std::nullopt;
  }
  TBMPImage image;
  image.DIB = File.data() + sizeof(BITMAPFILEHEADER);
  image.Size = header.bfSize - sizeof(BITMAPFILEHEADER);
  const std::optional<TPackedDIB> layout = CheckPackedDIB(image.DIB, image.Size);
  if (!layout || layout->Core) return std::nullopt;
  image.Layout = *layout;
  // The rows start where the file header says, as long as they stay inside the image.
  const size_t offBits = header.bfOffBits;
  if (offBits < sizeof(BITMAPFILEHEADER) + layout->HeaderSize ||
      offBits - sizeof(BITMAPFILEHEADER) + layout->ImageSize > image.Size) {
    return std::nullopt;
  }
  image.Layout.PixelOffset = offBits - sizeof(BITMAPFILEHEADER);
  return image;
}

}  // namespace

std::optional<TPackedDIB> CheckPackedDIB(const void* Block, size_t Size) {
  const auto* bytes = static_cast<const uint8_t*>(Block);
  if (bytes == nullptr || Size < sizeof(BITMAPCOREHEADER)) return std::nullopt;
  const uint32_t headerSize = ReadAt<uint32_t>(bytes, 0);
  TPackedDIB layout;
  layout.HeaderSize = headerSize;
  if (headerSize == sizeof(BITMAPCOREHEADER)) {
    const auto core = ReadAt<BITMAPCOREHEADER>(bytes, 0);
    layout.Core = true;
    layout.EntrySize = 3;
    layout.Width = core.bcWidth;
    layout.Height = core.bcHeight;
    layout.BitCount = core.bcBitCount;
    return CheckLayout(layout, core.bcPlanes, BI_RGB, 0, Size);
  }
  if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > Size) return std::nullopt;
  const auto info = ReadAt<BITMAPINFOHEADER>(bytes, 0);
  layout.Width = info.biWidth;
  layout.Height = info.biHeight;
  layout.BitCount = info.biBitCount;
  return CheckLayout(layout, info.biPlanes, info.biCompression, info.biClrUsed, Size);
}

void SectionInfoOfPackedDIB(const void* Block, const TPackedDIB& Layout, TBitmapInfoBuffer& Out) {
  const auto* bytes = static_cast<const uint8_t*>(Block);
  Out = TBitmapInfoBuffer();
  BITMAPINFOHEADER& header = Out.Header();
  if (Layout.Core) {
    header.biPlanes = 1;
  } else {
    header = ReadAt<BITMAPINFOHEADER>(bytes, 0);
  }
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = Layout.Width;
  header.biHeight = Layout.Height;
  header.biBitCount = Layout.BitCount;
  header.biCompression = BI_RGB;
  header.biClrUsed = 0;
  header.biClrImportant = 0;
  header.biXPelsPerMeter = ResolutionOr(header.biXPelsPerMeter, header.biYPelsPerMeter);
  header.biYPelsPerMeter = ResolutionOr(header.biYPelsPerMeter, header.biXPelsPerMeter);
  header.biSizeImage = static_cast<uint32_t>(Layout.ImageSize);
  if (Layout.BitCount > 8) return;
  RGBQUAD* colors = Out.Info()->bmiColors;
  const uint8_t* table = bytes + Layout.HeaderSize;
  for (uint32_t i = 0; i < Layout.Entries; ++i) {
    const uint8_t* entry = table + i * Layout.EntrySize;
    colors[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  }
}

HBITMAP DIBSectionOfPackedDIB(const void* Block, const TPackedDIB& Layout) {
  TBitmapInfoBuffer info;
  SectionInfoOfPackedDIB(Block, Layout, info);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(info.Info(), &bits);
  if (section == nullptr) return nullptr;
  CopyInChunks(static_cast<uint8_t*>(bits), static_cast<const uint8_t*>(Block) + Layout.PixelOffset,
               Layout.ImageSize);
  return section;
}

HBITMAP LoadBMPFileToDIBSection(const std::string& FileName) {
  const std::optional<TMemoryStream> file = ReadWholeFile(FileName);
  if (!file) return nullptr;
  const std::optional<TBMPImage> image = CheckBMPFile(file->Bytes());
  if (!image) return nullptr;
  return DIBSectionOfPackedDIB(image->DIB, image->Layout);
}

HGLOBAL LoadBMPFileToGlobal(const std::string& FileName) {
  const std::optional<TMemoryStream> file = ReadWholeFile(FileName);
  if (!file) return nullptr;
  const std::optional<TBMPImage> image = CheckBMPFile(file->Bytes());
  if (!image) return nullptr;
  HGLOBAL block = GlobalAlloc(GHND, image->Size);
  if (block == nullptr) return nullptr;
  auto* to = static_cast<uint8_t*>(GlobalLock(block));
  CopyInChunks(to, image->DIB, image->Size);
  GlobalUnlock(block);
  return block;
}

void FillGrayPalette(RGBQUAD* Colors, int Count, bool Vanilla) {
  if (Count < 1 || Count > 256) return;
  const int step = Count == 2 ? 256 : Count == 16 ? 16 : 1;
  for (int i = 0; i < Count; ++i) {
    int entry = step * i;
    if (step > 1 && entry > 1) entry -= 1;
    if (Vanilla) entry = 255 - entry;
    const auto level = static_cast<uint8_t>(entry);
    Colors[i] = RGBQUAD{level, level, level, 0};
  }
}

namespace {

void SwapRowsRedBlue(uint8_t* A, uint8_t* B, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, A += 3, B += 3) {
    const uint8_t a0 = A[0], a1 = A[1], a2 = A[2];
    A[0] = B[2];
    A[1] = B[1];
    A[2] = B[0];
    B[0] = a2;
    B[1] = a1;
    B[2] = a0;
  }
}

void SwapRedBlueOfRow(uint8_t* Row, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Row += 3) std::swap(Row[0], Row[2]);
}

}  // namespace

void ReorderMemPixels(uint8_t* Bits, int32_t Width, int32_t Height, int BitCount,
                      bool SwapRedBlue) {
  if (Bits == nullptr || Width <= 0 || Height <= 0) return;
  const auto stride = static_cast<size_t>(StrideFor(Width, BitCount));
  const bool swapColours = SwapRedBlue && BitCount == 24;
  for (int32_t top = 0, bottom = Height - 1; top <= bottom; ++top, --bottom) {
    uint8_t* a = Bits + top * stride;
    uint8_t* b = Bits + bottom * stride;
    if (top == bottom) {
      if (swapColours) SwapRedBlueOfRow(a, Width);
    } else if (swapColours) {
      SwapRowsRedBlue(a, b, Width);
    } else {
      std::swap_ranges(a, a + stride, b);
    }
  }
}
