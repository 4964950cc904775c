// DS_Entry of the simulated scanner, its identity, states and calls back to the manager.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "boundaryguard.h"
#include "library.h"
#include "simscanner_source.h"

namespace {

std::string OwnFileStem() {
  Dl_info info{};
  static int anchor;
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return "SimScanner";
  return std::filesystem::path(info.dli_fname).stem().string();
}

void CopyText(char* Field, size_t Size, const std::string& Text) {
  std::snprintf(Field, Size, "%s", Text.c_str());
}

// A capability call names its capability as a third field.
void Trace(TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  const char* file = std::getenv("CLARIVO_SIMSCANNER_TRACE");
  if (file == nullptr || *file == '\0') return;
  if (FILE* trace = std::fopen(file, "a")) {
    if (DAT == DAT_CAPABILITY && pData != nullptr) {
      std::fprintf(trace, "0x%04X 0x%04X 0x%04X\n", DAT, MSG,
                   static_cast<const TW_CAPABILITY*>(pData)->Cap);
    } else {
      std::fprintf(trace, "0x%04X 0x%04X\n", DAT, MSG);
    }
    std::fclose(trace);
  }
}

// TW_VERSION's codes of its language and country.
constexpr TW_UINT16 kLanguageEnglish = 2;
constexpr TW_UINT16 kCountryUsa = 1;

}  // namespace

namespace {

TSimScanner& Scanner() {
  static TSimScanner scanner;
  return scanner;
}

bool IsTwain2Name(const std::string& Stem) {
  return Stem.size() >= 3 && Stem.compare(Stem.size() - 3, 3, "TW2") == 0;
}

}  // namespace

TSimScanner::TSimScanner() : FMemory(IsTwain2Name(OwnFileStem())) {
  FOwn.Version.MajorNum = 1;
  FOwn.Version.MinorNum = 0;
  FOwn.Version.Language = kLanguageEnglish;
  FOwn.Version.Country = kCountryUsa;
  CopyText(FOwn.Version.Info, sizeof(TW_STR32), "SimScanner 1.0");
  FOwn.ProtocolMajor = 1;
  FOwn.ProtocolMinor = 9;
  FOwn.SupportedGroups = DG_CONTROL | DG_IMAGE;
  if (FMemory.Twain2()) {
    FOwn.ProtocolMajor = TWON_PROTOCOLMAJOR2;
    FOwn.ProtocolMinor = 4;
    FOwn.SupportedGroups |= DF_DS2;
  }
  CopyText(FOwn.Manufacturer, sizeof(TW_STR32), "Clarivo Tests");
  CopyText(FOwn.ProductFamily, sizeof(TW_STR32), "Simulated Scanner");
  CopyText(FOwn.ProductName, sizeof(TW_STR32), OwnFileStem());
  FFrame.Right.Whole = 2;
  FFrame.Bottom.Whole = 2;
  BuildCapabilities();
}

TSimFailure TSimScanner::TakeEntryFailure() {
  TSimFailure failure = FEntryFailure;
  FEntryFailure = TSimFailure::None;
  return failure;
}

