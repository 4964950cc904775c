// The component's published properties and its calls around a source: the rules between
// properties, the identity, source lists and selection, capabilities a source does not list,
// the negotiation of the transfer mechanism and the file format, and the image layout.
#include <gtest/gtest.h>

#include <filesystem>

#include "acquire_fixture.h"

namespace {

class ComponentTest : public TAcquireTest {};

}  // namespace

TEST(ComponentProperties, RulesBetweenProperties) {
  TvekTWAIN twain;
  EXPECT_EQ(twain.FileFormat(), TWFF_BMP);
  twain.SetFileFormat(TWFF_PICT);
  EXPECT_EQ(twain.FileFormat(), TWFF_BMP);
  twain.SetFileFormats({TWFF_PICT, TWFF_BMP, TWFF_XBM});
  EXPECT_TRUE(twain.FileFormats() == TTwnFileFmts{TWFF_BMP});
  twain.SetFileFormat(TWFF_JFIF);
  twain.SetReturnHandle(true);
  EXPECT_FALSE(twain.ReturnHandle());
  twain.SetFilename("");
  EXPECT_EQ(twain.FileFormat(), TWFF_BMP);
  EXPECT_TRUE(twain.ReturnHandle());
  twain.SetDIBHandleType(THDT_MEMPTR);
  EXPECT_EQ(twain.XferMech(), TWFX_MEMORY);
  twain.SetXferMech(TWFX_NATIVE);
  EXPECT_EQ(twain.DIBHandleType(), THDT_DIBHANDLE);
  twain.SetLogFilename("/tmp/x.log");
  EXPECT_EQ(twain.LogFilename(), "");
}

TEST(ComponentProperties, FilenameNamesTheFormatAndALowerCaseFile) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  TvekTWAIN twain;
  twain.SetFilename((dir / "Page.TIF").string());
  EXPECT_EQ(twain.Filename(), (dir / "page.tif").string());
  EXPECT_EQ(twain.FileFormat(), TWFF_TIFF);
  twain.SetFileFormat(TWFF_TIFFMULTI);
  twain.SetFilename((dir / "Other.tif").string());
  EXPECT_EQ(twain.FileFormat(), TWFF_TIFFMULTI);
  twain.SetFileFormat(TWFF_PNG);
  EXPECT_EQ(twain.Filename(), (dir / "other.png").string());
  // A directory that does not exist gives a fresh (lower-cased) "TWN" name in the temporary
  // directory.
  twain.SetFilename("/no/such/dir/scan.jpg");
  EXPECT_EQ(std::filesystem::path(twain.Filename()).extension(), ".jpg");
  EXPECT_EQ(std::filesystem::path(twain.Filename()).filename().string().rfind("twn", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(twain.Filename()));
}

TEST(ComponentProperties, TheIdentity) {
  TvekTWAIN twain;
  EXPECT_EQ(twain.Language(), TvekLanguage::ENGLISH_INTL);
  EXPECT_EQ(twain.Country(), TvekCountry::UNITEDKINGDOM);
  twain.SetLanguage(TvekLanguage::US_ENGLISH);
  EXPECT_EQ(twain.AppIdentity().Version.Language, 13);
  twain.SetCountry(TvekCountry::ITALY);
  EXPECT_EQ(twain.AppIdentity().Version.Country, 39);
  EXPECT_EQ(twain.Country(), TvekCountry::ITALY);
  twain.AppIdentity().Version.Country = 4242;
  EXPECT_EQ(twain.Country(), TvekCountry::UNITEDKINGDOM);
  EXPECT_EQ(twain.Manufacturer(), "VEK DESIGN");
  twain.SetManufacturer(std::string(40, 'm'));
  EXPECT_EQ(twain.Manufacturer(), std::string(32, 'm'));
  twain.SetProductName("Clarivo");
  EXPECT_EQ(twain.ProductName(), "Clarivo");
  EXPECT_EQ(twain.ProductFamily(), "Image Capture");
}

