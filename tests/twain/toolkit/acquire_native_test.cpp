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
