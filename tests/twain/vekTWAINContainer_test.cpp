#include "vekTWAINContainer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vekTWAINFix.h"

namespace {

uint16_t U16At(const TTwnBlock& block, size_t offset) {
  uint16_t value;
  std::memcpy(&value, block.data() + offset, 2);
  return value;
}

uint32_t U32At(const TTwnBlock& block, size_t offset) {
  uint32_t value;
  std::memcpy(&value, block.data() + offset, 4);
  return value;
}

void PutU16(TTwnBlock& block, size_t offset, uint16_t value) {
  std::memcpy(block.data() + offset, &value, 2);
}

void PutU32(TTwnBlock& block, size_t offset, uint32_t value) {
  std::memcpy(block.data() + offset, &value, 4);
}

// A list block in the container layout, with 4-byte items holding `values`.
TTwnBlock ListBlock(uint16_t kind, uint16_t itemType, std::initializer_list<uint32_t> values,
                    uint32_t currentIndex = 0, uint32_t defaultIndex = 0) {
  size_t items = kind == TWON_ARRAY ? 6 : 14;
  size_t slot = TTwnContainer::ItemSize(itemType);
  TTwnBlock block(items + values.size() * slot + 4, 0);
  PutU16(block, 0, itemType);
  PutU32(block, 2, static_cast<uint32_t>(values.size()));
  if (kind == TWON_ENUMERATION) {
    PutU32(block, 6, currentIndex);
    PutU32(block, 10, defaultIndex);
  }
  size_t offset = items;
  for (uint32_t value : values) {
    PutU32(block, offset, value);
    offset += slot;
  }
  return block;
}

TTwnBlock RangeBlock(uint16_t itemType, uint32_t minimum, uint32_t maximum, uint32_t step,
                     uint32_t defaultValue, uint32_t current) {
  TTwnBlock block(22, 0);
  PutU16(block, 0, itemType);
  uint32_t values[] = {minimum, maximum, step, defaultValue, current};
  for (int i = 0; i < 5; ++i) PutU32(block, 2 + 4 * i, values[i]);
  return block;
}

// A container that may set a range's step, as the data source's own containers do.
class TStepContainer : public TTwnContainer {
 public:
  void SetStepSize(const Variant& step) { SetRangeValue(kRangeStepSize, step); }
};

void MakeRange(TStepContainer& c, const Variant& minimum, const Variant& maximum,
               const Variant& step) {
  c.SetContainerType(TWON_RANGE);
  c.SetMinValue(minimum);
  c.SetMaxValue(maximum);
  c.SetStepSize(step);
}

Variant ItemOf(const TTwnContainer& c, int index) {
  Variant value = "untouched";
  c.GetItem(index, value);
  return value;
}

}  // namespace

TEST(TTwnContainer, FreshContainerIsAOneValueOfUInt16Zero) {
  TTwnContainer c;
  EXPECT_EQ(c.Capability(), 0);
  EXPECT_EQ(c.ContainerType(), TWON_ONEVALUE);
  EXPECT_EQ(c.ItemType(), TWTY_UINT16);
  EXPECT_EQ(c.SupportedOps(), -1);
  EXPECT_EQ(c.GetNumItems(), 1);
  EXPECT_EQ(c.GetCurrentValue(), Variant(0));
  EXPECT_EQ(c.GetCurrentIndex(), 0);
  const TTwnBlock* block = c.GetContainerData(false);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->size(), 262u);
  EXPECT_EQ(U16At(*block, 0), TWTY_UINT16);
  EXPECT_EQ(U32At(*block, 2), 0u);
}

TEST(TTwnContainer, NewEnumerationHoldsTenZeroItems) {
  TTwnContainer c;
  c.SetContainerType(TWON_ENUMERATION);
  const TTwnBlock* block = c.GetContainerData(false);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->size(), 10u * 4 + 18);
  EXPECT_EQ(U16At(*block, 0), TWTY_UINT16);
  EXPECT_EQ(U32At(*block, 2), 10u);
  for (size_t i = 6; i < block->size(); ++i) EXPECT_EQ((*block)[i], 0) << i;
  EXPECT_EQ(c.GetNumItems(), 10);
  EXPECT_EQ(c.GetCurrentIndex(), 0);
}