TEST_F(ComponentTest, SourcesAreListedAndSelectedByName) {
  AddScanner("Second", true);
  TvekTWAIN twain;
  std::vector<std::string> names;
  twain.GetSourceNames(names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Second", "SimScanner"}));
  EXPECT_FALSE(twain.IsDSMOpen());  // opened for the list only
  ASSERT_TRUE(twain.OpenSourceMgr());
  const std::string byDefault = twain.DefaultSource();
  EXPECT_FALSE(byDefault.empty());
  EXPECT_EQ(std::string(twain.SourceIdentity().ProductName), byDefault);
  ASSERT_EQ(twain.SelectSource("Second"), TWRC_SUCCESS);
  for (const std::string& unknown : {std::string("Nobody"), std::string()}) {
    EXPECT_EQ(twain.SelectSource(unknown), TWRC_ENDOFLIST);
    EXPECT_EQ(std::string(twain.SourceIdentity().ProductName), "Second");
  }
  ASSERT_TRUE(twain.OpenSource(""));
  EXPECT_EQ(std::string(twain.SourceIdentity().ProductName), "Second");
  EXPECT_EQ(twain.DefaultSource(), "");
}

TEST_F(ComponentTest, CapabilitiesTheSourceDoesNotListAreNeverAsked) {
  TvekTWAIN twain;
  EXPECT_TRUE(twain.IsCapSupported(ICAP_BRIGHTNESS));
  EXPECT_FALSE(twain.IsCapExtended(ICAP_BRIGHTNESS));
  std::vector<uint16_t> failed;
  twain.OnFailure = [&](QObject*, int32_t, uint16_t, uint16_t Cap, uint16_t, int32_t, int32_t) {
    failed.push_back(Cap);
  };
  Armed.OmitCaps[0] = ICAP_BRIGHTNESS;
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_TRUE(twain.OpenSource("SimScanner"));
  ASSERT_TRUE(Steer(twain, Armed));
  twain.ClearCapabilities();
  twain.ReadSupportedCaps();
  EXPECT_FALSE(twain.IsCapSupported(ICAP_BRIGHTNESS));
  EXPECT_EQ(twain.GetBrightness(), -1.0);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(twain.GetContrast(), 0.0);
  twain.SetXResolution(300);
  EXPECT_EQ(twain.GetXResolution(), 300.0);
  EXPECT_EQ(twain.GetPhysicalWidth(), 8.5);
  EXPECT_EQ(twain.GetUnits(), TWUN_INCHES);
  TTwnContainer* readOnly = twain.Capabilities().Find(ICAP_XRESOLUTION);
  EXPECT_EQ(twain.SetCapability(MSG_GET, 1, readOnly), TvekTWAINIntf::kNothingSent);
}

TEST_F(ComponentTest, FileTransfersFallBackToWhatTheSourceCanWrite) {
  TvekTWAIN twain;
  twain.SetXferMech(TWFX_FILES);
  twain.SetFilename((Dir() / "page.tif").string());
  // The scanner writes BMP only, which a TIFF-only application does not take.
  twain.SetFileFormats({TWFF_TIFF});
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_TRUE(twain.OpenSource("SimScanner"));
  EXPECT_EQ(twain.XferMech(), TWFX_NATIVE);
  EXPECT_EQ(twain.FileFormat(), TTwnFileFmtUnknown);
  twain.CloseSource();
  // Admitting BMP lets the transfer stay a file transfer, named for the format.
  twain.SetFileFormats({TWFF_TIFF, TWFF_BMP});
  twain.SetFilename((Dir() / "page.tif").string());
  twain.SetXferMech(TWFX_FILES);
  ASSERT_TRUE(twain.OpenSource("SimScanner"));
  EXPECT_EQ(twain.XferMech(), TWFX_FILES);
  EXPECT_EQ(twain.FileFormat(), TWFF_BMP);
  EXPECT_EQ(twain.Filename(), (Dir() / "page.bmp").string());
}

TEST_F(ComponentTest, TheImageLayoutInTheSourcesUnits) {
  TvekTWAIN twain;
  TTwnImageLayout layout;
  layout.Left = 1;
  twain.GetImageLayout(layout);  // nothing open: all zero
  EXPECT_EQ(layout.Left, 0);
  EXPECT_EQ(layout.PageNumber, 0);
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_TRUE(twain.OpenSource("SimScanner"));
  layout = TTwnImageLayout{0.5, 0.25, 1.5, 1.75, 0, 0, 0};
  EXPECT_EQ(twain.SetImageLayout(layout), TWRC_SUCCESS);
  TTwnImageLayout read;
  twain.GetImageLayout(read);
  EXPECT_EQ(read.Left, 0.5);
  EXPECT_EQ(read.Top, 0.25);
  EXPECT_EQ(read.Right, 1.5);
  EXPECT_EQ(read.Bottom, 1.75);
}
