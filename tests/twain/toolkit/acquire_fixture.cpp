#include "acquire_fixture.h"

#include <chrono>

#include "messages.h"

void TAcquireTest::SetUp() {
  TWindowsDirTest::SetUp();
  AddScanner();
}

void TAcquireTest::TearDown() {
  Application().SetOnMessage(TMessageEvent{});
  TWindowsDirTest::TearDown();
}

bool TAcquireTest::Steer(TvekTWAIN& Twain, const TSimScannerSettings& Settings) {
  TSimScannerSettings settings = Settings;
  return Twain.CallDSM(&Twain.AppIdentity(), &Twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                       MSG_SET, &settings) == TWRC_SUCCESS;
}

TSimScannerReport TAcquireTest::Report(TvekTWAIN& Twain) {
  TSimScannerReport report;
  Twain.CallDSM(&Twain.AppIdentity(), &Twain.SourceIdentity(), DG_CONTROL, DAT_SIMSCANNER,
                MSG_QUERYSUPPORT, &report);
  return report;
}

void TAcquireTest::Record(TvekTWAIN& Twain) {
  Twain.OnNegotiation = [this, &Twain](QObject*) {
    Log.push_back("negotiation");
    EXPECT_TRUE(Steer(Twain, Armed));
  };
  Twain.OnXferReady = [this](QObject*) { Log.push_back("xferready"); };
  Twain.OnCloseSource = [this](QObject*) { Log.push_back("closesource"); };
  Twain.OnImageReady = [this, &Twain](QObject*, void* pBmp, win32::BITMAPINFO* pBmpInfo,
                                      void* hImage, const std::string& FilePath) {
    Log.push_back(hImage != nullptr ? "image" : FilePath.empty() ? "noimage" : "file");
    Images.push_back({pBmp, pBmpInfo, hImage, FilePath, Twain.ImageWidth(), Twain.ImageHeight()});
    // The native block as the source handed it over is known while the source is open.
    if (Twain.IsSourceOpen()) Reports.push_back(Report(Twain));
  };
  Twain.OnXferNext = [this](QObject*, int32_t& NumImages, bool&) {
    Log.push_back("next " + std::to_string(NumImages));
  };
}

bool TAcquireTest::PumpUntil(const std::function<bool()>& Done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Done() && std::chrono::steady_clock::now() < end) {
    Application().WaitMessage(10);
    Application().ProcessMessages();
  }
  return Done();
}

bool TAcquireTest::AcquireAll(TvekTWAIN& Twain) {
  if (!Twain.Acquire("SimScanner")) return false;
  return PumpUntil([&] { return Twain.GetState() == 1; });
}

void TAcquireTest::FreeImages(TTwnHdlType Type) {
  for (const TImageSeen& image : Images) {
    if (image.hImage == nullptr) continue;
    if (Type == THDT_DIBRAW || Type == THDT_MEMPTR)
      win32::GlobalFree(image.hImage);
    else
      win32::DeleteObject(image.hImage);
  }
  Images.clear();
}