TEST(TTwnContainer, SetNumItemsKeepsOrEnlargesTheBlock) {
  TTwnContainer c;
  c.SetContainerType(TWON_ARRAY);
  c.SetItem(9, 99);
  c.SetNumItems(3);
  EXPECT_EQ(c.GetNumItems(), 3);
  EXPECT_EQ(c.GetContainerData(false)->size(), 10u * 4 + 10);
  EXPECT_EQ(ItemOf(c, 3), Variant("untouched"));
  c.SetNumItems(20);
  EXPECT_EQ(c.GetNumItems(), 20);
  EXPECT_GE(c.GetContainerData(false)->size(), 20u * 4 + 10);
  c.SetItem(19, 7);
  EXPECT_EQ(ItemOf(c, 19), Variant(7));
  c.SetNumItems(-1);
  EXPECT_EQ(c.GetNumItems(), 20);
  EXPECT_THROW(c.SetNumItems(INT32_MAX), EOutOfMemory);
  EXPECT_EQ(c.GetNumItems(), 20);
}

TEST(TTwnContainer, RangeCoercionClampsAndSnapsWithHalvesToEven) {
  struct TCase {
    int Step;
    int Value;
    int Expected;
  };
  const TCase cases[] = {
      {50, 149, 150}, {50, 175, 150}, {50, 125, 150}, {50, 225, 250}, {50, 20, 50},  {50, 700, 600},
      {0, 149, 149},  {0, 20, 50},    {0, 700, 600},  {7, 598, 596},  {7, 600, 600},
  };
  for (const TCase& t : cases) {
    TStepContainer c;
    MakeRange(c, 50, 600, t.Step);
    c.SetCurrentValue(t.Value);
    EXPECT_EQ(c.GetCurrentValue(), Variant(t.Expected)) << t.Step << " " << t.Value;
    c.SetDefaultValue(t.Value);
    EXPECT_EQ(c.GetDefaultValue(), Variant(t.Expected)) << t.Step << " " << t.Value;
  }
}

TEST(TTwnContainer, FIX32RangeCoercesFloatingPointValues) {
  TStepContainer c;
  c.SetCapability(ICAP_XRESOLUTION);
  ASSERT_EQ(c.ItemType(), TWTY_FIX32);
  MakeRange(c, 75, 1200, 1);
  c.SetCurrentValue(333.3);
  EXPECT_EQ(c.GetCurrentValue(), Variant(333));
  EXPECT_EQ(c.GetCurrentValue().Kind(), Variant::TKind::Double);
  c.SetCurrentValue("2000");
  EXPECT_EQ(c.GetCurrentValue(), Variant(1200));
}

TEST(TTwnContainer, EnumerationKeepsItsIndexForAnUnlistedValue) {
  TTwnContainer c;
  c.SetContainer(ICAP_PIXELTYPE, TWON_ENUMERATION,
                 ListBlock(TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, 1, 0));
  EXPECT_EQ(c.GetCurrentValue(), Variant(1));
  c.SetCurrentValue(5);
  EXPECT_EQ(c.GetCurrentIndex(), 1);
  c.SetCurrentValue(2);
  EXPECT_EQ(c.GetCurrentIndex(), 2);
  c.SetDefaultValue(1.0);  // an integer item equals the same floating-point value
  EXPECT_EQ(c.GetDefaultValue(), Variant(1));
  c.SetCurrentIndex(3);
  c.SetDefaultIndex(-1);
  EXPECT_EQ(c.GetCurrentIndex(), 2);
  EXPECT_EQ(c.GetDefaultValue(), Variant(1));
  EXPECT_EQ(c.IndexOf(2), 2);
  EXPECT_EQ(c.IndexOf(7), -1);
}

