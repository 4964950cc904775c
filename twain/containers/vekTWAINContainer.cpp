#include "vekTWAINContainer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "rounding.h"
#include "vekTWAINFix.h"

namespace {

// Headers and spare bytes of the list blocks: items from 6 or 14, blocks 10 or 18 bytes
// larger than their items.
constexpr size_t kListSpare = 4;

// No block grows beyond this, whatever count or item type it is asked for.
constexpr uint64_t kMaxBlockSize = uint64_t{1} << 30;

constexpr size_t kTypeSizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256, 1027, 512};

uint16_t ReadU16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

void WriteU16(uint8_t* p, uint16_t value) {
  std::memcpy(p, &value, sizeof value);
}

void WriteU32(uint8_t* p, uint32_t value) {
  std::memcpy(p, &value, sizeof value);
}

uint16_t BlockItemType(const TTwnBlock& block) {
  return ReadU16(block.data());
}

// NumItems of a list block.
uint32_t BlockCount(const TTwnBlock& block) {
  return ReadU32(block.data() + 2);
}

bool IsText(uint16_t itemType) {
  return itemType >= TWTY_STR32 && itemType <= TWTY_STR255;
}

// Reads one item from a slot of `capacity` bytes (at least 4). Texts end at their zero or at
// the end of the slot; the types without an encoding leave the variant as it was.
void ItemToVariant(const uint8_t* slot, size_t capacity, uint16_t itemType, Variant& value) {
  switch (itemType) {
    case TWTY_INT8:
      value = static_cast<int8_t>(slot[0]);
      break;
    case TWTY_INT16:
      value = static_cast<int16_t>(ReadU16(slot));
      break;
    case TWTY_INT32:
    case TWTY_UINT32:
      value = static_cast<int32_t>(ReadU32(slot));
      break;
    case TWTY_UINT8:
      value = slot[0];
      break;
    case TWTY_UINT16:
      value = ReadU16(slot);
      break;
    case TWTY_BOOL:
      value = ReadU32(slot) != 0;
      break;
    case TWTY_FIX32: {
      TW_FIX32 fix;
      std::memcpy(&fix, slot, sizeof fix);
      value = FIX32ToFloat(fix);
      break;
    }
    case TWTY_FRAME:
      value = 0;
      break;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: {
      const char* text = reinterpret_cast<const char*>(slot);
      value =
          std::string(text, strnlen(text, std::min(TTwnContainer::TypeSize(itemType), capacity)));
      break;
    }
    default:
      break;
  }
}

// Writes one item into a slot of `capacity` bytes (at least 4). The value is converted before
// anything is written, so a conversion that raises leaves the slot as it was.
void VariantToItem(uint8_t* slot, size_t capacity, uint16_t itemType, const Variant& value) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_INT16:
      WriteU32(slot, static_cast<uint16_t>(value.AsInteger()));
      break;
    case TWTY_INT32:
    case TWTY_UINT8:
    case TWTY_UINT16:
    case TWTY_UINT32:
      WriteU32(slot, static_cast<uint32_t>(value.AsInteger()));
      break;
    case TWTY_BOOL:
      WriteU32(slot, value.AsBoolean() ? 1 : 0);
      break;
    case TWTY_FIX32: {
      TW_FIX32 fix = FloatToFIX32(value.AsDouble());
      std::memcpy(slot, &fix, sizeof fix);
      break;
    }
    case TWTY_FRAME:
    case TWTY_STR1024:
    case TWTY_UNI512:
      WriteU32(slot, 0);
      break;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: {
      std::string text = value.AsString();
      size_t length =
          std::min(text.size(), std::min(TTwnContainer::TypeSize(itemType), capacity) - 1);
      std::memcpy(slot, text.data(), length);
      slot[length] = 0;
      break;
    }
    default:
      break;
  }
}

