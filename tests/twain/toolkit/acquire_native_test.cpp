#include <gtest/gtest.h>

#include <cstring>

#include "acquire_fixture.h"
#include "vekTWAINDIB.h"

namespace {

using TStrings = std::vector<std::string>;

class NativeAcquireTest : public TAcquireTest {};

}  // namespace

TEST_F(NativeAcquireTest, RawHandsOverTheVeryBlockOfEveryPageOfTheFeeder) {
  TvekTWAIN twain;
  Record(twain);
  twain.SetShowUI(false);
  twain.SetDIBHandleType(THDT_DIBRAW);
  ASSERT_TRUE(AcquireAll(twain));
  EXPECT_EQ(Log, (TStrings{"negotiation", "xferready", "image", "next 2", "image", "next 1",
                           "image", "next 0"}));
  ASSERT_EQ(Images.size(), 3u);
  ASSERT_EQ(Reports.size(), 2u);  // the last page closes the source before its event
  for (size_t i = 0; i < Reports.size(); ++i)
    EXPECT_EQ(Images[i].hImage, Reports[i].LastNativeHandle);
  for (const TImageSeen& image : Images) {
    const void* block = win32::GlobalLock(image.hImage);
    const auto layout = CheckPackedDIB(block, win32::GlobalSize(image.hImage));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->Width, 200);
    EXPECT_EQ(image.Width, layout->Width);
    EXPECT_EQ(image.Height, layout->Height);
    win32::GlobalUnlock(image.hImage);
  }
  EXPECT_FALSE(twain.IsDSMOpen());
  FreeImages(THDT_DIBRAW);
}

// What 2.x drivers may hand over natively: a TIFF, read and handed on as the packed DIB of its
// page, from a 1.x scanner and from a 2.x one that has its blocks from the manager.
class NativeTiffAcquireTest : public TAcquireTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(NativeTiffAcquireTest, ATiffPageIsHandedOverAsItsPackedDIB) {
  AddScanner(GetParam(), true);
  TvekTWAIN twain;
  Record(twain);
  twain.SetShowUI(false);
  twain.SetDIBHandleType(THDT_DIBRAW);
  Armed.NativeTiff = true;
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_EQ(twain.SelectSource(GetParam()), TWRC_SUCCESS);
  ASSERT_TRUE(AcquireAll(twain));
  ASSERT_EQ(Images.size(), 3u);
  for (size_t i = 0; i < Images.size(); ++i) {
    const TImageSeen& image = Images[i];
    EXPECT_NE(image.hImage, Reports[std::min(i, Reports.size() - 1)].LastNativeHandle);
    const void* block = win32::GlobalLock(image.hImage);
    const auto layout = CheckPackedDIB(block, win32::GlobalSize(image.hImage));
    ASSERT_TRUE(layout) << "page " << i;
    EXPECT_EQ(layout->Width, 200);
    EXPECT_EQ(layout->Height, 200);
    win32::GlobalUnlock(image.hImage);
  }
  FreeImages(THDT_DIBRAW);
}

INSTANTIATE_TEST_SUITE_P(Scanners, NativeTiffAcquireTest,
                         ::testing::Values("SimScannerB", "SimScannerTW2"));