// Each item type as it is written into a 4-byte-or-larger slot and read back.
TEST(TTwnContainer, ItemEncodingByType) {
  struct TCase {
    uint16_t ItemType;
    Variant Written;
    uint32_t Stored;  // the slot's first 4 bytes
    Variant Read;
  };
  TW_FIX32 oneAndAHalf = FloatToFIX32(1.5);
  uint32_t fixBits;
  std::memcpy(&fixBits, &oneAndAHalf, 4);
  const TCase cases[] = {
      {TWTY_INT8, -1, 0x0000FFFF, -1},
      {TWTY_INT16, -1, 0x0000FFFF, -1},
      {TWTY_INT16, 70000, 70000 & 0xFFFF, 70000 - 65536},
      {TWTY_INT32, -5, 0xFFFFFFFB, -5},
      {TWTY_UINT8, 255, 255, 255},
      {TWTY_UINT8, 0x1FF, 0x1FF, 255},
      {TWTY_UINT16, -1, 0xFFFFFFFF, 65535},
      {TWTY_UINT32, -1, 0xFFFFFFFF, -1},
      {TWTY_BOOL, true, 1, true},
      {TWTY_BOOL, 0, 0, false},
      {TWTY_FIX32, 1.5, fixBits, 1.5},
      {TWTY_FIX32, "1.5", fixBits, 1.5},
      {TWTY_FRAME, 12, 0, 0},
      {TWTY_STR32, "abc", 0x00636261, "abc"},
  };
  for (const TCase& t : cases) {
    TTwnContainer c;
    c.SetItemType(t.ItemType);
    c.SetContainerType(TWON_ARRAY);
    c.SetItem(1, t.Written);
    const TTwnBlock& block = *c.GetContainerData(false);
    size_t slot = TTwnContainer::ItemSize(t.ItemType);
    EXPECT_EQ(U32At(block, 6 + slot), t.Stored) << t.ItemType;
    EXPECT_EQ(ItemOf(c, 1), t.Read) << t.ItemType;
  }
}

TEST(TTwnContainer, TextsAreCutToTheirTypeAndEndInsideTheirSlot) {
  TTwnContainer c;
  c.SetItemType(TWTY_STR32);
  c.SetContainerType(TWON_ENUMERATION);
  c.SetNumItems(2);
  c.SetItem(0, std::string(40, 'x'));
  EXPECT_EQ(ItemOf(c, 0), Variant(std::string(33, 'x')));
  // A peer's text without its zero is read up to the end of its slot, never beyond.
  TTwnBlock block = ListBlock(TWON_ENUMERATION, TWTY_STR32, {0, 0});
  std::memset(block.data() + 14, 'y', 2 * 34);
  c.SetContainer(ICAP_HALFTONES, TWON_ENUMERATION, block);
  EXPECT_EQ(ItemOf(c, 0), Variant(std::string(34, 'y')));
  EXPECT_EQ(c.GetCurrentValue(), Variant(std::string(34, 'y')));
}

TEST(TTwnContainer, WideTextTypesHaveRoomInTheOneValueBlock) {
  for (uint16_t itemType : {TWTY_STR1024, TWTY_UNI512}) {
    TTwnContainer c;
    c.SetItemType(itemType);
    const TTwnBlock* block = c.GetContainerData(true);
    EXPECT_GE(block->size(), 2 + TTwnContainer::ItemSize(itemType));
    c.SetCurrentValue("text");
    EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 0u);
    EXPECT_EQ(ItemOf(c, 0), Variant("untouched"));  // no encoding: left as it was
    EXPECT_EQ(c.GetCurrentValue(), Variant(-1));
    c.Clear();
    EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 0xFFFFFFFFu);
  }
}