// Grows a block to `bytes`, zero-filling the new bytes.
void Grow(TTwnBlock& block, uint64_t bytes) {
  if (bytes <= block.size()) return;
  if (bytes > kMaxBlockSize) throw EOutOfMemory("Out of memory");
  try {
    block.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
}

size_t ItemsOffsetOf(uint16_t kind) {
  return kind == TWON_ARRAY ? TTwnContainer::kArrayItems : TTwnContainer::kEnumItems;
}

// The bytes a list block of `count` items of `itemType` takes.
uint64_t ListBlockSize(uint16_t kind, uint64_t count, uint16_t itemType) {
  return ItemsOffsetOf(kind) + count * TTwnContainer::ItemSize(itemType) + kListSpare;
}

uint64_t OneValueBlockSize(uint16_t itemType) {
  return std::max<uint64_t>(TTwnContainer::kOneValueSize,
                            TTwnContainer::kOneValueItem + TTwnContainer::ItemSize(itemType));
}

[[noreturn]] void RaiseBadBlock(const char* what) {
  throw ETwnContainerError(std::string("Capability container block ") + what);
}

struct TCapTypeRange {
  uint16_t First;
  uint16_t Last;
  uint16_t ItemType;
};

// The default item type of every capability id the system knows, in ranges of ids (first and
// last, both included).
constexpr TCapTypeRange kCapItemTypes[] = {
    {CAP_XFERCOUNT, CAP_XFERCOUNT, TWTY_INT16},
    {CAP_BATTERYPERCENTAGE, CAP_BATTERYPERCENTAGE, TWTY_INT16},
    {ICAP_ZOOMFACTOR, ICAP_ZOOMFACTOR, TWTY_INT16},
    {ICAP_JPEGQUALITY, ICAP_JPEGQUALITY, TWTY_INT16},
    {CAP_ALARMVOLUME, CAP_TIMEBETWEENCAPTURES, TWTY_INT32},
    {CAP_BATTERYMINUTES, CAP_BATTERYMINUTES, TWTY_INT32},
    {ICAP_CUSTHALFTONE, ICAP_CUSTHALFTONE, TWTY_UINT8},
    {CAP_CUSTOMBASE + 0x817, CAP_CUSTOMBASE + 0x817, TWTY_UINT8},
    {ICAP_COMPRESSION, ICAP_XFERMECH, TWTY_UINT16},
    {CAP_SUPPORTEDCAPS, CAP_EXTENDEDCAPS, TWTY_UINT16},
    {CAP_DUPLEX, CAP_DUPLEX, TWTY_UINT16},
    {CAP_JOBCONTROL, CAP_ALARMS, TWTY_UINT16},
    {CAP_CLEARBUFFERS, CAP_CLEARBUFFERS, TWTY_UINT16},
    {CAP_POWERSUPPLY, CAP_POWERSUPPLY, TWTY_UINT16},
    {CAP_DEVICEEVENT, CAP_DEVICEEVENT, TWTY_UINT16},
    {CAP_PRINTER, CAP_PRINTER, TWTY_UINT16},
    {CAP_PRINTERMODE, CAP_PRINTERMODE, TWTY_UINT16},
    {CAP_LANGUAGE, CAP_FEEDERORDER, TWTY_UINT16},
    {ICAP_FILTER, ICAP_FILTER, TWTY_UINT16},
    {ICAP_IMAGEFILEFORMAT, ICAP_IMAGEFILEFORMAT, TWTY_UINT16},
    {ICAP_LIGHTSOURCE, ICAP_LIGHTSOURCE, TWTY_UINT16},
    {ICAP_ORIENTATION, ICAP_ORIENTATION, TWTY_UINT16},
    {ICAP_MAXFRAMES, ICAP_MAXFRAMES, TWTY_UINT16},
    {ICAP_BITORDER, ICAP_PLANARCHUNKY, TWTY_UINT16},
    {ICAP_SUPPORTEDSIZES, ICAP_SUPPORTEDSIZES, TWTY_UINT16},
    {ICAP_BITORDERCODES, ICAP_JPEGPIXELTYPE, TWTY_UINT16},
    {ICAP_TIMEFILL, ICAP_BITDEPTHREDUCTION, TWTY_UINT16},
    {ICAP_FLIPROTATION, ICAP_FLIPROTATION, TWTY_UINT16},
    {ICAP_SUPPORTEDBARCODETYPES, ICAP_SUPPORTEDBARCODETYPES, TWTY_UINT16},
    {ICAP_BARCODESEARCHPRIORITIES, ICAP_BARCODESEARCHMODE, TWTY_UINT16},
    {ICAP_SUPPORTEDPATCHCODETYPES, ICAP_SUPPORTEDPATCHCODETYPES, TWTY_UINT16},
    {ICAP_PATCHCODESEARCHPRIORITIES, ICAP_PATCHCODESEARCHMODE, TWTY_UINT16},
    {ICAP_FLASHUSED2, ICAP_OVERSCAN, TWTY_UINT16},
    {ACAP_AUDIOFILEFORMAT, ACAP_XFERMECH, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x818, CAP_CUSTOMBASE + 0x819, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x81B, CAP_CUSTOMBASE + 0x81C, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x81E, CAP_CUSTOMBASE + 0x81F, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x823, CAP_CUSTOMBASE + 0x823, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x830, CAP_CUSTOMBASE + 0x833, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x835, CAP_CUSTOMBASE + 0x835, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x837, CAP_CUSTOMBASE + 0x838, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x83A, CAP_CUSTOMBASE + 0x83F, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x841, CAP_CUSTOMBASE + 0x844, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x846, CAP_CUSTOMBASE + 0x846, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x84A, CAP_CUSTOMBASE + 0x850, TWTY_UINT16},
    {CAP_CUSTOMBASE + 0x852, CAP_CUSTOMBASE + 0x853, TWTY_UINT16},
    {CAP_ENDORSER, CAP_ENDORSER, TWTY_UINT32},
    {CAP_MAXBATCHBUFFERS, CAP_MAXBATCHBUFFERS, TWTY_UINT32},
    {CAP_PRINTERINDEX, CAP_PRINTERINDEX, TWTY_UINT32},
    {ICAP_IMAGEDATASET, ICAP_IMAGEDATASET, TWTY_UINT32},
    {ICAP_BARCODEMAXSEARCHPRIORITIES, ICAP_BARCODEMAXSEARCHPRIORITIES, TWTY_UINT32},
    {ICAP_BARCODEMAXRETRIES, ICAP_BARCODETIMEOUT, TWTY_UINT32},
    {ICAP_PATCHCODEMAXSEARCHPRIORITIES, ICAP_PATCHCODEMAXSEARCHPRIORITIES, TWTY_UINT32},
    {ICAP_PATCHCODEMAXRETRIES, ICAP_PATCHCODETIMEOUT, TWTY_UINT32},
    {CAP_CUSTOMBASE + 0x815, CAP_CUSTOMBASE + 0x815, TWTY_UINT32},
    {CAP_FEEDERENABLED, CAP_FEEDERLOADED, TWTY_BOOL},
    {CAP_AUTOFEED, CAP_INDICATORS, TWTY_BOOL},
    {CAP_PAPERDETECTABLE, CAP_THUMBNAILSENABLED, TWTY_BOOL},
    {CAP_DUPLEXENABLED, CAP_CUSTOMDSDATA, TWTY_BOOL},
    {CAP_CAMERAPREVIEWUI, CAP_CAMERAPREVIEWUI, TWTY_BOOL},
    {CAP_PRINTERENABLED, CAP_PRINTERENABLED, TWTY_BOOL},
    {CAP_REACQUIREALLOWED, CAP_REACQUIREALLOWED, TWTY_BOOL},
    {ICAP_AUTOBRIGHT, ICAP_AUTOBRIGHT, TWTY_BOOL},
    {ICAP_FLASHUSED, ICAP_FLASHUSED, TWTY_BOOL},
    {ICAP_LAMPSTATE, ICAP_LAMPSTATE, TWTY_BOOL},
    {ICAP_TILES, ICAP_TILES, TWTY_BOOL},
    {ICAP_UNDEFINEDIMAGESIZE, ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL},
    {ICAP_EXTIMAGEINFO, ICAP_EXTIMAGEINFO, TWTY_BOOL},
    {ICAP_BARCODEDETECTIONENABLED, ICAP_BARCODEDETECTIONENABLED, TWTY_BOOL},
    {ICAP_PATCHCODEDETECTIONENABLED, ICAP_PATCHCODEDETECTIONENABLED, TWTY_BOOL},
    {ICAP_AUTOMATICBORDERDETECTION, ICAP_AUTOMATICROTATE, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x80A, CAP_CUSTOMBASE + 0x80B, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x80D, CAP_CUSTOMBASE + 0x80D, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x814, CAP_CUSTOMBASE + 0x814, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x816, CAP_CUSTOMBASE + 0x816, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x81A, CAP_CUSTOMBASE + 0x81A, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x81D, CAP_CUSTOMBASE + 0x81D, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x820, CAP_CUSTOMBASE + 0x821, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x834, CAP_CUSTOMBASE + 0x834, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x836, CAP_CUSTOMBASE + 0x836, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x839, CAP_CUSTOMBASE + 0x839, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x845, CAP_CUSTOMBASE + 0x845, TWTY_BOOL},
    {CAP_CUSTOMBASE + 0x847, CAP_CUSTOMBASE + 0x847, TWTY_BOOL},
    {ICAP_BRIGHTNESS, ICAP_BRIGHTNESS, TWTY_FIX32},
    {ICAP_CONTRAST, ICAP_CONTRAST, TWTY_FIX32},
    {ICAP_EXPOSURETIME, ICAP_EXPOSURETIME, TWTY_FIX32},
    {ICAP_GAMMA, ICAP_GAMMA, TWTY_FIX32},
    {ICAP_HIGHLIGHT, ICAP_HIGHLIGHT, TWTY_FIX32},
    {ICAP_PHYSICALWIDTH, ICAP_SHADOW, TWTY_FIX32},
    {ICAP_XNATIVERESOLUTION, ICAP_YRESOLUTION, TWTY_FIX32},
    {ICAP_ROTATION, ICAP_ROTATION, TWTY_FIX32},
    {ICAP_THRESHOLD, ICAP_YSCALING, TWTY_FIX32},
    {ICAP_MINIMUMHEIGHT, ICAP_MINIMUMWIDTH, TWTY_FIX32},
    {ICAP_FRAMES, ICAP_FRAMES, TWTY_FRAME},
    {CAP_TIMEDATE, CAP_TIMEDATE, TWTY_STR32},
    {CAP_DEVICETIMEDATE, CAP_DEVICETIMEDATE, TWTY_STR32},
    {ICAP_HALFTONES, ICAP_HALFTONES, TWTY_STR32},
    {CAP_CUSTOMBASE + 0x80C, CAP_CUSTOMBASE + 0x80C, TWTY_STR32},
    {CAP_CUSTOMBASE + 0x840, CAP_CUSTOMBASE + 0x840, TWTY_STR32},
    {CAP_AUTHOR, CAP_AUTHOR, TWTY_STR128},
    {CAP_CAPTION, CAP_CAPTION, TWTY_STR255},
    {CAP_SERIALNUMBER, CAP_SERIALNUMBER, TWTY_STR255},
    {CAP_PRINTERSTRING, CAP_PRINTERSUFFIX, TWTY_STR255},
    {CAP_CUSTOMBASE + 0x822, CAP_CUSTOMBASE + 0x822, TWTY_STR255},
    {CAP_CUSTOMBASE + 0x824, CAP_CUSTOMBASE + 0x824, TWTY_STR255},
};

}  // namespace

