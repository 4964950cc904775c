// TvekTWAINIntf's image transfers: one loop per mechanism over all pending images, each
// image handed to OnImageReady as DIBHandleType asks, and the closing steps after it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "../../imaging/limits.h"
#include "vekTWAINDIB.h"
#include "vekTWAINFix.h"
#include "vekTWAINIntf.h"
#include "vekTWAINNativeTiff.h"
#include "vekTWAINStrips.h"

using namespace win32;

namespace {

constexpr uint32_t kStripFlags = TWMF_APPOWNS | TWMF_POINTER;
constexpr int32_t kDefaultPelsPerMeter = 11811;
// A source that keeps answering empty strips is given up after this many in a row.
constexpr int kMostEmptyStrips = 16;

bool IsUsableHandle(const void* Handle) {
  return reinterpret_cast<uintptr_t>(Handle) >= 32;
}

int32_t PelsPerMeter(double Resolution, int32_t Units) {
  double perMeter;
  switch (Units) {
    case TWUN_INCHES:
      perMeter = Resolution * 100 / 2.54;
      break;
    case TWUN_CENTIMETERS:
      perMeter = Resolution * 100;
      break;
    case TWUN_PICAS:
      perMeter = Resolution * 100 / 2.54 * 6;
      break;
    case TWUN_POINTS:
      perMeter = Resolution * 100 / 2.54 * 72;
      break;
    case TWUN_TWIPS:
      perMeter = Resolution * 100 / 2.54 * 1440;
      break;
    default:
      return kDefaultPelsPerMeter;
  }
  return static_cast<int32_t>(std::nearbyint(perMeter));
}

bool DepthAllowed(int32_t Bits) {
  return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

// What an image of the memory transfer is written into.
struct TMemDestination {
  HBITMAP Section = nullptr;
  HGLOBAL Block = nullptr;
  uint8_t* Pixels = nullptr;

  void Free() {
    if (Section != nullptr) DeleteObject(Section);
    if (Block != nullptr) {
      GlobalUnlock(Block);
      GlobalFree(Block);
    }
    *this = TMemDestination();
  }
};

}  // namespace

uint16_t TvekTWAINIntf::PendingXfers(uint16_t Msg, int16_t& Count) {
  TW_PENDINGXFERS pending{};
  const uint16_t result =
      CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_PENDINGXFERS, Msg, &pending);
  if (result == TWRC_SUCCESS) {
    FPendingXferCount = static_cast<int16_t>(pending.Count);
    SetState(FPendingXferCount != 0 ? 6 : 5);
  } else if (Msg == MSG_ENDXFER) {
    // An image the source cannot end leaves no pending count to trust: the loop stops
    // instead of asking for the same image again.
    FPendingXferCount = 0;
  }
  Count = FPendingXferCount;
  return result;
}

uint16_t TvekTWAINIntf::GetImageInfo(TW_IMAGEINFO& Info) {
  return CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &Info);
}

uint16_t TvekTWAINIntf::SetupMemXfer(TW_SETUPMEMXFER& Setup) {
  Setup = TW_SETUPMEMXFER{};
  return CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &Setup);
}

uint16_t TvekTWAINIntf::GetPalette(RGBQUAD (&Palette)[256], uint16_t& PaletteType) {
  TW_PALETTE8 palette{};
  const uint16_t result =
      CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette);
  if (result != TWRC_SUCCESS) return result;
  std::fill(std::begin(Palette), std::end(Palette), RGBQUAD{});
  const int count = std::min<int>(palette.NumColors, 256);
  for (int i = 0; i < count; ++i) {
    const TW_ELEMENT8& e = palette.Colors[i];
    Palette[e.Index] = RGBQUAD{e.Channel3, e.Channel2, e.Channel1, 0};
  }
  PaletteType = palette.PaletteType;
  return result;
}

