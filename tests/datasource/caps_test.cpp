// Capabilities at the TWAIN boundary: their containers, readings, settings with coercion,
// resets and status.
#include "layerfixture.h"
#include "vekTWAINFix.h"

namespace {

class TCapsTest : public TLayerTest {
 protected:
  void SetUp() override { ASSERT_EQ(Open(), TWRC_SUCCESS); }

  // The reading's container bytes, with the kind answered.
  std::vector<uint8_t> Get(TW_UINT16 Cap, TW_UINT16 MSG = MSG_GET, TW_UINT16* Kind = nullptr,
                           TW_UINT16 Asked = TWON_DONTCARE16) {
    TW_CAPABILITY cap{Cap, Asked, nullptr};
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG, &cap), TWRC_SUCCESS) << std::hex << Cap;
    if (Kind != nullptr) *Kind = cap.ConType;
    return cap.hContainer != nullptr ? TakeTwainMemory(cap.hContainer) : std::vector<uint8_t>{};
  }
  TW_UINT16 Set(TW_UINT16 Cap, TW_UINT16 Kind, const void* Bytes, size_t Size) {
    TW_CAPABILITY cap{Cap, Kind, TwainMemory(Bytes, Size)};
    TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    win32::GlobalFree(cap.hContainer);
    return rc;
  }
  TW_UINT16 SetOne(TW_UINT16 Cap, TW_UINT16 ItemType, TW_UINT32 Item) {
    TW_ONEVALUE one{ItemType, Item};
    return Set(Cap, TWON_ONEVALUE, &one, sizeof one);
  }
  TW_UINT16 SetFix(TW_UINT16 Cap, double Value) {
    TW_FIX32 fix = FloatToFIX32(Value);
    TW_UINT32 item;
    std::memcpy(&item, &fix, 4);
    return SetOne(Cap, TWTY_FIX32, item);
  }
  TW_UINT16 SetRange(TW_UINT16 Cap, double Min, double Max, double Current) {
    TW_RANGE range{TWTY_FIX32, Fix(Min), Fix(Max), Fix(1), Fix(Current), Fix(Current)};
    return Set(Cap, TWON_RANGE, &range, sizeof range);
  }
  static TW_UINT32 Fix(double Value) {
    TW_FIX32 fix = FloatToFIX32(Value);
    TW_UINT32 item;
    std::memcpy(&item, &fix, 4);
    return item;
  }
  static double FixAt(const std::vector<uint8_t>& Bytes, size_t Offset) {
    return FIX32ToFloat(ReadAt<TW_FIX32>(Bytes, Offset));
  }
  double Current(TW_UINT16 Cap) {
    return Source.Capabilities().Find(Cap)->GetCurrentValue().AsDouble();
  }
};

TEST_F(TCapsTest, SupportedCapsIsAPackedArrayOfTheTwentySixIds) {
  TW_UINT16 kind = 0;
  std::vector<uint8_t> array = Get(CAP_SUPPORTEDCAPS, MSG_GET, &kind, TWON_ONEVALUE);
  EXPECT_EQ(kind, TWON_ARRAY);
  ASSERT_EQ(array.size(), 62u);
  EXPECT_EQ(ReadAt<TW_UINT16>(array, 0), TWTY_UINT16);
  EXPECT_EQ(ReadAt<TW_UINT32>(array, 2), 26u);
  EXPECT_EQ(ReadAt<TW_UINT16>(array, 6), CAP_AUTHOR);
  EXPECT_EQ(ReadAt<TW_UINT16>(array, 8), CAP_INDICATORS);
  EXPECT_EQ(ReadAt<TW_UINT16>(array, 6 + 25 * 2), ICAP_AUTOBRIGHT);
  for (int i = 0; i < 26; ++i) {
    TW_UINT16 cap = ReadAt<TW_UINT16>(array, 6 + 2 * i);
    EXPECT_NE(Source.Capabilities().Find(cap), nullptr) << std::hex << cap;
  }
  std::vector<uint8_t> extended = Get(CAP_EXTENDEDCAPS);
  EXPECT_EQ(ReadAt<TW_UINT32>(extended, 2), 21u);
  EXPECT_EQ(ReadAt<TW_UINT16>(extended, 6), CAP_XFERCOUNT);
  EXPECT_EQ(Source.Capabilities().Count(), 28);
}