// ---- Sizes and types ----

size_t TTwnContainer::TypeSize(uint16_t ItemType) {
  return ItemType < std::size(kTypeSizes) ? kTypeSizes[ItemType] : 0;
}

size_t TTwnContainer::ItemSize(uint16_t ItemType) {
  return std::max<size_t>(TypeSize(ItemType), 4);
}

uint16_t TTwnContainer::CapItemType(uint16_t Cap) {
  for (const TCapTypeRange& range : kCapItemTypes) {
    if (Cap >= range.First && Cap <= range.Last) return range.ItemType;
  }
  return kNoItemType;
}

// ---- Life and shape ----

TTwnContainer::TTwnContainer() : FOneValueData(kOneValueSize, 0) {
  WriteU16(FOneValueData.data(), FItemType);
}

TTwnContainer::~TTwnContainer() = default;

void TTwnContainer::Clear() {
  FArrayData.reset();
  FEnumData.reset();
  FRangeData.reset();
  while (!FFrames.empty()) FFrames.pop_back();
  Grow(FOneValueData, OneValueBlockSize(FItemType));
  WriteU16(FOneValueData.data(), FItemType);
  ResetMirrorItem();
}

void TTwnContainer::SetCapability(uint16_t Cap) {
  if (Cap != FCapability) Clear();
  FCapability = Cap;
  SetItemType(CapItemType(Cap));
}

