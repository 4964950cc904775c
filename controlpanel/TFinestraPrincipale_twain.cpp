#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <ctime>

#include "TFinestraPrincipale.h"
#include "TRadioGroup.h"
#include "boundaryguard.h"
#include "vekTWAIN.h"

namespace {

// The row of TWAIN's pixel type and bit depth for a request's PixelType (0, 1, other).
int32_t ModeIndex(int32_t PixelType) {
  return PixelType == 0 ? 0 : PixelType == 1 ? 1 : 2;
}
constexpr int32_t kPixelTypes[] = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
constexpr int32_t kBitDepths[] = {1, 8, 24};

// A container row: read the source's container, give it its new current value, send it back
// as a one value. Skipped when the source does not list the capability or cannot answer.
void SetContainerCap(TvekTWAIN& Twain, uint16_t Cap, const Variant& Value) {
  if (!Twain.IsCapSupported(Cap)) return;
  TTwnContainer* container = nullptr;
  if (Twain.GetCapability(Cap, MSG_GET, container) != TWRC_SUCCESS || container == nullptr) return;
  container->SetCurrentValue(Value);
  Twain.SetCapability(MSG_SET, 1, container);
}

// The bit counts whose pages the cache keeps and the pipeline takes.
bool KnownBitCount(int32_t Bits) {
  return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 24;
}

}  // namespace

void TFinestraPrincipale::CreateScanner() {
  FScanIdle = new QTimer(this);
  FScanIdle->setSingleShot(true);
  connect(FScanIdle, &QTimer::timeout, this, [this] { ScanIdleTimeout(); });
  vekTWAIN1 = std::make_unique<TvekTWAIN>();
  vekTWAIN1->SetCountry(TvekCountry::UNITEDKINGDOM);
  vekTWAIN1->SetDisableAfterAcquire(false);
  vekTWAIN1->SetLogFilename("C:\\APPTWN.LOG");
  vekTWAIN1->SetManufacturer("VEK DESIGN");
  vekTWAIN1->SetProductFamily("Image Capture");
  vekTWAIN1->SetProductName("TWAIN Application");
  vekTWAIN1->SetReturnHandle(false);
  vekTWAIN1->OnNegotiation = [this](QObject* Sender) { vekTWAIN1Negotiation(Sender); };
  vekTWAIN1->OnImageReady = [this](QObject* Sender, void* pBmp, win32::BITMAPINFO* pBmpInfo,
                                   void* hImage, const std::string& FilePath) {
    vekTWAIN1ImageReady(Sender, pBmp, pBmpInfo, hImage, FilePath);
  };
}

// The capabilities in their fixed order, each only when the source lists it; the results of
// the sets are not looked at (a refused value leaves the source's own).
void TFinestraPrincipale::vekTWAIN1Negotiation(QObject*) {
  TvekTWAIN& twain = *vekTWAIN1;
  const TScanRequest& request = Pipeline.ScanRequest;
  const TScanRequest effective = EffectiveRequest(request);
  const int32_t mode = ModeIndex(effective.PixelType);
  const bool blackAndWhite = mode == 0;
  SetContainerCap(twain, ICAP_PIXELTYPE, kPixelTypes[mode]);
  SetContainerCap(twain, ICAP_BITDEPTH, kBitDepths[mode]);
  if (blackAndWhite) {
    const bool diffusion = request.PixelType != 0 || request.Dithering != 0;
    SetContainerCap(twain, ICAP_BITDEPTHREDUCTION, diffusion ? TWBR_DIFFUSION : TWBR_THRESHOLD);
  }
  SetContainerCap(twain, CAP_FEEDERENABLED, effective.ADF != 0);
  SetContainerCap(twain, CAP_DUPLEXENABLED, effective.Duplex != 0);
  if (twain.IsCapSupported(ICAP_BITORDER)) twain.SetBitOrder(TWBO_MSBFIRST);
  if (twain.IsCapSupported(ICAP_PIXELFLAVOR)) twain.SetPixelFlavor(TWPF_CHOCOLATE);
  if (twain.IsCapSupported(ICAP_PLANARCHUNKY)) twain.SetPlanarChunky(TWPC_CHUNKY);
  if (twain.IsCapSupported(ICAP_UNITS)) twain.SetUnits(TWUN_INCHES);
  if (twain.IsCapSupported(ICAP_XRESOLUTION)) twain.SetXResolution(effective.XResolution);
  if (twain.IsCapSupported(ICAP_YRESOLUTION)) twain.SetYResolution(effective.YResolution);
  const bool driverLight = RadioButtonDriverLight->isChecked();
  if (twain.IsCapSupported(ICAP_CONTRAST)) {
    twain.SetContrast(driverLight ? request.Contrast : SpinEditCon->value());
  }
  if (twain.IsCapSupported(ICAP_BRIGHTNESS)) {
    twain.SetBrightness(driverLight ? request.Brightness : SpinEditLum->value());
  }
  SetContainerCap(twain, ICAP_AUTOBRIGHT,
                  driverLight ? request.AutoBrightness != 0 : CheckBoxAutoBrightness->isChecked());
  if (blackAndWhite) {
    SetContainerCap(twain, ICAP_THRESHOLD,
                    driverLight ? request.Threshold : SpinEditThreshold->value());
  }

  TTwnImageLayout layout;
  twain.GetImageLayout(layout);
  layout.Left = layout.Top = 0;
  if (RadioButtonDriverPage->isChecked() || ComboBoxPagina->currentIndex() > 0) {
    layout.Right = effective.PageWidth;
    layout.Bottom = effective.PageHeight;
  } else {
    // "Max": the source's whole bed; a size it cannot tell keeps the frame as read.
    const double width = twain.GetPhysicalWidth(), height = twain.GetPhysicalHeight();
    if (width > 0 && height > 0) {
      layout.Right = width;
      layout.Bottom = height;
    }
  }
  twain.SetImageLayout(layout);
}

// Runs inside the component's transfer: nothing may leave it as an exception. A block that is
// no page the cache can keep (a bit count the pipeline does not take, a header that does not
// fit) is logged and dropped.
void TFinestraPrincipale::vekTWAIN1ImageReady(QObject*, void*, win32::BITMAPINFO*, void* hImage,
                                              const std::string&) {
  if (hImage == nullptr) return;
  Log("New Image Scanned...");
  Guarded(
      [&] {
        TDIB page;
        try {
          page.SetHandle(hImage);
        } catch (...) {
          win32::GlobalFree(hImage);
          throw;
        }
        page.SetOwnsHandle(true);
        if (!KnownBitCount(page.BitCount())) {
          throw Exception("image of " + std::to_string(page.BitCount()) +
                          " bits per pixel not allowed");
        }
        const std::string name = PageCache.NewFileName(std::time(nullptr));
        if (page.PixelType() == pt1bit && page.WhiteIndex() != 1) page.ReversePalette();
        page.SaveToFile(name);
        PageCache.Append(name);
      },
      [&] { Log("WARNING: scanned image dropped: " + QString::fromStdString(FailureText())); });
  if (FWaitLoop != nullptr) FWaitLoop->quit();
}