TEST(TTwnContainer, ContainerDataAndTheOneValueMirror) {
  TStepContainer c;
  c.SetContainerType(TWON_ARRAY);
  EXPECT_EQ(c.GetContainerData(true), c.GetContainerData(false));
  EXPECT_EQ(c.GetContainerData(true)->size(), 50u);

  c.SetContainer(ICAP_UNITS, TWON_ENUMERATION,
                 ListBlock(TWON_ENUMERATION, TWTY_UINT16, {100, 200, 300}, 2));
  EXPECT_EQ(c.GetContainerData(false)->size(), 30u);
  const TTwnBlock* mirror = c.GetContainerData(true);
  EXPECT_EQ(mirror->size(), 262u);
  EXPECT_EQ(U16At(*mirror, 0), TWTY_UINT16);
  EXPECT_EQ(U32At(*mirror, 2), 300u);
  c.SetCurrentIndex(0);
  EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 100u);

  MakeRange(c, 50, 600, 50);
  c.SetCurrentValue(449);
  mirror = c.GetContainerData(true);
  EXPECT_EQ(U32At(*mirror, 2), 450u);
  const TTwnBlock* range = c.GetContainerData(false);
  EXPECT_EQ(range->size(), 22u);
  EXPECT_EQ(U32At(*range, 2), 50u);
  EXPECT_EQ(U32At(*range, 6), 600u);
  EXPECT_EQ(U32At(*range, 10), 50u);
  EXPECT_EQ(U32At(*range, 18), 450u);
}

TEST(TTwnContainer, SetContainerTakesOverEachKind) {
  TTwnContainer c;
  c.SetSupportedOps(TWQC_GET);
  c.SetContainer(CAP_SUPPORTEDCAPS, TWON_ARRAY,
                 ListBlock(TWON_ARRAY, TWTY_UINT16, {0x1000, 0x100B}));
  EXPECT_EQ(c.Capability(), CAP_SUPPORTEDCAPS);
  EXPECT_EQ(c.ContainerType(), TWON_ARRAY);
  EXPECT_EQ(c.GetNumItems(), 2);
  EXPECT_EQ(c.IndexOf(0x100B), 1);
  EXPECT_EQ(c.GetCurrentValue(), Variant(-1));
  EXPECT_EQ(c.SupportedOps(), TWQC_GET);

  TTwnBlock one(8, 0);
  PutU16(one, 0, TWTY_INT32);
  PutU32(one, 2, static_cast<uint32_t>(-7));
  c.SetContainer(CAP_XFERCOUNT, TWON_ONEVALUE, one);
  EXPECT_EQ(c.ItemType(), TWTY_INT32);
  EXPECT_EQ(c.GetCurrentValue(), Variant(-7));
  EXPECT_EQ(c.GetContainerData(false)->size(), 262u);

  c.SetContainer(ICAP_BRIGHTNESS, TWON_RANGE, RangeBlock(TWTY_INT32, 1, 9, 2, 3, 5));
  EXPECT_EQ(c.GetCurrentValue(), Variant(5));
  EXPECT_EQ(c.GetDefaultValue(), Variant(3));
  EXPECT_EQ(c.GetStepSize(), Variant(2));
  EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 5u);

  TTwnContainer untouched;
  untouched.SetContainer(1, TWON_ARRAY, TTwnBlock());
  EXPECT_EQ(untouched.ContainerType(), TWON_ONEVALUE);
  EXPECT_EQ(untouched.Capability(), 0);
}