void TTwnContainer::SetContainerType(uint16_t Kind) {
  if (Kind != FContainerType) Clear();
  FContainerType = Kind;
  SetNumItems(10);
}

void TTwnContainer::SetItemType(uint16_t ItemType) {
  if (ItemType > TWTY_UNI512) return;
  // Grow first: a failure leaves every block with its old type.
  if (FArrayData) Grow(*FArrayData, ListBlockSize(TWON_ARRAY, BlockCount(*FArrayData), ItemType));
  if (FEnumData) {
    Grow(*FEnumData, ListBlockSize(TWON_ENUMERATION, BlockCount(*FEnumData), ItemType));
  }
  Grow(FOneValueData, OneValueBlockSize(ItemType));
  FItemType = ItemType;
  for (TTwnBlock* block : {FArrayData.get(), FEnumData.get(), &FOneValueData, FRangeData.get()}) {
    if (block) WriteU16(block->data(), ItemType);
  }
  if (FCapability == ICAP_FRAMES) UpdateFrames(GetNumItems());
}

void TTwnContainer::CheckBlock(uint16_t Kind, const TTwnBlock& Block) const {
  size_t header = 0;
  switch (Kind) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      header = ItemsOffsetOf(Kind);
      break;
    case TWON_ONEVALUE:
      header = kOneValueItem;
      break;
    case TWON_RANGE:
      header = kRangeSize;
      break;
    default:
      return;
  }
  if (Block.size() < header) RaiseBadBlock("is too small for its header");
  uint16_t itemType = BlockItemType(Block);
  if (itemType > TWTY_UNI512) RaiseBadBlock("holds an unknown item type");
  uint64_t needed = header;
  if (Kind == TWON_ARRAY || Kind == TWON_ENUMERATION) {
    needed += uint64_t{BlockCount(Block)} * ItemSize(itemType);
  } else if (Kind == TWON_ONEVALUE) {
    needed += ItemSize(itemType);
  }
  if (needed > Block.size()) RaiseBadBlock("is too small for its items");
}