void TvekTWAINIntf::EndOfImage() {
  int16_t count;
  PendingXfers(MSG_ENDXFER, count);
  if (count == 0 && FCloseMode == 1) CloseAll();
}

void TvekTWAINIntf::FailedImage() {
  int16_t count;
  PendingXfers(MSG_ENDXFER, count);
  if (count == 0) CloseAll();
}

void TvekTWAINIntf::EndLoopImage() {
  FireXferNext();
  if (FPendingXferCount == 0 && IsSourceOpen() && FCloseMode == 1) CloseAll();
}

void TvekTWAINIntf::FireXferNext() {
  if (!OnXferNext) return;
  int32_t numImages = FPendingXferCount;
  bool skipNext = false;
  OnXferNext(this, numImages, skipNext);
  if (!IsSourceOpen()) return;
  int16_t count;
  if (skipNext) {
    PendingXfers(MSG_ENDXFER, count);
  } else if (numImages == 0 && FPendingXferCount != 0) {
    PendingXfers(MSG_RESET, count);
    CloseAll();
  }
}

void TvekTWAINIntf::HandOver(void* pBmp, BITMAPINFO* pBmpInfo, void* hImage, bool IsSection,
                             const std::string& FilePath) {
  if (OnImageReady) {
    OnImageReady(this, pBmp, pBmpInfo, hImage, FilePath);
    return;
  }
  // Nobody takes the image: what was made for it goes again.
  if (hImage == nullptr) return;
  if (IsSection) {
    DeleteObject(hImage);
  } else {
    GlobalFree(hImage);
  }
}

void TvekTWAINIntf::HandOverSection(HBITMAP Section) {
  if (FDIBHandleType == THDT_DIBSEC) {
    HandOver(DIBSectionBits(Section), const_cast<BITMAPINFO*>(DIBSectionInfo(Section)), Section,
             true, "");
  } else {
    HandOver(nullptr, nullptr, Section, true, "");
  }
}

uint16_t TvekTWAINIntf::TransferImages() {
  switch (FXferMech) {
    case TWFX_FILES:
    case TWFX_FILES2:
      FileTransfer();
      break;
    case TWFX_MEMORY:
      MemoryTransfer();
      break;
    default:
      NativeTransfer();
      break;
  }
  if (FCloseMode != 1) return TWRC_SUCCESS;
  uint16_t result = DisableDS();
  if (result != TWRC_SUCCESS) return result;
  result = CloseDS();
  if (result == TWRC_SUCCESS) result = CloseDSM();
  FCloseMode = 0;
  return result;
}

// ---- Native ------------------------------------------------------------------------------

uint16_t TvekTWAINIntf::NativeTransfer() {
  FPendingXferCount = 0;
  uint16_t result;
  do {
    TW_HANDLE handle = nullptr;
    result =
        CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    int16_t count;
    PendingXfers(MSG_ENDXFER, count);
    if (result == TWRC_CANCEL || result == TWRC_XFERDONE) {
      if (count == 0 && FCloseMode == 1) CloseAll();
      if (result == TWRC_XFERDONE && IsUsableHandle(handle)) {
        DeliverNative(handle);
      } else {
        HandOverNothing();
      }
    } else {
      if (count == 0) CloseAll();
      HandOverNothing();
    }
    EndLoopImage();
  } while (FPendingXferCount != 0 && IsSourceOpen());
  return result;
}

void TvekTWAINIntf::DeliverNative(HGLOBAL Handle) {
  Handle = PackedDIBOfNativeBlock(Handle);
  const void* block = GlobalLock(Handle);
  const std::optional<TPackedDIB> layout = CheckPackedDIB(block, GlobalSize(Handle));
  if (!layout) {
    GlobalUnlock(Handle);
    RefuseNative(Handle);
    return;
  }
  FImageWidth = layout->Width;
  FImageHeight = layout->Height;
  if (FDIBHandleType == THDT_DIBRAW || FDIBHandleType == THDT_MEMPTR) {
    GlobalUnlock(Handle);
    HandOver(nullptr, nullptr, Handle, false, "");
    return;
  }
  HBITMAP section = DIBSectionOfPackedDIB(block, *layout);
  GlobalUnlock(Handle);
  GlobalFree(Handle);
  if (section == nullptr) {
    HandOverNothing();
  } else {
    HandOverSection(section);
  }
}

