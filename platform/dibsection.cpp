#include "dibsection.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "../imaging/limits.h"

namespace win32 {
namespace {

constexpr uint32_t kSectionMagic = 0x53424944;  // "DIBS"

struct DIBSectionRecord {
  uint32_t magic = kSectionMagic;
  std::unique_ptr<uint8_t[]> info;  // header and colour table
  std::unique_ptr<uint8_t[]> bits;
  size_t imageSize = 0;
};

std::atomic<size_t> liveSections{0};

bool DepthAllowed(uint16_t Bits) {
  return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

DIBSectionRecord* RecordOf(HBITMAP Bitmap) {
  auto* record = static_cast<DIBSectionRecord*>(Bitmap);
  if (record == nullptr || record->magic != kSectionMagic) return nullptr;
  return record;
}

}  // namespace

size_t ColorTableEntries(const BITMAPINFOHEADER& Header) {
  if (Header.biClrUsed != 0) return Header.biClrUsed;
  return Header.biBitCount <= 8 ? size_t{1} << Header.biBitCount : 0;
}

HBITMAP CreateDIBSection(const BITMAPINFO* Info, void** Bits) {
  if (Bits != nullptr) *Bits = nullptr;
  if (Info == nullptr) return nullptr;
  const BITMAPINFOHEADER& header = Info->bmiHeader;
  if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 ||
      !DepthAllowed(header.biBitCount) || header.biCompression != BI_RGB || header.biWidth <= 0 ||
      header.biHeight == 0 || header.biHeight == INT32_MIN) {
    return nullptr;
  }
  const size_t entries = ColorTableEntries(header);
  const size_t most = header.biBitCount <= 8 ? size_t{1} << header.biBitCount : 256;
  const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
  if (entries > most || header.biWidth > kMaxImageDimension || height > kMaxImageDimension) {
    return nullptr;
  }
  const int64_t imageSize = StrideFor(header.biWidth, header.biBitCount) * height;
  if (40 + 4 * static_cast<int64_t>(entries) + imageSize > kMaxImageBlockSize) return nullptr;

  auto record = std::unique_ptr<DIBSectionRecord>(new (std::nothrow) DIBSectionRecord);
  if (record == nullptr) return nullptr;
  const size_t infoSize = sizeof(BITMAPINFOHEADER) + 4 * entries;
  record->info.reset(new (std::nothrow) uint8_t[infoSize]);
  record->bits.reset(new (std::nothrow) uint8_t[imageSize]());
  if (record->info == nullptr || record->bits == nullptr) return nullptr;
  std::memcpy(record->info.get(), Info, infoSize);
  auto* own = reinterpret_cast<BITMAPINFOHEADER*>(record->info.get());
  own->biSizeImage = static_cast<uint32_t>(imageSize);
  record->imageSize = static_cast<size_t>(imageSize);
  if (Bits != nullptr) *Bits = record->bits.get();
  ++liveSections;
  return record.release();
}

bool DeleteObject(HBITMAP Bitmap) {
  DIBSectionRecord* record = RecordOf(Bitmap);
  if (record == nullptr) return false;
  record->magic = 0;
  delete record;
  --liveSections;
  return true;
}

const BITMAPINFO* DIBSectionInfo(HBITMAP Bitmap) {
  DIBSectionRecord* record = RecordOf(Bitmap);
  return record == nullptr ? nullptr : reinterpret_cast<const BITMAPINFO*>(record->info.get());
}

void* DIBSectionBits(HBITMAP Bitmap) {
  DIBSectionRecord* record = RecordOf(Bitmap);
  return record == nullptr ? nullptr : record->bits.get();
}

size_t DIBSectionImageSize(HBITMAP Bitmap) {
  DIBSectionRecord* record = RecordOf(Bitmap);
  return record == nullptr ? 0 : record->imageSize;
}

size_t LiveDIBSections() {
  return liveSections.load();
}

}  // namespace win32
