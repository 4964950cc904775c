#include "cachedir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "exception.h"

namespace fs = std::filesystem;

namespace {

// A home of the test's own, so that no case touches the user's cache.
class CacheDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "clarivo-cache-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
    unsetenv("CLARIVO_CACHE_DIR");
    setenv("XDG_CACHE_HOME", (FRoot / "xdg").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CLARIVO_CACHE_DIR");
    unsetenv("XDG_CACHE_HOME");
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }
  std::string UserCache() const { return (FRoot / "xdg" / "Dovantic Technologies" / "Clarivo"); }

  fs::path FRoot;
};

TEST_F(CacheDirectoryTest, BesideAnInstalledProgramThatMayWriteThere) {
  fs::create_directory(FRoot / "lib");
  EXPECT_EQ(CacheDirectory((FRoot / "lib").string()), (FRoot / "lib" / "cache").string());
  EXPECT_TRUE(fs::is_directory(FRoot / "lib" / "cache"));
  EXPECT_FALSE(fs::exists(UserCache()));
}

// Programs in the project's trees, in a directory nobody can write (not even root) or
// unknown keep their pages in the user's cache directory.
TEST_F(CacheDirectoryTest, InTheUsersCacheWhenNotBesideTheProgram) {
  for (std::string program :
       {std::string(CLARIVO_BUILD_TREE) + "/controlpanel", std::string(CLARIVO_SOURCE_TREE),
        std::string("/proc/self"), std::string()}) {
    SCOPED_TRACE(program);
    EXPECT_EQ(CacheDirectory(program), UserCache());
    EXPECT_TRUE(fs::is_directory(UserCache()));
  }
  EXPECT_FALSE(fs::exists(std::string(CLARIVO_SOURCE_TREE) + "/cache"));
}

TEST_F(CacheDirectoryTest, HomeWhenTheCacheHomeIsNotAbsolute) {
  setenv("XDG_CACHE_HOME", "relative", 1);
  const char* home = std::getenv("HOME");
  std::string saved = home != nullptr ? home : "";
  setenv("HOME", FRoot.c_str(), 1);
  EXPECT_EQ(CacheDirectory(""), (FRoot / ".cache" / "Dovantic Technologies" / "Clarivo"));
  setenv("HOME", saved.c_str(), 1);
}

TEST_F(CacheDirectoryTest, MovedByTheEnvironment) {
  setenv("CLARIVO_CACHE_DIR", (FRoot / "moved/").c_str(), 1);
  fs::create_directory(FRoot / "lib");
  EXPECT_EQ(CacheDirectory((FRoot / "lib").string()), (FRoot / "moved").string());
  EXPECT_FALSE(fs::exists(FRoot / "lib" / "cache"));
}

TEST_F(CacheDirectoryTest, AnUnusableChoiceRaises) {
  setenv("CLARIVO_CACHE_DIR", "/proc/self/cache", 1);
  EXPECT_THROW(CacheDirectory(""), Exception);
}

}  // namespace