TEST_F(TCapsTest, PixelTypeReadsAsEnumerationOrOneValue) {
  Form->Request().PixelType = TWPT_GRAY;
  ASSERT_EQ(Source.InitCapability(ICAP_PIXELTYPE), TWCC_SUCCESS);
  TW_UINT16 kind = 0;
  std::vector<uint8_t> enumeration = Get(ICAP_PIXELTYPE, MSG_GET, &kind);
  EXPECT_EQ(kind, TWON_ENUMERATION);
  ASSERT_EQ(enumeration.size(), 24u);
  EXPECT_EQ(ReadAt<TW_UINT32>(enumeration, 2), 3u);
  EXPECT_EQ(ReadAt<TW_UINT32>(enumeration, 6), 1u);   // current index
  EXPECT_EQ(ReadAt<TW_UINT32>(enumeration, 10), 0u);  // default index
  EXPECT_EQ(ReadAt<TW_UINT16>(enumeration, 14 + 2 * 2), TWPT_RGB);

  std::vector<uint8_t> current = Get(ICAP_PIXELTYPE, MSG_GETCURRENT, &kind);
  EXPECT_EQ(kind, TWON_ONEVALUE);
  ASSERT_EQ(current.size(), 8u);
  EXPECT_EQ(ReadAt<TW_UINT16>(current, 0), TWTY_UINT16);
  EXPECT_EQ(ReadAt<TW_UINT16>(current, 2), TWPT_GRAY);
  EXPECT_EQ(ReadAt<TW_UINT16>(Get(ICAP_PIXELTYPE, MSG_GETDEFAULT), 2), TWPT_BW);
  // The reading of the default leaves the current value.
  EXPECT_EQ(ReadAt<TW_UINT16>(Get(ICAP_PIXELTYPE, MSG_GETCURRENT), 2), TWPT_GRAY);
}

TEST_F(TCapsTest, TextAndRangeContainersAtTheirTwainSizes) {
  std::vector<uint8_t> author = Get(CAP_AUTHOR);
  ASSERT_EQ(author.size(), 130u + 6);
  EXPECT_STREQ(reinterpret_cast<const char*>(author.data() + 2), "Dovantic Technologies SpA");
  std::vector<uint8_t> halftones = Get(ICAP_HALFTONES);
  ASSERT_EQ(halftones.size(), 4u * 34 + 18);
  EXPECT_STREQ(reinterpret_cast<const char*>(halftones.data() + 14 + 34), "Dyn. Threshold 1");
  std::vector<uint8_t> range = Get(ICAP_XRESOLUTION);
  ASSERT_EQ(range.size(), 22u);
  EXPECT_EQ(FixAt(range, 2), 75);
  EXPECT_EQ(FixAt(range, 6), 1200);
  EXPECT_EQ(FixAt(range, 10), 1);
  EXPECT_EQ(FixAt(range, 14), 200);
  EXPECT_EQ(FixAt(range, 18), 200);
}

TEST_F(TCapsTest, QuerySupportAnswersTheOperations) {
  for (auto [cap, ops] : {std::pair<TW_UINT16, TW_INT32>{ICAP_BRIGHTNESS, -1},
                          {CAP_SUPPORTEDCAPS, TWQC_GET},
                          {CAP_AUTHOR, TWQC_GET}}) {
    TW_UINT16 kind = 0;
    std::vector<uint8_t> one = Get(cap, MSG_QUERYSUPPORT, &kind);
    EXPECT_EQ(kind, TWON_ONEVALUE);
    EXPECT_EQ(ReadAt<TW_UINT16>(one, 0), TWTY_INT32);
    EXPECT_EQ(ReadAt<TW_INT32>(one, 2), ops) << std::hex << cap;
  }
  TW_CAPABILITY unknown{ICAP_GAMMA, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, &unknown), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADCAP);
}

TEST_F(TCapsTest, ResolutionSetAsOneValueSnapsToTheStepAndReachesTheSettings) {
  EXPECT_EQ(SetFix(ICAP_XRESOLUTION, 333.3), TWRC_SUCCESS);
  EXPECT_DOUBLE_EQ(Current(ICAP_XRESOLUTION), 333);
  EXPECT_EQ(+Form->Request().XResolution, 333);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
  EXPECT_GT(Form->ControlsRefreshed, 0);
}

