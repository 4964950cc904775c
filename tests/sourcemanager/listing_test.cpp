// Listing the sources: which files count, what listing does to a source, and the manager's
// answers when there is nothing to list.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class Listing : public TWindowsDirTest {};

TEST_F(Listing, SkipsWhatIsNoSourceAndFindsSourcesInSubfolders) {
  AddNotASource();
  AddBrokenSource();
  AddScanner("SimScanner");
  AddScanner("Deep", true, "vendor/models");
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(host.SourceNames(), (std::vector<std::string>{"SimScanner", "Deep"}));
  TW_IDENTITY after{};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &after), TWRC_ENDOFLIST);
  TW_IDENTITY broken{};
  EXPECT_EQ(host.OpenDS("Broken", broken), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

// Listing asks each source its identity and nothing else, once while its file stays as it
// is, in a process of its own: no library is loaded into the application; the scanner's
// start-up work runs at its first opening only.
TEST_F(Listing, AsksOnlyTheIdentityAndUnloadsAgain) {
  std::string copy = AddScanner("Listed", true);
  std::string trace = (Dir() / "scanner.trace").string();
  setenv("CLARIVO_SIMSCANNER_TRACE", trace.c_str(), 1);
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  for (int round = 0; round < 3; ++round) EXPECT_EQ(host.SourceNames().size(), 1u);
  TW_IDENTITY def{};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def), TWRC_SUCCESS);
  EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
  std::ifstream in(trace);
  std::string lines((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(lines, "0x0003 0x0001\n");  // DAT_IDENTITY MSG_GET

  TW_IDENTITY source{};
  ASSERT_EQ(host.OpenDS("Listed", source), TWRC_SUCCESS);
  EXPECT_EQ(Report(host, source).StartUps, 1);
  ASSERT_EQ(host.CloseDS(source), TWRC_SUCCESS);
  // Closed, the library stays, and so does what it keeps.
  void* still = dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(still, nullptr);
  if (still != nullptr) dlclose(still);
  EXPECT_EQ(host.SourceNames(), (std::vector<std::string>{"Listed"}));
  ASSERT_EQ(host.OpenDS("Listed", source), TWRC_SUCCESS);
  TSimScannerReport report = Report(host, source);
  EXPECT_EQ(report.StartUps, 1);
  EXPECT_EQ(report.Openings, 2);
  CloseSession(host, source);
  unsetenv("CLARIVO_SIMSCANNER_TRACE");
}

TEST_F(Listing, AnEmptyFolderHasNoSources) {
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY first{};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &first), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &first), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  TW_IDENTITY source{};
  EXPECT_EQ(host.OpenDS("", source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

// A source that calls back loads "TWAIN_32.DLL" by name: that must be the host's instance.
TEST_F(Listing, TheManagerByNameIsTheHostsInstance) {
  TRawHost host;
  ASSERT_TRUE(host.Loaded());
  win32::HMODULE byName = win32::LoadLibrary("TWAIN_32.DLL");
  ASSERT_NE(byName, nullptr);
  win32::HMODULE byPath = win32::LoadLibrary((Dir() / "TWAIN_32.DLL").string());
  EXPECT_EQ(byName, byPath);
  EXPECT_EQ(win32::GetProcAddress(byName, "DSM_Entry"), win32::GetProcAddress(byPath, uint16_t{1}));
  win32::FreeLibrary(byPath);
  win32::FreeLibrary(byName);
}

}  // namespace
