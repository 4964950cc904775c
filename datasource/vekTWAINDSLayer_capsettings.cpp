#include <algorithm>
#include <array>

#include "rounding.h"
#include "vekTWAINDSLayer.h"

namespace {

// The capabilities the data source offers, in the order CAP_SUPPORTEDCAPS lists them.
constexpr std::array<TW_UINT16, 26> kSupportedCaps = {
    CAP_AUTHOR,          CAP_INDICATORS,     CAP_UICONTROLLABLE,   CAP_XFERCOUNT,
    CAP_DEVICEEVENT,     ICAP_XFERMECH,      ICAP_IMAGEFILEFORMAT, ICAP_PIXELTYPE,
    ICAP_PLANARCHUNKY,   ICAP_BITDEPTH,      ICAP_BITORDER,        ICAP_COMPRESSION,
    ICAP_HALFTONES,      ICAP_BRIGHTNESS,    ICAP_CONTRAST,        ICAP_UNITS,
    ICAP_XRESOLUTION,    ICAP_XSCALING,      ICAP_YRESOLUTION,     ICAP_YSCALING,
    ICAP_PHYSICALHEIGHT, ICAP_PHYSICALWIDTH, CAP_FEEDERENABLED,    CAP_DUPLEXENABLED,
    CAP_DUPLEX,          ICAP_AUTOBRIGHT};

// Those an application may still set once the source is enabled.
bool IsExtendedCandidate(TW_UINT16 Cap) {
  return Cap != CAP_AUTHOR && Cap != CAP_INDICATORS && Cap != CAP_UICONTROLLABLE &&
         Cap != ICAP_PHYSICALHEIGHT && Cap != ICAP_PHYSICALWIDTH;
}

constexpr int32_t kAllOps = -1;
constexpr int32_t kMaxFrameEdge = 32767;

int32_t Clamped(double Value, int32_t Low, int32_t High) {
  return std::clamp(Round(Value), Low, High);
}

int32_t BitDepthOf(int32_t PixelType) {
  return PixelType == TWPT_RGB ? 24 : PixelType == TWPT_GRAY ? 8 : 1;
}

void SetRange(TTwnContainer& C, double Min, double Max, double Default, double Current) {
  C.SetMinValue(Min);
  C.SetMaxValue(Max);
  static_cast<TTwnsContainer&>(C).SetStepSize(1);
  C.SetDefaultValue(Default);
  C.SetCurrentValue(Current);
}

template <class T, size_t N>
void SetItems(TTwnContainer& C, const std::array<T, N>& Items) {
  C.SetNumItems(N);
  for (size_t i = 0; i < N; ++i) C.SetItem(static_cast<int>(i), Items[i]);
  C.SetDefaultIndex(0);
  C.SetCurrentIndex(0);
}

}  // namespace

void TTWAINSource::BuildCapabilities() {
  TTwnContainer* supported = NewCapability(CAP_SUPPORTEDCAPS, TWON_ARRAY, TWQC_GET);
  supported->SetNumItems(kSupportedCaps.size());
  for (size_t i = 0; i < kSupportedCaps.size(); ++i)
    supported->SetItem(static_cast<int>(i), kSupportedCaps[i]);
  for (TW_UINT16 cap : kSupportedCaps) FCapabilities.Add(cap);
  for (TW_UINT16 cap : kSupportedCaps) InitCapability(cap);
  TTwnContainer* extended = NewCapability(CAP_EXTENDEDCAPS, TWON_ARRAY, TWQC_GET);
  extended->SetNumItems(0);
  for (TW_UINT16 cap : kSupportedCaps)
    if (IsExtendedCandidate(cap)) extended->AddItem(cap);
}

// A container of the capability's item type and the kind, listed in place of an earlier one.
TTwnContainer* TTWAINSource::NewCapability(TW_UINT16 Cap, TW_UINT16 Kind, int32_t Ops) {
  auto container = std::make_unique<TTwnsContainer>();
  container->SetCapability(Cap);
  container->SetContainerType(Kind);
  container->SetNumItems(0);
  container->SetSupportedOps(Ops);
  TTwnContainer* listed = container.get();
  FCapabilities.AddContainer(Cap, std::move(container));
  return listed;
}

bool TTWAINSource::IsExtendedCap(TW_UINT16 Cap) const {
  const TTwnContainer* extended = FCapabilities.Find(CAP_EXTENDEDCAPS);
  return extended != nullptr && extended->IndexOf(Variant(Cap)) >= 0;
}

