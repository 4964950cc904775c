#include "vekTWAIN.h"

#include <cstring>

#include "vekTWAINFix.h"
#include "vekTWAINXferFile.h"

namespace {

constexpr char kNoImageEvent[] =
    "Event \"OnImageReady\" or \"OnMemXferBuffer\" must be assigned, \r"
    "before an image acquisition can commence.";

// An identity text of at most 32 characters.
template <size_t N>
void SetIdentityText(char (&Field)[N], const std::string& Text) {
  std::memset(Field, 0, N);
  std::memcpy(Field, Text.data(), std::min<size_t>(Text.size(), 32));
}

}  // namespace

TvekTWAIN::TvekTWAIN(QObject* Owner) : TvekTWAINIntf(Owner) {}

TvekTWAIN::~TvekTWAIN() {
  CloseSource();
  CloseSourceMgr();
}

int16_t TvekTWAIN::GetCapability(uint16_t Cap, int16_t Msg, TTwnContainer*& Container) {
  if (!IsCapSupported(Cap)) return kNothingSent;
  return TvekTWAINIntf::GetCapability(Cap, Msg, Container);
}

int16_t TvekTWAIN::SetCapability(int16_t Msg, int32_t AsOneValue, TTwnContainer* Container) {
  if (Container != nullptr && !IsCapSupported(Container->Capability())) return kNothingSent;
  return TvekTWAINIntf::SetCapability(Msg, AsOneValue, Container);
}

double TvekTWAIN::GetFloatCap(uint16_t Cap) {
  TTwnContainer* container = nullptr;
  if (GetCapability(Cap, MSG_GET, container) != TWRC_SUCCESS || container == nullptr) return -1.0;
  return container->GetCurrentValue().AsDouble();
}

// ---- Sessions ----------------------------------------------------------------------------

bool TvekTWAIN::OpenSourceMgr() {
  if (!IsDSMOpen()) OpenDSM();
  return IsDSMOpen();
}

bool TvekTWAIN::CloseSourceMgr() {
  if (IsDSMOpen()) CloseDSM();
  return !IsDSMOpen();
}

bool TvekTWAIN::OpenSource(const std::string& Name) {
  if (!Name.empty()) SelectSource(Name);
  if (IsSourceOpen()) return true;
  ClearCapabilities();
  FCloseMode = 0;
  if (OpenDS() != TWRC_SUCCESS) return false;
  ReadSupportedCaps();
  ReadExtendedCaps();
  SetDeviceEventTypes(DeviceEventTypes());
  if (NegotiateXferMech() != 0) {
    // OnFailure has said why; the source is closed as far as it lets itself be.
    CloseSource();
    return false;
  }
  if (IsCapSupported(CAP_INDICATORS)) SendShowIndicators();
  if (FXferCount) SendXferCount();
  if (OnNegotiation) OnNegotiation(this);
  return IsSourceOpen();
}

bool TvekTWAIN::CloseSource() {
  DisableSource();
  if (!IsSourceOpen()) return false;
  const uint16_t result = CloseDS();
  ClearCapabilities();
  FCloseMode = 0;
  return result == TWRC_SUCCESS;
}

bool TvekTWAIN::EnableSource(bool ShowUI) {
  if (!OnImageReady && !OnMemXferBuffer) {
    CloseSource();
    CloseSourceMgr();
    throw EImageReadyError(kNoImageEvent);
  }
  if (!IsSourceEnabled()) {
    bool showUI = ShowUI;
    FCloseMode = FDisableAfterAcquire ? 1 : 3;
    EnableDS(showUI);
    SetShowUI(showUI);
  }
  return IsSourceEnabled();
}

void TvekTWAIN::DisableSource() {
  if (IsSourceEnabled()) DisableDS();
}

bool TvekTWAIN::Acquire(const std::string& Name) {
  if (!OpenSourceMgr()) return false;
  const bool ok = OpenSource(Name) && (IsSourceEnabled() || EnableSource(this->ShowUI()));
  if (!ok) {
    CloseSource();
    CloseSourceMgr();
  }
  return ok;
}

void TvekTWAIN::GetSourceNames(std::vector<std::string>& List) {
  const bool openedHere = !IsDSMOpen() && OpenSourceMgr();
  if (!IsDSMOpen()) return;
  List.clear();
  const TW_IDENTITY kept = SourceIdentity();
  // A source without a product name cannot be asked for by name: it is left out, and the
  // sources after it are listed.
  std::string name;
  for (uint16_t result = GetFirstSource(name); result == TWRC_SUCCESS;
       result = GetNextSource(name)) {
    if (!name.empty()) List.push_back(name);
  }
  SourceIdentity() = kept;
  if (openedHere) CloseSourceMgr();
}

