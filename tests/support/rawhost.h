// A minimal TWAIN application for tests: it loads the Source Manager from the Windows
// directory as an application does (the export with ordinal 1), and drives it and any source
// with raw triplets. Its parent window is its own handle. While the manager is open it is the
// application's message handler (the one it displaced is kept, chained for other windows'
// messages and put back); it feeds every message of its window to every source it has open,
// and keeps the notifications they bring for PumpNotifications, its message loop.
//
// As a 2.x host (TRawHost::TWAIN2) it declares DF_APP2 and gives no parent window; when the
// manager answers DF_DSM2 it takes the entry points, registers a DAT_CALLBACK with every source
// it opens and never sends MSG_PROCESSEVENT: PumpNotifications waits for the callbacks. Every
// block it reads or hands over goes through the entry points' memory functions.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "library.h"
#include "messages.h"
#include "twain.h"

struct TNotification {
  TW_UINT32 SourceId = 0;
  TW_UINT16 Message = MSG_NULL;
};

class TRawHost {
 public:
  enum TProtocol { TWAIN1, TWAIN2 };
  explicit TRawHost(const std::string& ProductName = "Raw Host", TProtocol Protocol = TWAIN1);
  ~TRawHost();
  TRawHost(const TRawHost&) = delete;
  TRawHost& operator=(const TRawHost&) = delete;

  bool Loaded() const { return FEntry != nullptr; }
  // The manager answered DF_DSM2 and gave its entry points.
  bool Twain2() const { return FEntryPoints.Size != 0; }
  // The memory of the blocks that cross: the manager's functions as a 2.x host, else
  // win32::Global*.
  TW_HANDLE Allocate(TW_UINT32 Bytes);
  void* Lock(TW_HANDLE Handle);
  void Unlock(TW_HANDLE Handle);
  void Free(TW_HANDLE Handle);
  TW_IDENTITY& Identity() { return FIdentity; }
  win32::HWND Parent() { return this; }

  TW_UINT16 Call(TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
  // DAT_STATUS of the manager (no destination) or of a source.
  TW_UINT16 Condition(TW_IDENTITY* Dest = nullptr);

  TW_UINT16 OpenDSM();
  TW_UINT16 CloseDSM();
  // The product names MSG_GETFIRST and MSG_GETNEXT give, up to TWRC_ENDOFLIST.
  std::vector<std::string> SourceNames();
  TW_UINT16 OpenDS(const std::string& Name, TW_IDENTITY& Source);
  TW_UINT16 CloseDS(TW_IDENTITY& Source);
  TW_UINT16 Enable(TW_IDENTITY& Source, bool ShowUI = false);
  TW_UINT16 Disable(TW_IDENTITY& Source);
  TW_UINT16 ProcessEvent(TW_IDENTITY& Source, win32::MSG& Msg, TW_UINT16& TWMessage);

  // MSG_SET of a one value; MSG_GETCURRENT read back as its raw 32-bit item.
  TW_UINT16 SetOneValue(TW_IDENTITY& Source, TW_UINT16 Cap, TW_UINT16 ItemType, TW_UINT32 Value);
  TW_UINT16 GetCurrent(TW_IDENTITY& Source, TW_UINT16 Cap, TW_UINT32& Value);
  TW_UINT16 EndTransfer(TW_IDENTITY& Source, TW_UINT16& Count);

  // Runs the message loop until at least one notification came, or the time (milliseconds)
  // has passed; returns the notifications that came since the last call.
  std::vector<TNotification> PumpNotifications(int TimeoutMs);

 private:
  static void Hook(void* Data, win32::MSG& Msg, bool& Handled);
  void Unhook();
  // rawhost_twain2.cpp
  TW_UINT16 OpenTwain2DSM();
  void ForgetCallbacks();
  TW_UINT16 RegisterCallback(TW_IDENTITY& Source);
  static TW_UINT16 CallBack(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                            TW_UINT16 MSG, TW_MEMREF pData);
  std::vector<TNotification> WaitForCallbacks(int TimeoutMs);

  win32::HMODULE FManager = nullptr;
  DSMENTRYPROC FEntry = nullptr;
  TW_IDENTITY FIdentity{};
  std::vector<TW_IDENTITY> FOpen;
  std::vector<TNotification> FPumped;  // guarded by FPumpedLock for a 2.x host
  std::mutex FPumpedLock;
  std::condition_variable FPumpedChanged;
  TMessageEvent FPrevious;
  bool FHooked = false;
  TProtocol FProtocol;
  TW_ENTRYPOINT FEntryPoints{};
};
