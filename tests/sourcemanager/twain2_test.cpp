// 2.x peers through the manager: DF_DSM2 and the entry points to a DF_APP2 application,
// DAT_ENTRYPOINT MSG_SET to a DF_DS2 source before it opens, callbacks in place of the
// queue, and every pairing of 1.x and 2.x hosts and sources exchanging pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "globalmem.h"
#include "session_helpers.h"
#include "streams.h"
#include "windowsdir_fixture.h"

namespace {

class Twain2 : public TWindowsDirTest {
 protected:
  void SetUp() override {
    TWindowsDirTest::SetUp();
    FTrace = (Dir() / "simscanner.trace").string();
    setenv("CLARIVO_SIMSCANNER_TRACE", FTrace.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CLARIVO_SIMSCANNER_TRACE");
    TWindowsDirTest::TearDown();
  }
  // The triplets the scanners were sent, "<DAT> <MSG>" a line.
  std::vector<std::string> SourceTrace() const {
    std::vector<std::string> lines;
    std::ifstream in(FTrace);
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, 13));
    return lines;
  }
  void ForgetTrace() const { std::filesystem::remove(FTrace); }
  bool Traced(const std::string& Triplet) const {
    std::vector<std::string> lines = SourceTrace();
    return std::find(lines.begin(), lines.end(), Triplet) != lines.end();
  }

 private:
  std::string FTrace;
};

constexpr const char* kEntryPointSet = "0x0403 0x0006";
constexpr const char* kOpenDS = "0x0003 0x0401";
constexpr const char* kProcessEvent = "0x0002 0x0601";

TEST_F(Twain2, TheManagerAnswersDF_DSM2AndItsEntryPointsOnlyToA2xApplication) {
  TRawHost old("Old Host"), current("New Host", TRawHost::TWAIN2);
  ASSERT_EQ(old.OpenDSM(), TWRC_SUCCESS);
  ASSERT_EQ(current.OpenDSM(), TWRC_SUCCESS);  // with no parent window
  EXPECT_EQ(+old.Identity().SupportedGroups & DF_DSM2, 0u);
  EXPECT_NE(+current.Identity().SupportedGroups & DF_DSM2, 0u);
  EXPECT_FALSE(old.Twain2());
  ASSERT_TRUE(current.Twain2());

  TW_ENTRYPOINT entry{};
  ASSERT_EQ(current.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
  EXPECT_EQ(+entry.Size, sizeof(TW_ENTRYPOINT));
  DSMENTRYPROC dsm = entry.DSM_Entry;
  EXPECT_NE(dsm, nullptr);
  EXPECT_EQ(current.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry), TWRC_FAILURE);
  EXPECT_EQ(current.Condition(), TWCC_BADPROTOCOL);
  EXPECT_EQ(current.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(current.Condition(), TWCC_BADVALUE);

  // One allocator: a block of the entry points is a block of our modules, and back.
  TW_HANDLE theirs = entry.DSM_MemAllocate(16);
  auto* bytes = static_cast<uint8_t*>(win32::GlobalLock(theirs));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[15], 0);
  bytes[15] = 7;
  win32::GlobalUnlock(theirs);
  EXPECT_EQ(static_cast<uint8_t*>(entry.DSM_MemLock(theirs))[15], 7);
  entry.DSM_MemUnlock(theirs);
  EXPECT_EQ(win32::GlobalLockCount(theirs), 0u);
  EXPECT_EQ(win32::GlobalFree(theirs), nullptr);
  win32::HGLOBAL ours = win32::GlobalAlloc(win32::GHND, 4);
  EXPECT_EQ(entry.DSM_MemLock(ours), win32::GlobalLock(ours));
  EXPECT_EQ(win32::GlobalLockCount(ours), 2u);
  entry.DSM_MemUnlock(ours);
  win32::GlobalUnlock(ours);
  entry.DSM_MemFree(ours);

  // Without DF_APP2 a parent window is still wanted.
  TRawHost windowless("Windowless");
  EXPECT_EQ(windowless.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_FAILURE);
  EXPECT_EQ(old.CloseDSM(), TWRC_SUCCESS);
  EXPECT_EQ(current.CloseDSM(), TWRC_SUCCESS);
}

