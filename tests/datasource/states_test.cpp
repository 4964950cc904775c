// The layer's entry, identity and user-interface triplets, and the state table.
#include "layerfixture.h"

namespace {

TEST_F(TLayerTest, IdentityIsTheLibrarysOwnUntilTheManagerAssignsAnId) {
  TW_IDENTITY identity{};
  EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(+identity.Id, 0u);
  EXPECT_STREQ(identity.Manufacturer, "Dovantic Technologies SpA");
  // At most 33 characters of the family's name fit its field.
  EXPECT_STREQ(identity.ProductFamily, "Dovantic Technologies Imaging Pro");
  EXPECT_STREQ(identity.ProductName, "Clarivo®");
  EXPECT_STREQ(identity.Version.Info, "Version 1.03");
  EXPECT_EQ(identity.Version.Language, 2);
  EXPECT_EQ(identity.Version.Country, 44);
  EXPECT_EQ(identity.ProtocolMajor, 1);
  EXPECT_EQ(identity.ProtocolMinor, 8);
  EXPECT_EQ(+identity.SupportedGroups, DG_CONTROL | DG_IMAGE);

  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(+identity.Id, Own.Id);
  EXPECT_EQ(+Form->App.Id, +App.Id);
}

TEST_F(TLayerTest, AnotherApplicationIsAnsweredFiveAndChangesNothing) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  TW_IDENTITY other = App;
  other.Id = App.Id + 1;
  TW_USERINTERFACE ui{0, 0, nullptr};
  EXPECT_EQ(Source.Entry(&other, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui),
            TWRC_NOTDSEVENT);
  EXPECT_EQ(Source.Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Own), TWRC_NOTDSEVENT);
  EXPECT_EQ(Source.State(), 400);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
}

// Each row: the state the source is brought to, the triplet, and what it must answer.
struct TStateCase {
  const char* Name;
  int32_t From;
  TW_UINT32 DG;
  TW_UINT16 DAT;
  TW_UINT16 MSG;
  TW_UINT16 Result;
  TW_UINT16 Condition;
  int32_t After;
};

class TStateTable : public TLayerTest, public ::testing::WithParamInterface<TStateCase> {
 protected:
  // 300 closed; 400 open; 500 enabled with the dialog; 600 enabled with a page held; 700 in
  // the middle of its memory transfer.
  void BringTo(int32_t State) {
    if (State == 300) return;
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    if (State == 400) return;
    if (State >= 600) Form->Scanner.push_back(Page(64, 32, pt8bit));
    ASSERT_EQ(Enable(State == 500), TWRC_SUCCESS);
    if (State == 700) {
      TW_SETUPMEMXFER setup{};
      ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
      std::vector<uint8_t> buffer(setup.MinBufSize);
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, setup.MinBufSize, buffer.data()};
      ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_SUCCESS);
    }
    ASSERT_EQ(Source.State(), State);
  }
};

TEST_P(TStateTable, AnswersAndMoves) {
  const TStateCase& c = GetParam();
  BringTo(c.From);
  ASSERT_EQ(Condition(), TWCC_SUCCESS);
  // Large enough for every record the triplets take.
  alignas(8) uint8_t record[2048] = {};
  if (c.DAT == DAT_IDENTITY && c.MSG == MSG_OPENDS) std::memcpy(record, &Own, sizeof Own);
  if (c.DAT == DAT_CAPABILITY) {
    auto* cap = reinterpret_cast<TW_CAPABILITY*>(record);
    cap->Cap = ICAP_PIXELTYPE;
    cap->ConType = TWON_DONTCARE16;
  }
  TW_UINT16 rc = Call(c.DG, c.DAT, c.MSG, record);
  EXPECT_EQ(rc, c.Result);
  EXPECT_EQ(Condition(), c.Condition);
  EXPECT_EQ(Source.State(), c.After);
  if (c.DAT == DAT_CAPABILITY && rc == TWRC_SUCCESS)
    TakeTwainMemory(reinterpret_cast<TW_CAPABILITY*>(record)->hContainer);
}

