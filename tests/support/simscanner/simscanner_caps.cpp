// The simulated scanner's capabilities: the ones a scanning application negotiates, answered
// in TWAIN's container layouts (items packed at their type size).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "simscanner_source.h"

namespace {

size_t ItemSize(TW_UINT16 Type) {
  switch (Type) {
    case TWTY_INT8:
    case TWTY_UINT8:
      return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
      return 2;
    default:
      return 4;
  }
}

bool IsNumberType(TW_UINT16 Type) {
  return Type <= TWTY_FIX32;
}

TW_UINT32 ReadItem(TW_UINT16 Type, const uint8_t* At) {
  switch (ItemSize(Type)) {
    case 1:
      return Type == TWTY_INT8 ? static_cast<TW_UINT32>(static_cast<int8_t>(*At)) : *At;
    case 2: {
      uint16_t v;
      std::memcpy(&v, At, 2);
      return Type == TWTY_INT16 ? static_cast<TW_UINT32>(static_cast<int16_t>(v)) : v;
    }
    default: {
      TW_UINT32 v;
      std::memcpy(&v, At, 4);
      return v;
    }
  }
}

void WriteItem(TW_UINT16 Type, uint8_t* At, TW_UINT32 Raw) {
  std::memcpy(At, &Raw, ItemSize(Type));
}

double FixValue(TW_UINT32 Raw) {
  TW_FIX32 f;
  std::memcpy(&f, &Raw, 4);
  return f.Whole + f.Frac / 65536.0;
}

TW_UINT32 FixBits(double x) {
  auto n = static_cast<int32_t>(std::lround(x * 65536));
  TW_FIX32 f{static_cast<TW_INT16>(n >> 16), static_cast<TW_UINT16>(n & 0xFFFF)};
  TW_UINT32 raw;
  std::memcpy(&raw, &f, 4);
  return raw;
}

double ToNumber(TW_UINT16 Type, TW_UINT32 Raw) {
  switch (Type) {
    case TWTY_FIX32:
      return FixValue(Raw);
    case TWTY_INT8:
      return static_cast<int8_t>(Raw);
    case TWTY_INT16:
      return static_cast<int16_t>(Raw);
    case TWTY_INT32:
      return static_cast<int32_t>(Raw);
    default:
      return Raw;
  }
}

TW_UINT32 FromNumber(TW_UINT16 Type, double x) {
  if (Type == TWTY_FIX32) return FixBits(x);
  return static_cast<TW_UINT32>(static_cast<int64_t>(std::llround(x)));
}

TSimCap Enumeration(TW_UINT16 Cap, std::vector<TW_UINT32> Items, TW_UINT32 Current = 0) {
  TSimCap c;
  c.Cap = Cap;
  c.Kind = TWON_ENUMERATION;
  c.Items = std::move(Items);
  c.Current = c.Default = Current;
  return c;
}

TSimCap OneValue(TW_UINT16 Cap, TW_UINT16 Type, TW_UINT32 Value, bool Settable = true) {
  TSimCap c;
  c.Cap = Cap;
  c.ItemType = Type;
  c.Current = c.Default = Value;
  c.Settable = Settable;
  return c;
}

TSimCap FixRange(TW_UINT16 Cap, double Min, double Max, double Default) {
  TSimCap c;
  c.Cap = Cap;
  c.ItemType = TWTY_FIX32;
  c.Kind = TWON_RANGE;
  c.Min = FixBits(Min);
  c.Max = FixBits(Max);
  c.Step = FixBits(1);
  c.Current = c.Default = FixBits(Default);
  return c;
}

TSimCap Array(TW_UINT16 Cap, bool Settable) {
  TSimCap c;
  c.Cap = Cap;
  c.Kind = TWON_ARRAY;
  c.Settable = Settable;
  return c;
}

std::vector<TW_UINT32> DepthsOf(TW_UINT32 PixelType) {
  return {PixelType == TWPT_BW ? 1u : PixelType == TWPT_GRAY ? 8u : 24u};
}

// A new movable block holding Bytes, or 0.
TW_HANDLE NewContainer(const TSimMemory& Blocks, size_t Bytes, uint8_t*& Memory) {
  TW_HANDLE block = Blocks.Allocate(Bytes);
  Memory = static_cast<uint8_t*>(Blocks.Lock(block));
  if (Memory == nullptr && block != nullptr) Blocks.Free(block);
  return Memory != nullptr ? block : nullptr;
}

// The container for an answer: the whole capability, or one value of it.
TW_HANDLE Container(const TSimMemory& Blocks, const TSimCap& Cap, TW_UINT16 Kind, TW_UINT32 Value) {
  uint8_t* m = nullptr;
  TW_HANDLE block = nullptr;
  size_t size = ItemSize(Cap.ItemType);
  auto items = static_cast<TW_UINT32>(Cap.Items.size());
  switch (Kind) {
    case TWON_ONEVALUE:
      if ((block = NewContainer(Blocks, sizeof(TW_ONEVALUE), m)) == nullptr) return nullptr;
      WriteItem(Cap.ItemType, m + offsetof(TW_ONEVALUE, Item), Value);
      break;
    case TWON_RANGE: {
      if ((block = NewContainer(Blocks, sizeof(TW_RANGE), m)) == nullptr) return nullptr;
      TW_RANGE range{Cap.ItemType, Cap.Min, Cap.Max, Cap.Step, Cap.Default, Cap.Current};
      std::memcpy(m, &range, sizeof range);
      break;
    }
    case TWON_ENUMERATION:
      if ((block = NewContainer(Blocks, offsetof(TW_ENUMERATION, ItemList) + items * size, m)) ==
          nullptr)
        return nullptr;
      std::memcpy(m + offsetof(TW_ENUMERATION, NumItems), &items, 4);
      std::memcpy(m + offsetof(TW_ENUMERATION, CurrentIndex), &Cap.Current, 4);
      std::memcpy(m + offsetof(TW_ENUMERATION, DefaultIndex), &Cap.Default, 4);
      for (TW_UINT32 i = 0; i < items; ++i)
        WriteItem(Cap.ItemType, m + offsetof(TW_ENUMERATION, ItemList) + i * size, Cap.Items[i]);
      break;
    default:  // TWON_ARRAY
      if ((block = NewContainer(Blocks, offsetof(TW_ARRAY, ItemList) + items * size, m)) == nullptr)
        return nullptr;
      std::memcpy(m + offsetof(TW_ARRAY, NumItems), &items, 4);
      for (TW_UINT32 i = 0; i < items; ++i)
        WriteItem(Cap.ItemType, m + offsetof(TW_ARRAY, ItemList) + i * size, Cap.Items[i]);
      break;
  }
  std::memcpy(m, &Cap.ItemType, 2);
  Blocks.Unlock(block);
  return block;
}

// The request's items, read from its container with every size checked against the block.
struct TRequest {
  TW_UINT16 ItemType = 0;
  std::vector<TW_UINT32> Items;  // an array's items, or the one value asked for
  bool Valid = false;
};

// A block whose allocator tells no size is taken at its word up to this many bytes.
constexpr size_t kUntoldBlockSize = 4096;

TRequest ReadRequest(const TSimMemory& Blocks, const TW_CAPABILITY& Capability) {
  TRequest request;
  auto* m = static_cast<const uint8_t*>(Blocks.Lock(Capability.hContainer));
  if (m == nullptr) return request;
  size_t block = Blocks.Size(Capability.hContainer, kUntoldBlockSize);
  auto u32 = [&](size_t at) {
    TW_UINT32 v;
    std::memcpy(&v, m + at, 4);
    return v;
  };
  if (block >= 2) std::memcpy(&request.ItemType, m, 2);
  size_t size = ItemSize(request.ItemType);
  bool number = IsNumberType(request.ItemType);
  switch (Capability.ConType) {
    case TWON_ONEVALUE:
      if (number && block >= 2 + size) request.Items.push_back(ReadItem(request.ItemType, m + 2));
      break;
    case TWON_RANGE:
      if (number && block >= sizeof(TW_RANGE))
        request.Items.push_back(u32(offsetof(TW_RANGE, CurrentValue)));
      break;
    case TWON_ENUMERATION: {
      constexpr size_t first = offsetof(TW_ENUMERATION, ItemList);
      if (!number || block < first) break;
      TW_UINT32 n = u32(offsetof(TW_ENUMERATION, NumItems));
      TW_UINT32 current = u32(offsetof(TW_ENUMERATION, CurrentIndex));
      if (current < n && n <= (block - first) / size)
        request.Items.push_back(ReadItem(request.ItemType, m + first + current * size));
      break;
    }
    case TWON_ARRAY: {
      constexpr size_t first = offsetof(TW_ARRAY, ItemList);
      if (!number || block < first) break;
      TW_UINT32 n = u32(offsetof(TW_ARRAY, NumItems));
      if (n > (block - first) / size) break;
      for (TW_UINT32 i = 0; i < n; ++i)
        request.Items.push_back(ReadItem(request.ItemType, m + first + i * size));
      request.Valid = true;
      break;
    }
  }
  if (Capability.ConType != TWON_ARRAY) request.Valid = request.Items.size() == 1;
  Blocks.Unlock(Capability.hContainer);
  return request;
}

}  // namespace