TW_UINT16 TTWAINSource::InitCapability(TW_UINT16 Cap) {
  if (!FForm || FCapabilities.Find(Cap) == nullptr) return TWCC_BADCAP;
  TScanRequest& request = FForm->Request();
  TTwnContainer* c = nullptr;
  switch (Cap) {
    case CAP_XFERCOUNT:
      request.ImageCount = -1;
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(-1);
      break;
    case ICAP_COMPRESSION:
      NewCapability(Cap, TWON_ONEVALUE, TWQC_GET)->SetCurrentValue(TWCP_NONE);
      break;
    case ICAP_PIXELTYPE:
      c = NewCapability(Cap, TWON_ENUMERATION, kAllOps);
      SetItems(*c, std::array<TW_UINT16, 3>{TWPT_BW, TWPT_GRAY, TWPT_RGB});
      c->SetCurrentIndex(request.PixelType);
      break;
    case ICAP_UNITS:
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps), std::array<TW_UINT16, 1>{0});
      FForm->SetUnits(TWUN_INCHES);
      break;
    case ICAP_XFERMECH:
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps),
               std::array<TW_UINT16, 3>{TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY});
      FForm->SetXferMech(TWSX_NATIVE);
      break;
    case CAP_AUTHOR:
      NewCapability(Cap, TWON_ONEVALUE, TWQC_GET)->SetCurrentValue("Dovantic Technologies SpA");
      break;
    case CAP_FEEDERENABLED:
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(request.ADF != 0);
      break;
    case CAP_INDICATORS:
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(false);
      break;
    case CAP_UICONTROLLABLE:
      NewCapability(Cap, TWON_ONEVALUE, TWQC_GET)->SetCurrentValue(true);
      break;
    case CAP_DUPLEX:
      NewCapability(Cap, TWON_ONEVALUE, TWQC_GET)->SetCurrentValue(TWDX_1PASSDUPLEX);
      break;
    case CAP_DUPLEXENABLED:
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(request.Duplex != 0);
      break;
    case CAP_DEVICEEVENT:
      NewCapability(Cap, TWON_ARRAY, kAllOps);
      break;
    case ICAP_AUTOBRIGHT:
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(request.AutoBrightness != 0);
      break;
    case ICAP_BRIGHTNESS:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), -1000, 1000, 0, request.Brightness);
      break;
    case ICAP_CONTRAST:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), -1000, 1000, 0, request.Contrast);
      break;
    case ICAP_HALFTONES:
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps),
               std::array<const char*, 4>{"Auto Threshold", "Dyn. Threshold 1", "Dyn. Threshold 2",
                                          "Dyn. Threshold 3"});
      break;
    case ICAP_IMAGEFILEFORMAT:
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps),
               std::array<TW_UINT16, 1>{TW_UINT16{TWFF_BMP}});
      break;
    case ICAP_PHYSICALWIDTH:
      InitPhysicalSize(Cap, request.XResolution);
      break;
    case ICAP_PHYSICALHEIGHT:
      InitPhysicalSize(Cap, request.YResolution);
      break;
    case ICAP_XRESOLUTION:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), 75, 1200, request.XResolution,
               request.XResolution);
      break;
    case ICAP_YRESOLUTION:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), 75, 1200, request.YResolution,
               request.YResolution);
      break;
    case ICAP_BITORDER:
      NewCapability(Cap, TWON_ONEVALUE, kAllOps)->SetCurrentValue(TWBO_MSBFIRST);
      break;
    case ICAP_PLANARCHUNKY:
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps),
               std::array<TW_UINT16, 1>{TWPC_CHUNKY});
      break;
    case ICAP_XSCALING:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), 1, 100, 100, 100);
      request.XScaling = 100;
      break;
    case ICAP_YSCALING:
      SetRange(*NewCapability(Cap, TWON_RANGE, kAllOps), 1, 100, 100, 100);
      request.YScaling = 100;
      break;
    case ICAP_BITDEPTH:
      request.BitDepth = BitDepthOf(request.PixelType);
      SetItems(*NewCapability(Cap, TWON_ENUMERATION, kAllOps),
               std::array<TW_UINT16, 1>{static_cast<TW_UINT16>(request.BitDepth)});
      break;
    default:
      return TWCC_BADCAP;
  }
  FForm->ControlsFromSettings();
  return TWCC_SUCCESS;
}

