// Acquisitions through the real Source Manager and SimScanner.ds: a component of the test's
// own, the scanner steered once it is open, and every event recorded in the order it came.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dibsection.h"
#include "globalmem.h"
#include "simscanner.h"
#include "vekTWAIN.h"
#include "windowsdir_fixture.h"

// One OnImageReady.
struct TImageSeen {
  void* pBmp = nullptr;
  win32::BITMAPINFO* pBmpInfo = nullptr;
  void* hImage = nullptr;
  std::string FilePath;
  int32_t Width = 0, Height = 0;  // the component's ImageWidth, ImageHeight at the event
};

class TAcquireTest : public TWindowsDirTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sends the settings to the open source; Armed ones are sent from OnNegotiation.
  bool Steer(TvekTWAIN& Twain, const TSimScannerSettings& Settings);
  TSimScannerReport Report(TvekTWAIN& Twain);
  // Records the events of Twain into Log and Images; the images are freed by the test.
  void Record(TvekTWAIN& Twain);
  // Pumps messages until Done or five seconds have passed.
  bool PumpUntil(const std::function<bool()>& Done);
  // Acquires and pumps until everything is closed again (DisableAfterAcquire) or no message
  // has come for a while.
  bool AcquireAll(TvekTWAIN& Twain);
  // Frees the images handed over, as the application would.
  void FreeImages(TTwnHdlType Type);

  TSimScannerSettings Armed;
  std::vector<std::string> Log;
  std::vector<TImageSeen> Images;
  std::vector<TSimScannerReport> Reports;  // taken at every negotiation
};
