#include <cstring>

#include "globalmem.h"
#include "vekTWAINCapMem.h"
#include "vekTWAINDSLayer.h"

namespace {

enum class TMerge { Accepted, Coerced, Refused };

bool IsKnownKind(TW_UINT16 Kind) {
  return Kind == TWON_ARRAY || Kind == TWON_ENUMERATION || Kind == TWON_ONEVALUE ||
         Kind == TWON_RANGE;
}

bool IsListCapability(TW_UINT16 Cap) {
  return Cap == CAP_SUPPORTEDCAPS || Cap == CAP_EXTENDEDCAPS;
}

// TWAIN memory of the block as a container of Kind, in a new movable block; nullptr when the
// block does not hold what it says or no memory can be had.
TW_HANDLE TwainContainer(TW_UINT16 Kind, const TTwnBlock& Block) {
  size_t size = TwainContainerSize(Kind, Block);
  if (size == 0) return nullptr;
  win32::HGLOBAL handle = win32::GlobalAlloc(win32::GHND, size);
  auto* memory = static_cast<uint8_t*>(win32::GlobalLock(handle));
  if (memory == nullptr) {
    win32::GlobalFree(handle);
    return nullptr;
  }
  TwainContainerOfBlock(Kind, Block, memory);
  win32::GlobalUnlock(handle);
  return handle;
}

// Value kept within Listed's minimum and maximum (the smallest and largest item of an
// enumeration); true when it had to be moved.
bool Clamp(const TTwnContainer& Listed, Variant& Value) {
  if (Value < Listed.GetMinValue()) {
    Value = Listed.GetMinValue();
    return true;
  }
  if (Value > Listed.GetMaxValue()) {
    Value = Listed.GetMaxValue();
    return true;
  }
  return false;
}

// The request's current value, clamped, becomes Listed's (an enumeration takes it only when
// it lists it; a range snaps it to its step).
bool ClampCurrent(TTwnContainer& Listed, const TTwnContainer& Request) {
  Variant value = Request.GetCurrentValue();
  const bool coerced = Clamp(Listed, value);
  Listed.SetCurrentValue(value);
  return coerced;
}

// A requested bound of a range, clamped, becomes Listed's.
bool ClampBound(TTwnContainer& Listed, Variant Bound, bool Minimum) {
  const bool coerced = Clamp(Listed, Bound);
  if (Minimum)
    Listed.SetMinValue(Bound);
  else
    Listed.SetMaxValue(Bound);
  return coerced;
}

TMerge Outcome(bool Coerced) {
  return Coerced ? TMerge::Coerced : TMerge::Accepted;
}

// The request merged into the listed container, by the listed kind and the request's kind.
TMerge MergeCapability(TTwnContainer& Listed, const TTwnContainer& Request) {
  const TW_UINT16 kind = Request.ContainerType();
  switch (Listed.ContainerType()) {
    case TWON_ARRAY:
      if (kind != TWON_ARRAY) return TMerge::Refused;
      if (Listed.Capability() == CAP_DEVICEEVENT) {
        Listed.SetNumItems(Request.GetNumItems());
        for (int i = 0; i < Request.GetNumItems(); ++i) {
          Variant item;
          Request.GetItem(i, item);
          Listed.SetItem(i, item);
        }
      }
      return TMerge::Accepted;
    case TWON_ENUMERATION:
      if (kind == TWON_ARRAY) return TMerge::Coerced;
      if (kind == TWON_RANGE) return Outcome(ClampCurrent(Listed, Request));
      if (kind == TWON_ONEVALUE) {
        Listed.SetCurrentValue(Request.GetCurrentValue());
        return TMerge::Accepted;
      }
      {
        int current = Listed.IndexOf(Request.GetCurrentValue());
        if (current < 0) return TMerge::Coerced;
        Listed.SetCurrentIndex(current);
        int fallback = Listed.IndexOf(Request.GetDefaultValue());
        if (fallback < 0) return TMerge::Coerced;
        Listed.SetDefaultIndex(fallback);
      }
      return TMerge::Accepted;
    case TWON_ONEVALUE:
      if (kind == TWON_ARRAY) return TMerge::Coerced;
      Listed.SetCurrentValue(Request.GetCurrentValue());
      return TMerge::Accepted;
    case TWON_RANGE:
      if (kind == TWON_ARRAY) return TMerge::Coerced;
      if (kind == TWON_ONEVALUE) {
        Listed.SetCurrentValue(Request.GetCurrentValue());
        return TMerge::Accepted;
      }
      if (ClampCurrent(Listed, Request)) return TMerge::Coerced;
      if (kind == TWON_RANGE) {
        if (ClampBound(Listed, Request.GetMinValue(), true)) return TMerge::Coerced;
        if (ClampBound(Listed, Request.GetMaxValue(), false)) return TMerge::Coerced;
      }
      return TMerge::Accepted;
    default:
      return TMerge::Refused;
  }
}

}  // namespace

