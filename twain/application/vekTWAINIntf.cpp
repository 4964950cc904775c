#include "vekTWAINIntf.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "exception.h"
#include "vekTWAINCapMem.h"
#include "vekTWAINFix.h"
#include "vekTWAINXferFile.h"

using namespace win32;

namespace {

bool IsGetMessage(uint16_t Msg) {
  return Msg == MSG_GET || Msg == MSG_GETCURRENT || Msg == MSG_GETDEFAULT || Msg == MSG_RESET;
}

// Whether a list of capabilities holds Cap.
bool ListsCap(const TTwnContainer& List, uint16_t Cap) {
  for (int i = 0; i < List.GetNumItems(); ++i) {
    Variant item;
    List.GetItem(i, item);
    if (item.AsInteger() == Cap) return true;
  }
  return false;
}

}  // namespace

TvekTWAINIntf::TvekTWAINIntf(QObject* Owner) : TvekTWAINKernel(Owner) {}

TvekTWAINIntf::~TvekTWAINIntf() = default;

// ---- Capabilities ------------------------------------------------------------------------

void TvekTWAINIntf::ClearCapabilities() {
  FSupportedCaps = nullptr;
  FExtendedCaps = nullptr;
  FSupportedCount = 0;
  FExtendedCount = 0;
  FCapabilities.Clear();
}

TTwnContainer* TvekTWAINIntf::ListedContainer(uint16_t Cap) {
  TTwnContainer* container = FCapabilities.Find(Cap);
  return container != nullptr ? container : FCapabilities.Add(Cap);
}

uint16_t TvekTWAINIntf::DoCapability(uint16_t Cap, uint16_t Msg, TW_CAPABILITY& Capability) {
  if (!IsDSMOpen() || !IsSourceOpen()) return TWRC_FAILURE;
  Capability.Cap = Cap;
  if (IsGetMessage(Msg) || Msg == MSG_QUERYSUPPORT) {
    Capability.ConType = TWON_DONTCARE16;
    Capability.hContainer = nullptr;
  }
  return CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_CAPABILITY, Msg, &Capability);
}

uint16_t TvekTWAINIntf::GetCapabilityData(uint16_t Cap, uint16_t Msg, uint16_t& Kind,
                                          TTwnBlock& Block) {
  TW_CAPABILITY capability{};
  const uint16_t result = DoCapability(Cap, Msg, capability);
  Block.clear();
  Kind = capability.ConType;
  if (result == TWRC_SUCCESS && capability.hContainer != nullptr) {
    if (const auto* memory = static_cast<const uint8_t*>(GlobalLock(capability.hContainer))) {
      Block = BlockOfTwainContainer(Kind, memory, GlobalSize(capability.hContainer));
      GlobalUnlock(capability.hContainer);
    }
  }
  // What the source answers is the application's to free.
  if (capability.hContainer != nullptr) GlobalFree(capability.hContainer);
  return result;
}

int16_t TvekTWAINIntf::GetCapability(uint16_t Cap, int16_t Msg, TTwnContainer*& Container) {
  const auto msg = static_cast<uint16_t>(Msg);
  if (!IsGetMessage(msg) && msg != MSG_QUERYSUPPORT) return TWRC_FAILURE;
  if (msg == MSG_QUERYSUPPORT && Container == nullptr) return TWRC_FAILURE;
  uint16_t kind = 0;
  TTwnBlock block;
  uint16_t result = GetCapabilityData(Cap, msg, kind, block);
  if (result != TWRC_SUCCESS || block.empty()) return static_cast<int16_t>(result);
  if (msg == MSG_QUERYSUPPORT) {
    Container->SetSupportedOps(-1);
    uint16_t itemType;
    std::memcpy(&itemType, block.data(), 2);
    if (kind == TWON_ONEVALUE && itemType == TWTY_INT32) {
      int32_t ops;
      std::memcpy(&ops, block.data() + TTwnContainer::kOneValueItem, 4);
      Container->SetSupportedOps(ops);
    }
    return static_cast<int16_t>(result);
  }
  TTwnContainer* target = Container != nullptr ? Container : ListedContainer(Cap);
  if (target == nullptr) return TWRC_FAILURE;
  try {
    target->SetContainer(Cap, kind, std::move(block));
  } catch (const ETwnContainerError&) {
    return TWRC_FAILURE;
  }
  Container = target;
  return static_cast<int16_t>(result);
}

