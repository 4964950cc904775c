#include "vekTWAINKernel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "simscanner.h"
#include "windowsdir_fixture.h"

namespace {

// The kernel with the transfers counted instead of run.
class TCountingKernel : public TvekTWAINKernel {
 public:
  using TvekTWAINKernel::TvekTWAINKernel;
  int Transfers = 0;
  int DeviceEvents = 0;
  void ArmCloseMode(int16_t Mode) { FCloseMode = Mode; }

 protected:
  void ProcessDeviceEvent() override { ++DeviceEvents; }
  uint16_t TransferImages() override {
    ++Transfers;
    return TWRC_SUCCESS;
  }
};

struct TFailure {
  uint16_t DAT;
  int32_t Error;
  int32_t Status;
};

void Earlier(void*, win32::MSG&, bool&) {}

// Pumps until the kernel reaches State or a second has passed.
bool PumpUntilState(TvekTWAINKernel& Kernel, int16_t State) {
  for (int i = 0; i < 100 && Kernel.GetState() != State; ++i) {
    Application().WaitMessage(10);
    Application().ProcessMessages();
  }
  return Kernel.GetState() == State;
}

class KernelTest : public TWindowsDirTest {};

}  // namespace

TEST_F(KernelTest, NoSourceManagerInTheWindowsDirectory) {
  std::filesystem::remove(Dir() / "TWAIN_32.DLL");
  TCountingKernel kernel;
  EXPECT_EQ(kernel.OpenDSM(), TWRC_FAILURE);
  EXPECT_EQ(kernel.GetState(), 1);
  EXPECT_FALSE(kernel.IsDSMOpen());
}

TEST_F(KernelTest, StatesOfASessionAndTheHookChained) {
  AddScanner();
  const TMessageEvent earlier{&Earlier, this};
  Application().SetOnMessage(earlier);
  {
    TCountingKernel kernel;
    EXPECT_EQ(kernel.CloseDSM(), TWRC_FAILURE);
    ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
    EXPECT_EQ(kernel.GetState(), 3);
    EXPECT_FALSE(Application().OnMessage() == earlier);
    EXPECT_EQ(kernel.OpenDSM(), TWRC_FAILURE);
    EXPECT_EQ(kernel.GetState(), 3);
    ASSERT_EQ(kernel.OpenDS(), TWRC_SUCCESS);
    EXPECT_EQ(kernel.GetState(), 4);
    EXPECT_EQ(kernel.SourceProtocol(), 19);
    EXPECT_EQ(kernel.CloseDSM(), TWRC_FAILURE);
    bool showUI = false;
    ASSERT_EQ(kernel.EnableDS(showUI), TWRC_SUCCESS);
    EXPECT_EQ(kernel.GetState(), 5);
    // Nothing armed: the transfer-ready notification moves to 6 and transfers nothing.
    ASSERT_TRUE(PumpUntilState(kernel, 6));
    EXPECT_EQ(kernel.Transfers, 0);
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(kernel.CallDSM(&kernel.AppIdentity(), &kernel.SourceIdentity(), DG_CONTROL,
                             DAT_PENDINGXFERS, MSG_RESET, &pending),
              TWRC_SUCCESS);
    kernel.SetState(5);
    kernel.CloseAll();
    EXPECT_EQ(kernel.GetState(), 1);
    EXPECT_FALSE(kernel.IsSourceOpen());
    EXPECT_TRUE(Application().OnMessage() == earlier);
  }
  EXPECT_TRUE(Application().OnMessage() == earlier);
  Application().SetOnMessage(TMessageEvent{});
}

TEST_F(KernelTest, ArmedTransferReadyRunsTheTransfers) {
  AddScanner();
  TCountingKernel kernel;
  std::vector<int> readies;
  kernel.OnXferReady = [&](QObject*) { readies.push_back(kernel.GetState()); };
  ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
  ASSERT_EQ(kernel.OpenDS(), TWRC_SUCCESS);
  kernel.ArmCloseMode(3);
  bool showUI = false;
  ASSERT_EQ(kernel.EnableDS(showUI), TWRC_SUCCESS);
  ASSERT_TRUE(PumpUntilState(kernel, 6));
  EXPECT_EQ(readies, std::vector<int>{6});
  EXPECT_EQ(kernel.Transfers, 1);
  TW_PENDINGXFERS pending{};
  kernel.CallDSM(&kernel.AppIdentity(), &kernel.SourceIdentity(), DG_CONTROL, DAT_PENDINGXFERS,
                 MSG_RESET, &pending);
  kernel.SetState(5);
}

