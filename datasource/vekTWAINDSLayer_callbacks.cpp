#include <cstdio>
#include <cstring>

#include "library.h"
#include "vekTWAINDSLayer.h"

// The manager is looked up by name at every call, as the instance the host loaded; its
// answer is not looked at. False when it cannot be found.
bool TTWAINSource::CallSourceManager(TW_UINT16 MSG) {
  win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
  if (manager == nullptr) return false;
  auto entry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(manager, "DSM_Entry"));
  if (entry != nullptr) entry(&FOwnIdentity, &FAppIdentity, DG_CONTROL, DAT_NULL, MSG, nullptr);
  win32::FreeLibrary(manager);
  return entry != nullptr;
}

// The page held is a new one, announced to the application in state 6.
void TTWAINSource::SignalXferReady() {
  StartOfPage();
  FPageLost = false;
  FState = 600;
  CallSourceManager(MSG_XFERREADY);
}

void TTWAINSource::SignalCloseRequest() {
  CallSourceManager(MSG_CLOSEDSREQ);
}

void TTWAINSource::QueueDeviceEvent(const TW_DEVICEEVENT& Event) {
  win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
  bool found = manager != nullptr && win32::GetProcAddress(manager, "DSM_Entry") != nullptr;
  win32::FreeLibrary(manager);
  if (!found || FDeviceEvents.size() >= kMaxDeviceEvents) return;
  TW_DEVICEEVENT record = Event;
  std::snprintf(record.DeviceName, sizeof(TW_STR255), "%s", FOwnIdentity.ProductName);
  FDeviceEvents.push_back(record);
  CallSourceManager(MSG_DEVICEEVENT);
}

TW_UINT16 TTWAINSource::XferGroup(TW_UINT16 MSG, TW_UINT32& Group) {
  if (FState < 400 || FState > 600) return Fail(TWCC_SEQERROR);
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_RESET:
      Group = DG_IMAGE;
      return TWRC_SUCCESS;
    case MSG_SET:
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TTWAINSource::DeviceEvent(TW_UINT16 MSG, TW_DEVICEEVENT& Event) {
  if (FState < 400 || MSG != MSG_GET || FDeviceEvents.empty()) return Fail(TWCC_SEQERROR);
  Event = FDeviceEvents.front();
  FDeviceEvents.pop_front();
  return TWRC_SUCCESS;
}
