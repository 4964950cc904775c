// How an acquisition runs and ends: skipping and stopping between pages, staying enabled,
// sources that cancel, fail or ask to be closed, the transfer count, device events, and the
// faults of sources that describe, end or deliver their images wrongly.
#include <gtest/gtest.h>

#include "acquire_fixture.h"
#include "messages.h"

namespace {

using TStrings = std::vector<std::string>;

class FlowTest : public TAcquireTest {
 protected:
  void SetUp() override {
    TAcquireTest::SetUp();
    Twain.SetShowUI(false);
    Record(Twain);
  }
  void TearDown() override {
    FreeImages(Twain.DIBHandleType());
    TAcquireTest::TearDown();
  }
  TvekTWAIN Twain;
};

struct TSourceFailureCase {
  const char* Name;
  TTwnXferType Mech;
  TSimFailure Failure;
  int32_t FailurePage;
  TStrings Events;  // after the negotiation and the transfer-ready notice
};

class SourceFailureTest : public FlowTest,
                          public ::testing::WithParamInterface<TSourceFailureCase> {};

}  // namespace

TEST_F(FlowTest, SkipNextDiscardsExactlyOnePage) {
  Twain.SetDIBHandleType(THDT_DIBRAW);
  Armed.Sheets = 4;
  Twain.OnXferNext = [&](QObject*, int32_t& NumImages, bool& SkipNext) {
    Log.push_back("next " + std::to_string(NumImages));
    SkipNext = Images.size() == 1;
  };
  ASSERT_TRUE(AcquireAll(Twain));
  EXPECT_EQ(Log, (TStrings{"negotiation", "xferready", "image", "next 3", "image", "next 1",
                           "image", "next 0"}));
}

TEST_F(FlowTest, NoMoreImagesAfterTheFirstResetsAndClosesEverything) {
  Twain.SetDIBHandleType(THDT_DIBRAW);
  Twain.OnXferNext = [&](QObject*, int32_t& NumImages, bool&) {
    Log.push_back("next " + std::to_string(NumImages));
    NumImages = 0;
  };
  ASSERT_TRUE(AcquireAll(Twain));
  EXPECT_EQ(Log, (TStrings{"negotiation", "xferready", "image", "next 2"}));
  EXPECT_FALSE(Twain.IsDSMOpen());
}

TEST_F(FlowTest, WithoutDisableAfterAcquireTheSourceStaysEnabled) {
  Twain.SetDIBHandleType(THDT_DIBRAW);
  Twain.SetDisableAfterAcquire(false);
  ASSERT_TRUE(Twain.Acquire("SimScanner"));
  ASSERT_TRUE(PumpUntil([&] { return Images.size() == 3; }));
  EXPECT_EQ(Twain.GetState(), 5);
  EXPECT_TRUE(Twain.IsSourceEnabled());
  EXPECT_TRUE(Twain.CloseSource());
  EXPECT_TRUE(Twain.CloseSourceMgr());
  EXPECT_EQ(Twain.GetState(), 1);
}

TEST_F(FlowTest, TheTransferCountSetBeforeAcquireReachesTheScanner) {
  Twain.SetDIBHandleType(THDT_DIBRAW);
  EXPECT_FALSE(Twain.SetXferCount(2));  // no source yet: kept for the opening
  ASSERT_TRUE(AcquireAll(Twain));
  EXPECT_EQ(Images.size(), 2u);
}

TEST_F(FlowTest, TheTransferCountGoesOutAsAnUnsignedOneValue) {
  ASSERT_TRUE(Twain.OpenSourceMgr());
  ASSERT_TRUE(Twain.OpenSource("SimScanner"));
  EXPECT_TRUE(Twain.SetXferCount(-1));
  TTwnContainer* count = Twain.Capabilities().Find(CAP_XFERCOUNT);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->ItemType(), TWTY_UINT16);
  EXPECT_EQ(count->GetCurrentValue().AsInteger(), 0xFFFF);
  // The scanner keeps it as its own signed -1.
  ASSERT_EQ(Twain.GetCapability(CAP_XFERCOUNT, MSG_GET), TWRC_SUCCESS);
  EXPECT_EQ(Twain.Capabilities().Find(CAP_XFERCOUNT)->GetCurrentValue().AsInteger(), -1);
}

TEST_F(FlowTest, DeviceEventsAskedForArriveWithTheirDevice) {
  std::vector<std::pair<int, std::string>> events;
  Twain.OnDeviceEvent = [&](QObject*, TTwnDeviceEvent Event, const std::string& DeviceName,
                            const Variant&, const Variant&,
                            const Variant&) { events.emplace_back(Event, DeviceName); };
  ASSERT_TRUE(Twain.OpenSourceMgr());
  ASSERT_TRUE(Twain.OpenSource("SimScanner"));
  Twain.SetDeviceEventTypes({TWDE_PAPERJAM, TWDE_POWERSAVENOTIFY});
  TTwnContainer* wanted = Twain.Capabilities().Find(CAP_DEVICEEVENT);
  ASSERT_NE(wanted, nullptr);
  EXPECT_EQ(wanted->GetNumItems(), 2);
  // Sent again as one value, an array still goes out as an array, which the source takes.
  EXPECT_EQ(Twain.SetCapability(MSG_SET, 1, wanted), TWRC_SUCCESS);
  for (TW_UINT32 event : {TW_UINT32{TWDE_PAPERJAM}, TW_UINT32{TWDE_LAMPFAILURE}}) {
    Twain.CallDSM(&Twain.AppIdentity(), &Twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                  MSG_DEVICEEVENT, &event);
  }
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  for (int i = 0; i < 5; ++i) {
    Application().WaitMessage(10);
    Application().ProcessMessages();
  }
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], std::make_pair(int{TWDE_PAPERJAM}, std::string("SimScanner")));
}

