// The page cache's file names and its clearing, on a folder of the test's own.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <set>

#include "PageCache.h"

namespace {

namespace fs = std::filesystem;

void Touch(const std::string& Path) {
  std::ofstream(Path) << "x";
}

class PageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Folder.isValid());
    Cache.Dir = Folder.path().toStdString() + "/";
  }
  QTemporaryDir Folder;
  TPageCache Cache;
};

// Pages of one second keep the "ddhhnnss" stem and the ".bmp" extension; none replaces another.
TEST_F(PageCacheTest, NamesOfOneSecondNeverCollide) {
  std::tm moment{};
  moment.tm_year = 126;
  moment.tm_mon = 11;
  moment.tm_mday = 7;
  moment.tm_hour = 9;
  moment.tm_min = 5;
  moment.tm_sec = 3;
  moment.tm_isdst = -1;
  const std::time_t now = std::mktime(&moment);
  std::set<std::string> names;
  for (int i = 0; i < 4; ++i) {
    std::string name = Cache.NewFileName(now);
    EXPECT_EQ(fs::path(name).parent_path().string() + "/", Cache.Dir);
    EXPECT_EQ(fs::path(name).filename().string().substr(0, 8), "07090503");
    EXPECT_EQ(fs::path(name).extension(), ".bmp");
    EXPECT_FALSE(fs::exists(name));
    Touch(name);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(*names.rbegin(), Cache.Dir + "07090503.bmp");
}

TEST_F(PageCacheTest, ClearDeletesTheBitmapsOnly) {
  for (const char* name : {"01020304.bmp", "01020304-1.bmp", "UPPER.BMP", "note.txt"}) {
    Touch(Cache.Dir + name);
  }
  fs::create_directory(Cache.Dir + "folder.bmp");
  EXPECT_EQ(BitmapFiles(Cache.Dir).size(), 3u);
  Cache.Clear();
  EXPECT_TRUE(BitmapFiles(Cache.Dir).empty());
  EXPECT_TRUE(fs::exists(Cache.Dir + "note.txt"));
  EXPECT_TRUE(fs::is_directory(Cache.Dir + "folder.bmp"));
}

TEST_F(PageCacheTest, AMissingFolderHasNoBitmaps) {
  Cache.Dir += "missing/";
  EXPECT_TRUE(BitmapFiles(Cache.Dir).empty());
  Cache.Clear();
}

}  // namespace