TEST_F(TCapsTest, PhysicalWidthFollowsTheXResolutionAndHeightTheY) {
  ASSERT_EQ(SetFix(ICAP_XRESOLUTION, 300), TWRC_SUCCESS);
  ASSERT_EQ(SetFix(ICAP_YRESOLUTION, 100), TWRC_SUCCESS);
  EXPECT_NEAR(Current(ICAP_PHYSICALWIDTH), 32767.0 / 300, 1e-4);
  EXPECT_NEAR(Current(ICAP_PHYSICALHEIGHT), 32767.0 / 100, 1e-4);
  EXPECT_EQ(SetFix(ICAP_PHYSICALWIDTH, 3), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_CAPBADOPERATION);
}

TEST_F(TCapsTest, AnUnlistedEnumerationValueIsCoercedAndChangesNothing) {
  std::vector<uint8_t> request(14 + 2 * 2);
  TW_UINT16 itemType = TWTY_UINT16;
  TW_UINT32 count = 2, current = 0, fallback = 1;
  std::memcpy(request.data(), &itemType, 2);
  std::memcpy(request.data() + 2, &count, 4);
  std::memcpy(request.data() + 6, &current, 4);
  std::memcpy(request.data() + 10, &fallback, 4);
  TW_UINT16 items[2] = {5, 0};
  std::memcpy(request.data() + 14, items, 4);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ENUMERATION, request.data(), request.size()),
            TWRC_CHECKSTATUS);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
  EXPECT_EQ(+Form->Request().PixelType, 0);

  items[0] = 2;  // colour, with black and white as the default
  std::memcpy(request.data() + 14, items, 4);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ENUMERATION, request.data(), request.size()), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().PixelType, 2);
  EXPECT_EQ(+Form->Request().BitDepth, 24);
}

TEST_F(TCapsTest, ARangeNarrowsTheListedRangeOrIsClampedToIt) {
  EXPECT_EQ(SetRange(ICAP_BRIGHTNESS, 100, 500, 200), TWRC_SUCCESS);
  TTwnContainer* c = Source.Capabilities().Find(ICAP_BRIGHTNESS);
  EXPECT_DOUBLE_EQ(c->GetMinValue().AsDouble(), 100);
  EXPECT_DOUBLE_EQ(c->GetMaxValue().AsDouble(), 500);
  EXPECT_DOUBLE_EQ(c->GetCurrentValue().AsDouble(), 200);
  EXPECT_EQ(+Form->Request().Brightness, 200);

  ASSERT_EQ(Source.InitCapability(ICAP_BRIGHTNESS), TWCC_SUCCESS);
  c = Source.Capabilities().Find(ICAP_BRIGHTNESS);
  c->SetCurrentValue(0);
  EXPECT_EQ(SetRange(ICAP_BRIGHTNESS, -2000, 500, 0), TWRC_CHECKSTATUS);
  EXPECT_DOUBLE_EQ(c->GetMinValue().AsDouble(), -1000);
  EXPECT_DOUBLE_EQ(c->GetMaxValue().AsDouble(), 1000);
}

TEST_F(TCapsTest, AReadOnlyCapabilityRefusesAndStatusClearsItsCondition) {
  EXPECT_EQ(SetOne(CAP_AUTHOR, TWTY_UINT16, 1), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_CAPBADOPERATION);
  EXPECT_EQ(Condition(), TWCC_SUCCESS);
  EXPECT_EQ(SetOne(ICAP_GAMMA, TWTY_UINT16, 1), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_CAPUNSUPPORTED);
}

TEST_F(TCapsTest, OnlyExtendedCapabilitiesAreSetOnceEnabled) {
  ASSERT_EQ(Enable(true), TWRC_SUCCESS);
  EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().PixelType, TWPT_GRAY);
  EXPECT_EQ(SetOne(CAP_INDICATORS, TWTY_BOOL, 1), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  EXPECT_FALSE(Form->Indicators());
}

