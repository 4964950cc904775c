#include "vekTWAINKernel.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "boundaryguard.h"
#include "exception.h"
#include "windowsdir.h"

namespace {

constexpr uint16_t kToolkitMajor = 2;
constexpr uint16_t kToolkitMinor = 0;
constexpr uint16_t kLanguageEnglish = 2;
constexpr uint16_t kCountryUnitedKingdom = 44;
constexpr char kDSMFileName[] = "TWAIN_32.DLL";

template <size_t N>
void CopyText(char (&To)[N], const std::string& Text) {
  std::memset(To, 0, N);
  std::memcpy(To, Text.data(), std::min(Text.size(), N - 1));
}

// The Source Manager's path: the Windows directory with one separator before the file name.
std::string DSMPath() {
  std::string path = win32::GetWindowsDirectory();
  if (path.empty() || path.back() != '/') path += '/';
  return path + kDSMFileName;
}

// The components whose AppMessageHook is in the application's chain of message handlers, on
// the pumping thread. A component unhooked from the middle of the chain hands the handler it
// displaced to the one that displaced it; when that is no component (a handler of someone
// else's kept its thunk), the thunk is routed around it, so that no message ever reaches a
// component that is gone.
struct THookChain {
  std::vector<TvekTWAINKernel*> Hooked;
  std::map<const void*, TMessageEvent> Bypasses;

  bool IsHooked(const void* Kernel) const {
    return std::find(Hooked.begin(), Hooked.end(), Kernel) != Hooked.end();
  }
};

THookChain& HookChain() {
  static THookChain chain;
  return chain;
}

}  // namespace

TvekTWAINKernel::TvekTWAINKernel(QObject* Owner) : QObject(Owner) {
  FParentWindow = Application().Handle();
  TW_VERSION& version = FAppIdentity.Version;
  version.MajorNum = kToolkitMajor;
  version.MinorNum = kToolkitMinor;
  version.Language = kLanguageEnglish;
  version.Country = kCountryUnitedKingdom;
  CopyText(version.Info, "VEK DESIGN, TWAIN Toolkit v " + std::to_string(kToolkitMajor) + "." +
                             std::to_string(kToolkitMinor));
  FAppIdentity.ProtocolMajor = 1;
  FAppIdentity.ProtocolMinor = 9;
  FAppIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
  CopyText(FAppIdentity.Manufacturer, "VEK DESIGN");
  CopyText(FAppIdentity.ProductFamily, "Image Capture");
  CopyText(FAppIdentity.ProductName, "TWAIN Application");
}

TvekTWAINKernel::~TvekTWAINKernel() {
  CloseAll();
  UnhookAppMessages();
  StopTwain2();
}

uint16_t TvekTWAINKernel::CallDSM(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                  TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  FReturnCode = TWRC_FAILURE;
  if (FDSMEntry != nullptr) {
    DSMENTRYPROC entry = FDSMEntry;
    FReturnCode = Guarded([&]() -> uint16_t { return entry(pOrigin, pDest, DG, DAT, MSG, pData); },
                          []() -> uint16_t { return kCallRaised; });
  }
  const uint16_t result = FReturnCode;
  switch (result) {
    case TWRC_SUCCESS:
    case TWRC_CANCEL:
    case TWRC_DSEVENT:
    case TWRC_NOTDSEVENT:
    case TWRC_XFERDONE:
    case TWRC_ENDOFLIST:
      FConditionCode = TWCC_SUCCESS;
      break;
    case kCallRaised:
      // The crash is the failure: its own code replaces whatever an earlier failure left.
      FConditionCode = TWCC_BUMMER;
      if (DAT != DAT_STATUS) DropDSM();
      break;
    default:
      if (DAT != DAT_STATUS) GetStatus(FConditionCode, pDest);
      break;
  }
  FReturnCode = result;
  if (FConditionCode != TWCC_SUCCESS && OnFailure) {
    uint16_t cap = 0;
    if (DAT == DAT_CAPABILITY && pData != nullptr) std::memcpy(&cap, pData, sizeof(cap));
    OnFailure(this, static_cast<int32_t>(DG), DAT, cap, MSG, result, FConditionCode);
  }
  return result;
}

void TvekTWAINKernel::ReportFailure(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 CAP, TW_UINT16 MSG,
                                    TW_UINT16 Condition) {
  FReturnCode = TWRC_FAILURE;
  FConditionCode = Condition;
  if (OnFailure) OnFailure(this, static_cast<int32_t>(DG), DAT, CAP, MSG, TWRC_FAILURE, Condition);
}

