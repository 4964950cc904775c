#include "memorypage.h"

#include <cstring>
#include <string>

#include "exception.h"
#include "vekTWAINFix.h"

namespace {

uint8_t PixelTypeOf(const TW_IMAGEINFO& Info) {
  if (Info.BitsPerPixel == 1) return pt1bit;
  if (Info.BitsPerPixel == 8) return pt8bit;
  if (Info.BitsPerPixel == 24 && Info.PixelType == TWPT_RGB) return pt24bit;
  throw Exception("Memory pages of " + std::to_string(Info.BitsPerPixel) +
                  " bits per pixel are not taken");
}

int32_t DPI(TW_FIX32 Resolution) {
  return static_cast<int32_t>(FIX32ToFloat(Resolution) + 0.5);
}

}  // namespace

TMemoryPage::TMemoryPage(const TW_IMAGEINFO& Info) : FPage(std::make_unique<TDIB>()) {
  if (Info.Compression != TWCP_NONE) throw Exception("Compressed memory pages are not taken");
  FPage->NewImage(Info.ImageWidth, Info.ImageLength, PixelTypeOf(Info), DPI(Info.XResolution),
                  DPI(Info.YResolution));
}

void TMemoryPage::Take(const TW_IMAGEMEMXFER& Strip, const uint8_t* Buffer, uint32_t Length) {
  if (Strip.Rows == 0) return;
  const auto rowBytes = static_cast<uint32_t>(FPage->LineBytes());
  if (Strip.BytesPerRow < rowBytes || Strip.BytesWritten > Length ||
      Strip.BytesWritten / Strip.BytesPerRow < Strip.Rows)
    throw Exception("A memory strip holds less than it claims");
  if (Strip.YOffset != static_cast<uint32_t>(FRows) ||
      Strip.Rows > static_cast<uint32_t>(FPage->Height() - FRows))
    throw Exception("A memory strip lies outside the page");
  for (uint32_t r = 0; r < Strip.Rows; ++r)
    std::memcpy(FPage->Lines(FRows + static_cast<int32_t>(r)), Buffer + r * Strip.BytesPerRow,
                rowBytes);
  FRows += static_cast<int32_t>(Strip.Rows);
}

void TMemoryPage::SetPalette(const TW_PALETTE8& Palette) {
  for (int32_t i = 0; i < Palette.NumColors && i < FPage->ColorCount(); ++i) {
    const TW_ELEMENT8& c = Palette.Colors[i];
    FPage->SetPaletteEntry(i, c.Channel3 + c.Channel2 * 256u + c.Channel1 * 65536u);
  }
}

std::unique_ptr<TDIB> TMemoryPage::Finish() {
  if (FPage->BitCount() == 24) FPage->SwapRedBlue();
  return std::move(FPage);
}