TEST(TTwnContainer, SetContainerRefusesBlocksThatDoNotHoldTheirItems) {
  TTwnBlock counted = ListBlock(TWON_ARRAY, TWTY_UINT16, {1, 2, 3});
  PutU32(counted, 2, 1000);
  TTwnBlock unknownType = ListBlock(TWON_ENUMERATION, 15, {1});
  TTwnBlock hugeCount = ListBlock(TWON_ENUMERATION, TWTY_STR255, {});
  PutU32(hugeCount, 2, 0xFFFFFFFF);
  TTwnBlock shortOneValue(5, 0);
  PutU16(shortOneValue, 0, TWTY_UINT32);
  TTwnBlock wideOneValue(262, 0);
  PutU16(wideOneValue, 0, TWTY_STR1024);
  struct TCase {
    uint16_t Kind;
    TTwnBlock Block;
  };
  const TCase cases[] = {
      {TWON_ARRAY, counted},         {TWON_ENUMERATION, unknownType},
      {TWON_ENUMERATION, hugeCount}, {TWON_ONEVALUE, shortOneValue},
      {TWON_ONEVALUE, wideOneValue}, {TWON_RANGE, TTwnBlock(21, 0)},
      {TWON_ARRAY, TTwnBlock(5, 0)}, {TWON_ENUMERATION, TTwnBlock(13, 0)},
  };
  for (const TCase& t : cases) {
    TTwnContainer c;
    c.SetCapability(ICAP_PIXELTYPE);
    c.SetContainerType(TWON_ENUMERATION);
    c.SetItem(4, 44);
    EXPECT_THROW(c.SetContainer(ICAP_UNITS, t.Kind, t.Block), ETwnContainerError) << t.Kind;
    EXPECT_EQ(c.Capability(), ICAP_PIXELTYPE);
    EXPECT_EQ(c.ContainerType(), TWON_ENUMERATION);
    EXPECT_EQ(c.GetNumItems(), 10);
    EXPECT_EQ(ItemOf(c, 4), Variant(44));
  }
}

// Indexes a peer hands in are only used inside the items.
TEST(TTwnContainer, IndexesBeyondTheItemsAreNeverFollowed) {
  TTwnContainer c;
  c.SetContainer(ICAP_HALFTONES, TWON_ENUMERATION,
                 ListBlock(TWON_ENUMERATION, TWTY_STR255, {0x41}, 5000, 0xFFFFFFFF));
  EXPECT_EQ(c.GetCurrentValue(), Variant(""));
  EXPECT_EQ(c.GetDefaultValue(), Variant(""));
  EXPECT_EQ(c.GetCurrentIndex(), 5000);
  EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 0u);  // the mirror holds an empty text
  EXPECT_EQ(ItemOf(c, 0), Variant("A"));
  EXPECT_EQ(ItemOf(c, 1), Variant("untouched"));
  EXPECT_EQ(ItemOf(c, -1), Variant("untouched"));
  c.SetItem(1, "B");
  c.SetItem(-1, "B");
  EXPECT_EQ(c.GetNumItems(), 1);

  c.SetContainer(ICAP_HALFTONES, TWON_ARRAY, ListBlock(TWON_ARRAY, TWTY_STR255, {}));
  EXPECT_EQ(c.GetNumItems(), 0);
  EXPECT_EQ(ItemOf(c, 0), Variant("untouched"));
  EXPECT_EQ(c.GetMaxValue(), Variant(-1));
}

TEST(TTwnContainer, ChangingCapabilityOrKindClearsChangingItemTypeKeeps) {
  TTwnContainer c;
  c.SetCapability(ICAP_XFERMECH);
  c.SetContainerType(TWON_ENUMERATION);
  c.SetItem(2, 2);
  c.SetSupportedOps(TWQC_GET | TWQC_SET);

  c.SetCapability(ICAP_XFERMECH);
  EXPECT_EQ(ItemOf(c, 2), Variant(2));
  c.SetContainerType(TWON_ENUMERATION);  // the same kind keeps the items, asks for 10
  EXPECT_EQ(ItemOf(c, 2), Variant(2));

  c.SetItemType(TWTY_UINT32);
  EXPECT_EQ(U16At(*c.GetContainerData(false), 0), TWTY_UINT32);
  EXPECT_EQ(U16At(*c.GetContainerData(true), 0), TWTY_UINT32);
  EXPECT_EQ(ItemOf(c, 2), Variant(2));
  c.SetItemType(TTwnContainer::kNoItemType);
  c.SetItemType(200);
  EXPECT_EQ(c.ItemType(), TWTY_UINT32);

  c.SetCapability(CAP_SUPPORTEDCAPSEXT);  // no item type of its own
  EXPECT_EQ(c.ItemType(), TWTY_UINT32);
  EXPECT_EQ(c.GetNumItems(), -1);
  EXPECT_EQ(c.GetContainerData(false), nullptr);
  EXPECT_EQ(c.SupportedOps(), TWQC_GET | TWQC_SET);
  EXPECT_EQ(U32At(*c.GetContainerData(true), 2), 0xFFFFFFFFu);

  c.SetContainerType(TWON_RANGE);
  EXPECT_EQ(c.GetNumItems(), 1);
  EXPECT_EQ(c.GetContainerData(false)->size(), 22u);
  for (size_t i = 2; i < 22; ++i) EXPECT_EQ((*c.GetContainerData(false))[i], 0);
}

