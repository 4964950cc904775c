#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "globalmem.h"
#include "rounding.h"
#include "userprompt.h"
#include "vekTWAINDSLayer.h"
#include "vekTWAINFix.h"

namespace {

constexpr TW_UINT16 kPendingNone = 0;
constexpr TW_UINT16 kPendingUnknown = 0xFFFF;

// At most the field's room less its terminator.
void CopyFileName(TW_STR255& Field, const std::string& Name) {
  std::snprintf(Field, sizeof(TW_STR255), "%s", Name.c_str());
}

// The file exists, or an empty one could be made.
bool FileExistsOrCreated(const std::string& Name) {
  if (access(Name.c_str(), F_OK) == 0) return true;
  int fd = open(Name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

bool TTWAINSource::HasPage() const {
  return FForm && !FForm->Page().Empty();
}

TW_UINT16 TTWAINSource::NoPage(TW_UINT16 Condition) {
  if (FPageLost) return Fail(TWCC_OPERATIONERROR);
  return Condition == TWCC_SUCCESS ? TWRC_FAILURE : Fail(Condition);
}

void TTWAINSource::ResetStrips() {
  FXferDone = false;
  FStripOffset = 0;
  FStripCalls = 0;
}

void TTWAINSource::StartOfPage() {
  ResetStrips();
  FPageTurned = false;
}

void TTWAINSource::UnturnPage(TDIB& Page) {
  if (!FPageTurned) return;
  Page.SwapRedBlue();
  Page.FlipVertical();
  FPageTurned = false;
}

// Whatever transfer dropped the page, the page object owns the next one it adopts.
void TTWAINSource::PageDone() {
  if (!FForm) return;
  FForm->PageDone();
  FForm->Page().SetOwnsHandle(true);
  FPageTurned = false;
}

void TTWAINSource::TransferDone() {
  FState = 700;
  ++FImageLayout.DocumentNumber;
  ++FImageLayout.PageNumber;
  ++FImageLayout.FrameNumber;
  PageDone();
}

// A page fetched here is a new one: its strips start from the top.
int32_t TTWAINSource::PendingTransfers() {
  if (!FForm) return 0;
  bool held = HasPage();
  int32_t count = FForm->PendingTransfers();
  if (!held && HasPage()) StartOfPage();
  return count;
}

TW_UINT16 TTWAINSource::PendingXfers(TW_UINT16 MSG, TW_PENDINGXFERS& Pending) {
  switch (MSG) {
    case MSG_GET:
      if (FState < 400) return Fail(TWCC_SEQERROR);
      Pending.Count = PendingTransfers() != 0 ? kPendingUnknown : kPendingNone;
      return TWRC_SUCCESS;
    case MSG_RESET:
      // The pages of the batch are discarded: the one held, and no more come.
      if (FState != 600) return Fail(TWCC_SEQERROR);
      if (HasPage()) PageDone();
      FPageLost = false;
      Pending.Count = kPendingNone;
      FState = 500;
      return TWRC_SUCCESS;
    case MSG_ENDXFER: {
      if (FState < 600) return Fail(TWCC_SEQERROR);
      // A page the application did not take is dropped; the next one keeps it in state 6.
      if (HasPage()) PageDone();
      // A page lost with the control panel is still due: its transfer fails, the application
      // is asked to close the source, and the batch ends after it.
      bool more = !FPageLost && PendingTransfers() != 0;
      if (!more && !FPageLost && FForm && FForm->PageLost()) {
        FPageLost = more = true;
        SignalCloseRequest();
      } else {
        FPageLost = false;
      }
      Pending.Count = more ? kPendingUnknown : kPendingNone;
      FState = more ? 600 : 500;
      return TWRC_SUCCESS;
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

// Before a transfer only: in the middle of one it would start the strips again.
TW_UINT16 TTWAINSource::SetupMemXfer(TW_UINT16 MSG, TW_SETUPMEMXFER& Setup) {
  if (FState < 400 || FState > 600) return Fail(TWCC_SEQERROR);
  ResetStrips();
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  FMinBufSize = 0;
  int32_t maxBufSize = 0;
  if (HasPage()) {
    const TDIB& page = FForm->Page();
    FMinBufSize = page.Stride();
    maxBufSize = page.Stride() * page.Height();
  } else if (FForm) {
    FMinBufSize = 1024;
    maxBufSize = 32768;
  }
  Setup.MinBufSize = static_cast<TW_UINT32>(FMinBufSize);
  Setup.MaxBufSize = Setup.Preferred = static_cast<TW_UINT32>(maxBufSize);
  return TWRC_SUCCESS;
}

// The name the application set is kept and answered; the default only until one is set.
TW_UINT16 TTWAINSource::SetupFileXfer(TW_UINT16 MSG, TW_SETUPFILEXFER& Setup) {
  if (FState < 400 || FState > 600) return Fail(TWCC_SEQERROR);
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
      CopyFileName(Setup.FileName,
                   MSG == MSG_GETDEFAULT || FFileName.empty() ? kDefaultFileName : FFileName);
      Setup.Format = TWFF_BMP;
      Setup.VRefNum = 0;
      return TWRC_SUCCESS;
    case MSG_SET: {
      std::string name(Setup.FileName, strnlen(Setup.FileName, sizeof(TW_STR255)));
      if (name.empty() || !FileExistsOrCreated(name)) return Fail(TWCC_BADVALUE);
      // Whatever format is asked for, file transfers write BMP.
      FFileName = name;
      return TWRC_SUCCESS;
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

double TTWAINSource::CurrentResolution(TW_UINT16 Cap) {
  TTwnContainer* c = FCapabilities.Find(Cap);
  return c != nullptr ? c->GetCurrentValue().AsDouble() : 0.0;
}

int TTWAINSource::CurrentUnits() {
  TTwnContainer* c = FCapabilities.Find(ICAP_UNITS);
  return c != nullptr ? c->GetCurrentIndex() : 0;
}

TW_UINT16 TTWAINSource::ImageInfo(TW_UINT16 MSG, TW_IMAGEINFO& Info) {
  if (FState != 600 && FState != 700) return Fail(TWCC_SEQERROR);
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!HasPage()) return NoPage();
  const TDIB& page = FForm->Page();
  Info = {};
  Info.XResolution = FloatToFIX32(CurrentResolution(ICAP_XRESOLUTION));
  Info.YResolution = FloatToFIX32(CurrentResolution(ICAP_YRESOLUTION));
  Info.ImageWidth = page.Width();
  Info.ImageLength = page.Height();
  Info.BitsPerPixel = static_cast<TW_INT16>(page.BitCount() * page.Planes());
  Info.Planar = 0;
  Info.Compression = TWCP_NONE;
  if (Info.BitsPerPixel <= 8) {
    Info.SamplesPerPixel = 1;
    Info.BitsPerSample[0] = Info.BitsPerPixel;
    Info.PixelType = page.IsGray() ? TWPT_GRAY : TWPT_PALETTE;
  } else {
    Info.SamplesPerPixel = 3;
    const int bitCount = page.BitCount();
    const TW_INT16 bits = bitCount == 1 ? 1 : bitCount == 4 ? 4 : bitCount == 16 ? 5 : 8;
    for (int i = 0; i < 3; ++i) Info.BitsPerSample[i] = bits;
    Info.PixelType = TWPT_RGB;
  }
  return TWRC_SUCCESS;
}

// The frame crosses in inches for the units of length, in pixels for points and pixels.
TW_UINT16 TTWAINSource::ImageLayoutTriplet(TW_UINT16 MSG, TW_IMAGELAYOUT& Layout) {
  const int units = CurrentUnits();
  const bool inPixels = units == TWUN_POINTS || units == TWUN_PIXELS;
  const double x = CurrentResolution(ICAP_XRESOLUTION);
  const double y = CurrentResolution(ICAP_YRESOLUTION);
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_RESET: {
      if (MSG == MSG_RESET && FState != 400) return Fail(TWCC_SEQERROR);
      TFrame frame;
      if (FForm) frame = MSG == MSG_RESET ? FForm->ResetFrame() : FForm->GetFrame();
      if (MSG == MSG_RESET)
        FImageLayout.DocumentNumber = FImageLayout.PageNumber = FImageLayout.FrameNumber = 1;
      // Before the first opening there is no resolution to divide by: the frame is empty.
      auto edge = [&](int32_t pixels, double resolution) {
        if (inPixels) return FloatToFIX32(pixels);
        return FloatToFIX32(resolution > 0 ? pixels / resolution : 0.0);
      };
      FImageLayout.Frame = {edge(frame.Left, x), edge(frame.Top, y), edge(frame.Right, x),
                            edge(frame.Bottom, y)};
      Layout = FImageLayout;
      return TWRC_SUCCESS;
    }
    case MSG_SET: {
      if (FState != 400) return Fail(TWCC_SEQERROR);
      FImageLayout = Layout;
      auto edge = [&](TW_FIX32 value, double resolution) {
        return inPixels ? static_cast<int32_t>(value.Whole)
                        : Round(FIX32ToFloat(value) * resolution);
      };
      const TW_FRAME& f = Layout.Frame;
      if (FForm)
        FForm->SetFrame({edge(f.Left, x), edge(f.Top, y), edge(f.Right, x), edge(f.Bottom, y)});
      return TWRC_SUCCESS;
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TTWAINSource::Palette8(TW_UINT16 MSG, TW_PALETTE8& Palette) {
  if (FState < 400 || FState > 600) return Fail(TWCC_SEQERROR);
  switch (MSG) {
    case MSG_GET:
      if (HasPage()) {
        const TDIB& page = FForm->Page();
        const int32_t colors = std::min(page.ColorCount(), 256);
        Palette.NumColors = static_cast<TW_UINT16>(colors);
        Palette.PaletteType = TWPA_RGB;
        for (int32_t i = 0; i < colors; ++i) {
          const uint32_t entry = page.GetPaletteEntry(i);  // blue, green, red from the low byte
          Palette.Colors[i] = {static_cast<TW_UINT8>(i), static_cast<TW_UINT8>(entry >> 16),
                               static_cast<TW_UINT8>(entry >> 8), static_cast<TW_UINT8>(entry)};
        }
      }
      return TWRC_SUCCESS;
    case MSG_GETDEFAULT:
    case MSG_SET:
    case MSG_RESET:
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

// The page's block goes to the application, which frees it; the page object owns the next.
TW_UINT16 TTWAINSource::NativeXfer(TW_UINT16 MSG, TW_HANDLE& Handle) {
  if (FState != 600) return Fail(TWCC_SEQERROR);
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!HasPage()) {
    PageDone();
    return NoPage();
  }
  TDIB& page = FForm->Page();
  UnturnPage(page);
  page.SetOwnsHandle(false);
  page.UnlockAll();
  Handle = page.GetHandle();
  TransferDone();
  return TWRC_XFERDONE;
}

// A memory transfer runs from state 6 to 7 until MSG_ENDXFER.
TW_UINT16 TTWAINSource::MemoryXfer(TW_UINT16 MSG, TW_IMAGEMEMXFER& Strip) {
  if (FState != 600 && FState != 700) return Fail(TWCC_SEQERROR);
  if (FXferDone || ++FStripCalls > kMaxStripCalls) {
    ResetStrips();
    Strip.BytesWritten = 0;
    TransferDone();
    return TWRC_XFERDONE;
  }
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (Strip.Memory.Length < static_cast<TW_UINT32>(FMinBufSize)) return TWRC_FAILURE;
  if (!HasPage()) {
    Strip.BytesWritten = 0;
    return NoPage(TWCC_BADVALUE);
  }
  return MemoryStrip(Strip, FForm->Page());
}

// As many whole rows as the buffer holds, top row first, red-green-blue; a buffer passed as a
// handle is written through its lock.
TW_UINT16 TTWAINSource::MemoryStrip(TW_IMAGEMEMXFER& Strip, TDIB& Page) {
  if (!FPageTurned) {
    Page.FlipVertical();
    Page.SwapRedBlue();
    FPageTurned = true;
  }
  const int64_t stride = Page.Stride();
  Strip.Compression = TWCP_NONE;
  Strip.BytesPerRow = static_cast<TW_UINT32>(stride);
  if (Strip.Memory.Length < stride) {
    win32::MessageBox(nullptr, "Buffer is too small for strip transfers", "", win32::MB_OK);
    return TWRC_FAILURE;
  }
  const bool isHandle = (Strip.Memory.Flags & TWMF_HANDLE) != 0;
  uint8_t* target = static_cast<uint8_t*>(isHandle ? win32::GlobalLock(Strip.Memory.TheMem)
                                                   : Strip.Memory.TheMem);
  size_t room = Strip.Memory.Length;
  if (isHandle && target != nullptr) room = std::min(room, win32::GlobalSize(Strip.Memory.TheMem));
  if (target == nullptr || room < static_cast<size_t>(stride)) {
    if (isHandle && target != nullptr) win32::GlobalUnlock(Strip.Memory.TheMem);
    return Fail(TWCC_BADVALUE);
  }
  const int64_t rowsSent = FStripOffset / stride;
  const int64_t rows =
      std::clamp<int64_t>(Page.Height() - rowsSent, 0, static_cast<int64_t>(room) / stride);
  Strip.Columns = static_cast<TW_UINT32>(Page.Width());
  Strip.XOffset = 0;
  Strip.YOffset = static_cast<TW_UINT32>(rowsSent);
  Strip.BytesWritten = static_cast<TW_UINT32>(rows * stride);
  Strip.Rows = static_cast<TW_UINT32>(rows);
  std::memcpy(target, Page.Bits() + FStripOffset, static_cast<size_t>(rows * stride));
  if (isHandle) win32::GlobalUnlock(Strip.Memory.TheMem);
  FState = 700;
  FStripOffset += rows * stride;
  if (FStripOffset / stride < Page.Height()) return TWRC_SUCCESS;
  FXferDone = true;
  TransferDone();
  return TWRC_XFERDONE;
}

// A file transfer needs a page and a file the application named; without either it fails
// and keeps what it holds, as it does when the file cannot be written.
TW_UINT16 TTWAINSource::FileXfer(TW_UINT16 MSG) {
  if (FState != 600) return Fail(TWCC_SEQERROR);
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!HasPage()) return NoPage(TWCC_SEQERROR);
  if (FFileName.empty()) return Fail(TWCC_SEQERROR);
  TDIB& page = FForm->Page();
  UnturnPage(page);
  try {
    page.SaveToFile(FFileName);
  } catch (const Exception&) {
    return Fail(TWCC_OPERATIONERROR);
  }
  TransferDone();
  return TWRC_XFERDONE;
}