// With our manager (DF_DSM2) the notifications come by callback, and the source never sees a
// MSG_PROCESSEVENT; from a 1.x source and a 2.x one alike.
TEST_F(KernelTest, A2xManagerNotifiesByCallbackWithoutProcessEvent) {
  for (const char* name : {"SimScanner", "SimScannerTW2"}) {
    SCOPED_TRACE(name);
    AddScanner(name, true, name);
    std::string trace = (Dir() / (std::string(name) + ".trace")).string();
    setenv("CLARIVO_SIMSCANNER_TRACE", trace.c_str(), 1);
    TCountingKernel kernel;
    ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
    EXPECT_TRUE(kernel.Twain2());
    std::snprintf(kernel.SourceIdentity().ProductName, sizeof(TW_STR32), "%s", name);
    ASSERT_EQ(kernel.OpenDS(), TWRC_SUCCESS);
    kernel.ArmCloseMode(3);
    bool showUI = false;
    ASSERT_EQ(kernel.EnableDS(showUI), TWRC_SUCCESS);
    ASSERT_TRUE(PumpUntilState(kernel, 6));
    EXPECT_EQ(kernel.Transfers, 1);
    TW_PENDINGXFERS pending{};
    kernel.CallDSM(&kernel.AppIdentity(), &kernel.SourceIdentity(), DG_CONTROL, DAT_PENDINGXFERS,
                   MSG_RESET, &pending);
    kernel.SetState(5);
    kernel.CloseAll();
    unsetenv("CLARIVO_SIMSCANNER_TRACE");
    std::ifstream in(trace);
    std::stringstream sent;
    sent << in.rdbuf();
    EXPECT_NE(sent.str().find("0x0009 0x0502"), std::string::npos) << "enabled";
    EXPECT_EQ(sent.str().find("0x0002 0x0601"), std::string::npos) << sent.str();
  }
}

TEST_F(KernelTest, A1xManagerIsPolled) {
  std::filesystem::remove(Dir() / "TWAIN_32.DLL");
  std::filesystem::create_symlink(RAISING_DSM, Dir() / "TWAIN_32.DLL");
  TCountingKernel kernel;
  ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
  EXPECT_FALSE(kernel.Twain2());
  kernel.CloseAll();
}

TEST_F(KernelTest, FailuresCarryTheSourcesConditionCode) {
  AddScanner();
  TCountingKernel kernel;
  std::vector<TFailure> failures;
  kernel.OnFailure = [&](QObject*, int32_t, uint16_t DAT, uint16_t, uint16_t, int32_t Error,
                         int32_t Status) {
    failures.push_back({DAT, Error, Status});
  };
  ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
  ASSERT_EQ(kernel.OpenDS(), TWRC_SUCCESS);
  // A native transfer in state 4 is out of sequence.
  TW_HANDLE handle = nullptr;
  EXPECT_EQ(kernel.CallDSM(&kernel.AppIdentity(), &kernel.SourceIdentity(), DG_IMAGE,
                           DAT_IMAGENATIVEXFER, MSG_GET, &handle),
            TWRC_FAILURE);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].DAT, DAT_IMAGENATIVEXFER);
  EXPECT_EQ(failures[0].Status, TWCC_SEQERROR);
  EXPECT_EQ(kernel.GetConditionCode(), TWCC_SEQERROR);
  TW_STATUS status{};
  kernel.CallDSM(&kernel.AppIdentity(), &kernel.SourceIdentity(), DG_CONTROL, DAT_STATUS, MSG_GET,
                 &status);
  EXPECT_EQ(kernel.GetConditionCode(), TWCC_SUCCESS);
}

TEST_F(KernelTest, ARaisingCallResetsToStateOneWithoutAStaleCondition) {
  std::filesystem::remove(Dir() / "TWAIN_32.DLL");
  std::filesystem::create_symlink(RAISING_DSM, Dir() / "TWAIN_32.DLL");
  const TMessageEvent earlier{&Earlier, this};
  Application().SetOnMessage(earlier);
  {
    TCountingKernel kernel;
    std::vector<TFailure> failures;
    kernel.OnFailure = [&](QObject*, int32_t, uint16_t DAT, uint16_t, uint16_t, int32_t Error,
                           int32_t Status) {
      failures.push_back({DAT, Error, Status});
    };
    ASSERT_EQ(kernel.OpenDSM(), TWRC_SUCCESS);
    // A failure first leaves its condition code.
    TW_CAPABILITY capability{ICAP_XRESOLUTION, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(kernel.CallDSM(&kernel.AppIdentity(), nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_GET,
                             &capability),
              TWRC_FAILURE);
    EXPECT_EQ(kernel.GetConditionCode(), TWCC_BADCAP);
    EXPECT_EQ(kernel.OpenDS(), TvekTWAINKernel::kCallRaised);
    EXPECT_EQ(kernel.GetState(), 1);
    EXPECT_FALSE(kernel.IsDSMOpen());
    EXPECT_FALSE(kernel.IsSourceOpen());
    EXPECT_FALSE(kernel.IsSourceEnabled());
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(failures.back().Error, TvekTWAINKernel::kCallRaised);
    // The crash is reported as itself, not with the earlier failure's code.
    EXPECT_EQ(failures.back().Status, TWCC_BUMMER);
    EXPECT_TRUE(Application().OnMessage() == earlier);
  }
  Application().SetOnMessage(TMessageEvent{});
}