TW_UINT16 TTWAINSource::Capability(TW_UINT16 MSG, TW_CAPABILITY& Cap) {
  bool coerced = false;
  FConditionCode = CapabilityCondition(MSG, Cap, coerced);
  if (FConditionCode != TWCC_SUCCESS) return TWRC_FAILURE;
  return coerced ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

TW_UINT16 TTWAINSource::CapabilityCondition(TW_UINT16 MSG, TW_CAPABILITY& Cap, bool& Coerced) {
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
      return GetCapabilityReply(MSG, Cap);
    case MSG_QUERYSUPPORT: {
      TTwnContainer* container = FCapabilities.Find(Cap.Cap);
      if (container == nullptr) return TWCC_BADCAP;
      return FillOneValue(Cap, TWTY_INT32, container->SupportedOps());
    }
    case MSG_RESET: {
      TW_UINT16 condition = InitCapability(Cap.Cap);
      if (condition == TWCC_SUCCESS) condition = ApplyCapability(Cap.Cap);
      return condition == TWCC_SUCCESS ? GetCapabilityReply(MSG_GET, Cap) : condition;
    }
    case MSG_SET:
      if (FState >= 500 && !IsExtendedCap(Cap.Cap)) return TWCC_SEQERROR;
      return SetCapabilityRequest(Cap, Coerced);
    default:
      return TWCC_BADPROTOCOL;
  }
}

// An array capability answers its array to every reading: one item of a list says nothing.
TW_UINT16 TTWAINSource::GetCapabilityReply(TW_UINT16 MSG, TW_CAPABILITY& Cap) {
  TTwnContainer* container = FCapabilities.Find(Cap.Cap);
  if (container == nullptr) return TWCC_CAPUNSUPPORTED;
  TW_UINT16 kind = container->ContainerType();
  if (IsKnownKind(Cap.ConType)) {
    if (Cap.ConType == TWON_ONEVALUE) kind = TWON_ONEVALUE;
    if (IsListCapability(Cap.Cap)) kind = TWON_ARRAY;
  }
  if (MSG == MSG_GETCURRENT || MSG == MSG_GETDEFAULT) kind = TWON_ONEVALUE;
  if (container->ContainerType() == TWON_ARRAY) kind = TWON_ARRAY;
  if (!IsKnownKind(kind)) return TWCC_BUMMER;

  TTwnBlock block;
  if (kind == TWON_ONEVALUE && MSG == MSG_GETDEFAULT) {
    TTwnContainer fallback;
    fallback.Assign(*container);
    fallback.SetCurrentValue(container->GetDefaultValue());
    block = *fallback.GetContainerData(true);
  } else if (const TTwnBlock* data = container->GetContainerData(kind == TWON_ONEVALUE)) {
    block = *data;
  }
  TW_HANDLE handle = TwainContainer(kind, block);
  if (handle == nullptr) return TWCC_LOWMEMORY;
  Cap.ConType = kind;
  Cap.hContainer = handle;
  return TWCC_SUCCESS;
}

TW_UINT16 TTWAINSource::FillOneValue(TW_CAPABILITY& Cap, TW_UINT16 ItemType, int32_t Value) {
  TTwnContainer one;
  one.SetItemType(ItemType);
  one.SetCurrentValue(Value);
  TW_HANDLE handle = TwainContainer(TWON_ONEVALUE, *one.GetContainerData(true));
  if (handle == nullptr) return TWCC_LOWMEMORY;
  Cap.ConType = TWON_ONEVALUE;
  Cap.hContainer = handle;
  return TWCC_SUCCESS;
}

// The application's container is read within the size of its block; what it says beyond
// that, or an item type without a TWAIN size, refuses the request. The request is merged into
// a copy of the listed container, so a refusal, or a value that cannot be compared with the
// listed ones, leaves the listed container as it was.
TW_UINT16 TTWAINSource::SetCapabilityRequest(TW_CAPABILITY& Cap, bool& Coerced) {
  TTwnContainer* listed = FCapabilities.Find(Cap.Cap);
  if (listed == nullptr) return TWCC_CAPUNSUPPORTED;
  if ((listed->SupportedOps() & TWQC_SET) == 0) return TWCC_CAPBADOPERATION;
  if (!IsKnownKind(Cap.ConType)) return TWCC_BUMMER;

  const auto* memory = static_cast<const uint8_t*>(win32::GlobalLock(Cap.hContainer));
  if (memory == nullptr) return TWCC_BADVALUE;
  TTwnBlock block = BlockOfTwainContainer(Cap.ConType, memory, win32::GlobalSize(Cap.hContainer));
  win32::GlobalUnlock(Cap.hContainer);
  if (block.empty()) return TWCC_BADVALUE;

  TTwnsContainer request;
  TTwnsContainer merged;
  TMerge outcome;
  try {
    request.SetContainer(Cap.Cap, Cap.ConType, std::move(block));
    merged.Assign(*listed);
    outcome = MergeCapability(merged, request);
  } catch (const Exception&) {
    return TWCC_BADVALUE;
  }
  if (outcome == TMerge::Refused) return TWCC_CAPUNSUPPORTED;
  listed->Assign(merged);
  ApplyCapability(Cap.Cap);
  Coerced = outcome == TMerge::Coerced;
  return TWCC_SUCCESS;
}

TW_UINT16 TTWAINSource::Status(TW_UINT16 MSG, TW_STATUS& Status) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  Status.ConditionCode = FConditionCode;
  Status.Reserved = 0;
  FConditionCode = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}