// A block that is no sound packed DIB is never used: it is freed, reported as a failure of
// the transfer and handed over as a failed image.
void TvekTWAINIntf::RefuseNative(HGLOBAL Handle) {
  GlobalFree(Handle);
  if (OnFailure) {
    OnFailure(this, static_cast<int32_t>(DG_IMAGE), DAT_IMAGENATIVEXFER, 0, MSG_GET, TWRC_FAILURE,
              TWCC_BADVALUE);
  }
  HandOverNothing();
}

// ---- Memory ------------------------------------------------------------------------------

uint16_t TvekTWAINIntf::MemoryTransfer() {
  FPendingXferCount = 0;
  do {
    MemoryImage();
    EndLoopImage();
  } while (FPendingXferCount != 0 && IsSourceOpen());
  return TWRC_SUCCESS;
}

void TvekTWAINIntf::AbandonImages() {
  // The image cannot be described or received: the pending images are given up, so that the
  // loop neither asks for the same image again nor leaves the source waiting for its end.
  int16_t count;
  PendingXfers(MSG_RESET, count);
  FPendingXferCount = 0;
}

bool TvekTWAINIntf::MemoryImage() {
  TW_IMAGEINFO image{};
  if (GetImageInfo(image) != TWRC_SUCCESS) {
    AbandonImages();
    return false;
  }
  FImageWidth = image.ImageWidth;
  FImageHeight = image.ImageLength;
  const int32_t bits = image.BitsPerPixel;
  if (!DepthAllowed(bits) || image.ImageWidth <= 0 || image.ImageLength <= 0 ||
      image.ImageWidth > kMaxImageDimension || image.ImageLength > kMaxImageDimension ||
      StrideFor(image.ImageWidth, bits) * image.ImageLength > kMaxImageBlockSize) {
    AbandonImages();
    return false;
  }
  const int colors = bits <= 8 ? 1 << bits : 0;
  const size_t stride = static_cast<size_t>(StrideFor(image.ImageWidth, bits));
  const size_t imageSize = stride * static_cast<size_t>(image.ImageLength);
  TW_SETUPMEMXFER setup{};
  if (SetupMemXfer(setup) != TWRC_SUCCESS) {
    AbandonImages();
    return false;
  }
  TBitmapInfoBuffer info;
  BITMAPINFOHEADER& header = info.Header();
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = image.ImageWidth;
  header.biHeight = image.ImageLength;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<uint32_t>(imageSize);

  const int32_t units = GetUnits();
  if (GetReturnCode() == TWRC_SUCCESS) {
    header.biXPelsPerMeter = PelsPerMeter(FIX32ToFloat(image.XResolution), units);
    header.biYPelsPerMeter = PelsPerMeter(FIX32ToFloat(image.YResolution), units);
  }
  int32_t flavor = GetPixelFlavor();
  if (GetReturnCode() != TWRC_SUCCESS) flavor = TWPF_CHOCOLATE;
  const bool vanilla = flavor == TWPF_VANILLA;
  RGBQUAD* palette = info.Info()->bmiColors;
  switch (image.PixelType) {
    case TWPT_BW:
      header.biClrUsed = 2;
      FillGrayPalette(palette, colors, vanilla);
      break;
    case TWPT_GRAY:
      header.biClrUsed = static_cast<uint32_t>(colors);
      FillGrayPalette(palette, colors, vanilla);
      break;
    case TWPT_PALETTE: {
      RGBQUAD read[256];
      uint16_t type = 0;
      if (GetPalette(read, type) == TWRC_SUCCESS) {
        std::copy(read, read + colors, palette);
      } else {
        FillGrayPalette(palette, colors, vanilla);
      }
      break;
    }
    default:
      break;
  }

  auto preferred = static_cast<int64_t>(setup.Preferred);
  if (OnMemXferSize) {
    auto bufSize = static_cast<int32_t>(setup.Preferred);
    OnMemXferSize(this, static_cast<int32_t>(setup.MinBufSize),
                  static_cast<int32_t>(setup.MaxBufSize), bufSize, info.Info());
    int64_t size = bufSize;
    if (setup.MinBufSize != 0 && setup.MaxBufSize != 0) {
      size = std::max<int64_t>(size, setup.MinBufSize);
      if (setup.MaxBufSize != TWON_DONTCARE32) size = std::min<int64_t>(size, setup.MaxBufSize);
    }
    preferred = size;
  }

  if (FDIBHandleType == THDT_MEMPTR) {
    const uint16_t result = MemPtrStrips(info.Info(), preferred);
    if (result == TWRC_XFERDONE) {
      EndOfImage();
    } else if (result == TWRC_CANCEL) {
      EndOfImage();
      HandOverNothing();
    } else {
      FailedImage();
      HandOverNothing();
    }
    return true;
  }

  TMemDestination to;
  const size_t tableBytes = sizeof(BITMAPINFOHEADER) + 4 * static_cast<size_t>(colors);
  if (FDIBHandleType == THDT_DIBRAW) {
    to.Block = GlobalAlloc(GHND, imageSize + tableBytes);
    auto* start = static_cast<uint8_t*>(GlobalLock(to.Block));
    if (start != nullptr) to.Pixels = start + tableBytes;
  } else {
    void* bits = nullptr;
    to.Section = CreateDIBSection(info.Info(), &bits);
    to.Pixels = static_cast<uint8_t*>(bits);
  }
  if (to.Pixels == nullptr) {
    to.Free();
    AbandonImages();
    return false;
  }
  const uint16_t result = MemoryStrips(to.Pixels, imageSize, stride, preferred);
  if (result != TWRC_XFERDONE) {
    to.Free();
    if (result == TWRC_CANCEL) {
      EndOfImage();
    } else {
      FailedImage();
    }
    HandOverNothing();
    return true;
  }
  EndOfImage();
  if (FSwapMemRGB) {
    ReorderMemPixels(to.Pixels, image.ImageWidth, image.ImageLength, bits,
                     image.PixelType == TWPT_RGB);
  }
  if (FDIBHandleType == THDT_DIBRAW) {
    std::memcpy(to.Pixels - tableBytes, info.Bytes, tableBytes);
    GlobalUnlock(to.Block);
    HandOver(nullptr, nullptr, to.Block, false, "");
  } else if (FDIBHandleType == THDT_DIBSEC) {
    HandOver(to.Pixels, info.Info(), to.Section, true, "");
  } else {
    HandOver(nullptr, nullptr, to.Section, true, "");
  }
  return true;
}

