// The manager's own condition codes, a source that breaks the rules, and the scanner's
// failing pages as an application meets them.
#include <gtest/gtest.h>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class ManagerFailures : public TWindowsDirTest {};

TEST_F(ManagerFailures, AnswerTwainConditionCodes) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_SEQERROR);  // not opened yet
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(host.OpenDSM(), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_SEQERROR);
  EXPECT_EQ(host.Condition(), TWCC_SUCCESS);  // read once
  EXPECT_EQ(host.OpenDS("Nobody", source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_NODS);
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, 0x04FF, &source), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADPROTOCOL);
  TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(host.Call(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADDEST);
  TW_IDENTITY closed{};
  closed.Id = 4711;
  EXPECT_EQ(host.Call(&closed, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&closed), TWCC_BADDEST);
  EXPECT_EQ(host.CloseDS(closed), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADDEST);

  ASSERT_EQ(host.OpenDS("SimScanner", source), TWRC_SUCCESS);
  TW_IDENTITY again{};
  EXPECT_EQ(host.OpenDS("SimScanner", again), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_SEQERROR);
  // Another application: the source itself refuses a second one.
  TRawHost other("Other Host");
  ASSERT_EQ(other.OpenDSM(), TWRC_SUCCESS);
  EXPECT_NE(other.Identity().Id, host.Identity().Id);
  EXPECT_EQ(other.OpenDS("SimScanner", again), TWRC_FAILURE);
  EXPECT_EQ(other.Condition(), TWCC_MAXCONNECTIONS);
  EXPECT_EQ(other.Call(&source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
  EXPECT_EQ(other.Condition(&source), TWCC_BADDEST);
  EXPECT_EQ(other.CloseDSM(), TWRC_SUCCESS);
  CloseSession(host, source);
  EXPECT_EQ(host.CloseDSM(), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_SEQERROR);
}

// Several open/close rounds, and applications coming and going in one process.
TEST_F(ManagerFailures, RoundsAndApplicationsComeAndGo) {
  AddScanner();
  for (int round = 0; round < 3; ++round) {
    TRawHost first("First"), second("Second");
    ASSERT_EQ(first.OpenDSM(), TWRC_SUCCESS);
    ASSERT_EQ(second.OpenDSM(), TWRC_SUCCESS);
    EXPECT_EQ(second.SourceNames(), (std::vector<std::string>{"SimScanner"}));
    EXPECT_EQ(second.CloseDSM(), TWRC_SUCCESS);
    TW_IDENTITY source{};
    ASSERT_EQ(first.OpenDS("", source), TWRC_SUCCESS);
    CloseSession(first, source);
  }
}

struct TRuleBreak {
  const char* Name;
  TSimFailure Failure;
};

class RuleBreakingSource : public TWindowsDirTest,
                           public ::testing::WithParamInterface<TRuleBreak> {};

// A source that raises out of DS_Entry, or answers no return code: TWRC_FAILURE, and
// TWCC_BUMMER from DAT_STATUS; the session goes on.
TEST_P(RuleBreakingSource, GivesFailureAndBummer) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TSimScannerSettings settings;
  settings.Failure = GetParam().Failure;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  TW_UINT32 value = 0;
  EXPECT_EQ(host.GetCurrent(source, ICAP_PIXELTYPE, value), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_BUMMER);
  EXPECT_EQ(host.Condition(&source), TWCC_SUCCESS);
  EXPECT_EQ(host.GetCurrent(source, ICAP_PIXELTYPE, value), TWRC_SUCCESS);
  CloseSession(host, source);
}

INSTANTIATE_TEST_SUITE_P(Sources, RuleBreakingSource,
                         ::testing::Values(TRuleBreak{"Raises", TSimFailure::RaiseFromEntry},
                                           TRuleBreak{"Garbage", TSimFailure::GarbageAnswer}),
                         [](const auto& info) { return info.param.Name; });

class FailingPages : public TWindowsDirTest {
 protected:
  void Start(TRawHost& Host, TW_IDENTITY& Source, TSimFailure Failure) {
    AddScanner();
    OpenSession(Host, Source);
    TSimScannerSettings settings;
    settings.Failure = Failure;
    settings.FailurePage = 0;
    settings.Sheets = 2;
    ASSERT_EQ(Steer(Host, Source, settings), TWRC_SUCCESS);
    EnableAndWaitForPages(Host, Source);
  }
};

TEST_F(FailingPages, CancelAndFailureLeaveTheNextPage) {
  TRawHost host;
  TW_IDENTITY source{};
  Start(host, source, TSimFailure::FailTransfer);
  EXPECT_TRUE(NativePage(host, source, TWRC_FAILURE)->Empty());
  EXPECT_EQ(host.Condition(&source), TWCC_OPERATIONERROR);
  TW_UINT16 left = 0;
  ASSERT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
  EXPECT_EQ(left, 1);
  EXPECT_FALSE(NativePage(host, source)->Empty());
  ASSERT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

TEST_F(FailingPages, CancelledTransfer) {
  TRawHost host;
  TW_IDENTITY source{};
  Start(host, source, TSimFailure::Cancel);
  EXPECT_TRUE(NativePage(host, source, TWRC_CANCEL)->Empty());
  TW_UINT16 left = 0;
  ASSERT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(MemoryPage(host, source).Last, TWRC_XFERDONE);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

TEST_F(FailingPages, PageOfZeroDpi) {
  TRawHost host;
  TW_IDENTITY source{};
  Start(host, source, TSimFailure::ZeroDpi);
  TW_IMAGEINFO info{};
  ASSERT_EQ(host.Call(&source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(+info.XResolution.Whole, 0);
  EXPECT_EQ(+info.YResolution.Whole, 0);
  std::unique_ptr<TDIB> page = NativePage(host, source);
  ASSERT_FALSE(page->Empty());
  EXPECT_EQ(page->Header()->biXPelsPerMeter, 0);
  EXPECT_EQ(page->Header()->biYPelsPerMeter, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

class WideDIBs : public FailingPages, public ::testing::WithParamInterface<int> {};

// The page object refuses such pages; the block itself is what the application frees.
TEST_P(WideDIBs, ComeAsPackedDIBsOfThatDepth) {
  TRawHost host;
  TW_IDENTITY source{};
  Start(host, source, GetParam() == 16 ? TSimFailure::Bits16 : TSimFailure::Bits32);
  TW_IMAGEINFO info{};
  ASSERT_EQ(host.Call(&source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(+info.BitsPerPixel, GetParam());
  TW_HANDLE handle = nullptr;
  ASSERT_EQ(host.Call(&source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
  auto* header = static_cast<win32::BITMAPINFOHEADER*>(win32::GlobalLock(handle));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biBitCount, GetParam());
  EXPECT_EQ(header->biWidth, 200);
  EXPECT_EQ(win32::GlobalSize(handle), 40 + header->biSizeImage);
  win32::GlobalUnlock(handle);
  EXPECT_EQ(win32::GlobalFree(handle), nullptr);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

INSTANTIATE_TEST_SUITE_P(Depths, WideDIBs, ::testing::Values(16, 32));

}  // namespace
