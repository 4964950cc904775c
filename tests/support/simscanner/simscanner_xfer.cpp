// The simulated scanner's pages and their transfers: native (the page's own block), memory
// (top-down strips, red-green-blue, rows padded as the settings say) and file (BMP).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pagegen.h"
#include "simscanner_source.h"

namespace {

double FrameNumber(TW_FIX32 f) {
  return f.Whole + f.Frac / 65536.0;
}

TW_FIX32 Fix(double x) {
  auto n = static_cast<int32_t>(std::lround(x * 65536));
  return {static_cast<TW_INT16>(n >> 16), static_cast<TW_UINT16>(n & 0xFFFF)};
}

std::string DefaultFileName() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/twain.bmp";
}

}  // namespace

bool TSimScanner::FailsHere(TSimFailure Failure) const {
  return FSettings.Failure == Failure &&
         (FSettings.FailurePage < 0 || FSettings.FailurePage == FPageIndex);
}

void TSimScanner::StartScan() {
  EndPage();
  FPageIndex = 0;
  FPagesLeft = CapValue(CAP_FEEDERENABLED) != 0 ? std::max(FSettings.Sheets, 0) : 1;
  if (CapValue(CAP_DUPLEXENABLED) != 0) FPagesLeft *= 2;
  auto count = static_cast<int16_t>(CapValue(CAP_XFERCOUNT));
  if (count > 0) FPagesLeft = std::min<int32_t>(FPagesLeft, count);
  if (FSettings.DeviceEventAtEnable >= 0)
    RaiseDeviceEvent(static_cast<TW_UINT32>(FSettings.DeviceEventAtEnable));
  if (FailsHere(TSimFailure::CloseRequest)) {
    Notify(MSG_CLOSEDSREQ);
    return;
  }
  if (FPagesLeft == 0) return;
  FState = 6;
  Notify(MSG_XFERREADY);
}

// The page is made when it is first described or transferred.
TDIB& TSimScanner::CurrentPage() {
  if (FPage) return *FPage;
  TPageOptions o;
  o.DPI = static_cast<int32_t>(std::lround(CapNumber(ICAP_XRESOLUTION)));
  o.Width = std::max<int32_t>(
      1, std::lround((FrameNumber(FFrame.Right) - FrameNumber(FFrame.Left)) * o.DPI));
  o.Height =
      std::max<int32_t>(1, std::lround((FrameNumber(FFrame.Bottom) - FrameNumber(FFrame.Top)) *
                                       CapNumber(ICAP_YRESOLUTION)));
  TW_UINT32 type = CapValue(ICAP_PIXELTYPE);
  o.PixelType = type == TWPT_BW ? pt1bit : type == TWPT_GRAY ? pt8bit : pt24bit;
  o.Margin = std::max(1, std::min(o.Width, o.Height) / 10);
  o.Seed = static_cast<uint32_t>(FPageIndex + 1);
  FPage = MakeReferencePage(o);
  FPage->SetYResolution(static_cast<int32_t>(std::lround(CapNumber(ICAP_YRESOLUTION))));
  if (FailsHere(TSimFailure::ZeroDpi)) {
    FPage->SetXResolution(0);
    FPage->SetYResolution(0);
  }
  FStripRow = 0;
  return *FPage;
}

void TSimScanner::EndPage() {
  FPage.reset();
  FStripRow = 0;
}

TW_UINT32 TSimScanner::BytesPerRow() {
  auto align = static_cast<TW_UINT32>(std::max(FSettings.RowAlign, 1));
  auto line = static_cast<TW_UINT32>(CurrentPage().LineBytes());
  return (line + align - 1) / align * align;
}