TEST_F(FlowTest, AcquireWithoutAnImageEventRaisesAndLeavesAllClosed) {
  Twain.OnImageReady = nullptr;
  try {
    Twain.Acquire("SimScanner");
    FAIL() << "no exception";
  } catch (const EImageReadyError& e) {
    EXPECT_STREQ(e.what(),
                 "Event \"OnImageReady\" or \"OnMemXferBuffer\" must be assigned, \r"
                 "before an image acquisition can commence.");
  }
  EXPECT_EQ(Twain.GetState(), 1);
}

TEST_F(FlowTest, WithoutOnImageReadyNothingHandedOverIsLeft) {
  // Only strips are taken: the images made for OnImageReady are freed again (the blocks are
  // checked by the leak sanitizer, the DIB sections here).
  int buffers = 0;
  Twain.OnMemXferBuffer = [&](QObject*, win32::BITMAPINFO*, int32_t, int32_t, int32_t, void*&) {
    ++buffers;
  };
  Twain.OnImageReady = nullptr;
  const size_t sections = win32::LiveDIBSections();
  for (TTwnXferType mech : {TWFX_NATIVE, TWFX_MEMORY}) {
    for (TTwnHdlType type : {THDT_DIBHANDLE, THDT_DIBRAW}) {
      Twain.SetXferMech(mech);
      Twain.SetDIBHandleType(type);
      ASSERT_TRUE(AcquireAll(Twain));
      EXPECT_EQ(win32::LiveDIBSections(), sections);
    }
  }
  EXPECT_EQ(buffers, 0);
}

TEST_F(FlowTest, ANativeBlockThatIsNoSoundDIBIsRefused) {
  std::vector<uint16_t> failed;
  Twain.OnFailure = [&](QObject*, int32_t, uint16_t DAT, uint16_t, uint16_t, int32_t, int32_t) {
    failed.push_back(DAT);
  };
  Twain.SetDIBHandleType(THDT_DIBRAW);
  Armed.Failure = TSimFailure::UnsoundDIB;
  Armed.FailurePage = 1;
  ASSERT_TRUE(AcquireAll(Twain));
  EXPECT_EQ(Log, (TStrings{"negotiation", "xferready", "image", "next 2", "noimage", "next 1",
                           "image", "next 0"}));
  EXPECT_EQ(failed, std::vector<uint16_t>{DAT_IMAGENATIVEXFER});
}

TEST_P(SourceFailureTest, EveryPageIsAccountedForAndEverythingEndsClosed) {
  const TSourceFailureCase& c = GetParam();
  Twain.SetXferMech(c.Mech);
  Twain.SetDIBHandleType(THDT_DIBRAW);
  Armed.Failure = c.Failure;
  Armed.FailurePage = c.FailurePage;
  // An unknown number of pages keeps a loop going as long as the source has any.
  Armed.UnknownCount = c.Failure != TSimFailure::CloseRequest;
  ASSERT_TRUE(AcquireAll(Twain));
  TStrings expected{"negotiation"};
  if (c.Failure != TSimFailure::CloseRequest) expected.push_back("xferready");
  expected.insert(expected.end(), c.Events.begin(), c.Events.end());
  EXPECT_EQ(Log, expected);
  EXPECT_FALSE(Twain.IsDSMOpen());
}

INSTANTIATE_TEST_SUITE_P(
    , SourceFailureTest,
    ::testing::Values(
        TSourceFailureCase{"CancelledPage",
                           TWFX_NATIVE,
                           TSimFailure::Cancel,
                           1,
                           {"image", "next -1", "noimage", "next -1", "image", "next 0"}},
        TSourceFailureCase{"FailedPage",
                           TWFX_MEMORY,
                           TSimFailure::FailTransfer,
                           0,
                           {"noimage", "next -1", "image", "next -1", "image", "next 0"}},
        TSourceFailureCase{
            "CloseRequest", TWFX_NATIVE, TSimFailure::CloseRequest, -1, {"closesource"}},
        // A page the source cannot end stops the loop instead of asking for it again.
        TSourceFailureCase{
            "FailedEndOfPage", TWFX_NATIVE, TSimFailure::FailEndXfer, 0, {"image", "next 0"}},
        // A page that cannot be described or set up ends the scan without an image.
        TSourceFailureCase{"FailedImageInfo",
                           TWFX_MEMORY,
                           TSimFailure::FailImageInfo,
                           1,
                           {"image", "next -1", "next 0"}},
        TSourceFailureCase{
            "FailedMemorySetup", TWFX_MEMORY, TSimFailure::FailSetupMem, 0, {"next 0"}},
        // Strips that claim more than they hold or fit are refused, the page failed.
        TSourceFailureCase{"LyingStrips",
                           TWFX_MEMORY,
                           TSimFailure::LyingStrips,
                           -1,
                           {"noimage", "next -1", "noimage", "next -1", "noimage", "next 0"}}),
    [](const ::testing::TestParamInfo<TSourceFailureCase>& Info) {
      return std::string(Info.param.Name);
    });
