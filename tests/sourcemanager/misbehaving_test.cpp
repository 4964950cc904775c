// Sources that break down while they are listed or closed, and what the application sees of
// them: the listing goes on without them, and every answer says what happened.
#include <gtest/gtest.h>

#include <filesystem>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class MisbehavingSources : public TWindowsDirTest {};

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1)) ++n;
  return n;
}

// Each is asked in the manager's helper process: the application lives on, the source is
// left out with one line on the standard error, and its answer is kept while its file stays.
TEST_F(MisbehavingSources, ThatBreakDownWhileListedAreLeftOutOnce) {
  const std::vector<std::string> broken{"CrashesOnIdentity", "HangsOnIdentity", "NoIdentity",
                                        "RaisesAtLoad"};
  for (const std::string& mode : broken) AddMisbehaving(mode);
  AddScanner();
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  testing::internal::CaptureStderr();
  std::vector<std::string> names = host.SourceNames();
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(names, std::vector<std::string>{"SimScanner"});
  for (const std::string& mode : broken) {
    std::string line =
        "the data source " + (Dir() / "twain_32" / (mode + ".ds")).string() + " is left out: ";
    EXPECT_EQ(Count(said, line), 1u) << said;
  }
  EXPECT_NE(said.find("did not answer within 5 s"), std::string::npos) << said;
  EXPECT_NE(said.find("it crashed"), std::string::npos) << said;
  EXPECT_NE(said.find("it gave no identity"), std::string::npos) << said;

  testing::internal::CaptureStderr();
  EXPECT_EQ(host.SourceNames(), std::vector<std::string>{"SimScanner"});
  TW_IDENTITY source{};
  EXPECT_EQ(host.OpenDS("HangsOnIdentity", source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  ASSERT_EQ(host.OpenDS("", source), TWRC_SUCCESS);
  EXPECT_STREQ(source.ProductName, "SimScanner");
  CloseSession(host, source);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(MisbehavingSources, AChangedFileIsAskedAgain) {
  AddMisbehaving("Changing");
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(host.SourceNames(), std::vector<std::string>{"Changing"});
  std::filesystem::copy_file(NOTASOURCE_DS, Dir() / "twain_32" / "Changing.ds",
                             std::filesystem::copy_options::overwrite_existing);
  testing::internal::CaptureStderr();
  EXPECT_EQ(host.SourceNames(), std::vector<std::string>{});
  EXPECT_EQ(Count(testing::internal::GetCapturedStderr(), "Changing.ds is left out"), 1u);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

struct TClosing {
  const char* Mode;
  TW_UINT16 CloseAnswer;
  TW_UINT16 Condition;       // of the manager, after the answer
  TW_UINT16 CloseDSMAnswer;  // with nothing else done
};

class ClosingSource : public TWindowsDirTest, public ::testing::WithParamInterface<TClosing> {};

// MSG_CLOSEDS answers what the source did; one that broke down is closed anyway, so that its
// application can close the manager.
TEST_P(ClosingSource, SaysWhatHappened) {
  const TClosing& c = GetParam();
  AddMisbehaving(c.Mode);
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source, c.Mode);
  EXPECT_EQ(host.CloseDS(source), c.CloseAnswer);
  EXPECT_EQ(host.Condition(), c.Condition);
  EXPECT_EQ(host.CloseDSM(), c.CloseDSMAnswer);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ClosingSource,
    ::testing::Values(TClosing{"RefusesClose", TWRC_FAILURE, TWCC_OPERATIONERROR, TWRC_FAILURE},
                      TClosing{"RaisesInClose", TWRC_FAILURE, TWCC_BUMMER, TWRC_SUCCESS},
                      // Its MSG_CLOSEDSM inside MSG_OPENDS is refused: no pair is orphaned.
                      TClosing{"ClosesManager", TWRC_SUCCESS, TWCC_SUCCESS, TWRC_SUCCESS}),
    [](const auto& info) { return std::string(info.param.Mode); });

}  // namespace
