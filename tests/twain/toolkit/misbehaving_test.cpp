// The component against sources that misbehave and against a second component in the same
// process: it reports through its results and OnFailure, never raises, never crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "acquire_fixture.h"

namespace {

struct TFailureSeen {
  uint16_t DAT, CAP, MSG;
  int32_t Status;
};

class Misbehaving : public TAcquireTest {
 protected:
  void Watch(TvekTWAIN& Twain) {
    Twain.OnFailure = [this](QObject*, int32_t, uint16_t DAT, uint16_t CAP, uint16_t MSG, int32_t,
                             int32_t Status) {
      Failures.push_back({DAT, CAP, MSG, Status});
    };
  }
  bool Saw(uint16_t DAT, uint16_t CAP, int32_t Status) const {
    for (const TFailureSeen& f : Failures)
      if (f.DAT == DAT && f.CAP == CAP && f.Status == Status) return true;
    return false;
  }
  std::vector<TFailureSeen> Failures;
};

// A source that takes every ICAP_XFERMECH but reads back a file transfer in a format the
// component does not take: native once, then the source is closed and OnFailure says why.
TEST_F(Misbehaving, ATransferThatCannotBeAgreedOnClosesTheSource) {
  AddMisbehaving("StickyFileMech");
  TvekTWAIN twain;
  Watch(twain);
  ASSERT_TRUE(twain.OpenSourceMgr());
  EXPECT_FALSE(twain.OpenSource("StickyFileMech"));
  EXPECT_FALSE(twain.IsSourceOpen());
  EXPECT_TRUE(Saw(DAT_CAPABILITY, ICAP_XFERMECH, TWCC_BADVALUE));
  EXPECT_TRUE(twain.CloseSourceMgr());
}

// A source without a product name, listed before another, hides nothing.
TEST_F(Misbehaving, ASourceWithoutANameHidesNoOther) {
  AddMisbehaving("Nameless");
  TvekTWAIN twain;
  std::vector<std::string> names;
  twain.GetSourceNames(names);
  EXPECT_EQ(names, std::vector<std::string>{"SimScanner"});
  ASSERT_TRUE(twain.OpenSourceMgr());
  EXPECT_EQ(twain.SelectSource("SimScanner"), TWRC_SUCCESS);
  EXPECT_STREQ(twain.SourceIdentity().ProductName, "SimScanner");
}

struct TClosing {
  const char* Mode;
  int32_t Status;  // OnFailure's condition of MSG_CLOSEDS
  bool StaysOpen;  // the source refused; else it broke down and is closed
};

class ClosingSource : public Misbehaving, public ::testing::WithParamInterface<TClosing> {};

TEST_P(ClosingSource, CloseSourceSaysWhatHappened) {
  const TClosing& c = GetParam();
  AddMisbehaving(c.Mode);
  TvekTWAIN twain;
  Watch(twain);
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_TRUE(twain.OpenSource(c.Mode));
  Failures.clear();
  EXPECT_FALSE(twain.CloseSource());
  ASSERT_EQ(Failures.size(), 1u);
  EXPECT_EQ(Failures[0].DAT, DAT_IDENTITY);
  EXPECT_EQ(Failures[0].MSG, MSG_CLOSEDS);
  EXPECT_EQ(Failures[0].Status, c.Status);
  EXPECT_EQ(twain.IsSourceOpen(), c.StaysOpen);
  EXPECT_EQ(twain.CloseSourceMgr(), !c.StaysOpen);
}

INSTANTIATE_TEST_SUITE_P(Sources, ClosingSource,
                         ::testing::Values(TClosing{"RefusesClose", TWCC_OPERATIONERROR, true},
                                           TClosing{"RaisesInClose", TWCC_BUMMER, false}),
                         [](const auto& info) { return std::string(info.param.Mode); });

// Numbers and paths the component cannot use are failures it reports, not exceptions.
TEST_F(Misbehaving, ALayoutBeyondFix32IsAFailure) {
  TvekTWAIN twain;
  Watch(twain);
  ASSERT_TRUE(twain.OpenSourceMgr());
  ASSERT_TRUE(twain.OpenSource("SimScanner"));
  TTwnImageLayout layout;
  layout.Right = 32768;
  layout.Bottom = 2;
  uint16_t result = TWRC_SUCCESS;
  EXPECT_NO_THROW(result = twain.SetImageLayout(layout));
  EXPECT_EQ(result, TWRC_FAILURE);
  EXPECT_TRUE(Saw(DAT_IMAGELAYOUT, 0, TWCC_BADVALUE));
  layout.Right = 32767.5;
  EXPECT_NE(twain.SetImageLayout(layout), TWRC_FAILURE);
}

TEST_F(Misbehaving, AFileThatCannotBeWrittenIsOneFailureAndNoImages) {
  TvekTWAIN twain;
  Record(twain);
  Watch(twain);
  twain.SetShowUI(false);
  twain.SetXferMech(TWFX_FILES);
  // A folder that exists and that nobody, not even root, can create a file in.
  twain.SetFilename("/proc/clarivo-page.bmp");
  ASSERT_TRUE(AcquireAll(twain));
  EXPECT_EQ(Log, (std::vector<std::string>{"negotiation", "xferready"}));
  EXPECT_TRUE(Images.empty());
  EXPECT_EQ(std::count_if(Failures.begin(), Failures.end(),
                          [](const TFailureSeen& f) { return f.DAT == DAT_SETUPFILEXFER; }),
            1);
  EXPECT_EQ(twain.GetState(), 1);
}

struct TOrder {
  const char* Name;
  bool FirstGoesFirst;  // the component that opened first is the one that goes
  bool ClosesFirst;     // it closes the Source Manager before it is destroyed
};

class TwoComponents : public TAcquireTest, public ::testing::WithParamInterface<TOrder> {};

void CountCalls(void* Data, win32::MSG&, bool&) {
  ++*static_cast<int*>(Data);
}

// Two components hooked into one application: one goes, from the top or the middle of the
// chain; messages still reach the application's own handler and the other component, which
// scans as before; when both are gone the application's handler is back.
TEST_P(TwoComponents, EitherCanGoFirst) {
  const TOrder& order = GetParam();
  int earlierCalls = 0;
  const TMessageEvent earlier{&CountCalls, &earlierCalls};
  Application().SetOnMessage(earlier);
  auto first = std::make_unique<TvekTWAIN>();
  auto second = std::make_unique<TvekTWAIN>();
  ASSERT_TRUE(first->OpenSourceMgr());
  ASSERT_TRUE(second->OpenSourceMgr());
  std::unique_ptr<TvekTWAIN>& going = order.FirstGoesFirst ? first : second;
  std::unique_ptr<TvekTWAIN>& staying = order.FirstGoesFirst ? second : first;
  if (order.ClosesFirst) {
    EXPECT_TRUE(going->CloseSourceMgr());
  }
  going.reset();
  win32::PostMessage(Application().Handle(), win32::WM_NULL, 0, 0);
  Application().ProcessMessages();
  EXPECT_EQ(earlierCalls, 1);

  Record(*staying);
  staying->SetShowUI(false);
  staying->SetDIBHandleType(THDT_DIBRAW);
  ASSERT_TRUE(AcquireAll(*staying));
  EXPECT_EQ(Images.size(), 3u);
  FreeImages(THDT_DIBRAW);
  // Open again, and hooked on top of a component in the middle of the chain.
  auto third = std::make_unique<TvekTWAIN>();
  ASSERT_TRUE(staying->OpenSourceMgr());
  ASSERT_TRUE(third->OpenSourceMgr());
  staying.reset();
  third.reset();
  EXPECT_TRUE(Application().OnMessage() == earlier);
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoComponents,
                         ::testing::Values(TOrder{"FirstDestroyed", true, false},
                                           TOrder{"FirstClosedThenDestroyed", true, true},
                                           TOrder{"SecondDestroyed", false, false},
                                           TOrder{"SecondClosedThenDestroyed", false, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
