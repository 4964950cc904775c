// The simulated scanner answers the capabilities it lists, and only those; and the trace of
// the manager records what passed.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class ScannerCapabilities : public TWindowsDirTest {};

std::vector<TW_UINT16> SupportedCaps(TRawHost& Host, TW_IDENTITY& Source) {
  TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
  std::vector<TW_UINT16> caps;
  if (Host.Call(&Source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap) != TWRC_SUCCESS) return caps;
  EXPECT_EQ(cap.ConType, TWON_ARRAY);
  auto* m = static_cast<uint8_t*>(win32::GlobalLock(cap.hContainer));
  TW_UINT32 n;
  std::memcpy(&n, m + 2, 4);
  EXPECT_EQ(win32::GlobalSize(cap.hContainer), 6 + 2 * n);
  caps.resize(n);
  std::memcpy(caps.data(), m + 6, 2 * n);
  win32::GlobalUnlock(cap.hContainer);
  win32::GlobalFree(cap.hContainer);
  return caps;
}

TEST_F(ScannerCapabilities, ListsWhatItAnswersAndRefusesTheRest) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  std::vector<TW_UINT16> caps = SupportedCaps(host, source);
  for (TW_UINT16 cap :
       {ICAP_PIXELTYPE, ICAP_BITDEPTH, ICAP_BITDEPTHREDUCTION, CAP_FEEDERENABLED, CAP_DUPLEXENABLED,
        ICAP_BITORDER, ICAP_PIXELFLAVOR, ICAP_PLANARCHUNKY, ICAP_UNITS, ICAP_XRESOLUTION,
        ICAP_YRESOLUTION, ICAP_CONTRAST, ICAP_BRIGHTNESS, ICAP_AUTOBRIGHT, ICAP_THRESHOLD,
        ICAP_XFERMECH, CAP_XFERCOUNT}) {
    EXPECT_NE(std::find(caps.begin(), caps.end(), cap), caps.end()) << cap;
    TW_UINT32 value = 0;
    EXPECT_EQ(host.GetCurrent(source, cap, value), TWRC_SUCCESS) << cap;
  }
  TW_UINT32 value = 0;
  EXPECT_EQ(host.GetCurrent(source, ICAP_GAMMA, value), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_CAPUNSUPPORTED);

  TSimScannerSettings settings;
  settings.OmitCaps[0] = ICAP_BRIGHTNESS;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  caps = SupportedCaps(host, source);
  EXPECT_EQ(std::find(caps.begin(), caps.end(), ICAP_BRIGHTNESS), caps.end());
  EXPECT_EQ(host.GetCurrent(source, ICAP_BRIGHTNESS, value), TWRC_FAILURE);

  // A resolution between the steps is coerced; a pixel type it does not have is refused.
  TW_FIX32 asked{333, 0x4CCC};  // 333.3
  TW_UINT32 raw;
  std::memcpy(&raw, &asked, 4);
  EXPECT_EQ(host.SetOneValue(source, ICAP_XRESOLUTION, TWTY_FIX32, raw), TWRC_CHECKSTATUS);
  ASSERT_EQ(host.GetCurrent(source, ICAP_XRESOLUTION, value), TWRC_SUCCESS);
  TW_FIX32 got;
  std::memcpy(&got, &value, 4);
  EXPECT_EQ(got.Whole, 333);
  EXPECT_EQ(got.Frac, 0);
  EXPECT_EQ(host.SetOneValue(source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_CMYK), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_BADVALUE);
  EXPECT_EQ(host.SetOneValue(source, ICAP_PHYSICALWIDTH, TWTY_FIX32, 0), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_CAPBADOPERATION);
  CloseSession(host, source);
}

TEST_F(ScannerCapabilities, TheManagerTracesEveryTriplet) {
  AddScanner();
  std::string trace = (Dir() / "twain.trace").string();
  setenv("CLARIVO_TWAIN_TRACE", trace.c_str(), 1);
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  CloseSession(host, source);
  unsetenv("CLARIVO_TWAIN_TRACE");
  std::ifstream in(trace);
  std::string lines((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
  EXPECT_NE(lines.find("-> DSM DG 0x0001 DAT 0x0003 MSG 0x0401 = 0"), std::string::npos) << lines;
}

}  // namespace