// A larger item type spreads the items further apart: the block grows with them.
TEST(TTwnContainer, WiderItemTypeGrowsTheBlocks) {
  TTwnContainer c;
  c.SetContainerType(TWON_ENUMERATION);
  c.SetItemType(TWTY_STR255);
  EXPECT_GE(c.GetContainerData(false)->size(), 10u * 256 + 18);
  c.SetItem(9, std::string(300, 'z'));
  EXPECT_EQ(ItemOf(c, 9), Variant(std::string(255, 'z')));
  c.SetCurrentIndex(9);
  EXPECT_EQ(c.GetCurrentValue(), Variant(std::string(255, 'z')));
}

TEST(TTwnContainer, CapItemTypeTable) {
  struct TCase {
    uint16_t Cap;
    uint16_t ItemType;
  };
  const TCase cases[] = {
      {CAP_XFERCOUNT, TWTY_INT16},
      {ICAP_JPEGQUALITY, TWTY_INT16},
      {CAP_ALARMVOLUME, TWTY_INT32},
      {CAP_TIMEBETWEENCAPTURES, TWTY_INT32},
      {ICAP_CUSTHALFTONE, TWTY_UINT8},
      {0x8817, TWTY_UINT8},
      {ICAP_XFERMECH, TWTY_UINT16},
      {CAP_DEVICEEVENT, TWTY_UINT16},
      {ICAP_BITDEPTH, TWTY_UINT16},
      {0x8853, TWTY_UINT16},
      {CAP_ENDORSER, TWTY_UINT32},
      {0x8815, TWTY_UINT32},
      {CAP_FEEDERENABLED, TWTY_BOOL},
      {ICAP_AUTOBRIGHT, TWTY_BOOL},
      {ICAP_BRIGHTNESS, TWTY_FIX32},
      {ICAP_YSCALING, TWTY_FIX32},
      {ICAP_FRAMES, TWTY_FRAME},
      {ICAP_HALFTONES, TWTY_STR32},
      {CAP_AUTHOR, TWTY_STR128},
      {CAP_CAPTION, TWTY_STR255},
      {0x8824, TWTY_STR255},
      {CAP_SUPPORTEDCAPSEXT, 99},
      {0x114A, 99},
      {0x114F, 99},
      {0x0000, 99},
      {0x1031, 99},
      {0xFFFF, 99},
  };
  for (const TCase& t : cases) {
    EXPECT_EQ(TTwnContainer::CapItemType(t.Cap), t.ItemType) << std::hex << t.Cap;
  }
}

TEST(TTwnContainer, MaxAndMinOnlyForNumericItems) {
  TTwnContainer c;
  c.SetContainer(ICAP_BITDEPTH, TWON_ENUMERATION,
                 ListBlock(TWON_ENUMERATION, TWTY_INT16, {8, 0xFFFF, 24, 1, 24}));
  EXPECT_EQ(c.GetMaxValue(), Variant(24));
  EXPECT_EQ(c.GetMinValue(), Variant(-1));
  c.SetItem(1, 3);
  EXPECT_EQ(c.GetMinValue(), Variant(1));

  c.SetContainer(ICAP_BITDEPTH, TWON_ONEVALUE, ListBlock(TWON_ARRAY, TWTY_UINT16, {12}));
  EXPECT_EQ(c.GetMaxValue(), c.GetCurrentValue());

  TTwnContainer text;
  text.SetCapability(CAP_CAPTION);
  text.SetCurrentValue("caption");
  EXPECT_EQ(text.GetMaxValue(), Variant(-1));
  EXPECT_EQ(text.GetMinValue(), Variant(-1));
  text.SetContainerType(TWON_ARRAY);
  EXPECT_EQ(text.GetMaxValue(), Variant(-1));
  EXPECT_EQ(text.GetStepSize(), Variant(-1));
}

