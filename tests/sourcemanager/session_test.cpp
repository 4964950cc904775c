// A whole session of an application with a scanner, through the real TWAIN_32.DLL and
// SimScanner.ds: open, list, open by name and by default, negotiate, enable, wait for the
// page through the message loop, transfer by each mechanism, end, disable, close.
#include <gtest/gtest.h>

#include <filesystem>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class Session : public TWindowsDirTest {};

TEST_F(Session, OpensListsNegotiatesAndClosesThroughTheManager) {
  AddScanner("SimScanner");
  AddScanner("SimScannerB", true);
  TRawHost host;
  ASSERT_TRUE(host.Loaded());
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  EXPECT_NE(host.Identity().Id, 0u);
  EXPECT_EQ(host.SourceNames(), (std::vector<std::string>{"SimScanner", "SimScannerB"}));

  TW_IDENTITY def{};
  ASSERT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def), TWRC_SUCCESS);
  EXPECT_STREQ(def.ProductName, "SimScanner");

  TW_IDENTITY named{}, standard{};
  ASSERT_EQ(host.OpenDS("", standard), TWRC_SUCCESS);
  EXPECT_STREQ(standard.ProductName, "SimScanner");
  ASSERT_EQ(host.OpenDS("SimScannerB", named), TWRC_SUCCESS);
  EXPECT_STREQ(named.ProductName, "SimScannerB");
  EXPECT_STREQ(named.Manufacturer, "Clarivo Tests");
  EXPECT_NE(named.Id, 0u);
  EXPECT_NE(standard.Id, named.Id);

  EXPECT_EQ(host.SetOneValue(named, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
  TW_UINT32 value = 0;
  ASSERT_EQ(host.GetCurrent(named, ICAP_PIXELTYPE, value), TWRC_SUCCESS);
  EXPECT_EQ(value, TWPT_RGB);
  ASSERT_EQ(host.GetCurrent(named, ICAP_BITDEPTH, value), TWRC_SUCCESS);
  EXPECT_EQ(value, 24u);

  EXPECT_EQ(host.CloseDS(standard), TWRC_SUCCESS);
  EXPECT_EQ(host.CloseDSM(), TWRC_FAILURE);  // a source is still open
  EXPECT_EQ(host.Condition(), TWCC_SEQERROR);
  EXPECT_EQ(host.CloseDS(named), TWRC_SUCCESS);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

struct TMechanismCase {
  const char* Name;
  TW_UINT16 Mechanism;
  TW_UINT16 PixelType;
  int32_t RowAlign;
  int32_t StripRows;
};

class Transfers : public TWindowsDirTest, public ::testing::WithParamInterface<TMechanismCase> {};

// Three sheets in the feeder, each page checked against the page the generator makes.
TEST_P(Transfers, EveryPageArrivesWhole) {
  const TMechanismCase& c = GetParam();
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source, "SimScanner");
  TSimScannerSettings settings;
  settings.RowAlign = c.RowAlign;
  settings.StripRows = c.StripRows;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  ASSERT_EQ(host.SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, c.Mechanism), TWRC_SUCCESS);
  ASSERT_EQ(host.SetOneValue(source, ICAP_PIXELTYPE, TWTY_UINT16, c.PixelType), TWRC_SUCCESS);
  EnableAndWaitForPages(host, source);

  std::string file = (Dir() / "page.bmp").string();
  TW_UINT16 left = 1;
  for (int32_t index = 0; left != 0; ++index) {
    ASSERT_LT(index, 3);
    std::unique_ptr<TDIB> expected = ExpectedPage(index, c.PixelType);
    TW_IMAGEINFO info{};
    ASSERT_EQ(host.Call(&source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(+info.ImageWidth, expected->Width());
    EXPECT_EQ(+info.ImageLength, expected->Height());
    EXPECT_EQ(+info.BitsPerPixel, expected->BitCount());
    EXPECT_EQ(+info.XResolution.Whole, 100);
    if (c.Mechanism == TWSX_NATIVE) {
      std::unique_ptr<TDIB> page = NativePage(host, source);
      ASSERT_FALSE(page->Empty());
      ExpectSameRows(*page, *expected);
      EXPECT_EQ(page->XResolution(), 100);
    } else if (c.Mechanism == TWSX_FILE) {
      ExpectFilePage(host, source, file, *expected);
    } else {
      TStrips strips = MemoryPage(host, source);
      ASSERT_EQ(strips.Last, TWRC_XFERDONE);
      ASSERT_EQ(strips.Rows, static_cast<TW_UINT32>(expected->Height()));
      TW_UINT32 align = static_cast<TW_UINT32>(c.RowAlign);
      EXPECT_EQ(strips.BytesPerRow,
                (static_cast<TW_UINT32>(expected->LineBytes()) + align - 1) / align * align);
      if (c.StripRows > 0) {
        EXPECT_EQ(strips.Calls, (expected->Height() + c.StripRows - 1) / c.StripRows);
      }
      if (expected->BitCount() == 24) expected->SwapRedBlue();  // strips are red, green, blue
      for (int32_t y = 0; y < expected->Height(); ++y)
        ASSERT_EQ(std::memcmp(&strips.Bytes[y * strips.BytesPerRow], expected->Lines(y),
                              expected->LineBytes()),
                  0)
            << "row " << y;
    }
    ASSERT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
    EXPECT_EQ(left, 2 - index);
  }
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

INSTANTIATE_TEST_SUITE_P(
    Mechanisms, Transfers,
    ::testing::Values(TMechanismCase{"NativeGray", TWSX_NATIVE, TWPT_GRAY, 4, 0},
                      TMechanismCase{"NativeBW", TWSX_NATIVE, TWPT_BW, 4, 0},
                      TMechanismCase{"NativeRGB", TWSX_NATIVE, TWPT_RGB, 4, 0},
                      TMechanismCase{"FileRGB", TWSX_FILE, TWPT_RGB, 4, 0},
                      TMechanismCase{"FileBW", TWSX_FILE, TWPT_BW, 4, 0},
                      TMechanismCase{"MemoryGrayStride", TWSX_MEMORY, TWPT_GRAY, 4, 0},
                      TMechanismCase{"MemoryBWPacked", TWSX_MEMORY, TWPT_BW, 1, 7},
                      TMechanismCase{"MemoryRGBWideRows", TWSX_MEMORY, TWPT_RGB, 16, 33}),
    [](const ::testing::TestParamInfo<TMechanismCase>& info) { return info.param.Name; });

}  // namespace
