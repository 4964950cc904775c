#include "vekTWAINDSLayer.h"

#include <algorithm>
#include <cstring>

namespace {

// The library's string table.
constexpr const char* kManufacturer = "Dovantic Technologies SpA";
constexpr const char* kProductFamily = "Dovantic Technologies Imaging Products";
constexpr const char* kProductName = "Clarivo®";
constexpr const char* kVersionInfo = "Version 1.03";

constexpr TW_UINT16 kLanguageEnglish = 2;
constexpr TW_UINT16 kCountryItaly = 44;

// At most 33 characters and a terminator in a TW_STR32.
void LoadString(TW_STR32& Field, const char* Text) {
  const size_t length = std::min(std::strlen(Text), sizeof(TW_STR32) - 1);
  std::memcpy(Field, Text, length);
  Field[length] = '\0';
}

bool IsImageProcessingDAT(TW_UINT16 DAT) {
  return DAT == DAT_CIECOLOR || DAT == DAT_GRAYRESPONSE || DAT == DAT_RGBRESPONSE ||
         DAT == DAT_JPEGCOMPRESSION;
}

}  // namespace

TTWAINSource::TTWAINSource(TFormFactory Factory) : FFormFactory(std::move(Factory)) {
  FOwnIdentity.Version.MajorNum = 1;
  FOwnIdentity.Version.MinorNum = 0;
  FOwnIdentity.Version.Language = kLanguageEnglish;
  FOwnIdentity.Version.Country = kCountryItaly;
  LoadString(FOwnIdentity.Version.Info, kVersionInfo);
  FOwnIdentity.ProtocolMajor = 1;
  FOwnIdentity.ProtocolMinor = 8;
  FOwnIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  LoadString(FOwnIdentity.Manufacturer, kManufacturer);
  LoadString(FOwnIdentity.ProductFamily, kProductFamily);
  LoadString(FOwnIdentity.ProductName, kProductName);
  FImageLayout.DocumentNumber = FImageLayout.PageNumber = FImageLayout.FrameNumber = 1;
}

TTWAINSource::~TTWAINSource() = default;

TW_UINT16 TTWAINSource::Fail(TW_UINT16 Condition) {
  FConditionCode = Condition;
  return TWRC_FAILURE;
}

TW_UINT16 TTWAINSource::Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                              TW_MEMREF pData) {
  if (FAppIdentity.Id != 0 && (pOrigin == nullptr || pOrigin->Id != FAppIdentity.Id))
    return TWRC_NOTDSEVENT;
  if (MSG == MSG_PROCESSEVENT) {
    if (pData == nullptr) return TWRC_NOTDSEVENT;
    return ProcessEvent(*static_cast<TW_EVENT*>(pData));
  }
  if (DG != DG_CONTROL && DG != DG_IMAGE) return Fail(TWCC_BADPROTOCOL);
  return DispatchTriplet(pOrigin, DG, DAT, MSG, pData);
}

// The dialog's windows are the data source's own; the host's messages for them are taken.
// The data source never passes a message back here: notifications go through the manager.
TW_UINT16 TTWAINSource::ProcessEvent(TW_EVENT& Event) {
  auto* msg = static_cast<win32::MSG*>(Event.pEvent);
  Event.TWMessage = MSG_NULL;
  if (msg == nullptr || !FForm || !FForm->OwnsWindow(msg->hwnd)) return TWRC_NOTDSEVENT;
  msg->lParam = 0;
  return TWRC_DSEVENT;
}

