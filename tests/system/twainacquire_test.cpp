// twain-acquire run as a user runs it, against the simulated scanner in a Windows directory
// of the test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "childprocess.h"
#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

namespace fs = std::filesystem;

class TwainAcquire : public TWindowsDirTest {
 protected:
  // The exit code; Output() holds what the program wrote.
  int Run(std::vector<std::string> Arguments) {
    Arguments.insert(Arguments.begin(), {"--timeout", "10"});
    TChildProcess child(TWAIN_ACQUIRE, Arguments, (Dir() / "output.txt").string());
    int rc = child.Wait(60);
    FOutput = child.Output();
    return rc;
  }
  const std::string& Output() const { return FOutput; }
  fs::path Pages() const { return Dir() / "pages"; }
  void ExpectLine(const std::string& Line) {
    EXPECT_NE(FOutput.find(Line), std::string::npos) << Line << "\nin\n" << FOutput;
  }

 private:
  std::string FOutput;
};

// Native pages first, then memory pages; each file holds the page the scanner made.
TEST_F(TwainAcquire, TakesABatchByNativeThenByMemoryTransfer) {
  AddScanner();
  ASSERT_EQ(Run({"--source", "SimScanner", "--pages", "2", "--out", Pages().string()}), 0)
      << Output();
  for (std::string mechanism : {"native", "memory"}) {
    for (int index = 0; index < 2; ++index) {
      fs::path file = Pages() / (mechanism + "-" + std::to_string(index + 1) + ".bmp");
      ExpectLine(mechanism + " page " + std::to_string(index + 1) + ": " + file.string() +
                 " (200 x 200, 8 bit) in ");
      TDIB page;
      page.LoadFromFile(file.string());
      ExpectSameRows(page, *ExpectedPage(index, TWPT_GRAY));
      EXPECT_EQ(page.XResolution(), 100);
    }
  }
  EXPECT_LT(Output().find("native page 2"), Output().find("memory page 1"));
  ExpectLine("pages written to " + Pages().string());
  EXPECT_FALSE(fs::exists(Pages() / "native-3.bmp"));  // the third sheet is discarded
}

// The feeder holds three sheets: one side each, the fourth page comes from enabling the
// source again and is the first of its new scan; both sides, it is the fourth of the first.
TEST_F(TwainAcquire, EnablesAgainForMorePagesThanOneScanGives) {
  AddScanner();
  for (bool duplex : {false, true}) {
    SCOPED_TRACE(duplex ? "duplex" : "one side");
    std::vector<std::string> arguments{"--pages", "4", "--out", Pages().string()};
    if (duplex) arguments.push_back("--duplex");
    ASSERT_EQ(Run(arguments), 0) << Output();
    for (std::string mechanism : {"native", "memory"}) {
      TDIB fourth;
      fourth.LoadFromFile((Pages() / (mechanism + "-4.bmp")).string());
      ExpectSameRows(fourth, *ExpectedPage(duplex ? 3 : 0, TWPT_GRAY));
    }
  }
}

TEST_F(TwainAcquire, ListsTheSources) {
  AddScanner("SimScanner");
  AddScanner("SimScannerB", true);
  ASSERT_EQ(Run({"--list"}), 0) << Output();
  EXPECT_EQ(Output(), "SimScanner\nSimScannerB\n");
}

struct TRefusalCase {
  const char* Name;
  std::vector<std::string> Arguments;
  const char* Says;
};

void PrintTo(const TRefusalCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class TwainAcquireRefuses : public TwainAcquire,
                            public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(TwainAcquireRefuses, WithExitCodeTwoAndWhy) {
  AddScanner();
  std::vector<std::string> arguments = GetParam().Arguments;
  arguments.insert(arguments.begin(), {"--out", Pages().string()});
  EXPECT_EQ(Run(arguments), 2);
  ExpectLine(GetParam().Says);
  EXPECT_FALSE(fs::exists(Pages() / "native-1.bmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TwainAcquireRefuses,
    ::testing::Values(TRefusalCase{"UnknownSource",
                                   {"--source", "NoSuch"},
                                   "Opening the source \"NoSuch\" failed: return code 1"},
                      TRefusalCase{
                          "NoPages", {"--pages", "0"}, "--pages needs a number from 1 to 10000"},
                      TRefusalCase{"PagesNotANumber", {"--pages", "2x"}, "--pages needs a number"},
                      TRefusalCase{"MissingValue", {"--source"}, "--source needs a value"},
                      TRefusalCase{"UnknownArgument", {"--bogus"}, "unknown argument --bogus"}),
    [](const ::testing::TestParamInfo<TRefusalCase>& info) { return info.param.Name; });

TEST_F(TwainAcquire, WithoutAnySourceSaysSo) {
  EXPECT_EQ(Run({"--out", Pages().string()}), 2);
  ExpectLine("twain-acquire: Opening the source \"\" failed");
}

TEST_F(TwainAcquire, WithoutAManagerSaysSo) {
  fs::remove(Dir() / "TWAIN_32.DLL");
  EXPECT_EQ(Run({"--list"}), 2);
  ExpectLine("twain-acquire: Unable to load the Source Manager");
}

}  // namespace
