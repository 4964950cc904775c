#include "vekTWAINCapMem.h"

#include <cstring>

namespace {

constexpr size_t kListCountAt = 2;
// TWAIN memory is this much longer than its header and items (the kinds' own trailing room).
constexpr size_t kListTail = 4;
constexpr size_t kOneValueTail = 4;

uint16_t ReadU16(const uint8_t* At) {
  uint16_t value;
  std::memcpy(&value, At, 2);
  return value;
}

uint32_t ReadU32(const uint8_t* At) {
  uint32_t value;
  std::memcpy(&value, At, 4);
  return value;
}

size_t ItemsAt(uint16_t Kind) {
  return Kind == TWON_ARRAY ? TTwnContainer::kArrayItems : TTwnContainer::kEnumItems;
}

bool IsList(uint16_t Kind) {
  return Kind == TWON_ARRAY || Kind == TWON_ENUMERATION;
}

bool KnownItemType(uint16_t ItemType) {
  return ItemType <= TWTY_UNI512;
}

// One item from TWAIN memory into its slot.
void ItemToSlot(uint16_t ItemType, const uint8_t* From, uint8_t* Slot) {
  int32_t value;
  switch (ItemType) {
    case TWTY_INT8:
      value = static_cast<int8_t>(From[0]);
      break;
    case TWTY_UINT8:
      value = From[0];
      break;
    case TWTY_INT16:
    case TWTY_BOOL:
      value = static_cast<int16_t>(ReadU16(From));
      break;
    case TWTY_UINT16:
      value = ReadU16(From);
      break;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
    case TWTY_FRAME:
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255:
      std::memcpy(Slot, From, TTwnContainer::TypeSize(ItemType));
      return;
    default:
      value = -1;
      break;
  }
  std::memcpy(Slot, &value, 4);
}

// One item from its slot into TWAIN memory; the types this toolkit does not convert write
// nothing.
void SlotToItem(uint16_t ItemType, const uint8_t* Slot, uint8_t* To) {
  if (ItemType > TWTY_STR255) return;
  std::memcpy(To, Slot, TTwnContainer::TypeSize(ItemType));
}

}  // namespace

TTwnBlock BlockOfTwainContainer(uint16_t Kind, const uint8_t* Memory, size_t Size) {
  if (Memory == nullptr) return {};
  if (Kind == TWON_RANGE) {
    if (Size < TTwnContainer::kRangeSize || !KnownItemType(ReadU16(Memory))) return {};
    return TTwnBlock(Memory, Memory + TTwnContainer::kRangeSize);
  }
  if (Kind != TWON_ONEVALUE && !IsList(Kind)) return {};
  if (Size < 2) return {};
  const uint16_t itemType = ReadU16(Memory);
  if (!KnownItemType(itemType)) return {};
  const size_t typeSize = TTwnContainer::TypeSize(itemType);
  const size_t slot = TTwnContainer::ItemSize(itemType);
  const size_t header = Kind == TWON_ONEVALUE ? TTwnContainer::kOneValueItem : ItemsAt(Kind);
  if (Size < header) return {};
  const uint64_t count = Kind == TWON_ONEVALUE ? 1 : ReadU32(Memory + kListCountAt);
  if (header + count * typeSize > Size) return {};
  TTwnBlock block(header + count * slot + (Kind == TWON_ONEVALUE ? 0 : kListTail), 0);
  std::memcpy(block.data(), Memory, header);
  for (uint64_t i = 0; i < count; ++i) {
    ItemToSlot(itemType, Memory + header + i * typeSize, block.data() + header + i * slot);
  }
  return block;
}

size_t TwainContainerSize(uint16_t Kind, const TTwnBlock& Block) {
  if (Kind == TWON_RANGE)
    return Block.size() >= TTwnContainer::kRangeSize ? TTwnContainer::kRangeSize : 0;
  if (Kind != TWON_ONEVALUE && !IsList(Kind)) return 0;
  if (Block.size() < 2) return 0;
  const uint16_t itemType = ReadU16(Block.data());
  if (!KnownItemType(itemType)) return 0;
  const size_t typeSize = TTwnContainer::TypeSize(itemType);
  const size_t slot = TTwnContainer::ItemSize(itemType);
  if (Kind == TWON_ONEVALUE) {
    return Block.size() >= TTwnContainer::kOneValueItem + slot ? typeSize + 2 + kOneValueTail : 0;
  }
  const size_t header = ItemsAt(Kind);
  if (Block.size() < header) return 0;
  const uint64_t count = ReadU32(Block.data() + kListCountAt);
  if (header + count * slot > Block.size()) return 0;
  return header + count * typeSize + kListTail;
}

void TwainContainerOfBlock(uint16_t Kind, const TTwnBlock& Block, uint8_t* Memory) {
  if (TwainContainerSize(Kind, Block) == 0) return;
  if (Kind == TWON_RANGE) {
    std::memcpy(Memory, Block.data(), TTwnContainer::kRangeSize);
    return;
  }
  const uint16_t itemType = ReadU16(Block.data());
  const size_t typeSize = TTwnContainer::TypeSize(itemType);
  const size_t slot = TTwnContainer::ItemSize(itemType);
  const size_t header = Kind == TWON_ONEVALUE ? TTwnContainer::kOneValueItem : ItemsAt(Kind);
  const uint64_t count = Kind == TWON_ONEVALUE ? 1 : ReadU32(Block.data() + kListCountAt);
  std::memcpy(Memory, Block.data(), header);
  for (uint64_t i = 0; i < count; ++i) {
    SlotToItem(itemType, Block.data() + header + i * slot, Memory + header + i * typeSize);
  }
}
