// Which source an application gets without naming one: the one this user chose or opened
// last (kept in the user's settings), else the first; the user's choice; and sources that
// share a product name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class Choosing : public TWindowsDirTest {
 protected:
  void SetUp() override {
    TWindowsDirTest::SetUp();
    // No display: the choice is the default source, no window shows.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  std::string Default(TRawHost& Host, TW_UINT16 MSG = MSG_GETDEFAULT) {
    TW_IDENTITY identity{};
    EXPECT_EQ(Host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG, &identity), TWRC_SUCCESS);
    return identity.ProductName;
  }
  std::string Settings() {
    std::ifstream in(Dir() / "config" / "Dovantic Technologies" / "TWAIN_32.conf");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

TEST_F(Choosing, TheDefaultIsTheSourceOpenedLast) {
  AddScanner("Alpha", true);
  std::string beta = AddScanner("Beta", true);
  {
    TRawHost host;
    ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
    EXPECT_EQ(Default(host), "Alpha");
    TW_IDENTITY source{};
    ASSERT_EQ(host.OpenDS("Beta", source), TWRC_SUCCESS);
    EXPECT_EQ(host.CloseDS(source), TWRC_SUCCESS);
    EXPECT_EQ(Default(host), "Beta");
    EXPECT_EQ(Default(host, MSG_USERSELECT), "Beta");
    EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
  }
  EXPECT_NE(Settings().find(beta), std::string::npos) << Settings();
  // Another application of this user, later: the same default, which an empty name opens.
  TRawHost later("Later");
  ASSERT_EQ(later.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(Default(later), "Beta");
  TW_IDENTITY source{};
  ASSERT_EQ(later.OpenDS("", source), TWRC_SUCCESS);
  EXPECT_STREQ(source.ProductName, "Beta");
  CloseSession(later, source);
}

TEST_F(Choosing, ADefaultThatIsGoneGivesTheFirst) {
  AddScanner("Alpha", true);
  std::string beta = AddScanner("Beta", true);
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(host.OpenDS("Beta", source), TWRC_SUCCESS);
  EXPECT_EQ(host.CloseDS(source), TWRC_SUCCESS);
  std::filesystem::remove(beta);
  EXPECT_EQ(Default(host), "Alpha");
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

TEST_F(Choosing, NothingToChooseFrom) {
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY identity{};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &identity), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, nullptr), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
  EXPECT_EQ(host.CloseDSM(), TWRC_SUCCESS);
}

// Two libraries that give the same product name are listed apart, and both can be opened.
TEST_F(Choosing, SourcesOfOneNameAreListedApart) {
  AddScanner("Twin", true, "first");
  AddScanner("Twin", true, "second");
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(host.SourceNames(), (std::vector<std::string>{"Twin", "Twin (2)"}));
  TW_IDENTITY first{}, second{};
  ASSERT_EQ(host.OpenDS("Twin", first), TWRC_SUCCESS);
  ASSERT_EQ(host.OpenDS("Twin (2)", second), TWRC_SUCCESS);
  EXPECT_NE(first.Id, second.Id);
  EXPECT_EQ(host.SourceNames(), (std::vector<std::string>{"Twin", "Twin (2)"}));
  EXPECT_EQ(host.CloseDS(second), TWRC_SUCCESS);
  CloseSession(host, first);
}

}  // namespace
