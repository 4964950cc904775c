#include <gtest/gtest.h>

#include "vekTWAINContainer.h"

TEST(TTwnContainerList, KeepsOneContainerPerCapability) {
  TTwnContainerList list;
  TTwnContainer* pixelType = list.Add(ICAP_PIXELTYPE);
  ASSERT_NE(pixelType, nullptr);
  EXPECT_EQ(pixelType->Capability(), ICAP_PIXELTYPE);
  EXPECT_EQ(pixelType->ItemType(), TWTY_UINT16);
  TTwnContainer* author = list.Add(CAP_AUTHOR);
  EXPECT_EQ(author->ItemType(), TWTY_STR128);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Find(CAP_AUTHOR), author);
  EXPECT_EQ(list.Find(ICAP_UNITS), nullptr);

  auto replacement = std::make_unique<TTwnContainer>();
  TTwnContainer* added = replacement.get();
  list.AddContainer(ICAP_PIXELTYPE, std::move(replacement));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Find(ICAP_PIXELTYPE), added);
  EXPECT_EQ(added->Capability(), ICAP_PIXELTYPE);
  EXPECT_EQ(list.Items(1), added);
  EXPECT_EQ(list.Items(2), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);

  list.AddContainer(ICAP_UNITS, nullptr);
  EXPECT_EQ(list.Count(), 2);
  list.Add(CAP_AUTHOR);
  EXPECT_EQ(list.Count(), 2);

  list.Delete(CAP_AUTHOR);
  list.Delete(CAP_AUTHOR);
  EXPECT_EQ(list.Count(), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}