TW_UINT16 TSimScanner::ImageInfo(TW_IMAGEINFO& Info) {
  if (!InState(6, 7)) return Fail(TWCC_SEQERROR);
  if (FailsHere(TSimFailure::FailImageInfo)) return Fail(TWCC_OPERATIONERROR);
  TDIB& page = CurrentPage();
  Info = {};
  Info.XResolution = Fix(page.XResolution());
  Info.YResolution = Fix(page.YResolution());
  Info.ImageWidth = page.Width();
  Info.ImageLength = page.Height();
  int32_t bits = FailsHere(TSimFailure::Bits16)   ? 16
                 : FailsHere(TSimFailure::Bits32) ? 32
                                                  : page.BitCount();
  Info.BitsPerPixel = static_cast<TW_INT16>(bits);
  Info.SamplesPerPixel = bits <= 8 ? 1 : 3;
  for (int i = 0; i < Info.SamplesPerPixel; ++i)
    Info.BitsPerSample[i] = static_cast<TW_INT16>(bits <= 8 ? bits : bits == 16 ? 5 : 8);
  Info.PixelType = static_cast<TW_INT16>(CapValue(ICAP_PIXELTYPE));
  Info.Planar = 0;
  Info.Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_UINT16 TSimScanner::ImageLayout(TW_UINT16 MSG, TW_IMAGELAYOUT& Layout) {
  TW_FRAME standard{};
  standard.Right = Fix(2);
  standard.Bottom = Fix(2);
  switch (MSG) {
    case MSG_SET: {
      if (FState != 4) return Fail(TWCC_SEQERROR);
      TW_FRAME f = Layout.Frame;
      double right = std::min(FrameNumber(f.Right), CapNumber(ICAP_PHYSICALWIDTH));
      double bottom = std::min(FrameNumber(f.Bottom), CapNumber(ICAP_PHYSICALHEIGHT));
      if (FrameNumber(f.Left) < 0 || FrameNumber(f.Top) < 0 || right <= FrameNumber(f.Left) ||
          bottom <= FrameNumber(f.Top))
        return Fail(TWCC_BADVALUE);
      bool coerced = right != FrameNumber(f.Right) || bottom != FrameNumber(f.Bottom);
      f.Right = Fix(right);
      f.Bottom = Fix(bottom);
      FFrame = f;
      return coerced ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
    }
    case MSG_RESET:
      if (FState != 4) return Fail(TWCC_SEQERROR);
      FFrame = standard;
      break;
    case MSG_GET:
    case MSG_GETCURRENT:
      break;
    case MSG_GETDEFAULT:
      Layout.Frame = standard;
      Layout.DocumentNumber = Layout.PageNumber = Layout.FrameNumber = 1;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
  Layout.Frame = FFrame;
  Layout.DocumentNumber = Layout.PageNumber = static_cast<TW_UINT32>(FPageIndex + 1);
  Layout.FrameNumber = 1;
  return TWRC_SUCCESS;
}

// A page of 16 or 32 bits a pixel, which the page object cannot hold: a packed DIB made here,
// of the size of the page it stands for, in gray steps.
TW_HANDLE TSimScanner::WideDIB(int32_t BitCount) {
  TDIB& page = CurrentPage();
  int32_t width = page.Width(), height = page.Height();
  size_t stride = (static_cast<size_t>(width) * BitCount + 31) / 32 * 4;
  TW_HANDLE block = FMemory.Allocate(sizeof(win32::BITMAPINFOHEADER) + stride * height);
  auto* m = static_cast<uint8_t*>(FMemory.Lock(block));
  if (m == nullptr) {
    if (block != nullptr) FMemory.Free(block);
    return nullptr;
  }
  win32::BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(BitCount);
  header.biCompression = win32::BI_RGB;
  header.biSizeImage = static_cast<uint32_t>(stride * height);
  header.biXPelsPerMeter = header.biYPelsPerMeter = 3937;
  std::memcpy(m, &header, sizeof header);
  for (int32_t y = 0; y < height; ++y)
    std::memset(m + sizeof header + y * stride, y * 255 / height, stride);
  FMemory.Unlock(block);
  return block;
}

TW_UINT16 TSimScanner::NativeTransfer(TW_HANDLE& Handle) {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  if (FailsHere(TSimFailure::FailTransfer)) return Fail(TWCC_OPERATIONERROR);
  if (FailsHere(TSimFailure::Cancel)) {
    FState = 7;
    return TWRC_CANCEL;
  }
  if (FailsHere(TSimFailure::Bits16) || FailsHere(TSimFailure::Bits32)) {
    Handle = WideDIB(FailsHere(TSimFailure::Bits16) ? 16 : 32);
  } else if (FMemory.Twain2() || FSettings.NativeTiff) {
    Handle = HandedPage();
  } else {
    // The page's block goes to the application, which frees it.
    TDIB& page = CurrentPage();
    page.SetOwnsHandle(false);
    page.UnlockAll();
    Handle = page.GetHandle();
    if (FailsHere(TSimFailure::UnsoundDIB)) {
      auto* header = static_cast<win32::BITMAPINFOHEADER*>(win32::GlobalLock(Handle));
      header->biHeight *= 2;
      win32::GlobalUnlock(Handle);
    }
  }
  FReport.LastNativeHandle = Handle;
  EndPage();
  if (Handle == nullptr) return Fail(TWCC_LOWMEMORY);
  FState = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 TSimScanner::MemoryTransfer(TW_IMAGEMEMXFER& Strip) {
  if (!InState(6, 7)) return Fail(TWCC_SEQERROR);
  if (FState == 6) {
    if (FailsHere(TSimFailure::FailTransfer)) return Fail(TWCC_OPERATIONERROR);
    if (FailsHere(TSimFailure::Cancel)) {
      FState = 7;
      return TWRC_CANCEL;
    }
    if (CurrentPage().BitCount() == 24) CurrentPage().SwapRedBlue();
  }
  if (!FPage) return Fail(TWCC_SEQERROR);  // the page is done: the application ends it
  TW_UINT32 bytesPerRow = BytesPerRow();
  bool handle = (Strip.Memory.Flags & TWMF_HANDLE) != 0;
  auto* buffer =
      static_cast<uint8_t*>(handle ? FMemory.Lock(Strip.Memory.TheMem) : Strip.Memory.TheMem);
  if (buffer == nullptr || Strip.Memory.Length < bytesPerRow) {
    if (handle && buffer != nullptr) FMemory.Unlock(Strip.Memory.TheMem);
    return Fail(TWCC_BADVALUE);
  }
  TDIB& page = *FPage;
  int32_t rows = std::min<int32_t>(static_cast<int32_t>(Strip.Memory.Length / bytesPerRow),
                                   page.Height() - FStripRow);
  if (FSettings.StripRows > 0) rows = std::min(rows, FSettings.StripRows);
  for (int32_t r = 0; r < rows; ++r) {
    uint8_t* row = buffer + static_cast<size_t>(r) * bytesPerRow;
    std::memcpy(row, page.Lines(FStripRow + r), page.LineBytes());
    std::memset(row + page.LineBytes(), 0, bytesPerRow - page.LineBytes());
  }
  if (handle) FMemory.Unlock(Strip.Memory.TheMem);
  Strip.Compression = TWCP_NONE;
  Strip.BytesPerRow = bytesPerRow;
  Strip.Columns = static_cast<TW_UINT32>(page.Width());
  Strip.Rows = static_cast<TW_UINT32>(rows);
  Strip.XOffset = 0;
  Strip.YOffset = static_cast<TW_UINT32>(FStripRow);
  Strip.BytesWritten = bytesPerRow * static_cast<TW_UINT32>(rows);
  if (FailsHere(TSimFailure::LyingStrips)) {
    Strip.Rows += static_cast<TW_UINT32>(page.Height());
    Strip.BytesWritten = Strip.Memory.Length * 2;
  }
  FStripRow += rows;
  FState = 7;
  if (FStripRow < page.Height()) return TWRC_SUCCESS;
  EndPage();
  return TWRC_XFERDONE;
}

TW_UINT16 TSimScanner::FileTransfer() {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  if (FailsHere(TSimFailure::FailTransfer)) return Fail(TWCC_OPERATIONERROR);
  if (FailsHere(TSimFailure::Cancel)) {
    FState = 7;
    return TWRC_CANCEL;
  }
  try {
    CurrentPage().SaveToFile(FFileName.empty() ? DefaultFileName() : FFileName);
  } catch (const Exception&) {
    return Fail(TWCC_OPERATIONERROR);
  }
  EndPage();
  FState = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 TSimScanner::PendingTransfers(TW_UINT16 MSG, TW_PENDINGXFERS& Pending) {
  switch (MSG) {
    case MSG_ENDXFER:
      if (!InState(6, 7)) return Fail(TWCC_SEQERROR);
      if (FailsHere(TSimFailure::FailEndXfer)) return Fail(TWCC_OPERATIONERROR);
      EndPage();
      --FPagesLeft;
      ++FPageIndex;
      FState = FPagesLeft > 0 ? 6 : 5;
      break;
    case MSG_GET:
      if (!InState(4, 7)) return Fail(TWCC_SEQERROR);
      break;
    case MSG_RESET:
      if (FState != 6) return Fail(TWCC_SEQERROR);
      EndPage();
      FPagesLeft = 0;
      FState = 5;
      break;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
  Pending.Count = static_cast<TW_UINT16>(FState < 6 ? 0 : FSettings.UnknownCount ? -1 : FPagesLeft);
  Pending.Reserved = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 TSimScanner::SetupMemory(TW_SETUPMEMXFER& Setup) {
  if (!InState(4, 6)) return Fail(TWCC_SEQERROR);
  if (FState == 6 && FailsHere(TSimFailure::FailSetupMem)) return Fail(TWCC_OPERATIONERROR);
  TW_UINT32 bytesPerRow = BytesPerRow();
  auto height = static_cast<TW_UINT32>(CurrentPage().Height());
  if (FState < 6) EndPage();  // described from the settings; the scan makes its own
  Setup.MinBufSize = bytesPerRow;
  Setup.MaxBufSize = bytesPerRow * height;
  Setup.Preferred =
      bytesPerRow *
      (FSettings.StripRows > 0 ? static_cast<TW_UINT32>(FSettings.StripRows) : height);
  return TWRC_SUCCESS;
}

TW_UINT16 TSimScanner::SetupFile(TW_UINT16 MSG, TW_SETUPFILEXFER& Setup) {
  if (!InState(4, 6)) return Fail(TWCC_SEQERROR);
  switch (MSG) {
    case MSG_SET:
      if (Setup.Format != TWFF_BMP) return Fail(TWCC_BADVALUE);
      FFileName.assign(Setup.FileName, strnlen(Setup.FileName, sizeof(TW_STR255)));
      return TWRC_SUCCESS;
    case MSG_RESET:
      FFileName.clear();
      [[fallthrough]];
    case MSG_GET:
    case MSG_GETDEFAULT: {
      std::string name = MSG == MSG_GET && !FFileName.empty() ? FFileName : DefaultFileName();
      std::snprintf(Setup.FileName, sizeof(TW_STR255), "%s", name.c_str());
      Setup.Format = TWFF_BMP;
      Setup.VRefNum = 0;
      return TWRC_SUCCESS;
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}
