// What a source raises through DAT_NULL: queued for its application, handed out one per
// MSG_PROCESSEVENT, with a wake-up through the message queue; never blocking anyone.
#include <gtest/gtest.h>

#include <thread>

#include "session_helpers.h"
#include "windowsdir_fixture.h"

namespace {

class Notifications : public TWindowsDirTest {};

TW_UINT16 NextNotification(TRawHost& Host, TW_IDENTITY& Source, TW_UINT16& Message) {
  win32::MSG msg;
  msg.hwnd = Host.Parent();
  return Host.ProcessEvent(Source, msg, Message);
}

TEST_F(Notifications, TwoSourcesOpenAtOnceEachGetTheirOwn) {
  AddScanner("SimScanner");
  AddScanner("SimScannerB", true);
  TRawHost host;
  TW_IDENTITY a{}, b{};
  OpenSession(host, a, "SimScanner");
  ASSERT_EQ(host.OpenDS("SimScannerB", b), TWRC_SUCCESS);
  ASSERT_EQ(host.Enable(a), TWRC_SUCCESS);
  ASSERT_EQ(host.Enable(b), TWRC_SUCCESS);
  std::vector<TNotification> got;
  for (int i = 0; i < 4 && got.size() < 2; ++i) {
    std::vector<TNotification> more = host.PumpNotifications(2000);
    got.insert(got.end(), more.begin(), more.end());
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].SourceId + got[1].SourceId, a.Id + b.Id);
  EXPECT_NE(got[0].SourceId, got[1].SourceId);
  EXPECT_EQ(got[0].Message, MSG_XFERREADY);
  EXPECT_EQ(got[1].Message, MSG_XFERREADY);
  EXPECT_FALSE(NativePage(host, b)->Empty());
  EXPECT_FALSE(NativePage(host, a)->Empty());
  EXPECT_EQ(host.CloseDS(b), TWRC_SUCCESS);
  CloseSession(host, a);
}

// An application that never pumps: the notification waits, one wake-up stands in the queue,
// and the next MSG_PROCESSEVENT, whenever it comes, hands it out.
TEST_F(Notifications, WaitForAnApplicationThatNeverPumps) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  int before = Application().QueuedMessages();
  ASSERT_EQ(host.Enable(source), TWRC_SUCCESS);  // raises MSG_XFERREADY inside
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_SIMSCANNER, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(Application().QueuedMessages(), before + 1);
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(NextNotification(host, source, message), TWRC_DSEVENT);
  EXPECT_EQ(message, MSG_XFERREADY);
  EXPECT_EQ(NextNotification(host, source, message), TWRC_DSEVENT);
  EXPECT_EQ(message, MSG_XFERREADY);
  EXPECT_EQ(NextNotification(host, source, message), TWRC_NOTDSEVENT);
  EXPECT_EQ(message, MSG_NULL);
  Application().ProcessMessages();
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

TEST_F(Notifications, ACloseRequestReachesThePumpAndClosingForgetsTheRest) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TSimScannerSettings settings;
  settings.Failure = TSimFailure::CloseRequest;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  ASSERT_EQ(host.Enable(source), TWRC_SUCCESS);
  std::vector<TNotification> got = host.PumpNotifications(5000);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Message, MSG_CLOSEDSREQ);
  // Raised and never taken: closing the source forgets it.
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_SIMSCANNER, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  ASSERT_EQ(host.CloseDS(source), TWRC_SUCCESS);
  ASSERT_EQ(Steer(host, source, {}), TWRC_FAILURE);  // closed: no destination
  EXPECT_EQ(host.Condition(&source), TWCC_BADDEST);
  ASSERT_EQ(host.OpenDS("SimScanner", source), TWRC_SUCCESS);
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(NextNotification(host, source, message), TWRC_NOTDSEVENT);
  EXPECT_EQ(message, MSG_NULL);
  Application().ProcessMessages();
  CloseSession(host, source);
}