// A range of a text type keeps every write inside its 4-byte fields.
TEST(TTwnContainer, RangeFieldsHoldFourBytesWhateverTheItemType) {
  TTwnContainer c;
  c.SetContainerType(TWON_RANGE);
  c.SetItemType(TWTY_STR255);
  c.SetItem(0, "a long text");
  const TTwnBlock& range = *c.GetContainerData(false);
  EXPECT_EQ(range.size(), 22u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(range.data() + 18)), "a l");
  EXPECT_EQ(U32At(range, 14), 0u);
  EXPECT_THROW(c.SetCurrentValue("a long text"), EVariantTypeCastError);
}

TEST(TTwnContainer, AddItemAppendsToListsOnly) {
  TTwnContainer c;
  c.SetCapability(CAP_DEVICEEVENT);
  c.AddItem(13);
  EXPECT_EQ(c.GetNumItems(), 1);  // a one value
  c.SetContainerType(TWON_ARRAY);
  c.SetNumItems(0);
  c.AddItem(TWDE_PAPERJAM);
  c.AddItem(TWDE_POWERSAVENOTIFY);
  EXPECT_EQ(c.GetNumItems(), 2);
  const TTwnBlock& block = *c.GetContainerData(false);
  EXPECT_EQ(U32At(block, 6), 13u);
  EXPECT_EQ(U32At(block, 10), 16u);
  EXPECT_THROW(c.AddItem("jam"), EVariantTypeCastError);
  EXPECT_EQ(c.GetNumItems(), 2);

  c.SetCapability(ICAP_PIXELTYPE);  // cleared: an array without a block
  EXPECT_EQ(c.GetNumItems(), -1);
  c.AddItem(2);
  EXPECT_EQ(c.GetNumItems(), 1);
  EXPECT_EQ(ItemOf(c, 0), Variant(2));
}

TEST(TTwnContainer, AssignCopiesDeeply) {
  TTwnContainer source;
  source.SetCapability(ICAP_XRESOLUTION);
  source.SetContainerType(TWON_ENUMERATION);
  source.SetNumItems(3);
  source.SetItem(0, 150);
  source.SetItem(1, 300.5);
  source.SetItem(2, 600);
  source.SetCurrentIndex(1);
  source.SetNumItems(2);  // keeps the memory of three

  TTwnContainer copy;
  copy.SetContainerType(TWON_RANGE);
  copy.Assign(source);
  source.SetItem(1, 75);
  EXPECT_EQ(copy.Capability(), ICAP_XRESOLUTION);
  EXPECT_EQ(copy.ContainerType(), TWON_ENUMERATION);
  EXPECT_EQ(copy.ItemType(), TWTY_FIX32);
  EXPECT_EQ(copy.GetNumItems(), 2);
  EXPECT_EQ(copy.GetCurrentValue(), Variant(300.5));
  EXPECT_EQ(copy.GetContainerData(false)->size(), 2u * 4 + 18);
  EXPECT_EQ(copy.GetStepSize(), Variant(-1));

  TTwnContainer text;
  text.SetCapability(CAP_AUTHOR);
  text.SetCurrentValue("Author");
  copy.Assign(text);
  EXPECT_EQ(copy.ContainerType(), TWON_ONEVALUE);
  EXPECT_EQ(copy.GetCurrentValue(), Variant("Author"));
  copy.Assign(copy);
  EXPECT_EQ(copy.GetCurrentValue(), Variant("Author"));
}

