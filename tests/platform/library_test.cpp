#include "library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "windowsdir.h"

namespace {

TEST(WindowsDirectory, MovedByTheEnvironment) {
  unsetenv("CLARIVO_WINDOWS_DIR");
  EXPECT_EQ(win32::GetWindowsDirectory(), BUILD_WINDOWS_DIR);
  setenv("CLARIVO_WINDOWS_DIR", "/tmp/somewhere/", 1);
  EXPECT_EQ(win32::GetWindowsDirectory(), "/tmp/somewhere");
  setenv("CLARIVO_WINDOWS_DIR", "", 1);
  EXPECT_EQ(win32::GetWindowsDirectory(), BUILD_WINDOWS_DIR);
  unsetenv("CLARIVO_WINDOWS_DIR");
}

// A manager loaded from a folder of the application's choosing lists the sources below
// itself, as long as it is loaded.
TEST(WindowsDirectory, IsWhereTheLoadedManagerLives) {
  unsetenv("CLARIVO_WINDOWS_DIR");
  std::string pattern =
      (std::filesystem::temp_directory_path() / "clarivo-windows-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  std::filesystem::path copy = std::filesystem::path(pattern) / "TWAIN_32.DLL";
  std::filesystem::copy_file(std::string(BUILD_WINDOWS_DIR) + "/TWAIN_32.DLL", copy);
  win32::HMODULE manager = win32::LoadLibrary(copy.string());
  ASSERT_NE(manager, nullptr) << win32::LastLibraryError();
  EXPECT_EQ(win32::GetWindowsDirectory(), pattern);
  EXPECT_TRUE(win32::FreeLibrary(manager));
  EXPECT_EQ(win32::GetWindowsDirectory(), BUILD_WINDOWS_DIR);
  std::filesystem::remove_all(pattern);
}

// By path, or by the bare name from the Windows directory; a loaded library is found by
// name again, as the same instance.
TEST(Library, LoadsByPathAndByNameAsOneInstance) {
  unsetenv("CLARIVO_WINDOWS_DIR");
  win32::HMODULE byPath = win32::LoadLibrary(std::string(BUILD_WINDOWS_DIR) + "/TWAIN_32.DLL");
  ASSERT_NE(byPath, nullptr) << win32::LastLibraryError();
  win32::HMODULE byName = win32::LoadLibrary("TWAIN_32.DLL");
  EXPECT_EQ(byName, byPath);
  void* entry = win32::GetProcAddress(byPath, "DSM_Entry");
  EXPECT_NE(entry, nullptr);
  EXPECT_EQ(win32::GetProcAddress(byPath, uint16_t{1}), entry);
  EXPECT_EQ(win32::GetProcAddress(byPath, uint16_t{2}), nullptr);
  EXPECT_EQ(win32::GetProcAddress(byPath, "DS_Entry"), nullptr);
  EXPECT_FALSE(win32::LastLibraryError().empty());
  EXPECT_TRUE(win32::FreeLibrary(byName));
  EXPECT_TRUE(win32::FreeLibrary(byPath));
}

TEST(Library, AMissingLibrarySaysWhy) {
  EXPECT_EQ(win32::LoadLibrary("/nowhere/NoSuch.ds"), nullptr);
  EXPECT_NE(win32::LastLibraryError().find("NoSuch.ds"), std::string::npos);
  EXPECT_FALSE(win32::FreeLibrary(nullptr));
}

}  // namespace