void TvekTWAIN::GetImageLayout(TTwnImageLayout& Layout) {
  TW_IMAGELAYOUT layout{};
  if (DoImageLayout(layout, MSG_GET) != TWRC_SUCCESS) {
    Layout = TTwnImageLayout{};
    return;
  }
  Layout.Left = FIX32ToFloat(layout.Frame.Left);
  Layout.Top = FIX32ToFloat(layout.Frame.Top);
  Layout.Right = FIX32ToFloat(layout.Frame.Right);
  Layout.Bottom = FIX32ToFloat(layout.Frame.Bottom);
  Layout.DocumentNumber = static_cast<int32_t>(layout.DocumentNumber);
  Layout.PageNumber = static_cast<int32_t>(layout.PageNumber);
  Layout.FrameNumber = static_cast<int32_t>(layout.FrameNumber);
}

uint16_t TvekTWAIN::SetImageLayout(const TTwnImageLayout& Layout) {
  TW_IMAGELAYOUT layout{};
  try {
    layout.Frame.Left = FloatToFIX32(Layout.Left);
    layout.Frame.Top = FloatToFIX32(Layout.Top);
    layout.Frame.Right = FloatToFIX32(Layout.Right);
    layout.Frame.Bottom = FloatToFIX32(Layout.Bottom);
  } catch (const Exception&) {
    // A frame that FIX32 cannot hold never reaches the source.
    ReportFailure(DG_IMAGE, DAT_IMAGELAYOUT, 0, MSG_SET, TWCC_BADVALUE);
    return TWRC_FAILURE;
  }
  layout.DocumentNumber = static_cast<TW_UINT32>(Layout.DocumentNumber);
  layout.PageNumber = static_cast<TW_UINT32>(Layout.PageNumber);
  layout.FrameNumber = static_cast<TW_UINT32>(Layout.FrameNumber);
  return DoImageLayout(layout, MSG_SET);
}

bool TvekTWAIN::SetXferCount(int16_t Count) {
  FXferCount = Count;
  return IsSourceOpen() && SendXferCount();
}

bool TvekTWAIN::SendXferCount() {
  TTwnContainer* container = ListedContainer(CAP_XFERCOUNT);
  if (container == nullptr) return false;
  container->SetItemType(TWTY_UINT16);
  container->SetCurrentValue(static_cast<uint16_t>(*FXferCount));
  return SetCapability(MSG_SET, 1, container) == TWRC_SUCCESS;
}

// ---- Properties --------------------------------------------------------------------------

TvekCountry TvekTWAIN::Country() const {
  const uint16_t code = AppIdentity().Version.Country;
  for (int i = 0; i < kTvekCountryCount; ++i) {
    if (TvekCountryCodes[i] == code) return static_cast<TvekCountry>(i);
  }
  return TvekCountry::UNITEDKINGDOM;
}

void TvekTWAIN::SetCountry(TvekCountry Value) {
  AppIdentity().Version.Country = TvekCountryCodes[static_cast<size_t>(Value)];
}

TvekLanguage TvekTWAIN::Language() const {
  const int ordinal = AppIdentity().Version.Language + 1;
  return ordinal >= 0 && ordinal < kTvekLanguageCount ? static_cast<TvekLanguage>(ordinal)
                                                      : TvekLanguage::USERLOCALE;
}

void TvekTWAIN::SetLanguage(TvekLanguage Value) {
  AppIdentity().Version.Language = static_cast<TW_UINT16>(static_cast<int>(Value) - 1);
}

void TvekTWAIN::SetFileFormat(uint8_t Value) {
  if (Value == TWFF_PICT || Value == TWFF_XBM) return;
  FFileFormat = Value;
  if (!FFilename.empty()) FFilename = StripFileExt(FFilename) + "." + ExtOfFileFormat(Value);
}

void TvekTWAIN::SetFileFormats(TTwnFileFmts Value) {
  Value.Exclude(TWFF_PICT);
  Value.Exclude(TWFF_XBM);
  FFileFormats = Value;
}

void TvekTWAIN::SetFilename(const std::string& Value) {
  if (Value.empty()) {
    FFilename.clear();
    FFileFormat = TWFF_BMP;
    FReturnHandle = true;
    return;
  }
  const uint8_t format = FileFormatOfExt(Value);
  FFilename = Value;
  if (format != FFileFormat && !(format == TWFF_TIFF && FFileFormat == TWFF_TIFFMULTI))
    SetFileFormat(format);
  FFilename = MakeXferFileName(FFilename, ExtOfFileFormat(format));
}

std::string TvekTWAIN::Manufacturer() const {
  return TwainFieldText(AppIdentity().Manufacturer);
}

void TvekTWAIN::SetManufacturer(const std::string& Value) {
  SetIdentityText(AppIdentity().Manufacturer, Value);
}

std::string TvekTWAIN::ProductFamily() const {
  return TwainFieldText(AppIdentity().ProductFamily);
}

void TvekTWAIN::SetProductFamily(const std::string& Value) {
  SetIdentityText(AppIdentity().ProductFamily, Value);
}

std::string TvekTWAIN::ProductName() const {
  return TwainFieldText(AppIdentity().ProductName);
}

void TvekTWAIN::SetProductName(const std::string& Value) {
  SetIdentityText(AppIdentity().ProductName, Value);
}

std::string TvekTWAIN::DefaultSource() {
  if (IsSourceOpen()) return "";
  std::string name;
  GetDefaultSource(name);
  return name;
}
