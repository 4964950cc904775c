#include "rawhost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "globalmem.h"
#include "windowsdir.h"

TRawHost::TRawHost(const std::string& ProductName, TProtocol Protocol) : FProtocol(Protocol) {
  FIdentity.Version.MajorNum = 1;
  FIdentity.ProtocolMajor = Protocol == TWAIN2 ? TWON_PROTOCOLMAJOR2 : 1;
  FIdentity.ProtocolMinor = Protocol == TWAIN2 ? 4 : 9;
  FIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE | (Protocol == TWAIN2 ? DF_APP2 : 0);
  std::snprintf(FIdentity.Manufacturer, sizeof(TW_STR32), "Clarivo Tests");
  std::snprintf(FIdentity.ProductFamily, sizeof(TW_STR32), "Raw Host");
  std::snprintf(FIdentity.ProductName, sizeof(TW_STR32), "%s", ProductName.c_str());
  FManager = win32::LoadLibrary(win32::GetWindowsDirectory() + "/TWAIN_32.DLL");
  FEntry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(FManager, uint16_t{1}));
}

TRawHost::~TRawHost() {
  Unhook();
  ForgetCallbacks();
  win32::FreeLibrary(FManager);
}

TW_UINT16 TRawHost::Call(TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                         TW_MEMREF pData) {
  return FEntry(&FIdentity, Dest, DG, DAT, MSG, pData);
}

TW_UINT16 TRawHost::Condition(TW_IDENTITY* Dest) {
  TW_STATUS status{0xFFFF, 0};
  if (Call(Dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
  return status.ConditionCode;
}

TW_UINT16 TRawHost::OpenDSM() {
  if (FProtocol == TWAIN2) return OpenTwain2DSM();
  win32::HWND parent = Parent();
  TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent);
  if (rc == TWRC_SUCCESS && !FHooked) {
    FPrevious = Application().OnMessage();
    Application().SetOnMessage({Hook, this});
    FHooked = true;
  }
  return rc;
}

TW_UINT16 TRawHost::CloseDSM() {
  win32::HWND parent = Parent();
  TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
  if (rc == TWRC_SUCCESS) Unhook();
  if (rc == TWRC_SUCCESS) FEntryPoints = {};
  return rc;
}

void TRawHost::Unhook() {
  if (FHooked && Application().OnMessage() == TMessageEvent{Hook, this})
    Application().SetOnMessage(FPrevious);
  FHooked = false;
}

std::vector<std::string> TRawHost::SourceNames() {
  std::vector<std::string> names;
  TW_IDENTITY source{};
  for (TW_UINT16 msg = MSG_GETFIRST;
       Call(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &source) == TWRC_SUCCESS; msg = MSG_GETNEXT)
    names.emplace_back(source.ProductName);
  return names;
}

TW_UINT16 TRawHost::OpenDS(const std::string& Name, TW_IDENTITY& Source) {
  Source = {};
  std::snprintf(Source.ProductName, sizeof(TW_STR32), "%s", Name.c_str());
  TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &Source);
  if (rc == TWRC_SUCCESS) FOpen.push_back(Source);
  if (rc == TWRC_SUCCESS && Twain2()) rc = RegisterCallback(Source);
  return rc;
}

TW_UINT16 TRawHost::CloseDS(TW_IDENTITY& Source) {
  TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Source);
  if (rc == TWRC_SUCCESS)
    std::erase_if(FOpen, [&](const TW_IDENTITY& s) { return s.Id == Source.Id; });
  return rc;
}

TW_UINT16 TRawHost::Enable(TW_IDENTITY& Source, bool ShowUI) {
  TW_USERINTERFACE ui{static_cast<TW_BOOL>(ShowUI ? 1 : 0), 0, Parent()};
  return Call(&Source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

TW_UINT16 TRawHost::Disable(TW_IDENTITY& Source) {
  TW_USERINTERFACE ui{0, 0, Parent()};
  return Call(&Source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}

TW_UINT16 TRawHost::ProcessEvent(TW_IDENTITY& Source, win32::MSG& Msg, TW_UINT16& TWMessage) {
  TW_EVENT event{&Msg, MSG_NULL};
  TW_UINT16 rc = Call(&Source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  TWMessage = event.TWMessage;
  return rc;
}

TW_UINT16 TRawHost::SetOneValue(TW_IDENTITY& Source, TW_UINT16 Cap, TW_UINT16 ItemType,
                                TW_UINT32 Value) {
  TW_CAPABILITY capability{Cap, TWON_ONEVALUE, Allocate(sizeof(TW_ONEVALUE))};
  auto* one = static_cast<TW_ONEVALUE*>(Lock(capability.hContainer));
  one->ItemType = ItemType;
  one->Item = Value;
  Unlock(capability.hContainer);
  TW_UINT16 rc = Call(&Source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
  Free(capability.hContainer);
  return rc;
}

TW_UINT16 TRawHost::GetCurrent(TW_IDENTITY& Source, TW_UINT16 Cap, TW_UINT32& Value) {
  TW_CAPABILITY capability{Cap, TWON_DONTCARE16, nullptr};
  TW_UINT16 rc = Call(&Source, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability);
  if (rc != TWRC_SUCCESS) return rc;
  auto* one = static_cast<TW_ONEVALUE*>(Lock(capability.hContainer));
  Value = one->Item;
  if (one->ItemType == TWTY_UINT16 || one->ItemType == TWTY_BOOL || one->ItemType == TWTY_INT16)
    Value &= 0xFFFF;
  Unlock(capability.hContainer);
  Free(capability.hContainer);
  return rc;
}

TW_UINT16 TRawHost::EndTransfer(TW_IDENTITY& Source, TW_UINT16& Count) {
  TW_PENDINGXFERS pending{};
  TW_UINT16 rc = Call(&Source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  Count = pending.Count;
  return rc;
}

void TRawHost::Hook(void* Data, win32::MSG& Msg, bool& Handled) {
  auto* host = static_cast<TRawHost*>(Data);
  if (Msg.hwnd != host->Parent()) {
    host->FPrevious(Msg, Handled);
    return;
  }
  std::vector<TW_IDENTITY> open = host->FOpen;  // a source may be closed meanwhile
  for (TW_IDENTITY& source : open) {
    TW_UINT16 message = MSG_NULL;
    if (host->ProcessEvent(source, Msg, message) == TWRC_DSEVENT) Handled = true;
    if (message != MSG_NULL) host->FPumped.push_back({source.Id, message});
  }
}

std::vector<TNotification> TRawHost::PumpNotifications(int TimeoutMs) {
  if (Twain2()) return WaitForCallbacks(TimeoutMs);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (FPumped.empty()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0 || !Application().WaitMessage(static_cast<int>(left))) break;
    Application().ProcessMessages();
  }
  std::vector<TNotification> pumped = std::move(FPumped);
  FPumped.clear();
  return pumped;
}