TEST_F(Notifications, DeviceEventsTheApplicationAskedFor) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TW_CAPABILITY events{CAP_DEVICEEVENT, TWON_ARRAY, win32::GlobalAlloc(win32::GHND, 8)};
  auto* array = static_cast<uint8_t*>(win32::GlobalLock(events.hContainer));
  TW_UINT16 type = TWTY_UINT16, wanted = TWDE_DEVICEREADY;
  TW_UINT32 count = 1;
  std::memcpy(array, &type, 2);
  std::memcpy(array + 2, &count, 4);
  std::memcpy(array + 6, &wanted, 2);
  win32::GlobalUnlock(events.hContainer);
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &events), TWRC_SUCCESS);
  win32::GlobalFree(events.hContainer);
  TSimScannerSettings settings;
  settings.DeviceEventAtEnable = TWDE_DEVICEREADY;
  ASSERT_EQ(Steer(host, source, settings), TWRC_SUCCESS);
  TW_UINT32 unwanted = TWDE_PAPERJAM;
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_SIMSCANNER, MSG_DEVICEEVENT, &unwanted),
            TWRC_SUCCESS);
  ASSERT_EQ(host.Enable(source), TWRC_SUCCESS);
  std::vector<TNotification> got = host.PumpNotifications(5000);
  for (int i = 0; i < 3 && got.size() < 2; ++i) {
    std::vector<TNotification> more = host.PumpNotifications(2000);
    got.insert(got.end(), more.begin(), more.end());
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Message, MSG_DEVICEEVENT);
  EXPECT_EQ(got[1].Message, MSG_XFERREADY);
  TW_DEVICEEVENT event{};
  ASSERT_EQ(host.Call(&source, DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &event), TWRC_SUCCESS);
  EXPECT_EQ(+event.Event, TW_UINT32{TWDE_DEVICEREADY});
  EXPECT_STREQ(event.DeviceName, "SimScanner");
  EXPECT_EQ(host.Call(&source, DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &event), TWRC_FAILURE);
  EXPECT_EQ(host.Condition(&source), TWCC_SEQERROR);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

// A source may call back from a thread of its own; the waiting message loop wakes at once.
TEST_F(Notifications, ACallbackFromAnotherThreadWakesTheLoop) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TW_IDENTITY app = host.Identity();
  std::thread scanner([&] {
    win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
    auto entry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(manager, "DSM_Entry"));
    EXPECT_EQ(entry(&source, &app, DG_CONTROL, DAT_NULL, MSG_DEVICEEVENT, nullptr), TWRC_SUCCESS);
    win32::FreeLibrary(manager);
  });
  std::vector<TNotification> got = host.PumpNotifications(5000);
  scanner.join();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Message, MSG_DEVICEEVENT);
  CloseSession(host, source);
}

TEST_F(Notifications, OnlyFromAnOpenPair) {
  AddScanner();
  TRawHost host;
  TW_IDENTITY source{};
  OpenSession(host, source);
  TW_IDENTITY stranger = host.Identity();
  stranger.Id += 1000;
  win32::HMODULE manager = win32::LoadLibrary("TWAIN_32.DLL");
  auto entry = reinterpret_cast<DSMENTRYPROC>(win32::GetProcAddress(manager, "DSM_Entry"));
  EXPECT_EQ(entry(&source, &stranger, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
  EXPECT_EQ(entry(&source, &host.Identity(), DG_CONTROL, DAT_NULL, MSG_GET, nullptr), TWRC_FAILURE);
  win32::FreeLibrary(manager);
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(NextNotification(host, source, message), TWRC_NOTDSEVENT);
  CloseSession(host, source);
}

}  // namespace

namespace {

void KeepWindow(void* Data, win32::MSG& Msg, bool&) {
  static_cast<std::vector<win32::HWND>*>(Data)->push_back(Msg.hwnd);
}

// An application that gives no window at MSG_OPENDSM is woken through the application
// object's own, and gets its notifications as any other.
TEST_F(Notifications, AnApplicationWithoutAWindowIsWokenToo) {
  AddScanner();
  TRawHost host;
  win32::HWND none = nullptr;
  ASSERT_EQ(host.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &none), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(host.OpenDS("SimScanner", source), TWRC_SUCCESS);
  std::vector<win32::HWND> woken;
  const TMessageEvent previous = Application().OnMessage();
  Application().SetOnMessage({&KeepWindow, &woken});
  ASSERT_EQ(host.Enable(source), TWRC_SUCCESS);  // raises MSG_XFERREADY inside
  Application().ProcessMessages();
  Application().SetOnMessage(previous);
  EXPECT_EQ(woken, std::vector<win32::HWND>{Application().Handle()});
  TW_UINT16 message = MSG_NULL;
  EXPECT_EQ(NextNotification(host, source, message), TWRC_DSEVENT);
  EXPECT_EQ(message, MSG_XFERREADY);
  EXPECT_EQ(host.Disable(source), TWRC_SUCCESS);
  CloseSession(host, source);
}

}  // namespace