int16_t TvekTWAINIntf::GetCapability(uint16_t Cap, int16_t Msg) {
  TTwnContainer* container = nullptr;
  return GetCapability(Cap, Msg, container);
}

int16_t TvekTWAINIntf::SetCapability(int16_t Msg, int32_t AsOneValue, TTwnContainer* Container) {
  if (static_cast<uint16_t>(Msg) != MSG_SET || Container == nullptr) return kNothingSent;
  const TTwnBlock* block = Container->GetContainerData(AsOneValue != 0);
  if (block == nullptr) return kNothingSent;
  uint16_t kind = AsOneValue != 0 ? TWON_ONEVALUE : Container->ContainerType();
  // An array always hands out its list, which goes out labelled as what it is.
  if (Container->ContainerType() == TWON_ARRAY && block == Container->GetContainerData(false))
    kind = TWON_ARRAY;
  const size_t size = TwainContainerSize(kind, *block);
  if (size == 0) return kNothingSent;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
  if (bytes == nullptr) {
    GlobalFree(memory);
    return kNothingSent;
  }
  TwainContainerOfBlock(kind, *block, bytes);
  GlobalUnlock(memory);
  TW_CAPABILITY capability{};
  capability.ConType = kind;
  capability.hContainer = memory;
  const uint16_t result = DoCapability(Container->Capability(), MSG_SET, capability);
  GlobalFree(memory);
  return static_cast<int16_t>(result);
}

bool TvekTWAINIntf::IsCapSupported(uint16_t Cap) {
  return FSupportedCaps == nullptr || ListsCap(*FSupportedCaps, Cap);
}

bool TvekTWAINIntf::IsCapExtended(uint16_t Cap) {
  return FExtendedCaps != nullptr && ListsCap(*FExtendedCaps, Cap);
}

void TvekTWAINIntf::ReadSupportedCaps() {
  TTwnContainer* container = FSupportedCaps;
  if (GetCapability(CAP_SUPPORTEDCAPS, MSG_GET, container) != TWRC_SUCCESS) return;
  FSupportedCaps = container;
  FSupportedCount = container->GetNumItems();
}

void TvekTWAINIntf::ReadExtendedCaps() {
  TTwnContainer* container = FExtendedCaps;
  if (GetCapability(CAP_EXTENDEDCAPS, MSG_GET, container) != TWRC_SUCCESS) return;
  FExtendedCaps = container;
  FExtendedCount = container->GetNumItems();
}

int16_t TvekTWAINIntf::SetCapBool(uint16_t Cap, int16_t Msg, bool Value) {
  TTwnContainer* container = ListedContainer(Cap);
  if (container == nullptr) return TWRC_FAILURE;
  container->SetItemType(TWTY_BOOL);
  container->SetCurrentValue(Value);
  return SetCapability(Msg, 1, container);
}

int16_t TvekTWAINIntf::SendShowIndicators() {
  return SetCapBool(CAP_INDICATORS, MSG_SET, FShowIndicators);
}

int16_t TvekTWAINIntf::SetUInt16Cap(uint16_t Cap, int32_t Value) {
  TTwnContainer* container = ListedContainer(Cap);
  if (container == nullptr) return TWRC_FAILURE;
  container->SetItemType(TWTY_UINT16);
  container->SetCurrentValue(Value);
  return SetCapability(MSG_SET, 1, container);
}