// The strips go straight into the image; rows the source pads differently are spread to the
// stride there, and nothing is written outside the image whatever the source reports.
uint16_t TvekTWAINIntf::MemoryStrips(uint8_t* Pixels, size_t Size, size_t Stride,
                                     int64_t Preferred) {
  if (Pixels == nullptr || Preferred <= 0) return TWRC_FAILURE;
  TStripImage strips(Pixels, Size, Stride);
  uint16_t result;
  int emptyStrips = 0;
  do {
    const size_t offered = strips.Offer(static_cast<size_t>(Preferred));
    // The image is full and the source still has rows: it described another image.
    if (offered == 0) return TWRC_FAILURE;
    TW_IMAGEMEMXFER strip{};
    strip.Memory.Flags = kStripFlags;
    strip.Memory.Length = static_cast<TW_UINT32>(offered);
    strip.Memory.TheMem = strips.Next();
    result =
        CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    if (result != TWRC_SUCCESS && result != TWRC_XFERDONE) return result;
    if (!strips.Take(TMemStrip{strip.BytesPerRow, strip.Rows, strip.BytesWritten}, offered))
      return TWRC_FAILURE;
    emptyStrips = strip.BytesWritten == 0 ? emptyStrips + 1 : 0;
    if (emptyStrips > kMostEmptyStrips) return TWRC_FAILURE;
  } while (result == TWRC_SUCCESS);
  return result;
}