void TTwnContainer::SetContainer(uint16_t Cap, uint16_t Kind, TTwnBlock Block) {
  if (Block.empty()) return;
  CheckBlock(Kind, Block);
  // Give the block its full size before anything changes, so later reads stay inside it.
  if (Kind == TWON_ARRAY || Kind == TWON_ENUMERATION) {
    Grow(Block, ListBlockSize(Kind, BlockCount(Block), BlockItemType(Block)));
  } else if (Kind == TWON_ONEVALUE) {
    Grow(Block, OneValueBlockSize(BlockItemType(Block)));
  }
  Clear();
  FCapability = Cap;
  FContainerType = Kind;
  switch (Kind) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
    case TWON_RANGE: {
      uint16_t itemType = BlockItemType(Block);
      auto owned = std::make_unique<TTwnBlock>(std::move(Block));
      (Kind == TWON_ARRAY         ? FArrayData
       : Kind == TWON_ENUMERATION ? FEnumData
                                  : FRangeData) = std::move(owned);
      Grow(FOneValueData, OneValueBlockSize(itemType));
      WriteU16(FOneValueData.data(), itemType);
      FItemType = itemType;
      RefreshMirror();
      break;
    }
    case TWON_ONEVALUE:
      FOneValueData = std::move(Block);
      break;
    default:
      break;
  }
  FItemType = BlockItemType(FOneValueData);
  if (FCapability == ICAP_FRAMES) UpdateFrames(GetNumItems());
}

const TTwnBlock* TTwnContainer::GetContainerData(bool AsOneValue) {
  if (FContainerType == TWON_ENUMERATION || FContainerType == TWON_RANGE) RefreshMirror();
  if (AsOneValue && !(FContainerType == TWON_ARRAY && FArrayData)) return &FOneValueData;
  switch (FContainerType) {
    case TWON_ARRAY:
      return FArrayData.get();
    case TWON_ENUMERATION:
      return FEnumData.get();
    case TWON_ONEVALUE:
      return &FOneValueData;
    case TWON_RANGE:
      return FRangeData.get();
    default:
      return nullptr;
  }
}

void TTwnContainer::Assign(const TTwnContainer& Source) {
  if (&Source == this) return;
  // Copy everything first, so that a failed allocation leaves this container as it was.
  auto copyPrefix = [](const std::unique_ptr<TTwnBlock>& block, uint64_t bytes) {
    return block ? std::make_unique<TTwnBlock>(block->begin(), block->begin() + bytes)
                 : std::unique_ptr<TTwnBlock>();
  };
  const TTwnBlock* sourceArray = Source.FArrayData.get();
  const TTwnBlock* sourceEnum = Source.FEnumData.get();
  auto array = copyPrefix(
      Source.FArrayData,
      sourceArray ? ListBlockSize(TWON_ARRAY, BlockCount(*sourceArray), BlockItemType(*sourceArray))
                  : 0);
  auto enumeration = copyPrefix(
      Source.FEnumData, sourceEnum ? ListBlockSize(TWON_ENUMERATION, BlockCount(*sourceEnum),
                                                   BlockItemType(*sourceEnum))
                                   : 0);
  auto range = copyPrefix(Source.FRangeData, kRangeSize);
  uint16_t oneValueType = BlockItemType(Source.FOneValueData);
  size_t oneValueBytes = kOneValueItem + ItemSize(oneValueType);
  TTwnBlock oneValue = FOneValueData;
  Grow(oneValue, OneValueBlockSize(oneValueType));
  std::copy_n(Source.FOneValueData.begin(), oneValueBytes, oneValue.begin());

  Clear();
  FCapability = Source.FCapability;
  FContainerType = Source.FContainerType;
  FItemType = Source.FItemType;
  FArrayData = std::move(array);
  FEnumData = std::move(enumeration);
  FRangeData = std::move(range);
  FOneValueData = std::move(oneValue);
  if (FCapability == ICAP_FRAMES) UpdateFrames(GetNumItems());
}

// ---- The one-value mirror ----

void TTwnContainer::ResetMirrorItem() {
  uint16_t itemType = BlockItemType(FOneValueData);
  uint8_t* item = FOneValueData.data() + kOneValueItem;
  if (itemType == TWTY_FRAME || IsText(itemType)) {
    std::fill_n(item, ItemSize(itemType), 0);
  } else {
    WriteU32(item, 0xFFFFFFFF);
  }
}

void TTwnContainer::MirrorItem(const uint8_t* Item, size_t Bytes) {
  std::copy_n(Item, std::min(Bytes, FOneValueData.size() - kOneValueItem),
              FOneValueData.data() + kOneValueItem);
}