int32_t TvekTWAINIntf::GetIntegerCap(uint16_t Cap) {
  TTwnContainer* container = nullptr;
  if (GetCapability(Cap, MSG_GET, container) != TWRC_SUCCESS || container == nullptr) return -1;
  return static_cast<int32_t>(container->GetCurrentValue().AsInteger());
}

void TvekTWAINIntf::SetIntegerCap(uint16_t Cap, const Variant& Value) {
  if (FCapabilities.Find(Cap) == nullptr) GetIntegerCap(Cap);
  TTwnContainer* container = FCapabilities.Find(Cap);
  if (container == nullptr) return;
  try {
    container->SetCurrentValue(Value);
  } catch (const Exception&) {
    // A number the capability's item type cannot hold never reaches the source.
    ReportFailure(DG_CONTROL, DAT_CAPABILITY, Cap, MSG_SET, TWCC_BADVALUE);
    return;
  }
  SetCapability(MSG_SET, 1, container);
}

int32_t TvekTWAINIntf::GetUnits() {
  return GetIntegerCap(ICAP_UNITS);
}

void TvekTWAINIntf::SetUnits(int32_t Value) {
  SetIntegerCap(ICAP_UNITS, Value);
}

int32_t TvekTWAINIntf::GetPixelFlavor() {
  return GetIntegerCap(ICAP_PIXELFLAVOR);
}

void TvekTWAINIntf::SetPixelFlavor(int32_t Value) {
  SetIntegerCap(ICAP_PIXELFLAVOR, Value);
}

uint8_t TvekTWAINIntf::GetImageFileFormat() {
  const int32_t format = GetIntegerCap(ICAP_IMAGEFILEFORMAT);
  return format < 0 || format > 255 ? TTwnFileFmtUnknown : static_cast<uint8_t>(format);
}

int16_t TvekTWAINIntf::SetImageFileFormat(uint8_t Format) {
  return SetUInt16Cap(ICAP_IMAGEFILEFORMAT, Format);
}

// ---- Sources -----------------------------------------------------------------------------

uint16_t TvekTWAINIntf::SourceByMsg(uint16_t Msg, std::string& Name) {
  if (IsSourceOpen()) return TWRC_FAILURE;
  TW_IDENTITY identity{};
  const uint16_t result =
      CallDSM(&AppIdentity(), nullptr, DG_CONTROL, DAT_IDENTITY, Msg, &identity);
  if (result == TWRC_SUCCESS) {
    SourceIdentity() = identity;
    Name = TwainFieldText(identity.ProductName);
  } else {
    Name.clear();
  }
  return result;
}

uint16_t TvekTWAINIntf::GetFirstSource(std::string& Name) {
  return SourceByMsg(MSG_GETFIRST, Name);
}

uint16_t TvekTWAINIntf::GetNextSource(std::string& Name) {
  return SourceByMsg(MSG_GETNEXT, Name);
}

uint16_t TvekTWAINIntf::GetDefaultSource(std::string& Name) {
  return SourceByMsg(MSG_GETDEFAULT, Name);
}

uint16_t TvekTWAINIntf::SelectSource(const std::string& Name) {
  if (IsSourceOpen()) return TWRC_FAILURE;
  const TW_IDENTITY kept = SourceIdentity();
  std::string read;
  uint16_t result = GetFirstSource(read);
  while (result == TWRC_SUCCESS && read != Name) result = GetNextSource(read);
  if (read != Name || Name.empty()) SourceIdentity() = kept;
  return result;
}

// ---- Transfer mechanism and files --------------------------------------------------------

void TvekTWAINIntf::SetDIBHandleType(TTwnHdlType Value) {
  FDIBHandleType = Value;
  if (Value == THDT_MEMPTR) FXferMech = TWFX_MEMORY;
}