void TSimScanner::BuildCapabilities() {
  FCaps = {
      OneValue(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT32>(-1)),
      Enumeration(ICAP_XFERMECH, {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}),
      Enumeration(ICAP_PIXELTYPE, {TWPT_BW, TWPT_GRAY, TWPT_RGB}, 1),
      Enumeration(ICAP_BITDEPTH, DepthsOf(TWPT_GRAY)),
      Enumeration(ICAP_BITDEPTHREDUCTION, {TWBR_THRESHOLD, TWBR_DIFFUSION}),
      OneValue(CAP_FEEDERENABLED, TWTY_BOOL, 1),
      OneValue(CAP_DUPLEXENABLED, TWTY_BOOL, 0),
      OneValue(CAP_DUPLEX, TWTY_UINT16, TWDX_1PASSDUPLEX, false),
      Enumeration(ICAP_BITORDER, {TWBO_LSBFIRST, TWBO_MSBFIRST}, 1),
      Enumeration(ICAP_PIXELFLAVOR, {TWPF_CHOCOLATE}),
      Enumeration(ICAP_PLANARCHUNKY, {TWPC_CHUNKY}),
      Enumeration(ICAP_UNITS, {TWUN_INCHES}),
      FixRange(ICAP_XRESOLUTION, 50, 600, 100),
      FixRange(ICAP_YRESOLUTION, 50, 600, 100),
      FixRange(ICAP_CONTRAST, -1000, 1000, 0),
      FixRange(ICAP_BRIGHTNESS, -1000, 1000, 0),
      OneValue(ICAP_AUTOBRIGHT, TWTY_BOOL, 0),
      FixRange(ICAP_THRESHOLD, 0, 255, 128),
      OneValue(ICAP_PHYSICALWIDTH, TWTY_FIX32, FixBits(8.5), false),
      OneValue(ICAP_PHYSICALHEIGHT, TWTY_FIX32, FixBits(14), false),
      Enumeration(ICAP_IMAGEFILEFORMAT, {TWFF_BMP}),
      OneValue(CAP_INDICATORS, TWTY_BOOL, 1),
      OneValue(CAP_UICONTROLLABLE, TWTY_BOOL, 1, false),
      Array(CAP_DEVICEEVENT, true),
      Array(CAP_SUPPORTEDCAPS, false),
  };
}