// The mirror takes the enumeration's current item, or the range's current value; an
// enumeration whose current index lies outside its items resets it.
void TTwnContainer::RefreshMirror() {
  if (FContainerType == TWON_ENUMERATION && FEnumData) {
    uint32_t index = ReadU32(FEnumData->data() + kEnumCurrentIndex);
    if (index < ListCount()) {
      MirrorItem(ListItem(index), ItemSize(BlockItemType(*FEnumData)));
    } else {
      ResetMirrorItem();
    }
  } else if (FContainerType == TWON_ARRAY && FArrayData) {
    if (ListCount() > 0) {
      MirrorItem(ListItem(0), ItemSize(BlockItemType(*FArrayData)));
    } else {
      ResetMirrorItem();
    }
  } else if (FContainerType == TWON_RANGE && FRangeData) {
    MirrorItem(FRangeData->data() + kRangeCurrentValue, 4);
  }
}

// ---- Lists ----

TTwnBlock* TTwnContainer::ListBlock() const {
  if (FContainerType == TWON_ARRAY) return FArrayData.get();
  if (FContainerType == TWON_ENUMERATION) return FEnumData.get();
  return nullptr;
}

size_t TTwnContainer::ListItemsOffset() const {
  return ItemsOffsetOf(FContainerType);
}

uint32_t TTwnContainer::ListCount() const {
  const TTwnBlock* block = ListBlock();
  return block ? BlockCount(*block) : 0;
}

size_t TTwnContainer::ListItemSize() const {
  return ItemSize(ListItemType());
}

uint16_t TTwnContainer::ListItemType() const {
  return BlockItemType(*ListBlock());
}

// Every list block holds its NumItems items at their slot size, so an index below the count
// always addresses a whole slot inside the block.
uint8_t* TTwnContainer::ListItem(uint32_t Index) const {
  return ListBlock()->data() + ListItemsOffset() + size_t{Index} * ListItemSize();
}

int TTwnContainer::IndexOf(const Variant& Value) const {
  const TTwnBlock* block = ListBlock();
  if (!block) return -1;
  uint32_t count = ListCount();
  for (uint32_t i = 0; i < count; ++i) {
    Variant item = StartValue();
    ItemToVariant(ListItem(i), ListItemSize(), ListItemType(), item);
    if (item == Value) return static_cast<int>(i);
  }
  return -1;
}

int16_t TTwnContainer::GetNumItems() const {
  switch (FContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      return ListBlock() ? static_cast<int16_t>(ListCount()) : -1;
    case TWON_ONEVALUE:
      return 1;
    case TWON_RANGE:
      return FRangeData ? 1 : -1;
    default:
      return -1;
  }
}

void TTwnContainer::SetNumItems(int32_t Count) {
  if (Count < 0) return;
  if (FContainerType == TWON_ARRAY || FContainerType == TWON_ENUMERATION) {
    std::unique_ptr<TTwnBlock>& block = FContainerType == TWON_ARRAY ? FArrayData : FEnumData;
    uint64_t bytes = ListBlockSize(FContainerType, static_cast<uint32_t>(Count), FItemType);
    if (block) {
      Grow(*block, bytes);
    } else {
      auto fresh = std::make_unique<TTwnBlock>();
      Grow(*fresh, bytes);
      block = std::move(fresh);
    }
    WriteU32(block->data() + 2, static_cast<uint32_t>(Count));
    WriteU16(block->data(), FItemType);
  } else if (FContainerType == TWON_RANGE) {
    if (!FRangeData) FRangeData = std::make_unique<TTwnBlock>(kRangeSize, 0);
    WriteU16(FRangeData->data(), FItemType);
  }
  if (FCapability == ICAP_FRAMES) UpdateFrames(GetNumItems());
}

void TTwnContainer::GetItem(int Index, Variant& Value) const {
  switch (FContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      if (ListBlock() && Index >= 0 && static_cast<uint32_t>(Index) < ListCount()) {
        ItemToVariant(ListItem(Index), ListItemSize(), ListItemType(), Value);
      }
      break;
    case TWON_ONEVALUE:
      ItemToVariant(FOneValueData.data() + kOneValueItem, FOneValueData.size() - kOneValueItem,
                    BlockItemType(FOneValueData), Value);
      break;
    case TWON_RANGE:
      Value = RangeValue(kRangeCurrentValue);
      break;
    default:
      Value = -1;
      break;
  }
}

void TTwnContainer::SetItem(int Index, const Variant& Value) {
  switch (FContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      if (ListBlock() && Index >= 0 && static_cast<uint32_t>(Index) < ListCount()) {
        VariantToItem(ListItem(Index), ListItemSize(), ListItemType(), Value);
      }
      break;
    case TWON_ONEVALUE:
      VariantToItem(FOneValueData.data() + kOneValueItem, FOneValueData.size() - kOneValueItem,
                    BlockItemType(FOneValueData), Value);
      break;
    case TWON_RANGE:
      SetRangeValue(kRangeCurrentValue, Value);
      break;
    default:
      break;
  }
}

