#include "twain.h"

#include <gtest/gtest.h>

#include <cstddef>

// Field positions that the other end of TWAIN relies on.
static_assert(offsetof(TW_IDENTITY, Version) == 4);
static_assert(offsetof(TW_IDENTITY, ProtocolMajor) == 46);
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 50);
static_assert(offsetof(TW_IDENTITY, Manufacturer) == 54);
static_assert(offsetof(TW_IDENTITY, ProductName) == 122);
static_assert(offsetof(TW_CAPABILITY, hContainer) == 4);
static_assert(offsetof(TW_RANGE, CurrentValue) == 18);
static_assert(offsetof(TW_ENUMERATION, DefaultIndex) == 10);
static_assert(offsetof(TW_PENDINGXFERS, Reserved) == 2);
static_assert(offsetof(TW_SETUPFILEXFER, Format) == 256);
static_assert(offsetof(TW_SETUPFILEXFER, VRefNum) == 258);
static_assert(offsetof(TW_IMAGEINFO, SamplesPerPixel) == 16);
static_assert(offsetof(TW_IMAGEINFO, BitsPerPixel) == 34);
static_assert(offsetof(TW_IMAGEINFO, Compression) == 40);
static_assert(offsetof(TW_IMAGEMEMXFER, BytesWritten) == 22);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) == 26);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) + offsetof(TW_MEMORY, TheMem) == 34);
static_assert(offsetof(TW_PALETTE8, Colors) == 4);
static_assert(offsetof(TW_DEVICEEVENT, DeviceName) == 4);
static_assert(offsetof(TW_DEVICEEVENT, BatteryMinutes) == 260);
static_assert(offsetof(TW_DEVICEEVENT, PowerSupply) == 266);
static_assert(offsetof(TW_DEVICEEVENT, XResolution) == 270);
static_assert(offsetof(TW_DEVICEEVENT, TimeBetweenCaptures) == 290);
// The 2.x structures as a 2.x manager of a 64-bit Linux lays them out.
static_assert(sizeof(void*) != 8 || sizeof(TW_ENTRYPOINT) == 44);
static_assert(sizeof(void*) != 8 || (offsetof(TW_ENTRYPOINT, DSM_Entry) == 4 &&
                                     offsetof(TW_ENTRYPOINT, DSM_MemAllocate) == 12 &&
                                     offsetof(TW_ENTRYPOINT, DSM_MemFree) == 20 &&
                                     offsetof(TW_ENTRYPOINT, DSM_MemLock) == 28 &&
                                     offsetof(TW_ENTRYPOINT, DSM_MemUnlock) == 36));
static_assert(sizeof(void*) != 8 || (sizeof(TW_CALLBACK) == 14 && sizeof(TW_CALLBACK2) == 18));
static_assert(offsetof(TW_USERINTERFACE, hParent) == 4);
static_assert(offsetof(TW_EVENT, TWMessage) == sizeof(void*));

TEST(TwainDeclarations, CountryCodesFollowTheMembers) {
  struct TCase {
    TvekCountry Country;
    uint16_t Code;
  };
  const TCase cases[] = {
      {TvekCountry::AFGHANISTAN, 1001}, {TvekCountry::ALGERIA, 213},      {TvekCountry::BRITAIN, 6},
      {TvekCountry::ITALY, 39},         {TvekCountry::UNITEDKINGDOM, 44}, {TvekCountry::USA, 1},
      {TvekCountry::VIETNAM, 84},       {TvekCountry::GERMANY, 49},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(TvekCountryCodes[static_cast<int>(c.Country)], c.Code);
  }
  EXPECT_EQ(static_cast<int>(TvekCountry::VIETNAM), 238);
}

TEST(TwainDeclarations, LanguageCodeIsOrdinalLessOne) {
  EXPECT_EQ(static_cast<int>(TvekLanguage::USERLOCALE) - 1, -1);
  EXPECT_EQ(static_cast<int>(TvekLanguage::DANISH) - 1, 0);
  EXPECT_EQ(static_cast<int>(TvekLanguage::ENGLISH_INTL) - 1, 2);
  EXPECT_EQ(static_cast<int>(TvekLanguage::US_ENGLISH) - 1, 13);
}

TEST(TwainDeclarations, SetsHoldTheirMembersAsBits) {
  TTwnFileFmts formats{TWFF_BMP, TWFF_PNG};
  EXPECT_EQ(formats.Bits(), 0x84);
  EXPECT_TRUE(formats.Contains(TWFF_BMP));
  EXPECT_FALSE(formats.Contains(TWFF_TIFF));
  EXPECT_FALSE(formats.Contains(static_cast<TTwnFileFmt>(TTwnFileFmtUnknown)));
  formats.Exclude(TWFF_BMP);
  formats.Include(static_cast<TTwnFileFmt>(TTwnFileFmtUnknown));
  EXPECT_EQ(formats, TTwnFileFmts{TWFF_PNG});

  TTwnDeviceEvents events{TWDE_PAPERJAM, TWDE_POWERSAVENOTIFY};
  EXPECT_EQ(events.Bits(), (1u << 13) | (1u << 16));
  EXPECT_TRUE(TTwnDeviceEvents().Empty());
}
