// TWAIN capability containers: one value, enumeration, range or array, held for both ends of
// TWAIN and read and written as variants.
//
// A container keeps one heap block per kind, laid out as TWAIN's structures except that its
// items lie ItemSize apart (the TWAIN type size, at least 4 bytes):
//   array        ItemType u16, NumItems u32 at 2, items from 6         NumItems x slot + 10
//   enumeration  ItemType u16, NumItems u32 at 2, CurrentIndex u32 at 6,
//                DefaultIndex u32 at 10, items from 14                 NumItems x slot + 18
//   one value    ItemType u16, the item at 2                           262 bytes
//   range        ItemType u16, MinValue, MaxValue, StepSize, DefaultValue, CurrentValue
//                (u32 each, at 2, 6, 10, 14, 18)                       22 bytes
// The one-value block lives as long as the container (it grows beyond 262 bytes only for the
// wider TWTY_STR1024 and TWTY_UNI512 items); for an enumeration or a range it mirrors the
// current item whenever the container's data is fetched. A list block always holds its
// NumItems items at the slot size of its ItemType, and a range writes at most 4 bytes into each
// of its fields, so whatever a caller or a TWAIN peer hands in, a container never reads or
// writes outside its blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "exception.h"
#include "twain.h"
#include "variant.h"

using TTwnBlock = std::vector<uint8_t>;

// A block handed to a container does not hold what its header says.
class ETwnContainerError : public Exception {
 public:
  using Exception::Exception;
};

class TTwnContainer;

// One TW_FRAME item of an ICAP_FRAMES container; the container makes, moves and frees it.
class TTwnFrame {
 public:
  TW_FRAME* FrameData() const { return FFrameData; }

 private:
  friend class TTwnContainer;
  explicit TTwnFrame(TW_FRAME* FrameData) : FFrameData(FrameData) {}

  TW_FRAME* FFrameData;
};

class TTwnContainer {
 public:
  // Byte offsets within the blocks.
  static constexpr size_t kArrayItems = 6;
  static constexpr size_t kEnumCurrentIndex = 6;
  static constexpr size_t kEnumDefaultIndex = 10;
  static constexpr size_t kEnumItems = 14;
  static constexpr size_t kOneValueItem = 2;
  static constexpr size_t kRangeMinValue = 2;
  static constexpr size_t kRangeMaxValue = 6;
  static constexpr size_t kRangeStepSize = 10;
  static constexpr size_t kRangeDefaultValue = 14;
  static constexpr size_t kRangeCurrentValue = 18;
  static constexpr size_t kRangeSize = 22;
  // Room for one item up to TWTY_STR255; larger items make the block grow.
  static constexpr size_t kOneValueSize = 262;

  // The item type of a capability that the type table does not list.
  static constexpr uint16_t kNoItemType = 99;

  TTwnContainer();
  virtual ~TTwnContainer();
  TTwnContainer(const TTwnContainer&) = delete;
  TTwnContainer& operator=(const TTwnContainer&) = delete;

  uint16_t Capability() const { return FCapability; }
  uint16_t ContainerType() const { return FContainerType; }
  uint16_t ItemType() const { return FItemType; }
  int32_t SupportedOps() const { return FSupportedOps; }
  void SetSupportedOps(int32_t Ops) { FSupportedOps = Ops; }
  const std::vector<std::unique_ptr<TTwnFrame>>& Frames() const { return FFrames; }

  // TWAIN's size of an item type (0 for an unknown one), and the slot it takes here.
  static size_t TypeSize(uint16_t ItemType);
  static size_t ItemSize(uint16_t ItemType);
  // The default item type of a capability, kNoItemType for an id the table does not list.
  static uint16_t CapItemType(uint16_t Cap);

  // Frees every block but the one-value block, whose item is reset; keeps the capability,
  // the kind, the item type and the supported operations.
  void Clear();
  void SetCapability(uint16_t Cap);
  void SetContainerType(uint16_t Kind);
  // Item types beyond TWTY_UNI512 (kNoItemType among them) are ignored.
  void SetItemType(uint16_t ItemType);