TSimCap* TSimScanner::FindCap(TW_UINT16 Cap) {
  auto* omitted = std::end(FSettings.OmitCaps);
  if (std::find(std::begin(FSettings.OmitCaps), omitted, Cap) != omitted && Cap != 0)
    return nullptr;
  auto it =
      std::find_if(FCaps.begin(), FCaps.end(), [&](const TSimCap& c) { return c.Cap == Cap; });
  if (it == FCaps.end()) return nullptr;
  if (Cap == CAP_SUPPORTEDCAPS) {
    it->Items.clear();
    for (const TSimCap& c : FCaps)
      if (c.Cap != CAP_SUPPORTEDCAPS && FindCap(c.Cap) != nullptr) it->Items.push_back(c.Cap);
  }
  return &*it;
}

TW_UINT32 TSimScanner::CapValue(TW_UINT16 Cap) {
  const TSimCap* c = FindCap(Cap);
  if (c != nullptr) return c->CurrentValue();
  auto it =
      std::find_if(FCaps.begin(), FCaps.end(), [&](const TSimCap& x) { return x.Cap == Cap; });
  return it->CurrentValue();  // an omitted capability keeps its own value
}

double TSimScanner::CapNumber(TW_UINT16 Cap) {
  auto it =
      std::find_if(FCaps.begin(), FCaps.end(), [&](const TSimCap& x) { return x.Cap == Cap; });
  return ToNumber(it->ItemType, CapValue(Cap));
}