INSTANTIATE_TEST_SUITE_P(
    Triplets, TStateTable,
    ::testing::Values(TStateCase{"OpenClosed", 300, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 400},
                      TStateCase{"OpenTwice", 400, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 400},
                      TStateCase{"CloseClosed", 300, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"CloseEnabled", 500, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"CloseWithPage", 600, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 600},
                      TStateCase{"CloseMidTransfer", 700, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"IdentityUnknownMessage", 400, DG_CONTROL, DAT_IDENTITY,
                                 MSG_GETFIRST, TWRC_FAILURE, TWCC_BADPROTOCOL, 400},
                      TStateCase{"EnableClosed", 300, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"EnableEnabled", 500, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"DisableOpen", 400, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
                                 TWRC_FAILURE, TWCC_SEQERROR, 400},
                      TStateCase{"DisableEnabled", 500, DG_CONTROL, DAT_USERINTERFACE,
                                 MSG_DISABLEDS, TWRC_SUCCESS, TWCC_SUCCESS, 400},
                      TStateCase{"DisableWithPage", 600, DG_CONTROL, DAT_USERINTERFACE,
                                 MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR, 600},
                      TStateCase{"DisableMidTransfer", 700, DG_CONTROL, DAT_USERINTERFACE,
                                 MSG_DISABLEDS, TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"UserInterfaceOnly", 400, DG_CONTROL, DAT_USERINTERFACE,
                                 MSG_ENABLEDSUIONLY, TWRC_FAILURE, TWCC_BADPROTOCOL, 400},
                      TStateCase{"EndXferEnabled", 500, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"EndXferLastPage", 600, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 500},
                      TStateCase{"PendingClosed", 300, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"EndXferMidTransfer", 700, DG_CONTROL, DAT_PENDINGXFERS,
                                 MSG_ENDXFER, TWRC_SUCCESS, TWCC_SUCCESS, 500},
                      TStateCase{"PendingResetClosed", 300, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"PendingResetEnabled", 500, DG_CONTROL, DAT_PENDINGXFERS,
                                 MSG_RESET, TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"PendingResetWithPage", 600, DG_CONTROL, DAT_PENDINGXFERS,
                                 MSG_RESET, TWRC_SUCCESS, TWCC_SUCCESS, 500},
                      TStateCase{"SetupMemClosed", 300, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"SetupMemMidTransfer", 700, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"SetupFileClosed", 300, DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"SetupFileMidTransfer", 700, DG_CONTROL, DAT_SETUPFILEXFER,
                                 MSG_GET, TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"XferGroupMidTransfer", 700, DG_CONTROL, DAT_XFERGROUP, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"XferGroupOpen", 400, DG_CONTROL, DAT_XFERGROUP, MSG_GET,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 400},
                      TStateCase{"XferGroupClosed", 300, DG_CONTROL, DAT_XFERGROUP, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"PaletteClosed", 300, DG_IMAGE, DAT_PALETTE8, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 300},
                      TStateCase{"PaletteCurrent", 400, DG_IMAGE, DAT_PALETTE8, MSG_GETCURRENT,
                                 TWRC_FAILURE, TWCC_BADPROTOCOL, 400},
                      TStateCase{"DeviceEventEmpty", 400, DG_CONTROL, DAT_DEVICEEVENT, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 400},
                      TStateCase{"ImageInfoEnabled", 500, DG_IMAGE, DAT_IMAGEINFO, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"ImageInfoWithPage", 600, DG_IMAGE, DAT_IMAGEINFO, MSG_GET,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 600},
                      TStateCase{"NativeEnabled", 500, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"NativeMidMemoryTransfer", 700, DG_IMAGE, DAT_IMAGENATIVEXFER,
                                 MSG_GET, TWRC_FAILURE, TWCC_SEQERROR, 700},
                      TStateCase{"MemoryOpen", 400, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 400},
                      TStateCase{"FileEnabled", 500, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"LayoutSetEnabled", 500, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 500},
                      TStateCase{"LayoutResetWithPage", 600, DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET,
                                 TWRC_FAILURE, TWCC_SEQERROR, 600},
                      TStateCase{"LayoutClosed", 300, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 300},
                      TStateCase{"CapabilityClosed", 300, DG_CONTROL, DAT_CAPABILITY, MSG_GET,
                                 TWRC_FAILURE, TWCC_CAPUNSUPPORTED, 300},
                      TStateCase{"CapabilityOpen", 400, DG_CONTROL, DAT_CAPABILITY, MSG_GET,
                                 TWRC_SUCCESS, TWCC_SUCCESS, 400},
                      TStateCase{"UnknownControlDAT", 400, DG_CONTROL, 0x0042, MSG_GET,
                                 TWRC_FAILURE, TWCC_BADPROTOCOL, 400},
                      TStateCase{"UnknownGroup", 400, 4, DAT_CAPABILITY, MSG_GET, TWRC_FAILURE,
                                 TWCC_BADPROTOCOL, 400},
                      TStateCase{"ColorResponseKeepsTheCondition", 400, DG_IMAGE, DAT_CIECOLOR,
                                 MSG_GET, TWRC_FAILURE, TWCC_SUCCESS, 400}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TLayerTest, ColorResponseLeavesThePendingConditionForStatus) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Open(), TWRC_FAILURE);
  EXPECT_EQ(Call(DG_IMAGE, DAT_CIECOLOR, MSG_GET, &App), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
}