void TvekTWAINKernel::GetStatus(uint16_t& Condition, TW_IDENTITY* pDest) {
  Condition = TWCC_BUMMER;
  TW_STATUS status{};
  if (CallDSM(&FAppIdentity, pDest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS) {
    Condition = status.ConditionCode;
  }
}

void TvekTWAINKernel::DropDSM() {
  StopTwain2();
  FDSMOpen = false;
  FSourceOpen = false;
  FSourceEnabled = false;
  FreeDSMLibrary();
  UnhookAppMessages();
}

void TvekTWAINKernel::FreeDSMLibrary() {
  if (FDSMHandle == nullptr) return;
  win32::FreeLibrary(FDSMHandle);
  SetState(1);
  FDSMHandle = nullptr;
  FSourceIdentity.Id = 0;
  FDSMEntry = nullptr;
}

uint16_t TvekTWAINKernel::OpenDSM() {
  FParentWindow = Application().Handle();
  if (FDSMOpen) return TWRC_FAILURE;
  if (FDSMHandle == nullptr) {
    const std::string path = DSMPath();
    if (access(path.c_str(), F_OK) != 0) return TWRC_FAILURE;
    FDSMHandle = win32::LoadLibrary(path);
    if (FDSMHandle == nullptr) return TWRC_FAILURE;
    FDSMEntry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(FDSMHandle, uint16_t{1}));
    if (FDSMEntry == nullptr) {
      win32::FreeLibrary(FDSMHandle);
      FDSMHandle = nullptr;
      return TWRC_FAILURE;
    }
  }
  SetState(2);
  const uint16_t result =
      CallDSM(&FAppIdentity, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &FParentWindow);
  if (result == TWRC_SUCCESS) {
    FDSMOpen = true;
    SetState(3);
    StartTwain2();
    HookAppMessages();
  }
  return result;
}

uint16_t TvekTWAINKernel::CloseDSM() {
  if (FSourceOpen || !FDSMOpen) return TWRC_FAILURE;
  const uint16_t result =
      CallDSM(&FAppIdentity, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &FParentWindow);
  if (result != TWRC_SUCCESS) return result;
  FDSMOpen = false;
  StopTwain2();
  SetState(2);
  FreeDSMLibrary();
  UnhookAppMessages();
  return result;
}

uint16_t TvekTWAINKernel::OpenDS() {
  if (!FDSMOpen || FSourceOpen) return TWRC_FAILURE;
  const uint16_t result =
      CallDSM(&FAppIdentity, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &FSourceIdentity);
  if (result == TWRC_SUCCESS) {
    FSourceOpen = true;
    SetState(4);
    FSourceProtocol =
        static_cast<uint16_t>(FSourceIdentity.ProtocolMajor * 10 + FSourceIdentity.ProtocolMinor);
    if (FTwain2) RegisterCallback();
    if (OnDisableMenus) OnDisableMenus(this);
  }
  return result;
}

uint16_t TvekTWAINKernel::CloseDS() {
  if (!FSourceOpen || FSourceEnabled) return TWRC_FAILURE;
  const uint16_t result =
      CallDSM(&FAppIdentity, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &FSourceIdentity);
  // A source that broke down while closing (TWCC_BUMMER) has been closed by the Source
  // Manager anyway; a source that refused stays open.
  if (result == TWRC_SUCCESS || (result == TWRC_FAILURE && FConditionCode == TWCC_BUMMER)) {
    FSourceOpen = false;
    SetState(3);
    FSourceIdentity.Id = 0;
    std::memset(FSourceIdentity.ProductName, 0, sizeof(FSourceIdentity.ProductName));
    FireEnableMenus();
  }
  return result;
}

