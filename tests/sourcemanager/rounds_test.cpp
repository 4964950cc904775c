// A hundred sessions in one process leave the manager, the scanner and the message queue as
// they found them (the leak check at exit sees what is lost; this sees what only grows).
#include <gtest/gtest.h>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
// Of the sanitizer's run-time library.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
size_t AllocatedBytes() {
  return __sanitizer_get_current_allocated_bytes();
}
#else
#include <malloc.h>
size_t AllocatedBytes() {
  return mallinfo2().uordblks;
}
#endif

namespace {

class Rounds : public TWindowsDirTest {};

void OneRound(int Round) {
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TSimScannerSettings settings;
  settings.Sheets = 1;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  TW_UINT16 mechanism = Round % 2 == 0 ? TWSX_NATIVE : TWSX_MEMORY;
  ASSERT_EQ(host.SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, mechanism), TWRC_SUCCESS);
  EnableAndWaitForPages(host, source);
  if (mechanism == TWSX_NATIVE)
    EXPECT_FALSE(NativePage(host, source)->Empty());
  else
    EXPECT_EQ(MemoryPage(host, source).Last, TWRC_XFERDONE);
  TW_UINT16 left = 1;
  EXPECT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

TEST_F(Rounds, AHundredSessionsKeepNothing) {
  AddScanner();
  for (int round = 0; round < 10; ++round) ASSERT_NO_FATAL_FAILURE(OneRound(round));
  size_t settled = AllocatedBytes();
  for (int round = 10; round < 100; ++round) ASSERT_NO_FATAL_FAILURE(OneRound(round));
  EXPECT_LT(AllocatedBytes(), settled + 16 * 1024);
  EXPECT_EQ(Application().QueuedMessages(), 0);
}

}  // namespace
