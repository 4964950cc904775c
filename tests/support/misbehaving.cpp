// Misbehaving.ds, a data source that breaks the rules in one way, chosen by the name it is
// copied under (its file name without ".ds" is also its ProductName):
//   CrashesOnIdentity   dies of SIGSEGV when asked DAT_IDENTITY / MSG_GET
//   HangsOnIdentity     never answers MSG_GET
//   RaisesAtLoad        its static constructor raises, so that loading it ends the process
//   NoIdentity          answers MSG_GET with TWRC_FAILURE
//   Nameless            an empty ProductName, otherwise well-behaved
//   RefusesClose        refuses MSG_CLOSEDS with TWCC_OPERATIONERROR
//   RaisesInClose       raises out of DS_Entry at MSG_CLOSEDS
//   ClosesManager       calls MSG_CLOSEDSM for its application from inside MSG_OPENDS
//   StickyFileMech      accepts every capability set, but ICAP_XFERMECH reads back
//                       TWSX_FILE and ICAP_IMAGEFILEFORMAT TWFF_TIFF
// Any other name behaves. Of the capabilities it has ICAP_XFERMECH only, TWSX_NATIVE; DAT_STATUS
// answers the condition of its last failure.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "globalmem.h"
#include "library.h"
#include "messages.h"
#include "twain.h"

namespace {

std::string OwnName() {
  Dl_info info{};
  static int anchor;
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return "";
  return std::filesystem::path(info.dli_fname).stem().string();
}

const std::string& Mode() {
  static const std::string mode = OwnName();
  return mode;
}

struct TRaisesAtLoad {
  TRaisesAtLoad() {
    if (Mode() == "RaisesAtLoad") throw std::runtime_error("RaisesAtLoad cannot start");
  }
} raisesAtLoad;

TW_UINT16 Condition = TWCC_SUCCESS;
TW_IDENTITY Own{};

TW_UINT16 Fail(TW_UINT16 Code) {
  Condition = Code;
  return TWRC_FAILURE;
}

TW_UINT16 OneValue(TW_CAPABILITY& Capability, TW_UINT16 Value) {
  Capability.ConType = TWON_ONEVALUE;
  Capability.hContainer = win32::GlobalAlloc(win32::GHND, sizeof(TW_ONEVALUE));
  auto* one = static_cast<TW_ONEVALUE*>(win32::GlobalLock(Capability.hContainer));
  one->ItemType = TWTY_UINT16;
  one->Item = Value;
  win32::GlobalUnlock(Capability.hContainer);
  return TWRC_SUCCESS;
}

TW_UINT16 Capability(TW_UINT16 MSG, TW_CAPABILITY& Capability) {
  const bool sticky = Mode() == "StickyFileMech";
  if (MSG == MSG_SET)
    return sticky || Capability.Cap == ICAP_XFERMECH ? TWRC_SUCCESS : Fail(TWCC_CAPUNSUPPORTED);
  if (MSG != MSG_GET && MSG != MSG_GETCURRENT) return Fail(TWCC_BADPROTOCOL);
  if (Capability.Cap == ICAP_XFERMECH)
    return OneValue(Capability, sticky ? TWSX_FILE : TWSX_NATIVE);
  if (sticky && Capability.Cap == ICAP_IMAGEFILEFORMAT) return OneValue(Capability, TWFF_TIFF);
  return Fail(TWCC_CAPUNSUPPORTED);
}

void CloseManager(TW_IDENTITY* App) {
  win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
  if (manager == nullptr) return;
  if (auto entry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(manager, "DSM_Entry"))) {
    win32::HWND parent = nullptr;
    entry(App, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
  }
  win32::FreeLibrary(manager);
}

TW_UINT16 Identity(TW_IDENTITY* pOrigin, TW_UINT16 MSG, TW_IDENTITY& Identity) {
  switch (MSG) {
    case MSG_GET:
      if (Mode() == "CrashesOnIdentity") raise(SIGSEGV);
      if (Mode() == "HangsOnIdentity")
        for (;;) pause();
      if (Mode() == "NoIdentity") return Fail(TWCC_BUMMER);
      Identity = Own;
      return TWRC_SUCCESS;
    case MSG_OPENDS:
      if (Mode() == "ClosesManager") CloseManager(pOrigin);
      Own.Id = Identity.Id;
      return TWRC_SUCCESS;
    case MSG_CLOSEDS:
      if (Mode() == "RefusesClose") return Fail(TWCC_OPERATIONERROR);
      if (Mode() == "RaisesInClose") throw std::runtime_error("RaisesInClose breaks down");
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

}  // namespace

// The raising mode lets an exception out of DS_Entry on purpose.
extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(TW_IDENTITY* pOrigin,
                                                                     TW_UINT32 DG, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG,
                                                                     TW_MEMREF pData) {
  if (Own.ProtocolMajor == 0) {
    Own.ProtocolMajor = 1;
    Own.ProtocolMinor = 9;
    Own.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::snprintf(Own.Manufacturer, sizeof(TW_STR32), "Clarivo Tests");
    std::snprintf(Own.ProductName, sizeof(TW_STR32), "%s",
                  Mode() == "Nameless" ? "" : Mode().c_str());
  }
  if (DG != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  switch (DAT) {
    case DAT_IDENTITY:
      return Identity(pOrigin, MSG, *static_cast<TW_IDENTITY*>(pData));
    case DAT_STATUS:
      *static_cast<TW_STATUS*>(pData) = {Condition, 0};
      Condition = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    case DAT_CAPABILITY:
      return Capability(MSG, *static_cast<TW_CAPABILITY*>(pData));
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}