TEST_F(TCapsTest, SettingsFollowTheirCapabilities) {
  EXPECT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 0), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().ImageCount, -1);
  EXPECT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 3), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().ImageCount, 3);
  EXPECT_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().ADF, 1);
  EXPECT_EQ(SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
  EXPECT_EQ(Form->XferMech(), TWSX_MEMORY);
  EXPECT_EQ(SetFix(ICAP_CONTRAST, 250.4), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().Contrast, 250);
  EXPECT_EQ(SetFix(ICAP_XSCALING, 50), TWRC_SUCCESS);
  EXPECT_EQ(+Form->Request().XScaling, 50);
  // Units stay inches: the only unit listed.
  EXPECT_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES), TWRC_SUCCESS);
  EXPECT_EQ(Form->Units(), TWUN_INCHES);
  EXPECT_EQ(+Form->Request().XResolution, 200);
}

TEST_F(TCapsTest, ResetRebuildsFromTheSettingsAndAnswersTheContainer) {
  ASSERT_EQ(SetRange(ICAP_XRESOLUTION, 150, 600, 300), TWRC_SUCCESS);
  TW_CAPABILITY cap{ICAP_XRESOLUTION, TWON_DONTCARE16, nullptr};
  ASSERT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &cap), TWRC_SUCCESS);
  std::vector<uint8_t> range = TakeTwainMemory(cap.hContainer);
  EXPECT_EQ(FixAt(range, 2), 75);
  EXPECT_EQ(FixAt(range, 6), 1200);
  EXPECT_EQ(FixAt(range, 18), 300);
  cap = {CAP_DUPLEX, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &cap), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_BADCAP);
}

// What an application hands in is read within its block, and a value that cannot be
// compared with the listed ones refuses the request: nothing raises and nothing changes.
TEST_F(TCapsTest, MalformedOrMismatchedRequestsAreRefusedWithNothingChanged) {
  struct TCase {
    const char* Name;
    TW_UINT16 Cap;
    TW_UINT16 Kind;
    std::vector<uint8_t> Bytes;
    TW_UINT16 Condition;
  };
  std::vector<uint8_t> text(2 + 34, 0);
  text[0] = TWTY_STR32;
  std::memcpy(text.data() + 2, "three hundred", 13);
  std::vector<uint8_t> huge(14 + 4, 0);
  huge[0] = TWTY_UINT16;
  TW_UINT32 many = 0x40000000;
  std::memcpy(huge.data() + 2, &many, 4);
  std::vector<TCase> cases = {
      {"text for a number", ICAP_XRESOLUTION, TWON_ONEVALUE, text, TWCC_BADVALUE},
      {"text for an enumeration", ICAP_PIXELTYPE, TWON_ONEVALUE, text, TWCC_BADVALUE},
      {"count beyond the block", ICAP_PIXELTYPE, TWON_ENUMERATION, huge, TWCC_BADVALUE},
      {"unknown kind", ICAP_PIXELTYPE, 9, text, TWCC_BUMMER},
      {"one value for an array",
       CAP_DEVICEEVENT,
       TWON_ONEVALUE,
       {TWTY_UINT16, 0, 1, 0},
       TWCC_CAPUNSUPPORTED},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Set(c.Cap, c.Kind, c.Bytes.data(), c.Bytes.size()), TWRC_FAILURE) << c.Name;
    EXPECT_EQ(Condition(), c.Condition) << c.Name;
  }
  EXPECT_DOUBLE_EQ(Current(ICAP_XRESOLUTION), 200);
  EXPECT_EQ(+Form->Request().XResolution, 200);
  EXPECT_EQ(+Form->Request().PixelType, 0);
}

TEST_F(TCapsTest, DeviceEventsTakeTheApplicationsArray) {
  std::vector<uint8_t> request(6 + 2 * 2, 0);
  request[0] = TWTY_UINT16;
  request[2] = 2;
  request[6] = 1;
  request[8] = 7;
  EXPECT_EQ(Set(CAP_DEVICEEVENT, TWON_ARRAY, request.data(), request.size()), TWRC_SUCCESS);
  std::vector<uint8_t> array = Get(CAP_DEVICEEVENT);
  EXPECT_EQ(ReadAt<TW_UINT32>(array, 2), 2u);
  EXPECT_EQ(ReadAt<TW_UINT16>(array, 8), 7);
}

}  // namespace
