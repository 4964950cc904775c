// TFormSource: the unit conversion of the resolution capabilities.
#include "uDSUserInterface.h"
#include "vekTWAINContainer.h"

namespace {

// The number of the unit per inch, for the units 0 to 4; 0 for any other unit.
double PerInch(int32_t Unit) {
  switch (Unit) {
    case TWUN_INCHES:
      return 1;
    case TWUN_CENTIMETERS:
      return 2.54;
    case TWUN_PICAS:
      return 6;
    case TWUN_POINTS:
      return 72;
    case TWUN_TWIPS:
      return 1440;
    default:
      return 0;
  }
}

}  // namespace

double TFormSource::ConvertValue(double Value, int32_t OldUnit, int32_t NewUnit) {
  if (NewUnit == TWUN_PIXELS) return 1;
  const double from = PerInch(OldUnit), to = PerInch(NewUnit);
  if (from == 0 || to == 0) return Value;
  // Through hundredths of a centimetre.
  const double hundredths = Value * 100 * from / 2.54;
  return hundredths * 2.54 / (100 * to);
}

void TFormSource::ConvertUnits(int32_t OldUnit, int32_t NewUnit, TTwnContainerList& List,
                               uint16_t Cap) {
  TTwnContainer* container = List.Find(Cap);
  if (container == nullptr) return;
  if (OldUnit == TWUN_PIXELS) {
    if (OnInitCapability) OnInitCapability(List, Cap);
    return;
  }
  auto convert = [&](const Variant& Value) {
    return Variant(ConvertValue(Value.AsDouble(), OldUnit, NewUnit));
  };
  switch (container->ContainerType()) {
    case TWON_ENUMERATION:
      for (int i = 0; i < container->GetNumItems(); ++i) {
        Variant value;
        container->GetItem(i, value);
        container->SetItem(i, convert(value));
      }
      break;
    case TWON_ONEVALUE:
      container->SetCurrentValue(convert(container->GetCurrentValue()));
      break;
    case TWON_RANGE: {
      const double step = container->GetStepSize().AsDouble();
      auto snapped = [&](const Variant& Value) {
        const double v = convert(Value).AsDouble();
        return step > 0 ? Variant(Round(v / step) * step) : Variant(v);
      };
      container->SetCurrentValue(snapped(container->GetCurrentValue()));
      container->SetDefaultValue(snapped(container->GetDefaultValue()));
      container->SetMaxValue(snapped(container->GetMaxValue()));
      break;
    }
    default:
      break;
  }
}
