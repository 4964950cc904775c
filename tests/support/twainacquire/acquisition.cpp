#include "acquisition.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

#include "exception.h"
#include "memorypage.h"

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point Start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

// How long the message loop sleeps before it feeds the source an empty message, so that a
// source with windows of its own keeps them alive.
constexpr int kIdleMs = 20;

}  // namespace

TAcquisition::TAcquisition(TAcquireOptions Options)
    : FOptions(std::move(Options)), FHost("twain-acquire") {
  if (!FHost.Loaded())
    throw Exception("Unable to load the Source Manager: " + win32::LastLibraryError());
}

void TAcquisition::Fail(const std::string& What, TW_UINT16 Rc) {
  TW_UINT16 condition = FHost.Condition(FSource.Id != 0 ? &FSource : nullptr);
  throw Exception(What + " failed: return code " + std::to_string(Rc) + ", condition " +
                  std::to_string(condition));
}

std::vector<std::string> TAcquisition::SourceNames() {
  TW_UINT16 rc = FHost.OpenDSM();
  if (rc != TWRC_SUCCESS) Fail("Opening the Source Manager", rc);
  std::vector<std::string> names = FHost.SourceNames();
  FHost.CloseDSM();
  return names;
}

std::vector<TReceivedPage> TAcquisition::Pass(
    TW_UINT16 Mechanism, const std::function<void(const TReceivedPage&)>& OnPage) {
  TW_UINT16 rc = FHost.OpenDSM();
  if (rc != TWRC_SUCCESS) Fail("Opening the Source Manager", rc);
  // Whatever happens, the pass leaves the source and the manager closed.
  struct TCloser {
    TAcquisition* Acquisition;
    ~TCloser() { Acquisition->CloseSession(); }
  } closer{this};

  rc = FHost.OpenDS(FOptions.Source, FSource);
  if (rc != TWRC_SUCCESS) {
    FSource = {};
    Fail("Opening the source \"" + FOptions.Source + "\"", rc);
  }
  rc = FHost.SetOneValue(FSource, ICAP_XFERMECH, TWTY_UINT16, Mechanism);
  if (rc != TWRC_SUCCESS) Fail("Choosing the transfer mechanism", rc);
  if (FOptions.Duplex) {
    rc = FHost.SetOneValue(FSource, CAP_DUPLEXENABLED, TWTY_BOOL, 1);
    if (rc != TWRC_SUCCESS)
      std::fprintf(stderr, "twain-acquire: the source scans one side (duplex refused: %u)\n", rc);
  }

  std::vector<TReceivedPage> pages;
  TW_UINT16 left = 0;
  while (static_cast<int>(pages.size()) < FOptions.Pages) {
    TClock::time_point asked = TClock::now();
    rc = FHost.Enable(FSource, FOptions.ShowUI);
    if (rc != TWRC_SUCCESS) Fail("Enabling the source", rc);
    if (!WaitForPage()) break;
    do {
      std::unique_ptr<TDIB> image = TakePage(Mechanism);
      TReceivedPage page = Describe(*image, Mechanism, static_cast<int>(pages.size()) + 1);
      page.Milliseconds = MillisecondsSince(asked);
      image->SaveToFile(page.File);
      OnPage(page);
      pages.push_back(std::move(page));
      // A source may fetch its next page while it ends this transfer: that is the next page's.
      asked = TClock::now();
      rc = FHost.EndTransfer(FSource, left);
      if (rc != TWRC_SUCCESS) Fail("Ending the transfer", rc);
    } while (left != 0 && static_cast<int>(pages.size()) < FOptions.Pages);
    if (left != 0) break;  // enough pages: the rest are discarded on closing
    FHost.Disable(FSource);
  }
  return pages;
}

void TAcquisition::CloseSession() {
  if (FSource.Id != 0) {
    TW_PENDINGXFERS reset{};
    FHost.Call(&FSource, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &reset);
    FHost.Disable(FSource);
    FHost.CloseDS(FSource);
    FSource = {};
  }
  FHost.CloseDSM();
}

// True when the source signalled a page; false when it asked to be closed or the time-out
// passed.
bool TAcquisition::WaitForPage() {
  TClock::time_point start = TClock::now();
  while (MillisecondsSince(start) < FOptions.TimeoutMs) {
    for (const TNotification& n : FHost.PumpNotifications(kIdleMs)) {
      if (n.Message == MSG_XFERREADY) return true;
      if (n.Message == MSG_CLOSEDSREQ) return false;
    }
    win32::PostMessage(FHost.Parent(), win32::WM_NULL, 0, 0);
  }
  return false;
}

std::unique_ptr<TDIB> TAcquisition::TakePage(TW_UINT16 Mechanism) {
  TW_IMAGEINFO info{};
  TW_UINT16 rc = FHost.Call(&FSource, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  if (rc != TWRC_SUCCESS) Fail("Reading the image information", rc);

  std::unique_ptr<TDIB> page;
  if (Mechanism == TWSX_NATIVE) {
    TW_HANDLE handle = nullptr;
    rc = FHost.Call(&FSource, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    page = std::make_unique<TDIB>();
    if (handle != nullptr) page->SetHandle(handle);
    if (rc != TWRC_XFERDONE || handle == nullptr) Fail("The native transfer", rc);
  } else {
    page = MemoryTransfer(info);
  }
  return page;
}

TReceivedPage TAcquisition::Describe(const TDIB& Page, TW_UINT16 Mechanism, int Number) const {
  TReceivedPage received;
  received.Mechanism = Mechanism == TWSX_NATIVE ? "native" : "memory";
  received.Number = Number;
  received.File = (std::filesystem::path(FOptions.OutDir) /
                   (received.Mechanism + "-" + std::to_string(Number) + ".bmp"))
                      .string();
  received.Width = Page.Width();
  received.Height = Page.Height();
  received.BitCount = Page.BitCount();
  return received;
}

std::unique_ptr<TDIB> TAcquisition::MemoryTransfer(const TW_IMAGEINFO& Info) {
  TW_SETUPMEMXFER setup{};
  TW_UINT16 rc = FHost.Call(&FSource, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  if (rc != TWRC_SUCCESS) Fail("Setting up the memory transfer", rc);
  TMemoryPage page(Info);
  if (Info.PixelType == TWPT_PALETTE) {
    TW_PALETTE8 palette{};
    rc = FHost.Call(&FSource, DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette);
    if (rc != TWRC_SUCCESS) Fail("Reading the palette", rc);
    page.SetPalette(palette);
  }
  std::vector<uint8_t> buffer(setup.Preferred != 0 ? setup.Preferred : setup.MaxBufSize);
  if (buffer.empty()) throw Exception("The source asks for memory buffers of no size");
  // Every call but the last brings at least one row.
  for (int32_t calls = 0; calls <= Info.ImageLength; ++calls) {
    TW_IMAGEMEMXFER strip{};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                    buffer.data()};
    rc = FHost.Call(&FSource, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) Fail("The memory transfer", rc);
    page.Take(strip, buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (rc == TWRC_XFERDONE) {
      if (page.RowsTaken() != Info.ImageLength)
        throw Exception("The memory transfer ended after " + std::to_string(page.RowsTaken()) +
                        " of " + std::to_string(Info.ImageLength) + " rows");
      return page.Finish();
    }
  }
  throw Exception("The memory transfer does not end");
}