void TvekTWAINIntf::SetXferMech(TTwnXferType Value) {
  FXferMech = Value;
  if (Value != TWFX_MEMORY && FDIBHandleType == THDT_MEMPTR) FDIBHandleType = THDT_DIBHANDLE;
}

int16_t TvekTWAINIntf::NegotiateXferMech() {
  return NegotiateXferMech(true);
}

int16_t TvekTWAINIntf::NegotiateXferMech(bool MayFallBack) {
  TTwnContainer* mech = ListedContainer(ICAP_XFERMECH);
  if (mech == nullptr) return TWRC_FAILURE;
  if (SourceProtocol() < 19 && FXferMech == TWFX_FILES2) FXferMech = TWFX_FILES;
  if (SourceProtocol() >= 19 && FXferMech == TWFX_FILES) FXferMech = TWFX_FILES2;
  int16_t result = SetUInt16Cap(ICAP_XFERMECH, FXferMech);
  if (result != TWRC_SUCCESS && FXferMech == TWFX_FILES2) {
    FXferMech = TWFX_FILES;
    result = SetUInt16Cap(ICAP_XFERMECH, FXferMech);
  }
  GetCapability(ICAP_XFERMECH, MSG_GET);
  FXferMech = static_cast<TTwnXferType>(mech->GetCurrentValue().AsInteger());
  if (FXferMech != TWFX_FILES && FXferMech != TWFX_FILES2) return result;

  TTwnFileFmts allowed = FFileFormats;
  if (FReturnHandle) allowed.Include(TWFF_BMP);
  uint8_t answer;
  do {
    SetImageFileFormat(FFileFormat);
    answer = GetImageFileFormat();
    if (answer == FFileFormat) break;
    if (allowed.Contains(static_cast<TTwnFileFmt>(answer))) {
      FFileFormat = answer;
      FFilename = MakeXferFileName(FFilename, ExtOfFileFormat(answer));
    } else {
      allowed.Exclude(static_cast<TTwnFileFmt>(FFileFormat));
      FFileFormat = 8;
      for (uint8_t f = 0; f < 8; ++f) {
        if (allowed.Contains(static_cast<TTwnFileFmt>(f))) {
          FFileFormat = f;
          break;
        }
      }
    }
  } while (FFileFormat != answer && !allowed.Empty());
  if (!allowed.Contains(static_cast<TTwnFileFmt>(FFileFormat))) FFileFormat = TTwnFileFmtUnknown;
  const std::string ext = ExtOfFileFormat(FFileFormat);
  if (!ext.empty()) {
    FFilename = MakeXferFileName(FFilename, ext);
    return result;
  }
  // No file format both sides accept: native once; a source that still reads back a file
  // transfer cannot be used.
  FXferMech = TWFX_NATIVE;
  if (MayFallBack) return NegotiateXferMech(false);
  ReportFailure(DG_CONTROL, DAT_CAPABILITY, ICAP_XFERMECH, MSG_SET, TWCC_BADVALUE);
  return TWRC_FAILURE;
}