void TTwnContainer::AddItem(const Variant& Value) {
  if (FContainerType != TWON_ARRAY && FContainerType != TWON_ENUMERATION) return;
  uint32_t count = ListCount();
  if (count >= static_cast<uint32_t>(INT32_MAX)) return;
  // Convert first: a value that cannot be converted adds nothing.
  TTwnBlock slot(ItemSize(FItemType), 0);
  VariantToItem(slot.data(), slot.size(), FItemType, Value);
  SetNumItems(static_cast<int32_t>(count + 1));
  std::copy(slot.begin(), slot.end(), ListItem(count));
}

// ---- Current, default and extreme values ----

Variant TTwnContainer::StartValue() const {
  return IsText(FItemType) ? Variant("") : Variant(-1);
}

bool TTwnContainer::HasNumericItems() const {
  return FItemType <= TWTY_FIX32;
}

Variant TTwnContainer::RangeValue(size_t Offset) const {
  Variant value = StartValue();
  if (FRangeData) ItemToVariant(FRangeData->data() + Offset, 4, BlockItemType(*FRangeData), value);
  return value;
}

void TTwnContainer::SetRangeValue(size_t Offset, const Variant& Value) {
  bool isField = Offset >= kRangeMinValue && Offset <= kRangeCurrentValue &&
                 (Offset - kRangeMinValue) % 4 == 0;
  if (FRangeData && isField) {
    VariantToItem(FRangeData->data() + Offset, 4, BlockItemType(*FRangeData), Value);
  }
}

int16_t TTwnContainer::GetCurrentIndex() const {
  if (FContainerType == TWON_ENUMERATION) {
    return FEnumData ? static_cast<int16_t>(ReadU32(FEnumData->data() + kEnumCurrentIndex)) : -1;
  }
  return FContainerType == TWON_ONEVALUE ? 0 : -1;
}

void TTwnContainer::SetCurrentIndex(int Index) {
  if (FContainerType == TWON_ENUMERATION && FEnumData && Index >= 0 &&
      static_cast<uint32_t>(Index) < ListCount()) {
    WriteU32(FEnumData->data() + kEnumCurrentIndex, static_cast<uint32_t>(Index));
  }
}

void TTwnContainer::SetDefaultIndex(int Index) {
  if (FContainerType == TWON_ENUMERATION && FEnumData && Index >= 0 &&
      static_cast<uint32_t>(Index) < ListCount()) {
    WriteU32(FEnumData->data() + kEnumDefaultIndex, static_cast<uint32_t>(Index));
  }
}

Variant TTwnContainer::GetCurrentValue() const {
  Variant value = StartValue();
  if (FContainerType == TWON_ENUMERATION && FEnumData) {
    int index = static_cast<int>(ReadU32(FEnumData->data() + kEnumCurrentIndex));
    if (index >= 0) GetItem(index, value);
  } else if (FContainerType == TWON_ONEVALUE || FContainerType == TWON_RANGE) {
    GetItem(0, value);
  }
  return value;
}

Variant TTwnContainer::GetDefaultValue() const {
  Variant value = StartValue();
  if (FContainerType == TWON_ENUMERATION && FEnumData) {
    int index = static_cast<int>(ReadU32(FEnumData->data() + kEnumDefaultIndex));
    if (index >= 0) GetItem(index, value);
  } else if (FContainerType == TWON_ONEVALUE) {
    GetItem(0, value);
  } else if (FContainerType == TWON_RANGE) {
    value = RangeValue(kRangeDefaultValue);
  }
  return value;
}

// Clamps a value into the range and snaps it to the nearest step from the minimum.
Variant TTwnContainer::CoerceToRange(const Variant& Value) const {
  Variant minimum = GetMinValue();
  Variant maximum = GetMaxValue();
  Variant value = Value;
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  Variant step = GetStepSize();
  if (step != Variant(0)) {
    value = minimum + step * Variant(RoundHalfEven(((value - minimum) / step).AsDouble()));
    if (value > maximum) value = maximum;
  }
  return value;
}

void TTwnContainer::SetCurrentValue(const Variant& Value) {
  if (FContainerType == TWON_ENUMERATION) {
    int index = IndexOf(Value);
    if (index >= 0) SetCurrentIndex(index);
  } else if (FContainerType == TWON_ONEVALUE) {
    SetItem(0, Value);
  } else if (FContainerType == TWON_RANGE && FRangeData) {
    SetRangeValue(kRangeCurrentValue, CoerceToRange(Value));
  }
}

void TTwnContainer::SetDefaultValue(const Variant& Value) {
  if (FContainerType == TWON_ENUMERATION) {
    int index = IndexOf(Value);
    if (index >= 0) SetDefaultIndex(index);
  } else if (FContainerType == TWON_ONEVALUE) {
    SetItem(0, Value);
  } else if (FContainerType == TWON_RANGE && FRangeData) {
    SetRangeValue(kRangeDefaultValue, CoerceToRange(Value));
  }
}

