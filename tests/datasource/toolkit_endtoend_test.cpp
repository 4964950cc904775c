// Our own TWAIN toolkit acquires from Clarivo.ds through TWAIN_32.DLL, against the real
// control panel: it follows TWAIN, so it gets every page of a feeder scan.
#include <chrono>

#include "endtoend_fixture.h"
#include "globalmem.h"
#include "messages.h"
#include "vekTWAIN.h"
#include "vekTWAINDIB.h"

namespace {

struct TToolkitCase {
  const char* Name;
  TTwnXferType Mech;
  bool ShowUI;
};

class TToolkitScan : public TEndToEndTest, public ::testing::WithParamInterface<TToolkitCase> {
 protected:
  void TearDown() override {
    Application().SetOnMessage(TMessageEvent{});
    TEndToEndTest::TearDown();
  }
  // Pumps messages until Done, at most ten seconds; the dialog's "Scan !" is pressed once it
  // shows.
  bool PumpUntil(const std::function<bool()>& Done, bool PressScan) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Done() && std::chrono::steady_clock::now() < end) {
      if (PressScan) {
        if (QPushButton* scan = ScanButton()) {
          scan->click();
          PressScan = false;
        }
      }
      QCoreApplication::processEvents();
      Application().WaitMessage(10);
      Application().ProcessMessages();
    }
    return Done();
  }
};

TEST_P(TToolkitScan, AcquiresEveryPageOfTheFeeder) {
  const TToolkitCase& c = GetParam();
  FeederPages(2);
  StartPanel();
  TvekTWAIN twain;
  twain.SetShowUI(c.ShowUI);
  twain.SetXferMech(c.Mech);
  twain.SetDIBHandleType(THDT_DIBRAW);
  if (c.Mech == TWFX_FILES) twain.SetFilename((Root / "tmp" / "page.bmp").string());
  std::vector<std::pair<int32_t, int32_t>> sizes;
  twain.OnImageReady = [&](QObject*, void*, win32::BITMAPINFO*, void* hImage,
                           const std::string& FilePath) {
    TDIB page;
    if (hImage != nullptr)
      page.SetHandle(hImage);
    else
      page.LoadFromFile(FilePath);
    sizes.emplace_back(page.Width(), page.Height());
  };
  ASSERT_TRUE(twain.Acquire("Clarivo®"));
  EXPECT_TRUE(PumpUntil([&] { return twain.GetState() == 1; }, c.ShowUI));
  ASSERT_EQ(sizes.size(), 3u);
  for (auto [width, height] : sizes) {
    EXPECT_EQ(width, 850);
    EXPECT_EQ(height, 1100);
  }
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

INSTANTIATE_TEST_SUITE_P(Transfers, TToolkitScan,
                         ::testing::Values(TToolkitCase{"Native", TWFX_NATIVE, false},
                                           TToolkitCase{"Memory", TWFX_MEMORY, false},
                                           TToolkitCase{"File", TWFX_FILES, false},
                                           TToolkitCase{"FileWithDialog", TWFX_FILES, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