  // Takes over a filled block of the given kind, laid out as above. An empty block does
  // nothing; a block that does not hold its header and items, or holds an unknown item type,
  // raises ETwnContainerError and leaves the container as it was.
  virtual void SetContainer(uint16_t Cap, uint16_t Kind, TTwnBlock Block);
  // The block of the current kind, or nullptr; with AsOneValue the one-value block, except
  // that an array with a block always yields its array block.
  const TTwnBlock* GetContainerData(bool AsOneValue);

  int IndexOf(const Variant& Value) const;
  int16_t GetCurrentIndex() const;
  void SetCurrentIndex(int Index);
  void SetDefaultIndex(int Index);

  Variant GetCurrentValue() const;
  Variant GetDefaultValue() const;
  void SetCurrentValue(const Variant& Value);
  void SetDefaultValue(const Variant& Value);
  Variant GetMaxValue() const;
  Variant GetMinValue() const;
  void SetMaxValue(const Variant& Value);
  void SetMinValue(const Variant& Value);
  Variant GetStepSize() const;

  int16_t GetNumItems() const;
  // Raises EOutOfMemory when the block cannot be had.
  void SetNumItems(int32_t Count);
  // An index outside the items leaves Value as it was.
  void GetItem(int Index, Variant& Value) const;
  void SetItem(int Index, const Variant& Value);
  // Appends an item to an array or an enumeration.
  void AddItem(const Variant& Value);

  void UpdateFrames(int Count);
  // A deep copy of Source's kind, item type, blocks and frames.
  virtual void Assign(const TTwnContainer& Source);

 protected:
  // Writes one of the range's values (offset kRangeMinValue .. kRangeCurrentValue).
  void SetRangeValue(size_t Offset, const Variant& Value);

 private:
  // The block of an array or an enumeration, with the offset of its items.
  TTwnBlock* ListBlock() const;
  size_t ListItemsOffset() const;
  uint32_t ListCount() const;
  uint16_t ListItemType() const;
  size_t ListItemSize() const;
  uint8_t* ListItem(uint32_t Index) const;
  Variant RangeValue(size_t Offset) const;
  Variant CoerceToRange(const Variant& Value) const;
  Variant StartValue() const;
  bool HasNumericItems() const;
  Variant MaxOfItems(const uint8_t* Items, uint32_t Count) const;
  Variant MinOfItems(const uint8_t* Items, uint32_t Count) const;

  void ResetMirrorItem();
  void MirrorItem(const uint8_t* Item, size_t Bytes);
  void RefreshMirror();
  void CheckBlock(uint16_t Kind, const TTwnBlock& Block) const;
  void FramesFollowBlocks();

  uint16_t FCapability = 0;
  uint16_t FContainerType = TWON_ONEVALUE;
  uint16_t FItemType = TWTY_UINT16;
  std::unique_ptr<TTwnBlock> FArrayData;
  std::unique_ptr<TTwnBlock> FEnumData;
  TTwnBlock FOneValueData;
  std::unique_ptr<TTwnBlock> FRangeData;
  std::vector<std::unique_ptr<TTwnFrame>> FFrames;
  int32_t FSupportedOps = -1;
};

// The containers of one TWAIN session, at most one per capability.
class TTwnContainerList {
 public:
  TTwnContainerList() = default;
  ~TTwnContainerList();
  TTwnContainerList(const TTwnContainerList&) = delete;
  TTwnContainerList& operator=(const TTwnContainerList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  // nullptr outside 0 .. Count() - 1.
  TTwnContainer* Items(int Index) const;

  void Clear();
  TTwnContainer* Find(uint16_t Cap) const;
  // Gives Container the capability and lists it in place of any container listed for Cap.
  void AddContainer(uint16_t Cap, std::unique_ptr<TTwnContainer> Container);
  // A new container for Cap, listed; nullptr when anything failed on the way.
  TTwnContainer* Add(uint16_t Cap);
  void Delete(uint16_t Cap);

 private:
  std::vector<std::unique_ptr<TTwnContainer>> FItems;
};