TW_UINT16 TSimScanner::Capability(TW_UINT16 MSG, TW_CAPABILITY& Capability) {
  TSimCap* cap = FindCap(Capability.Cap);
  if (cap == nullptr) return Fail(TWCC_CAPUNSUPPORTED);
  TW_UINT16 kind = cap->Kind;
  TW_UINT32 value = cap->CurrentValue();
  switch (MSG) {
    case MSG_SET:
      return SetCapability(*cap, Capability);
    case MSG_RESET:
      if (!cap->Settable) return Fail(TWCC_CAPBADOPERATION);
      if (FState != 4) return Fail(TWCC_SEQERROR);
      cap->Current = cap->Default;
      break;
    case MSG_GET:
      break;
    case MSG_GETCURRENT:
      if (kind != TWON_ARRAY) kind = TWON_ONEVALUE;
      break;
    case MSG_GETDEFAULT:
      if (kind != TWON_ARRAY) kind = TWON_ONEVALUE;
      value = cap->Kind == TWON_ENUMERATION ? cap->Items[cap->Default] : cap->Default;
      break;
    case MSG_QUERYSUPPORT: {
      TSimCap support = OneValue(cap->Cap, TWTY_INT32, 0);
      value = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
      if (cap->Settable) value |= TWQC_SET | TWQC_RESET;
      Capability.ConType = TWON_ONEVALUE;
      Capability.hContainer = Container(FMemory, support, TWON_ONEVALUE, value);
      return Capability.hContainer != nullptr ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
  Capability.ConType = kind;
  Capability.hContainer = Container(FMemory, *cap, kind, value);
  return Capability.hContainer != nullptr ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
}

TW_UINT16 TSimScanner::SetCapability(TSimCap& Cap, TW_CAPABILITY& Capability) {
  if (!Cap.Settable) return Fail(TWCC_CAPBADOPERATION);
  if (FState != 4) return Fail(TWCC_SEQERROR);
  TRequest request = ReadRequest(FMemory, Capability);
  if (!request.Valid || (Cap.Kind == TWON_ARRAY) != (Capability.ConType == TWON_ARRAY))
    return Fail(TWCC_BADVALUE);
  TW_UINT16 rc = TWRC_SUCCESS;
  if (Cap.Kind == TWON_ARRAY) {
    Cap.Items.clear();
    for (TW_UINT32 item : request.Items)
      Cap.Items.push_back(FromNumber(Cap.ItemType, ToNumber(request.ItemType, item)));
  } else {
    double x = ToNumber(request.ItemType, request.Items.front());
    if (Cap.Kind == TWON_ENUMERATION) {
      auto it = std::find_if(Cap.Items.begin(), Cap.Items.end(),
                             [&](TW_UINT32 item) { return ToNumber(Cap.ItemType, item) == x; });
      if (it == Cap.Items.end()) return Fail(TWCC_BADVALUE);
      Cap.Current = static_cast<TW_UINT32>(it - Cap.Items.begin());
    } else if (Cap.Kind == TWON_RANGE) {
      double low = ToNumber(Cap.ItemType, Cap.Min), high = ToNumber(Cap.ItemType, Cap.Max);
      double step = ToNumber(Cap.ItemType, Cap.Step);
      double v = low + std::round((std::clamp(x, low, high) - low) / step) * step;
      Cap.Current = FromNumber(Cap.ItemType, v);
      if (v != x) rc = TWRC_CHECKSTATUS;
    } else {
      Cap.Current = FromNumber(Cap.ItemType, x);
    }
  }
  CapabilityChanged(Cap);
  return rc;
}

void TSimScanner::CapabilityChanged(TSimCap& Cap) {
  if (Cap.Cap != ICAP_PIXELTYPE) return;
  TSimCap& depth = *std::find_if(FCaps.begin(), FCaps.end(),
                                 [](const TSimCap& c) { return c.Cap == ICAP_BITDEPTH; });
  depth.Items = DepthsOf(Cap.CurrentValue());
  depth.Current = depth.Default = 0;
}