Variant TTwnContainer::MaxOfItems(const uint8_t* Items, uint32_t Count) const {
  Variant best = -1;
  size_t slot = ListItemSize();
  for (uint32_t i = 0; i < Count; ++i) {
    Variant item = -1;
    ItemToVariant(Items + i * slot, slot, ListItemType(), item);
    if (i == 0 || item > best) best = item;
  }
  return best;
}

Variant TTwnContainer::MinOfItems(const uint8_t* Items, uint32_t Count) const {
  Variant best = -1;
  size_t slot = ListItemSize();
  for (uint32_t i = 0; i < Count; ++i) {
    Variant item = -1;
    ItemToVariant(Items + i * slot, slot, ListItemType(), item);
    if (i == 0 || item < best) best = item;
  }
  return best;
}

Variant TTwnContainer::GetMaxValue() const {
  if (!HasNumericItems()) return -1;
  switch (FContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      return ListBlock() ? MaxOfItems(ListItem(0), ListCount()) : Variant(-1);
    case TWON_ONEVALUE:
      return GetCurrentValue();
    case TWON_RANGE:
      return RangeValue(kRangeMaxValue);
    default:
      return -1;
  }
}

Variant TTwnContainer::GetMinValue() const {
  if (!HasNumericItems()) return -1;
  switch (FContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
      return ListBlock() ? MinOfItems(ListItem(0), ListCount()) : Variant(-1);
    case TWON_ONEVALUE:
      return GetCurrentValue();
    case TWON_RANGE:
      return RangeValue(kRangeMinValue);
    default:
      return -1;
  }
}

void TTwnContainer::SetMaxValue(const Variant& Value) {
  if (FContainerType == TWON_RANGE) SetRangeValue(kRangeMaxValue, Value);
}

void TTwnContainer::SetMinValue(const Variant& Value) {
  if (FContainerType == TWON_RANGE) SetRangeValue(kRangeMinValue, Value);
}

Variant TTwnContainer::GetStepSize() const {
  return FContainerType == TWON_RANGE && FRangeData ? RangeValue(kRangeStepSize) : Variant(-1);
}

// ---- Frames ----

// Frames exist only over whole TW_FRAME items: the enumeration's items or the one value.
void TTwnContainer::UpdateFrames(int Count) {
  if (FCapability != ICAP_FRAMES) return;
  uint32_t available = 0;
  if (FItemType == TWTY_FRAME) {
    if (FContainerType == TWON_ENUMERATION && FEnumData) available = ListCount();
    if (FContainerType == TWON_ONEVALUE) available = 1;
  }
  size_t wanted = std::min<uint64_t>(std::max(Count, 0), available);
  while (FFrames.size() > wanted) FFrames.pop_back();
  while (FFrames.size() < wanted)
    FFrames.push_back(std::unique_ptr<TTwnFrame>(new TTwnFrame(nullptr)));
  FramesFollowBlocks();
}

void TTwnContainer::FramesFollowBlocks() {
  for (size_t i = 0; i < FFrames.size(); ++i) {
    uint8_t* item = FContainerType == TWON_ENUMERATION
                        ? FEnumData->data() + kEnumItems + sizeof(TW_FRAME) * i
                        : FOneValueData.data() + kOneValueItem;
    FFrames[i]->FFrameData = reinterpret_cast<TW_FRAME*>(item);
  }
}

// ---- TTwnContainerList ----

TTwnContainerList::~TTwnContainerList() {
  Clear();
}

TTwnContainer* TTwnContainerList::Items(int Index) const {
  return Index >= 0 && Index < Count() ? FItems[Index].get() : nullptr;
}

void TTwnContainerList::Clear() {
  while (!FItems.empty()) FItems.pop_back();
}

TTwnContainer* TTwnContainerList::Find(uint16_t Cap) const {
  for (const auto& container : FItems) {
    if (container->Capability() == Cap) return container.get();
  }
  return nullptr;
}

void TTwnContainerList::AddContainer(uint16_t Cap, std::unique_ptr<TTwnContainer> Container) {
  if (!Container) return;
  Container->SetCapability(Cap);
  Delete(Cap);
  FItems.push_back(std::move(Container));
}

TTwnContainer* TTwnContainerList::Add(uint16_t Cap) {
  try {
    auto container = std::make_unique<TTwnContainer>();
    TTwnContainer* added = container.get();
    AddContainer(Cap, std::move(container));
    return added;
  } catch (const std::exception&) {
    return nullptr;
  }
}

void TTwnContainerList::Delete(uint16_t Cap) {
  auto found = std::find_if(FItems.begin(), FItems.end(), [Cap](const auto& container) {
    return container->Capability() == Cap;
  });
  if (found != FItems.end()) FItems.erase(found);
}