TW_UINT16 TTWAINSource::DispatchTriplet(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                                        TW_UINT16 MSG, TW_MEMREF pData) {
  if (DG == DG_IMAGE && IsImageProcessingDAT(DAT)) return TWRC_FAILURE;
  if (DG == DG_IMAGE && DAT == DAT_IMAGEFILEXFER) return FileXfer(MSG);
  // Every other triplet reads or writes its record.
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  if (DG == DG_CONTROL) {
    switch (DAT) {
      case DAT_CAPABILITY:
        return Capability(MSG, *static_cast<TW_CAPABILITY*>(pData));
      case DAT_IDENTITY:
        return Identity(pOrigin, MSG, *static_cast<TW_IDENTITY*>(pData));
      case DAT_PENDINGXFERS:
        return PendingXfers(MSG, *static_cast<TW_PENDINGXFERS*>(pData));
      case DAT_SETUPMEMXFER:
        return SetupMemXfer(MSG, *static_cast<TW_SETUPMEMXFER*>(pData));
      case DAT_SETUPFILEXFER:
        return SetupFileXfer(MSG, *static_cast<TW_SETUPFILEXFER*>(pData));
      case DAT_STATUS:
        return Status(MSG, *static_cast<TW_STATUS*>(pData));
      case DAT_USERINTERFACE:
        return UserInterface(MSG, *static_cast<TW_USERINTERFACE*>(pData));
      case DAT_XFERGROUP:
        return XferGroup(MSG, *static_cast<TW_UINT32*>(pData));
      case DAT_DEVICEEVENT:
        return DeviceEvent(MSG, *static_cast<TW_DEVICEEVENT*>(pData));
      default:
        return Fail(TWCC_BADPROTOCOL);
    }
  }
  switch (DAT) {
    case DAT_IMAGEINFO:
      return ImageInfo(MSG, *static_cast<TW_IMAGEINFO*>(pData));
    case DAT_IMAGELAYOUT:
      return ImageLayoutTriplet(MSG, *static_cast<TW_IMAGELAYOUT*>(pData));
    case DAT_IMAGEMEMXFER:
      return MemoryXfer(MSG, *static_cast<TW_IMAGEMEMXFER*>(pData));
    case DAT_IMAGENATIVEXFER:
      return NativeXfer(MSG, *static_cast<TW_HANDLE*>(pData));
    case DAT_PALETTE8:
      return Palette8(MSG, *static_cast<TW_PALETTE8*>(pData));
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TTWAINSource::Identity(TW_IDENTITY* pOrigin, TW_UINT16 MSG, TW_IDENTITY& Identity) {
  switch (MSG) {
    case MSG_GET:
      Identity = FOwnIdentity;
      return TWRC_SUCCESS;
    case MSG_OPENDS:
      return OpenDS(pOrigin, Identity);
    case MSG_CLOSEDS:
      return CloseDS();
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TTWAINSource::OpenDS(TW_IDENTITY* pOrigin, TW_IDENTITY& Source) {
  if (FState != 300 || pOrigin == nullptr) return Fail(TWCC_SEQERROR);
  if (FAppIdentity.Id != 0) return Fail(TWCC_MAXCONNECTIONS);
  std::unique_ptr<TDSForm> form = FFormFactory ? FFormFactory() : nullptr;
  if (!form) {
    FState = 400;
    return Fail(TWCC_LOWMEMORY);
  }
  // The dialog has told the operator that the control panel cannot be reached.
  if (!form->Connected()) return Fail(TWCC_OPERATIONERROR);
  // A failure on the way leaves the source closed and unbound, as it was.
  const TW_IDENTITY own = FOwnIdentity;
  FAppIdentity = *pOrigin;
  FOwnIdentity = Source;
  FForm = std::move(form);
  try {
    FForm->SetAppIdentity(FAppIdentity);
    FForm->OnCloseRequest = [this] { SignalCloseRequest(); };
    FForm->OnTransferReady = [this] { SignalXferReady(); };
    FForm->OnDeviceEvent = [this](const TW_DEVICEEVENT& Event) { QueueDeviceEvent(Event); };
    BuildCapabilities();
  } catch (...) {
    FForm.reset();
    FAppIdentity = {};
    FOwnIdentity = own;
    throw;
  }
  FState = 400;
  return TWRC_SUCCESS;
}

// A source is closed once it is disabled, never in the middle of a scan.
TW_UINT16 TTWAINSource::CloseDS() {
  if (FState != 400) return Fail(TWCC_SEQERROR);
  Shutdown();
  return TWRC_SUCCESS;
}

// The dialog closes, ends its scan session and frees the page it held.
void TTWAINSource::Shutdown() {
  FAppIdentity.Id = 0;
  FState = 300;
  FForm.reset();
  StartOfPage();
  FPageLost = false;
}

TW_UINT16 TTWAINSource::UserInterface(TW_UINT16 MSG, TW_USERINTERFACE& UI) {
  switch (MSG) {
    case MSG_ENABLEDS:
      if (FState != 400) return Fail(TWCC_SEQERROR);
      if (!FForm) return Fail(TWCC_LOWMEMORY);
      FState = 500;
      // The dialog is shown without being modal, whatever ModalUI asks.
      if (UI.ShowUI != 0) {
        FForm->ShowInterface(true);
        return TWRC_SUCCESS;
      }
      // A scan without the dialog that brings no page leaves nothing to wait for.
      if (FForm->StartWithoutInterface()) return TWRC_SUCCESS;
      FState = 400;
      return Fail(TWCC_OPERATIONERROR);
    case MSG_DISABLEDS:
      // Pages still pending are ended (MSG_ENDXFER or MSG_RESET) first.
      if (FState != 500) return Fail(TWCC_SEQERROR);
      if (FForm) FForm->ShowInterface(false);
      FState = 400;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}
