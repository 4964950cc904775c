#include "vekTWAINXferFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "twain.h"

TEST(XferFileNames, FormatOfExtension) {
  const struct {
    const char* Name;
    uint8_t Format;
  } cases[] = {
      {"/a/page.tif", TWFF_TIFF},
      {"/a/PAGE.TIF", TWFF_TIFF},
      {"x.pct", TWFF_PICT},
      {"x.xbm", TWFF_XBM},
      {"x.Bmp", TWFF_BMP},
      {"x.jpg", TWFF_JFIF},
      {"x.fpx", TWFF_FPX},
      {"x.png", TWFF_PNG},
      {"x.jpeg", TTwnFileFmtUnknown},
      {"noext", TTwnFileFmtUnknown},
      {"/a.tif/noext", TTwnFileFmtUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(FileFormatOfExt(c.Name), c.Format) << c.Name;
}

TEST(XferFileNames, ExtensionOfFormat) {
  EXPECT_EQ(ExtOfFileFormat(TWFF_TIFF), "tif");
  EXPECT_EQ(ExtOfFileFormat(TWFF_TIFFMULTI), "tif");
  EXPECT_EQ(ExtOfFileFormat(TWFF_BMP), "bmp");
  EXPECT_EQ(ExtOfFileFormat(TWFF_PNG), "png");
  EXPECT_EQ(ExtOfFileFormat(TTwnFileFmtUnknown), "");
  EXPECT_EQ(ExtOfFileFormat(8), "");
}

TEST(XferFileNames, StripLowersTheFileNameOnly) {
  EXPECT_EQ(StripFileExt("/Scans/Page.TIF"), "/Scans/page");
  EXPECT_EQ(StripFileExt("/Scans/Page"), "/Scans/page");
  // The extension is the file's own, not an earlier match in the directory.
  EXPECT_EQ(StripFileExt("/x.b/page.b"), "/x.b/page");
  EXPECT_EQ(StripFileExt(".bmp"), ".bmp");
}

TEST(XferFileNames, ExistingDirectoryKeepsTheName) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(MakeXferFileName(dir + "/Page.TIF", "bmp"), dir + "/page.bmp");
}

TEST(XferFileNames, MissingDirectoryGivesAFreshTemporaryName) {
  const std::string name = MakeXferFileName("/no/such/dir/page.bmp", "tif");
  const std::filesystem::path path(name);
  EXPECT_EQ(path.parent_path(), std::filesystem::temp_directory_path());
  EXPECT_EQ(path.filename().string().substr(0, 3), "twn");
  EXPECT_EQ(path.extension(), ".tif");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).replace_extension(".tmp")));
  EXPECT_NE(MakeXferFileName("page.bmp", "tif"), name);
}