TEST(TTwnContainer, FramesPointIntoTheCurrentBlock) {
  TTwnContainer c;
  c.SetCapability(ICAP_FRAMES);
  ASSERT_EQ(c.Frames().size(), 1u);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(c.Frames()[0]->FrameData()),
            c.GetContainerData(true)->data() + 2);

  c.SetContainerType(TWON_ENUMERATION);
  ASSERT_EQ(c.Frames().size(), 10u);
  c.SetNumItems(400);  // moves the block
  ASSERT_EQ(c.Frames().size(), 400u);
  const uint8_t* block = c.GetContainerData(false)->data();
  for (size_t i = 0; i < c.Frames().size(); ++i) {
    EXPECT_EQ(reinterpret_cast<uint8_t*>(c.Frames()[i]->FrameData()), block + 14 + 16 * i);
  }
  c.Frames()[399]->FrameData()->Right = FloatToFIX32(8.5);
  c.SetNumItems(2);
  EXPECT_EQ(c.Frames().size(), 2u);

  // Frames exist only over whole frame items.
  c.SetItemType(TWTY_UINT16);
  EXPECT_TRUE(c.Frames().empty());
  c.SetContainerType(TWON_ARRAY);
  c.SetItemType(TWTY_FRAME);
  EXPECT_TRUE(c.Frames().empty());
  c.UpdateFrames(50);
  EXPECT_TRUE(c.Frames().empty());

  TTwnContainer copy;
  c.SetContainerType(TWON_ENUMERATION);
  copy.Assign(c);
  ASSERT_EQ(copy.Frames().size(), 10u);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(copy.Frames()[3]->FrameData()),
            copy.GetContainerData(false)->data() + 14 + 48);
  copy.UpdateFrames(-3);
  EXPECT_TRUE(copy.Frames().empty());
}

// Blocks of every kind and item type with random headers, then every operation with random
// arguments: whatever comes in, nothing is read or written outside a block.
TEST(TTwnContainer, RandomBlocksStayInside) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const Variant values[] = {0, -1, 7, 65536, 2.5, -40000.0, true, "", "12", std::string(300, 'q')};
  auto value = [&] { return values[next() % std::size(values)]; };
  for (int round = 0; round < 3000; ++round) {
    uint16_t kind = static_cast<uint16_t>(2 + next() % 6);
    TTwnBlock block(next() % 120, 0);
    for (uint8_t& byte : block) byte = static_cast<uint8_t>(next() % 4 == 0 ? next() : 0);
    if (block.size() >= 2) PutU16(block, 0, static_cast<uint16_t>(next() % 16));
    if (block.size() >= 6 && next() % 2) PutU32(block, 2, next() % 12);
    TStepContainer c;
    c.SetCapability(next() % 2 ? ICAP_FRAMES : static_cast<uint16_t>(next() % 0x1200));
    try {
      c.SetContainer(c.Capability(), kind, block);
    } catch (const ETwnContainerError&) {
      continue;
    }
    for (int step = 0; step < 12; ++step) {
      int index = static_cast<int>(next() % 16) - 3;
      Variant item = -1;
      try {
        switch (next() % 12) {
          case 0:
            c.GetItem(index, item);
            break;
          case 1:
            c.SetItem(index, value());
            break;
          case 2:
            c.SetCurrentValue(value());
            break;
          case 3:
            c.SetDefaultValue(value());
            break;
          case 4:
            (void)c.GetCurrentValue();
            (void)c.GetDefaultValue();
            break;
          case 5:
            (void)c.GetMaxValue();
            (void)c.GetMinValue();
            break;
          case 6:
            c.SetNumItems(index);
            break;
          case 7:
            c.SetItemType(static_cast<uint16_t>(next() % 16));
            break;
          case 8:
            c.AddItem(value());
            break;
          case 9:
            c.SetCurrentIndex(index);
            c.SetStepSize(value());
            break;
          case 10:
            (void)c.GetContainerData(next() % 2);
            (void)c.IndexOf(value());
            break;
          case 11: {
            TTwnContainer copy;
            copy.Assign(c);
            c.UpdateFrames(index);
            break;
          }
        }
      } catch (const Exception&) {
      }
      for (const auto& frame : c.Frames()) frame->FrameData()->Left.Whole = 1;
    }
  }
}