TW_UINT16 TSimScanner::Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                             TW_MEMREF pData) {
  Trace(DAT, MSG, pData);
  const auto start = std::chrono::steady_clock::now();
  TW_UINT16 result;
  if (DG == DG_CONTROL)
    result = Control(pOrigin, DAT, MSG, pData);
  else if (DG == DG_IMAGE)
    result = Image(DAT, MSG, pData);
  else
    result = Fail(TWCC_BADPROTOCOL);
  FReport.BusySeconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

TW_UINT16 TSimScanner::Control(TW_IDENTITY* pOrigin, TW_UINT16 DAT, TW_UINT16 MSG,
                               TW_MEMREF pData) {
  if (DAT == DAT_IDENTITY) return Identity(pOrigin, MSG, pData);
  if (DAT == DAT_SIMSCANNER) return Steering(MSG, pData);
  if (DAT == DAT_ENTRYPOINT) return EntryPoint(MSG, pData);
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  switch (DAT) {
    case DAT_STATUS:
      if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
      *static_cast<TW_STATUS*>(pData) = {FCondition, 0};
      FCondition = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    case DAT_CAPABILITY:
      return Capability(MSG, *static_cast<TW_CAPABILITY*>(pData));
    case DAT_USERINTERFACE:
      return UserInterface(MSG, pData);
    case DAT_EVENT:
      if (MSG != MSG_PROCESSEVENT) return Fail(TWCC_BADPROTOCOL);
      static_cast<TW_EVENT*>(pData)->TWMessage = MSG_NULL;  // it has no windows
      return TWRC_NOTDSEVENT;
    case DAT_PENDINGXFERS:
      return PendingTransfers(MSG, *static_cast<TW_PENDINGXFERS*>(pData));
    case DAT_SETUPMEMXFER:
      if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
      return SetupMemory(*static_cast<TW_SETUPMEMXFER*>(pData));
    case DAT_SETUPFILEXFER:
      return SetupFile(MSG, *static_cast<TW_SETUPFILEXFER*>(pData));
    case DAT_XFERGROUP:
      if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
      *static_cast<TW_UINT32*>(pData) = DG_IMAGE;
      return TWRC_SUCCESS;
    case DAT_DEVICEEVENT:
      if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
      return DeviceEvent(*static_cast<TW_DEVICEEVENT*>(pData));
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSimScanner::Image(TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  bool get = MSG == MSG_GET;
  if (DAT == DAT_IMAGEFILEXFER) return get ? FileTransfer() : Fail(TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  switch (DAT) {
    case DAT_IMAGEINFO:
      return get ? ImageInfo(*static_cast<TW_IMAGEINFO*>(pData)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGELAYOUT:
      return ImageLayout(MSG, *static_cast<TW_IMAGELAYOUT*>(pData));
    case DAT_IMAGENATIVEXFER:
      return get ? NativeTransfer(*static_cast<TW_HANDLE*>(pData)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGEMEMXFER:
      return get ? MemoryTransfer(*static_cast<TW_IMAGEMEMXFER*>(pData)) : Fail(TWCC_BADPROTOCOL);
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSimScanner::Identity(TW_IDENTITY* pOrigin, TW_UINT16 MSG, TW_MEMREF pData) {
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  auto& identity = *static_cast<TW_IDENTITY*>(pData);
  switch (MSG) {
    case MSG_GET:
      identity = FOwn;
      return TWRC_SUCCESS;
    case MSG_OPENDS:
      if (FApp.Id != 0) return Fail(TWCC_MAXCONNECTIONS);
      if (FState != 3 || pOrigin == nullptr) return Fail(TWCC_SEQERROR);
      // The work a scanner does when it starts runs at its first opening, never when it is
      // only listed.
      if (FReport.Openings++ == 0) ++FReport.StartUps;
      FApp = *pOrigin;
      FOwn.Id = identity.Id;
      BuildCapabilities();
      FState = 4;
      return TWRC_SUCCESS;
    case MSG_CLOSEDS:
      if (FState < 4) return Fail(TWCC_SEQERROR);
      FApp = {};
      FDeviceEvents.clear();
      EndPage();
      FPagesLeft = 0;
      FState = 3;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSimScanner::UserInterface(TW_UINT16 MSG, TW_MEMREF pData) {
  switch (MSG) {
    case MSG_ENABLEDS:
      if (FState != 4) return Fail(TWCC_SEQERROR);
      static_cast<TW_USERINTERFACE*>(pData)->ShowUI = 0;  // it has no dialog of its own
      FState = 5;
      StartScan();
      return TWRC_SUCCESS;
    case MSG_DISABLEDS:
      if (FState < 5) return Fail(TWCC_SEQERROR);
      EndPage();
      FPagesLeft = 0;
      FState = 4;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSimScanner::Steering(TW_UINT16 MSG, TW_MEMREF pData) {
  if (MSG == MSG_XFERREADY || MSG == MSG_CLOSEDSREQ || MSG == MSG_CLOSEDSOK) {
    Notify(MSG);
    return TWRC_SUCCESS;
  }
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  switch (MSG) {
    case MSG_SET:
      FSettings = *static_cast<TSimScannerSettings*>(pData);
      if (FSettings.Failure == TSimFailure::RaiseFromEntry ||
          FSettings.Failure == TSimFailure::GarbageAnswer) {
        FEntryFailure = FSettings.Failure;
        FSettings.Failure = TSimFailure::None;
      }
      return TWRC_SUCCESS;
    case MSG_GET:
      *static_cast<TSimScannerSettings*>(pData) = FSettings;
      return TWRC_SUCCESS;
    case MSG_QUERYSUPPORT:
      *static_cast<TSimScannerReport*>(pData) = FReport;
      return TWRC_SUCCESS;
    case MSG_DEVICEEVENT:
      RaiseDeviceEvent(*static_cast<TW_UINT32*>(pData));
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

// As a 1.x data source does: the manager is looked up by name at every call. A 2.x source
// has only the entry it was given.
void TSimScanner::Notify(TW_UINT16 MSG) {
  if (FMemory.Twain2()) {
    if (DSMENTRYPROC entry = FMemory.ManagerEntry())
      entry(&FOwn, &FApp, DG_CONTROL, DAT_NULL, MSG, nullptr);
    return;
  }
  win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
  if (manager == nullptr) return;
  if (auto entry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(manager, "DSM_Entry")))
    entry(&FOwn, &FApp, DG_CONTROL, DAT_NULL, MSG, nullptr);
  win32::FreeLibrary(manager);
}

// Only the events the application asked for in CAP_DEVICEEVENT are raised.
void TSimScanner::RaiseDeviceEvent(TW_UINT32 Event) {
  const TSimCap* wanted = FindCap(CAP_DEVICEEVENT);
  if (wanted == nullptr ||
      std::find(wanted->Items.begin(), wanted->Items.end(), Event) == wanted->Items.end())
    return;
  TW_DEVICEEVENT record{};
  record.Event = Event;
  std::memcpy(record.DeviceName, FOwn.ProductName, sizeof(TW_STR32));
  FDeviceEvents.push_back(record);
  Notify(MSG_DEVICEEVENT);
}

TW_UINT16 TSimScanner::DeviceEvent(TW_DEVICEEVENT& Event) {
  if (FState < 4) return Fail(TWCC_SEQERROR);
  if (FDeviceEvents.empty()) return Fail(TWCC_SEQERROR);
  Event = FDeviceEvents.front();
  FDeviceEvents.pop_front();
  return TWRC_SUCCESS;
}

// The raising mode lets one exception out on purpose, to show what the manager does with a
// source that breaks the rule; everything else is guarded.
extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(TW_IDENTITY* pOrigin,
                                                                     TW_UINT32 DG, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG,
                                                                     TW_MEMREF pData) {
  TSimFailure failure = Scanner().TakeEntryFailure();
  if (failure == TSimFailure::RaiseFromEntry) throw std::runtime_error("SimScanner raises");
  if (failure == TSimFailure::GarbageAnswer) return kSimGarbageAnswer;
  return Guarded([&] { return Scanner().Entry(pOrigin, DG, DAT, MSG, pData); },
                 [] { return TWRC_FAILURE; });
}
