// Steps of a TWAIN session through the raw host and the simulated scanner, shared by the
// Source Manager tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pagegen.h"
#include "rawhost.h"
#include "simscanner.h"

inline TW_UINT16 Steer(TRawHost& Host, TW_IDENTITY& Source, TSimScannerSettings Settings) {
  return Host.Call(&Source, DG_CONTROL, DAT_SIMSCANNER, MSG_SET, &Settings);
}

inline TSimScannerReport Report(TRawHost& Host, TW_IDENTITY& Source) {
  TSimScannerReport report;
  EXPECT_EQ(Host.Call(&Source, DG_CONTROL, DAT_SIMSCANNER, MSG_QUERYSUPPORT, &report),
            TWRC_SUCCESS);
  return report;
}

// The page the scanner makes at its standard frame (2 x 2 inches) and resolution.
inline std::unique_ptr<TDIB> ExpectedPage(int32_t Index, TW_UINT16 PixelType, int32_t DPI = 100) {
  TPageOptions o;
  o.Width = o.Height = 2 * DPI;
  o.DPI = DPI;
  o.PixelType = PixelType == TWPT_BW ? pt1bit : PixelType == TWPT_GRAY ? pt8bit : pt24bit;
  o.Margin = o.Width / 10;
  o.Seed = static_cast<uint32_t>(Index + 1);
  return MakeReferencePage(o);
}

inline void ExpectSameRows(const TDIB& Got, const TDIB& Expected) {
  ASSERT_EQ(Got.Width(), Expected.Width());
  ASSERT_EQ(Got.Height(), Expected.Height());
  ASSERT_EQ(Got.BitCount(), Expected.BitCount());
  for (int32_t y = 0; y < Got.Height(); ++y)
    ASSERT_EQ(std::memcmp(Got.Lines(y), Expected.Lines(y), Got.LineBytes()), 0) << "row " << y;
}

// Opens the manager and the named source (empty: the default one) in state 4.
inline void OpenSession(TRawHost& Host, TW_IDENTITY& Source, const std::string& Name = "") {
  ASSERT_TRUE(Host.Loaded());
  ASSERT_EQ(Host.OpenDSM(), TWRC_SUCCESS);
  ASSERT_EQ(Host.OpenDS(Name, Source), TWRC_SUCCESS) << "condition " << Host.Condition();
}

inline void CloseSession(TRawHost& Host, TW_IDENTITY& Source) {
  EXPECT_EQ(Host.CloseDS(Source), TWRC_SUCCESS);
  EXPECT_EQ(Host.CloseDSM(), TWRC_SUCCESS);
}

// Enables without a user interface and pumps until the source says a page is ready.
inline void EnableAndWaitForPages(TRawHost& Host, TW_IDENTITY& Source) {
  ASSERT_EQ(Host.Enable(Source), TWRC_SUCCESS);
  std::vector<TNotification> got = Host.PumpNotifications(5000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].SourceId, Source.Id);
  EXPECT_EQ(got[0].Message, MSG_XFERREADY);
}

// DAT_IMAGENATIVEXFER: the source's block, adopted (and freed) by a page of the host.
inline std::unique_ptr<TDIB> NativePage(TRawHost& Host, TW_IDENTITY& Source,
                                        TW_UINT16 Expect = TWRC_XFERDONE) {
  TW_HANDLE handle = nullptr;
  EXPECT_EQ(Host.Call(&Source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), Expect);
  auto page = std::make_unique<TDIB>();
  if (handle != nullptr) page->SetHandle(handle);
  return page;
}

// DAT_IMAGEFILEXFER into a BMP file, and the page read back from it.
inline void ExpectFilePage(TRawHost& Host, TW_IDENTITY& Source, const std::string& File,
                           const TDIB& Expected) {
  TW_SETUPFILEXFER setup{};
  std::snprintf(setup.FileName, sizeof setup.FileName, "%s", File.c_str());
  setup.Format = TWFF_BMP;
  ASSERT_EQ(Host.Call(&Source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  ASSERT_EQ(Host.Call(&Source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  TDIB page;
  page.LoadFromFile(File);
  ExpectSameRows(page, Expected);
}

// Memory strips, joined top row first as they arrive; Rows and BytesPerRow as the source gave.
struct TStrips {
  std::vector<uint8_t> Bytes;
  TW_UINT32 BytesPerRow = 0;
  TW_UINT32 Rows = 0;
  int Calls = 0;
  TW_UINT16 Last = TWRC_FAILURE;
};

inline TStrips MemoryPage(TRawHost& Host, TW_IDENTITY& Source, TW_UINT32 BufferBytes = 0) {
  TStrips strips;
  TW_SETUPMEMXFER setup{};
  EXPECT_EQ(Host.Call(&Source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(BufferBytes != 0 ? BufferBytes : setup.Preferred);
  do {
    TW_IMAGEMEMXFER strip{};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                    buffer.data()};
    strips.Last = Host.Call(&Source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    ++strips.Calls;
    if (strips.Last != TWRC_SUCCESS && strips.Last != TWRC_XFERDONE) break;
    EXPECT_EQ(+strip.YOffset, strips.Rows);
    EXPECT_EQ(+strip.BytesWritten, strip.BytesPerRow * strip.Rows);
    strips.BytesPerRow = strip.BytesPerRow;
    strips.Rows += strip.Rows;
    strips.Bytes.insert(strips.Bytes.end(), buffer.begin(), buffer.begin() + strip.BytesWritten);
  } while (strips.Last == TWRC_SUCCESS && strips.Calls < 100000);
  return strips;
}