uint16_t TvekTWAINKernel::EnableDS(bool& ShowUI) {
  if (!FSourceOpen || FSourceEnabled) return TWRC_FAILURE;
  TW_USERINTERFACE ui{};
  ui.ShowUI = ShowUI ? 1 : 0;
  ui.ModalUI = 0;
  ui.hParent = FParentWindow;
  const uint16_t result =
      CallDSM(&FAppIdentity, &FSourceIdentity, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (result == TWRC_SUCCESS || result == TWRC_CHECKSTATUS) {
    SetState(5);
    FSourceEnabled = true;
    ShowUI = ui.ShowUI != 0;
  }
  return result;
}

uint16_t TvekTWAINKernel::DisableDS() {
  if (!FSourceEnabled || !FSourceOpen) return TWRC_FAILURE;
  TW_USERINTERFACE ui{};
  ui.ShowUI = 0;
  ui.hParent = FParentWindow;
  const uint16_t result =
      CallDSM(&FAppIdentity, &FSourceIdentity, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  if (result == TWRC_SUCCESS) {
    FSourceEnabled = false;
    SetState(4);
  }
  return result;
}

void TvekTWAINKernel::CloseAll() {
  if (FSourceEnabled) DisableDS();
  if (FSourceOpen) CloseDS();
  if (FDSMOpen) CloseDSM();
  FCloseMode = 0;
}

void TvekTWAINKernel::HookThunk(void* Data, win32::MSG& Msg, bool& Handled) {
  THookChain& chain = HookChain();
  if (chain.IsHooked(Data)) {
    static_cast<TvekTWAINKernel*>(Data)->AppMessageHook(Msg, Handled);
    return;
  }
  auto bypass = chain.Bypasses.find(Data);
  if (bypass != chain.Bypasses.end()) {
    const TMessageEvent next = bypass->second;
    next(Msg, Handled);
  }
}

void TvekTWAINKernel::HookAppMessages() {
  THookChain& chain = HookChain();
  if (chain.IsHooked(this)) return;
  FSavedHook = Application().OnMessage();
  Application().SetOnMessage(OwnHook());
  chain.Bypasses.erase(this);
  chain.Hooked.push_back(this);
}

void TvekTWAINKernel::UnhookAppMessages() {
  THookChain& chain = HookChain();
  if (!chain.IsHooked(this)) return;
  std::erase(chain.Hooked, this);
  bool handedOn = Application().OnMessage() == OwnHook();
  if (handedOn) Application().SetOnMessage(FSavedHook);
  for (TvekTWAINKernel* kernel : chain.Hooked) {
    if (kernel->FSavedHook == OwnHook()) {
      kernel->FSavedHook = FSavedHook;
      handedOn = true;
    }
  }
  if (!handedOn) chain.Bypasses[this] = FSavedHook;
  FSavedHook = TMessageEvent{};
}

void TvekTWAINKernel::AppMessageHook(win32::MSG& Msg, bool& Handled) {
  // The handler to chain to, kept before the source may close and unhook; while this
  // component stays hooked, the chain may have changed below it meanwhile.
  const TMessageEvent saved = FSavedHook;
  if (FSourceOpen && ProcessSourceEvent(Msg)) Handled = true;
  const TMessageEvent next = HookChain().IsHooked(this) ? FSavedHook : saved;
  if (!Handled && next) next(Msg, Handled);
}

bool TvekTWAINKernel::ProcessSourceEvent(win32::MSG& Msg) {
  uint16_t result = TWRC_NOTDSEVENT;
  if (FDSMOpen && FSourceOpen && FTwain2) {
    TW_UINT16 message = TakeNotification();
    if (message != MSG_NULL) result = TWRC_DSEVENT;
    ActOnNotification(message);
  } else if (FDSMOpen && FSourceOpen) {
    TW_EVENT event{};
    event.pEvent = &Msg;
    event.TWMessage = MSG_NULL;
    result =
        CallDSM(&FAppIdentity, &FSourceIdentity, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (result != kCallRaised) ActOnNotification(event.TWMessage);
  }
  if (!FSourceOpen) FireEnableMenus();
  if (!FDSMOpen) UnhookAppMessages();
  return result == TWRC_DSEVENT;
}

void TvekTWAINKernel::ActOnNotification(TW_UINT16 Message) {
  switch (Message) {
    case MSG_XFERREADY:
      SetState(6);
      if (FCloseMode > 0) {
        if (OnXferReady) OnXferReady(this);
        TransferImages();
      }
      break;
    case MSG_CLOSEDSREQ:
      CloseAll();
      if (OnCloseSource) OnCloseSource(this);
      break;
    case MSG_DEVICEEVENT:
      ProcessDeviceEvent();
      break;
    default:
      break;
  }
}

void TvekTWAINKernel::FireEnableMenus() {
  if (OnEnableMenus && parent() != nullptr) OnEnableMenus(this);
}