TEST_F(TLayerTest, EnablingWithoutInterfaceAndAPageWaitingEndsInStateSix) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  Form->Scanner.push_back(Page(64, 32, pt8bit));
  EXPECT_EQ(Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(Source.State(), 600);
  EXPECT_EQ(Form->Shown, 0);
}

// A scan without the dialog that brings no page, or a dialog without its control panel, is
// answered as a failure at once: the application has nothing to wait for.
TEST_F(TLayerTest, AScanOrAnOpeningThatCannotGoOnFailsWithItsCondition) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  EXPECT_EQ(Enable(false), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
  EXPECT_EQ(Source.State(), 400);
  Form->Scanner.push_back(Page(64, 32, pt8bit));
  EXPECT_EQ(Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(Source.State(), 600);
  TW_UINT16 count = 1;
  ASSERT_EQ(EndXfer(count), TWRC_SUCCESS);
  ASSERT_EQ(Disable(), TWRC_SUCCESS);
  ASSERT_EQ(Close(), TWRC_SUCCESS);

  FormsOnline = false;
  EXPECT_EQ(Open(), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
  EXPECT_EQ(Source.State(), 300);
  EXPECT_EQ(Source.Form(), nullptr);
  EXPECT_EQ(+Source.AppIdentity().Id, 0u);
}

TEST_F(TLayerTest, EnablingWithInterfaceShowsTheDialogAndWaitsInStateFive) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  Form->Scanner.push_back(Page(64, 32, pt8bit));
  EXPECT_EQ(Enable(true), TWRC_SUCCESS);
  EXPECT_EQ(Source.State(), 500);
  EXPECT_EQ(Form->Shown, 1);
  EXPECT_TRUE(Form->Page().Empty());
}

TEST_F(TLayerTest, OpeningWithoutADialogFailsLowMemoryInStateFour) {
  MakeForms = false;
  EXPECT_EQ(Open(), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_LOWMEMORY);
  EXPECT_EQ(Source.State(), 400);
  EXPECT_EQ(+Source.AppIdentity().Id, 0u);
}

// Each opening makes a dialog of its own and closing frees it: a host may open the source
// again and again.
TEST_F(TLayerTest, OpensAndClosesManyTimesInOneProcess) {
  for (int round = 0; round < 40; ++round) {
    ASSERT_EQ(Open(), TWRC_SUCCESS) << "round " << round;
    Form->Window = Form;
    win32::MSG msg;
    msg.hwnd = Form->Window;
    msg.lParam = 99;
    TW_EVENT event{&msg, MSG_XFERREADY};
    EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_NULL);
    EXPECT_EQ(msg.lParam, 0);
    ASSERT_EQ(Close(), TWRC_SUCCESS);
    EXPECT_EQ(Source.Form(), nullptr);
  }
}

TEST_F(TLayerTest, MessagesForOtherWindowsAreNotTheSources) {
  ASSERT_EQ(Open(), TWRC_SUCCESS);
  Form->Window = Form;
  int other = 0;
  win32::MSG msg;
  msg.hwnd = &other;
  msg.lParam = 5;
  TW_EVENT event{&msg, MSG_XFERREADY};
  EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
  EXPECT_EQ(event.TWMessage, MSG_NULL);
  EXPECT_EQ(msg.lParam, 5);
  // Whatever group comes with it.
  EXPECT_EQ(Source.Entry(&App, 4, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
}

}  // namespace