uint16_t TvekTWAINIntf::SetupFileXfer(uint16_t Msg, std::string& Filename, uint8_t& Format) {
  if (Msg != MSG_GET && Msg != MSG_GETDEFAULT && Msg != MSG_SET && Msg != MSG_RESET)
    return TWRC_FAILURE;
  if (Msg == MSG_SET) {
    // The source must be able to write the file.
    std::FILE* probe = std::fopen(Filename.c_str(), "wb");
    if (probe == nullptr) {
      ReportFailure(DG_CONTROL, DAT_SETUPFILEXFER, 0, MSG_SET, TWCC_BADVALUE);
      return kCallRaised;
    }
    std::fclose(probe);
    std::error_code ignored;
    std::filesystem::remove(Filename, ignored);
  }
  const TTwnContainer* mech = FCapabilities.Find(ICAP_XFERMECH);
  if (SourceProtocol() >= 19 && mech != nullptr &&
      mech->GetCurrentValue().AsInteger() == TWFX_FILES2) {
    char name[1027] = {};
    std::memcpy(name, Filename.data(), std::min(Filename.size(), sizeof(name) - 1));
    TW_SETUPFILEXFER2 setup{name, TWTY_STR1024, Format, -1, 0xFFFF};
    const uint16_t result =
        CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_SETUPFILEXFER2, Msg, &setup);
    if (result == TWRC_SUCCESS && Msg != MSG_SET) {
      Format = static_cast<uint8_t>(setup.Format);
      if (setup.FileNameType == TWTY_STR1024 || setup.FileNameType == TWTY_UNI512)
        Filename = TwainFieldText(name);
    }
    return result;
  }
  TW_SETUPFILEXFER setup{};
  std::memcpy(setup.FileName, Filename.data(),
              std::min(Filename.size(), sizeof(setup.FileName) - 1));
  setup.Format = Format;
  setup.VRefNum = -1;
  const uint16_t result =
      CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_SETUPFILEXFER, Msg, &setup);
  if (result == TWRC_SUCCESS && Msg != MSG_SET) {
    Format = static_cast<uint8_t>(setup.Format);
    Filename = TwainFieldText(setup.FileName);
  }
  return result;
}

uint16_t TvekTWAINIntf::DoImageLayout(TW_IMAGELAYOUT& Layout, uint16_t Msg) {
  return CallDSM(&AppIdentity(), &SourceIdentity(), DG_IMAGE, DAT_IMAGELAYOUT, Msg, &Layout);
}

// ---- Device events -----------------------------------------------------------------------

void TvekTWAINIntf::SetDeviceEventTypes(TTwnDeviceEvents Events) {
  FDeviceEventTypes = Events;
  if (!IsSourceOpen()) return;
  if (FCapabilities.Find(CAP_DEVICEEVENT) == nullptr && Events.Empty()) return;
  TTwnContainer* container = ListedContainer(CAP_DEVICEEVENT);
  if (container == nullptr) return;
  container->SetContainerType(TWON_ARRAY);
  container->SetItemType(TWTY_UINT16);
  container->SetNumItems(0);
  for (int event = TWDE_CHECKAUTOMATICCAPTURE; event <= TWDE_POWERSAVENOTIFY; ++event) {
    if (Events.Contains(static_cast<TTwnDeviceEvent>(event))) container->AddItem(event);
  }
  SetCapability(MSG_SET, 0, container);
}

void TvekTWAINIntf::ProcessDeviceEvent() {
  TW_DEVICEEVENT event{};
  if (CallDSM(&AppIdentity(), &SourceIdentity(), DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &event) !=
      TWRC_SUCCESS) {
    return;
  }
  const std::string deviceName = TwainFieldText(event.DeviceName);
  Variant a = 0, b = 0, c = 0;
  const auto code = static_cast<TTwnDeviceEvent>(event.Event & 0xFF);
  switch (code) {
    case TWDE_CHECKAUTOMATICCAPTURE:
      a = event.AutomaticCapture;
      b = event.TimeBeforeFirstCapture;
      c = event.TimeBetweenCaptures;
      break;
    case TWDE_CHECKBATTERY:
      a = event.BatteryMinutes;
      b = event.BatteryPercentage;
      break;
    case TWDE_CHECKFLASH:
      a = event.FlashUsed2;
      break;
    case TWDE_CHECKPOWERSUPPLY:
      a = event.PowerSupply;
      break;
    case TWDE_CHECKRESOLUTION:
      a = FIX32ToFloat(event.XResolution);
      b = FIX32ToFloat(event.YResolution);
      break;
    default:
      break;
  }
  if (OnDeviceEvent) {
    OnDeviceEvent(this, code, deviceName, a, b, c);
  } else {
    // Nobody listens: the source is told to send no more.
    SetDeviceEventTypes(TTwnDeviceEvents{});
  }
}