uint16_t TvekTWAINIntf::MemPtrStrips(BITMAPINFO* Info, int64_t Preferred) {
  TW_IMAGEMEMXFER strip{};
  // The packed record's pointer goes to the application through an aligned copy.
  void* buffer = nullptr;
  if (OnMemXferBuffer) OnMemXferBuffer(this, Info, 0, 0, 0, buffer);
  strip.Memory.Flags = kStripFlags;
  strip.Memory.Length = static_cast<TW_UINT32>(std::clamp<int64_t>(Preferred, 0, UINT32_MAX));
  uint16_t result;
  do {
    if (buffer == nullptr || Preferred <= 0) {
      result = TWRC_CANCEL;
    } else {
      strip.Memory.TheMem = buffer;
      result =
          CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
      buffer = strip.Memory.TheMem;
      if (OnMemXferBuffer) {
        OnMemXferBuffer(this, Info, static_cast<int32_t>(strip.BytesPerRow),
                        static_cast<int32_t>(strip.Rows), static_cast<int32_t>(strip.BytesWritten),
                        buffer);
      }
    }
  } while (result == TWRC_SUCCESS);
  if (OnMemXferBuffer)
    OnMemXferBuffer(this, Info, static_cast<int32_t>(strip.BytesPerRow), 0, 0, buffer);
  return result;
}

// ---- File --------------------------------------------------------------------------------

uint16_t TvekTWAINIntf::FileTransfer() {
  FPendingXferCount = 0;
  uint16_t result;
  do {
    std::string name = FFilename;
    uint8_t format = FFileFormat;
    result = SetupFileXfer(MSG_SET, name, format);
    if (result == kCallRaised) {
      // No image can arrive: the file cannot be written, or the Source Manager is lost.
      if (IsSourceOpen()) AbandonImages();
      break;
    }
    if (result == TWRC_SUCCESS) {
      result =
          CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
      SetState(result == TWRC_SUCCESS || result == TWRC_XFERDONE ? 7 : 6);
    }
    if (result == TWRC_CANCEL) {
      EndOfImage();
      HandOverNothing();
    } else if (result == TWRC_XFERDONE) {
      DeliverFile();
    } else {
      FailedImage();
      HandOverNothing();
    }
    EndLoopImage();
  } while (FPendingXferCount != 0 && IsSourceOpen());
  return result;
}

void TvekTWAINIntf::DeliverFile() {
  HBITMAP section = nullptr;
  HGLOBAL block = nullptr;
  if (FReturnHandle && FFileFormat == TWFF_BMP) {
    if (FDIBHandleType == THDT_DIBHANDLE || FDIBHandleType == THDT_DIBSEC)
      section = LoadBMPFileToDIBSection(FFilename);
    else if (FDIBHandleType == THDT_DIBRAW)
      block = LoadBMPFileToGlobal(FFilename);
  }
  if (section != nullptr || block != nullptr) {
    std::error_code ignored;
    std::filesystem::remove(FFilename, ignored);
  }
  EndOfImage();
  if (section != nullptr) {
    HandOverSection(section);
  } else if (block != nullptr) {
    HandOver(nullptr, nullptr, block, false, "");
  } else {
    HandOver(nullptr, nullptr, nullptr, false, FFilename);
  }
}