// The largest frame edge in the current unit: in inches for the units of length, in pixels
// for points and pixels; twips leave the value as it was.
void TTWAINSource::InitPhysicalSize(TW_UINT16 Cap, int32_t Resolution) {
  int32_t units = FForm->Units();
  TTwnContainer* previous = FCapabilities.Find(Cap);
  Variant kept = previous != nullptr ? previous->GetCurrentValue() : Variant(0);
  TTwnContainer* c = NewCapability(Cap, TWON_ONEVALUE, TWQC_GET);
  if (units == TWUN_TWIPS)
    c->SetCurrentValue(kept);
  else if (units == TWUN_POINTS || units == TWUN_PIXELS)
    c->SetCurrentValue(kMaxFrameEdge);
  else
    c->SetCurrentValue(static_cast<double>(kMaxFrameEdge) / Resolution);
}

TW_UINT16 TTWAINSource::ApplyCapability(TW_UINT16 Cap) {
  TTwnContainer* c = FForm ? FCapabilities.Find(Cap) : nullptr;
  if (c == nullptr) return TWCC_BADCAP;
  TScanRequest& request = FForm->Request();
  const Variant value = c->GetCurrentValue();
  switch (Cap) {
    case CAP_XFERCOUNT:
      request.ImageCount = value.AsInteger() == 0 ? -1 : static_cast<int32_t>(value.AsInteger());
      break;
    case ICAP_PIXELTYPE:
      request.PixelType = static_cast<int32_t>(value.AsInteger());
      InitCapability(ICAP_BITDEPTH);
      break;
    case ICAP_UNITS: {
      const int32_t unit = static_cast<int32_t>(value.AsInteger());
      const int32_t old = FForm->Units();
      if (unit != old) {
        FForm->SetUnits(unit);
        ConvertUnits(old, unit, ICAP_XRESOLUTION);
        ApplyCapability(ICAP_XRESOLUTION);
        ConvertUnits(old, unit, ICAP_YRESOLUTION);
        ApplyCapability(ICAP_YRESOLUTION);
        InitCapability(ICAP_PHYSICALWIDTH);
        InitCapability(ICAP_PHYSICALHEIGHT);
      }
      break;
    }
    case ICAP_XFERMECH:
      FForm->SetXferMech(static_cast<int32_t>(value.AsInteger()));
      InitCapability(ICAP_IMAGEFILEFORMAT);
      break;
    case CAP_FEEDERENABLED:
      request.ADF = value.AsBoolean() ? 1 : 0;
      break;
    case CAP_DUPLEXENABLED:
      request.Duplex = value.AsBoolean() ? 1 : 0;
      break;
    case ICAP_AUTOBRIGHT:
      request.AutoBrightness = value.AsBoolean() ? 1 : 0;
      break;
    case CAP_INDICATORS:
      FForm->SetIndicators(value.AsBoolean());
      break;
    case ICAP_BRIGHTNESS:
      request.Brightness = Clamped(value.AsDouble(), -1000, 1000);
      break;
    case ICAP_CONTRAST:
      request.Contrast = Clamped(value.AsDouble(), -1000, 1000);
      break;
    case ICAP_XRESOLUTION:
      request.XResolution = Round(value.AsDouble());
      InitCapability(ICAP_PHYSICALWIDTH);
      break;
    case ICAP_YRESOLUTION:
      request.YResolution = Round(value.AsDouble());
      InitCapability(ICAP_PHYSICALHEIGHT);
      break;
    case ICAP_XSCALING:
      request.XScaling = Round(value.AsDouble());
      break;
    case ICAP_YSCALING:
      request.YScaling = Round(value.AsDouble());
      break;
    case ICAP_COMPRESSION:
    case CAP_AUTHOR:
    case CAP_UICONTROLLABLE:
    case CAP_DEVICEEVENT:
    case ICAP_HALFTONES:
    case ICAP_IMAGEFILEFORMAT:
    case ICAP_BITORDER:
    case ICAP_PLANARCHUNKY:
    case ICAP_BITDEPTH:
      break;
    default:
      return TWCC_BADCAP;
  }
  FForm->ControlsFromSettings();
  return TWCC_SUCCESS;
}

// A resolution capability's values from dots per old unit to dots per new unit; from pixels
// the container is built again from the settings.
void TTWAINSource::ConvertUnits(int32_t OldUnit, int32_t NewUnit, TW_UINT16 Cap) {
  if (OldUnit == TWUN_PIXELS)
    InitCapability(Cap);
  else
    FForm->ConvertUnits(OldUnit, NewUnit, FCapabilities, Cap);
}