TEST_F(Twain2, ListedSourcesKeepTheirIdsAndOpenWithThem) {
  AddScanner("SimScanner");
  AddScanner("SimScannerTW2", true);
  TRawHost host;
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  auto ids = [&] {
    std::vector<TW_UINT32> listed;
    TW_IDENTITY source{};
    for (TW_UINT16 msg = MSG_GETFIRST;
         host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &source) == TWRC_SUCCESS;
         msg = MSG_GETNEXT)
      listed.push_back(source.Id);
    return listed;
  };
  std::vector<TW_UINT32> first = ids();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0], 0u);
  EXPECT_NE(first[1], 0u);
  EXPECT_NE(first[0], first[1]);
  EXPECT_NE(first[0], +host.Identity().Id);
  EXPECT_EQ(ids(), first);
  TW_IDENTITY source{};
  ASSERT_EQ(host.OpenDS("SimScannerTW2", source), TWRC_SUCCESS);
  EXPECT_EQ(+source.Id, first[1]);
  EXPECT_EQ(+source.ProtocolMajor, TWON_PROTOCOLMAJOR2);
  EXPECT_NE(+source.SupportedGroups & DF_DS2, 0u);
  EXPECT_EQ(ids(), first);
  CloseSession(host, source);
}

TEST_F(Twain2, OnlyA2xSourceIsGivenTheEntryPointsAndBeforeItOpens) {
  AddScanner("SimScanner");
  AddScanner("SimScannerTW2", true);
  TRawHost host;
  TW_IDENTITY old{}, current{};
  OpenSession(host, old, "SimScanner");
  EXPECT_FALSE(Traced(kEntryPointSet));
  ForgetTrace();
  ASSERT_EQ(host.OpenDS("SimScannerTW2", current), TWRC_SUCCESS);
  std::vector<std::string> trace = SourceTrace();
  auto set = std::find(trace.begin(), trace.end(), kEntryPointSet);
  ASSERT_NE(set, trace.end());
  EXPECT_EQ(std::find(trace.begin(), set, kOpenDS), set) << "opened before the entry points";
  EXPECT_NE(std::find(set, trace.end(), kOpenDS), trace.end());
  // The 2.x source makes its containers through them, and a 1.x host reads them as its own.
  TW_UINT32 value = 0;
  EXPECT_EQ(host.SetOneValue(current, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
  ASSERT_EQ(host.GetCurrent(current, ICAP_PIXELTYPE, value), TWRC_SUCCESS);
  EXPECT_EQ(value, TWPT_RGB);
  EXPECT_EQ(host.CloseDS(old), TWRC_SUCCESS);
  CloseSession(host, current);
}

// The scanner refuses the entry points once it is open for someone: a second application's
// opening fails on them, and the source stays with the first.
TEST_F(Twain2, ARefusedEntryPointFailsTheOpening) {
  AddScanner("SimScannerTW2", true);
  TRawHost first("First"), second("Second", TRawHost::TWAIN2);
  TW_IDENTITY source{}, other{};
  OpenSession(first, source);
  ASSERT_EQ(second.OpenDSM(), TWRC_SUCCESS);
  EXPECT_EQ(second.OpenDS("SimScannerTW2", other), TWRC_FAILURE);
  EXPECT_EQ(second.Condition(), TWCC_OPERATIONERROR);
  EXPECT_EQ(second.CloseDSM(), TWRC_SUCCESS);
  TW_UINT32 value = 0;
  EXPECT_EQ(first.GetCurrent(source, ICAP_PIXELTYPE, value), TWRC_SUCCESS);
  CloseSession(first, source);
}

// What a callback sees, and that the manager holds no lock while it runs: it asks the manager
// from inside.
struct TCallbackRecord {
  DSMENTRYPROC Entry = nullptr;
  TW_IDENTITY App{};
  std::vector<TW_UINT16> Messages;
  TW_UINT32 Origin = 0;
  TW_MEMREF RefCon = nullptr;
  TW_UINT16 PendingAnswer = TWRC_FAILURE;
};
TCallbackRecord* record = nullptr;

TW_UINT16 Record(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                 TW_UINT16 MSG, TW_MEMREF pData) {
  EXPECT_EQ(DG, DG_CONTROL);
  EXPECT_EQ(DAT, DAT_NULL);
  EXPECT_EQ(+pDest->Id, +record->App.Id);
  record->Messages.push_back(MSG);
  record->Origin = pOrigin->Id;
  record->RefCon = pData;
  TW_PENDINGXFERS pending{};
  record->PendingAnswer =
      record->Entry(&record->App, pOrigin, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending);
  return TWRC_SUCCESS;
}

TEST_F(Twain2, ACallbackIsCalledInsideEnablingWithNoLockAndNothingIsQueued) {
  AddScanner("SimScannerTW2", true);
  TRawHost host("Callback Host", TRawHost::TWAIN2);
  ASSERT_EQ(host.OpenDSM(), TWRC_SUCCESS);
  TW_IDENTITY source{};
  std::snprintf(source.ProductName, sizeof(TW_STR32), "SimScannerTW2");
  ASSERT_EQ(host.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
  TCallbackRecord seen;
  record = &seen;
  seen.App = host.Identity();
  TW_ENTRYPOINT entry{};
  ASSERT_EQ(host.Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
  seen.Entry = entry.DSM_Entry;
  TW_CALLBACK callback{reinterpret_cast<TW_MEMREF>(&Record), 0x1234, 0};
  EXPECT_EQ(host.Call(&source, DG_CONTROL, DAT_CALLBACK, MSG_NULL, &callback), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(), TWCC_BADPROTOCOL);
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback),
            TWRC_SUCCESS);
  EXPECT_FALSE(Traced("0x0010 0x0902")) << "kept by the manager, never forwarded";

  ASSERT_EQ(host.Enable(source), TWRC_SUCCESS);  // raises MSG_XFERREADY inside
  ASSERT_EQ(seen.Messages, std::vector<TW_UINT16>{MSG_XFERREADY});
  EXPECT_EQ(seen.Origin, +source.Id);
  EXPECT_EQ(seen.RefCon, reinterpret_cast<TW_MEMREF>(0x1234));
  EXPECT_EQ(seen.PendingAnswer, TWRC_SUCCESS);
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_SIMSCANNER, MSG_CLOSEDSOK, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(seen.Messages, (std::vector<TW_UINT16>{MSG_XFERREADY, MSG_CLOSEDSOK}));
  // Nothing waits for a MSG_PROCESSEVENT.
  win32::MSG msg;
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(host.ProcessEvent(source, msg, message), TWRC_NOTDSEVENT);
  EXPECT_EQ(message, MSG_NULL);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  record = nullptr;
  CloseSession(host, source);
}

// Without a callback a close-ok waits in the queue like any notification.
TEST_F(Twain2, ACloseOkIsQueuedForAnApplicationWithoutCallback) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_SIMSCANNER, MSG_CLOSEDSOK, nullptr), TWRC_SUCCESS);
  win32::MSG msg;
  msg.hwnd = host.Parent();
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(host.ProcessEvent(source, msg, message), TWRC_DSEVENT);
  EXPECT_EQ(message, MSG_CLOSEDSOK);
  Application().ProcessMessages();
  CloseSession(host, source);
}

