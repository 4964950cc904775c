// Memory transfers into the application's own buffers, the buffer size the application
// chooses, and many acquisitions in a row leaving nothing behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "acquire_fixture.h"

namespace {

using TStrings = std::vector<std::string>;

class MemoryAcquireTest : public TAcquireTest {};

size_t OpenFiles() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

}  // namespace

TEST_F(MemoryAcquireTest, StripsGoToTheApplicationsBuffersAtTheSizeItChose) {
  TvekTWAIN twain;
  Record(twain);
  twain.SetShowUI(false);
  twain.OnImageReady = nullptr;
  twain.SetDIBHandleType(THDT_MEMPTR);
  Armed.Sheets = 1;
  int32_t minSize = 0;
  twain.OnMemXferSize = [&](QObject*, int32_t MinSize, int32_t, int32_t& BufSize,
                            win32::BITMAPINFO*) {
    minSize = MinSize;
    BufSize = 1;  // raised to the source's least: one row a strip
  };
  std::vector<uint8_t> buffer(200 * 200);
  struct TCall {
    int32_t Rows, DataSize;
  };
  std::vector<TCall> calls;
  twain.OnMemXferBuffer = [&](QObject*, win32::BITMAPINFO* Info, int32_t, int32_t Rows,
                              int32_t DataSize, void*& pData) {
    EXPECT_EQ(Info->bmiHeader.biWidth, 200);
    calls.push_back({Rows, DataSize});
    pData = buffer.data();
  };
  ASSERT_TRUE(AcquireAll(twain));
  EXPECT_EQ(minSize, 200);
  ASSERT_EQ(calls.size(), 202u);  // a request for the first buffer, 200 strips, the end
  EXPECT_EQ(calls.front().Rows, 0);
  for (size_t i = 1; i <= 200; ++i) EXPECT_EQ(calls[i].Rows, 1) << i;
  EXPECT_EQ(calls.back().Rows, 0);
  EXPECT_EQ(calls.back().DataSize, 0);
}

TEST_F(MemoryAcquireTest, AHundredAcquisitionsLeaveNoHandleBehind) {
  // Blocks are checked by the leak sanitizer at exit; DIB sections, files and the source here.
  struct TRound {
    TTwnXferType Mech;
    TTwnHdlType Type;
  };
  const TRound rounds[] = {{TWFX_NATIVE, THDT_DIBHANDLE},
                           {TWFX_NATIVE, THDT_DIBRAW},
                           {TWFX_MEMORY, THDT_DIBSEC},
                           {TWFX_MEMORY, THDT_DIBRAW},
                           {TWFX_FILES, THDT_DIBRAW}};
  const size_t sections = win32::LiveDIBSections();
  const size_t files = OpenFiles();
  const std::string target = (Dir() / "page.bmp").string();
  for (int i = 0; i < 100; ++i) {
    const TRound& round = rounds[i % 5];
    TvekTWAIN twain;
    Record(twain);
    twain.SetShowUI(false);
    twain.SetXferMech(round.Mech);
    twain.SetDIBHandleType(round.Type);
    if (round.Mech == TWFX_FILES) {
      twain.SetFilename(target);
      twain.SetReturnHandle(true);
    }
    ASSERT_TRUE(AcquireAll(twain)) << i;
    ASSERT_EQ(Images.size(), 3u) << i;
    FreeImages(round.Type);
    Reports.clear();
    Log.clear();
  }
  EXPECT_EQ(win32::LiveDIBSections(), sections);
  EXPECT_EQ(OpenFiles(), files);
  EXPECT_FALSE(std::filesystem::exists(target));
  // Every opening was closed again: the scanner takes one more.
  TvekTWAIN twain;
  ASSERT_TRUE(twain.OpenSourceMgr());
  EXPECT_TRUE(twain.OpenSource("SimScanner"));
}
