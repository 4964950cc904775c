// Every transfer mechanism with every form of handing over: the same three pages of the
// feeder arrive with the same pixels as the native transfer gives them, with the events in
// the same order, and the component ends closed.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "acquire_fixture.h"
#include "vekTWAINDIB.h"

namespace {

using TStrings = std::vector<std::string>;
using TPixels = std::vector<uint8_t>;

struct TMechanismCase {
  const char* Name;
  TTwnXferType Mech;
  TTwnHdlType Type;
  TW_UINT16 PixelType;
  int32_t RowAlign;  // memory strips' row padding
  bool ReturnHandle;
};

void SetPixelType(TvekTWAIN& Twain, TW_UINT16 PixelType) {
  TTwnContainer* type = Twain.Capabilities().Add(ICAP_PIXELTYPE);
  type->SetItemType(TWTY_UINT16);
  type->SetCurrentValue(PixelType);
  ASSERT_EQ(Twain.SetCapability(MSG_SET, 1, type), TWRC_SUCCESS);
}

// The image's rows, as the DIB holds them.
TPixels PixelsOf(const TImageSeen& Image, TTwnHdlType Type) {
  if (Type == THDT_DIBRAW) {
    const auto* block = static_cast<const uint8_t*>(win32::GlobalLock(Image.hImage));
    const auto layout = CheckPackedDIB(block, win32::GlobalSize(Image.hImage));
    TPixels pixels;
    if (layout)
      pixels.assign(block + layout->PixelOffset, block + layout->PixelOffset + layout->ImageSize);
    win32::GlobalUnlock(Image.hImage);
    return pixels;
  }
  const auto* bits = static_cast<const uint8_t*>(win32::DIBSectionBits(Image.hImage));
  return TPixels(bits, bits + win32::DIBSectionImageSize(Image.hImage));
}

class MechanismTest : public TAcquireTest, public ::testing::WithParamInterface<TMechanismCase> {
 protected:
  // The pages of a native transfer of the same scan.
  std::vector<TPixels> NativePages(TW_UINT16 PixelType) {
    TvekTWAIN twain;
    Record(twain);
    twain.SetShowUI(false);
    twain.SetDIBHandleType(THDT_DIBRAW);
    twain.OnNegotiation = [&](QObject*) { SetPixelType(twain, PixelType); };
    EXPECT_TRUE(AcquireAll(twain));
    std::vector<TPixels> pages;
    for (const TImageSeen& image : Images) pages.push_back(PixelsOf(image, THDT_DIBRAW));
    FreeImages(THDT_DIBRAW);
    Log.clear();
    Reports.clear();
    return pages;
  }
};

}  // namespace

TEST_P(MechanismTest, PagesArriveWithTheNativePixelsAndTheEventsInOrder) {
  const TMechanismCase& c = GetParam();
  const std::vector<TPixels> native = NativePages(c.PixelType);
  ASSERT_EQ(native.size(), 3u);

  TvekTWAIN twain;
  Record(twain);
  twain.SetShowUI(false);
  twain.SetXferMech(c.Mech);
  twain.SetDIBHandleType(c.Type);
  const std::string target = (Dir() / "page.bmp").string();
  if (c.Mech == TWFX_FILES) {
    twain.SetFilename(target);
    twain.SetReturnHandle(c.ReturnHandle);
  }
  Armed.RowAlign = c.RowAlign;
  Armed.StripRows = 37;  // several strips a page, the last one short
  twain.OnNegotiation = [&](QObject*) {
    Log.push_back("negotiation");
    EXPECT_EQ(twain.XferMech(), c.Mech);
    SetPixelType(twain, c.PixelType);
    EXPECT_TRUE(Steer(twain, Armed));
  };
  ASSERT_TRUE(AcquireAll(twain));
  const bool path = c.Mech == TWFX_FILES && !c.ReturnHandle;
  const std::string image = path ? "file" : "image";
  EXPECT_EQ(Log, (TStrings{"negotiation", "xferready", image, "next 2", image, "next 1", image,
                           "next 0"}));
  ASSERT_EQ(Images.size(), 3u);
  for (size_t page = 0; page < 3; ++page) {
    const TImageSeen& seen = Images[page];
    if (path) {
      EXPECT_EQ(seen.FilePath, target);
      EXPECT_EQ(seen.hImage, nullptr);
      continue;
    }
    EXPECT_EQ(PixelsOf(seen, c.Type), native[page]) << "page " << page;
    EXPECT_EQ(seen.pBmp != nullptr, c.Type == THDT_DIBSEC);
    EXPECT_EQ(seen.pBmpInfo != nullptr, c.Type == THDT_DIBSEC);
    if (c.Type == THDT_DIBSEC) {
      EXPECT_EQ(seen.pBmp, win32::DIBSectionBits(seen.hImage));
    }
  }
  // A file loaded into a handle is gone; one handed over by its path stays.
  if (c.Mech == TWFX_FILES) {
    EXPECT_EQ(std::filesystem::exists(target), path);
  }
  EXPECT_EQ(twain.GetState(), 1);
  FreeImages(c.Type);
}

INSTANTIATE_TEST_SUITE_P(
    , MechanismTest,
    ::testing::Values(
        TMechanismCase{"NativeSection", TWFX_NATIVE, THDT_DIBHANDLE, TWPT_GRAY, 4, false},
        TMechanismCase{"NativeSectionBits", TWFX_NATIVE, THDT_DIBSEC, TWPT_RGB, 4, false},
        TMechanismCase{"NativeRawBW", TWFX_NATIVE, THDT_DIBRAW, TWPT_BW, 4, false},
        TMechanismCase{"MemorySectionGrayPadded", TWFX_MEMORY, THDT_DIBHANDLE, TWPT_GRAY, 16,
                       false},
        TMechanismCase{"MemorySectionGrayUnpadded", TWFX_MEMORY, THDT_DIBHANDLE, TWPT_GRAY, 1,
                       false},
        TMechanismCase{"MemorySectionBitsRGB", TWFX_MEMORY, THDT_DIBSEC, TWPT_RGB, 16, false},
        TMechanismCase{"MemoryRawRGB", TWFX_MEMORY, THDT_DIBRAW, TWPT_RGB, 1, false},
        TMechanismCase{"MemoryRawBW", TWFX_MEMORY, THDT_DIBRAW, TWPT_BW, 8, false},
        TMechanismCase{"MemorySectionBWNarrow", TWFX_MEMORY, THDT_DIBHANDLE, TWPT_BW, 1, false},
        TMechanismCase{"FileLoadedSection", TWFX_FILES, THDT_DIBHANDLE, TWPT_GRAY, 4, true},
        TMechanismCase{"FileLoadedSectionBits", TWFX_FILES, THDT_DIBSEC, TWPT_RGB, 4, true},
        TMechanismCase{"FileLoadedRaw", TWFX_FILES, THDT_DIBRAW, TWPT_GRAY, 4, true},
        TMechanismCase{"FileByPath", TWFX_FILES, THDT_DIBRAW, TWPT_GRAY, 4, false}),
    [](const ::testing::TestParamInfo<TMechanismCase>& Info) {
      return std::string(Info.param.Name);
    });