struct TPairingCase {
  const char* Name;
  TRawHost::TProtocol Host;
  const char* Source;
  TW_UINT16 Mechanism;
  bool NativeTiff;
};

class Pairings : public Twain2, public ::testing::WithParamInterface<TPairingCase> {};

// The host's own reading of a native page: through the memory functions, as a DIB or a TIFF.
std::unique_ptr<TDIB> ReadNativePage(TRawHost& Host, TW_IDENTITY& Source) {
  TW_HANDLE handle = nullptr;
  EXPECT_EQ(Host.Call(&Source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
  auto page = std::make_unique<TDIB>();
  if (handle == nullptr) return page;
  const auto* bytes = static_cast<const uint8_t*>(Host.Lock(handle));
  if (bytes[0] == 'I' && bytes[1] == 'I') {
    // A TIFF carries no length of its own here: the block of our manager tells it.
    TMemoryStream tiff({bytes, bytes + win32::GlobalSize(handle)});
    page->LoadFromStream(tiff);
    Host.Unlock(handle);
    Host.Free(handle);
  } else {
    Host.Unlock(handle);
    page->SetHandle(handle);
  }
  return page;
}

TEST_P(Pairings, TwoSheetsArriveWholeThroughEveryPairing) {
  const TPairingCase& c = GetParam();
  AddScanner(c.Source, true);
  TRawHost host("Pairing Host", c.Host);
  TW_IDENTITY source{};
  OpenSession(host, source, c.Source);
  EXPECT_EQ(host.Twain2(), c.Host == TRawHost::TWAIN2);
  TSimScannerSettings settings;
  settings.Sheets = 2;
  settings.NativeTiff = c.NativeTiff;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  ASSERT_EQ(host.SetOneValue(source, ICAP_XFERMECH, TWTY_UINT16, c.Mechanism), TWRC_SUCCESS);
  ASSERT_EQ(host.SetOneValue(source, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  EnableAndWaitForPages(host, source);
  std::string file = (Dir() / "page.bmp").string();
  TW_UINT16 left = 1;
  for (int32_t index = 0; left != 0; ++index) {
    ASSERT_LT(index, 2);
    std::unique_ptr<TDIB> expected = ExpectedPage(index, TWPT_GRAY);
    if (c.Mechanism == TWSX_NATIVE) {
      ExpectSameRows(*ReadNativePage(host, source), *expected);
    } else if (c.Mechanism == TWSX_FILE) {
      ExpectFilePage(host, source, file, *expected);
    } else {
      TStrips strips = MemoryPage(host, source);
      ASSERT_EQ(strips.Last, TWRC_XFERDONE);
      ASSERT_EQ(strips.Rows, static_cast<TW_UINT32>(expected->Height()));
      for (int32_t y = 0; y < expected->Height(); ++y)
        ASSERT_EQ(std::memcmp(&strips.Bytes[y * strips.BytesPerRow], expected->Lines(y),
                              expected->LineBytes()),
                  0)
            << "row " << y;
    }
    ASSERT_EQ(host.EndTransfer(source, left), TWRC_SUCCESS);
  }
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
  // A 2.x host never pumps: its notifications came by callback.
  EXPECT_EQ(Traced(kProcessEvent), c.Host == TRawHost::TWAIN1);
}

INSTANTIATE_TEST_SUITE_P(
    HostsAndSources, Pairings,
    ::testing::Values(
        TPairingCase{"Host1Source2Native", TRawHost::TWAIN1, "SimScannerTW2", TWSX_NATIVE, false},
        TPairingCase{"Host1Source2Memory", TRawHost::TWAIN1, "SimScannerTW2", TWSX_MEMORY, false},
        TPairingCase{"Host2Source1Native", TRawHost::TWAIN2, "SimScanner", TWSX_NATIVE, false},
        TPairingCase{"Host2Source1File", TRawHost::TWAIN2, "SimScanner", TWSX_FILE, false},
        TPairingCase{"Host2Source2Native", TRawHost::TWAIN2, "SimScannerTW2", TWSX_NATIVE, false},
        TPairingCase{"Host2Source2Memory", TRawHost::TWAIN2, "SimScannerTW2", TWSX_MEMORY, false},
        TPairingCase{"Host2Source2File", TRawHost::TWAIN2, "SimScannerTW2", TWSX_FILE, false},
        TPairingCase{"Host2Source2NativeTiff", TRawHost::TWAIN2, "SimScannerTW2", TWSX_NATIVE,
                     true},
        TPairingCase{"Host1Source1NativeTiff", TRawHost::TWAIN1, "SimScanner", TWSX_NATIVE, true}),
    [](const ::testing::TestParamInfo<TPairingCase>& info) { return info.param.Name; });

}  // namespace
