#include "vekTWAINCapMem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(CapabilityMemory, EnumerationOfUInt16RoundTrip) {
  // TWAIN memory: ItemType, NumItems 3, CurrentIndex 1, DefaultIndex 0, items 100 200 300.
  std::vector<uint8_t> twain(24, 0);
  const uint16_t type = TWTY_UINT16;
  const uint32_t header[3] = {3, 1, 0};
  const uint16_t items[3] = {100, 200, 300};
  std::memcpy(twain.data(), &type, 2);
  std::memcpy(twain.data() + 2, header, 12);
  std::memcpy(twain.data() + 14, items, 6);
  TTwnBlock block = BlockOfTwainContainer(TWON_ENUMERATION, twain.data(), twain.size());
  ASSERT_EQ(block.size(), 30u);
  uint32_t slot;
  std::memcpy(&slot, block.data() + 14 + 4 * 2, 4);
  EXPECT_EQ(slot, 300u);
  ASSERT_EQ(TwainContainerSize(TWON_ENUMERATION, block), 24u);
  std::vector<uint8_t> back(24, 0);
  TwainContainerOfBlock(TWON_ENUMERATION, block, back.data());
  EXPECT_EQ(std::memcmp(back.data(), twain.data(), 20), 0);
  TTwnContainer container;
  container.SetContainer(ICAP_XRESOLUTION, TWON_ENUMERATION, block);
  EXPECT_EQ(container.GetCurrentValue(), Variant(200));
}

TEST(CapabilityMemory, SmallItemsAreExtendedBySign) {
  uint8_t int8[6] = {TWTY_INT8, 0, 0xFF, 0, 0, 0};
  uint8_t uint8[6] = {TWTY_UINT8, 0, 0xFF, 0, 0, 0};
  TTwnBlock a = BlockOfTwainContainer(TWON_ONEVALUE, int8, sizeof(int8));
  TTwnBlock b = BlockOfTwainContainer(TWON_ONEVALUE, uint8, sizeof(uint8));
  int32_t va, vb;
  ASSERT_EQ(a.size(), 6u);
  std::memcpy(&va, a.data() + 2, 4);
  std::memcpy(&vb, b.data() + 2, 4);
  EXPECT_EQ(va, -1);
  EXPECT_EQ(vb, 255);
  EXPECT_EQ(TwainContainerSize(TWON_ONEVALUE, a), 1u + 6u);
}

TEST(CapabilityMemory, AnswersTooShortForTheirItemsAreRefused) {
  std::vector<uint8_t> array(10, 0);
  const uint16_t type = TWTY_UINT32;
  const uint32_t count = 1000000;
  std::memcpy(array.data(), &type, 2);
  std::memcpy(array.data() + 2, &count, 4);
  EXPECT_TRUE(BlockOfTwainContainer(TWON_ARRAY, array.data(), array.size()).empty());
  uint8_t unknown[8] = {99, 0};
  EXPECT_TRUE(BlockOfTwainContainer(TWON_ONEVALUE, unknown, sizeof(unknown)).empty());
  EXPECT_TRUE(BlockOfTwainContainer(TWON_RANGE, unknown, sizeof(unknown)).empty());
  EXPECT_TRUE(BlockOfTwainContainer(42, unknown, sizeof(unknown)).empty());
  TTwnBlock lying = {TWTY_UINT16, 0, 0xFF, 0xFF, 0, 0};
  EXPECT_EQ(TwainContainerSize(TWON_ARRAY, lying), 0u);
}
