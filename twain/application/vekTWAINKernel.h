// TvekTWAINKernel: the bottom of the application's TWAIN toolkit. It loads the Source
// Manager, makes every call to it through CallDSM (return and condition codes, the failure
// event, the reset after a call that crashed), opens and closes the Source Manager and the
// source, enables and disables the source, keeps TWAIN's state 1 to 7, and, while the Source
// Manager is open, hooks the application's message handler to feed every message to the open
// source and act on its notifications (transfer ready, close request, device event).
//
// States: 1 nothing loaded, 2 Source Manager loaded, 3 Source Manager open, 4 source open,
// 5 source enabled, 6 transfer ready, 7 transferring (file transfers only).
//
// With a Source Manager that answers DF_DSM2 (the kernel declares DF_APP2) it registers a
// DAT_CALLBACK with the source it opens: a notification is kept and the parent window woken,
// and the message hook acts on it without MSG_PROCESSEVENT (vekTWAINKernelCallback.cpp). A 1.x
// manager is polled with MSG_PROCESSEVENT as before.
//
// Everything runs on the thread that pumps the application's messages. Failures are return
// codes: TWAIN's, or kCallRaised for a Source Manager call that raised.
#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "library.h"
#include "messages.h"
#include "twain.h"

class TvekTWAINKernel : public QObject {
 public:
  // The result of a Source Manager call that raised: the Source Manager counts as lost.
  static constexpr uint16_t kCallRaised = 10;

  using TNotifyEvent = std::function<void(QObject* Sender)>;
  using TFailureEvent = std::function<void(QObject* Sender, int32_t DG, uint16_t DAT, uint16_t CAP,
                                           uint16_t MSG, int32_t Error, int32_t Status)>;

  explicit TvekTWAINKernel(QObject* Owner = nullptr);
  ~TvekTWAINKernel() override;
  TvekTWAINKernel(const TvekTWAINKernel&) = delete;
  TvekTWAINKernel& operator=(const TvekTWAINKernel&) = delete;

  // The one road to the Source Manager's entry.
  uint16_t CallDSM(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                   TW_UINT16 MSG, TW_MEMREF pData);
  // DG_CONTROL / DAT_STATUS / MSG_GET: Condition is TWCC_BUMMER unless the call succeeds.
  void GetStatus(uint16_t& Condition, TW_IDENTITY* pDest);

  bool IsDSMOpen() const { return FDSMOpen; }
  bool IsSourceOpen() const { return FSourceOpen; }
  bool IsSourceEnabled() const { return FSourceEnabled; }
  int16_t GetState() const { return static_cast<int16_t>(FState); }
  void SetState(uint16_t NewState) { FState = NewState; }
  uint16_t GetReturnCode() const { return FReturnCode; }
  uint16_t GetConditionCode() const { return FConditionCode; }

  // Each answers 1 without a call when its state does not allow it.
  uint16_t OpenDSM();
  uint16_t CloseDSM();
  uint16_t OpenDS();
  uint16_t CloseDS();
  uint16_t EnableDS(bool& ShowUI);
  uint16_t DisableDS();
  // Disables, closes the source and closes the Source Manager as far as they are open.
  void CloseAll();

  // Hands one message to the open source; true when it was the source's.
  bool ProcessSourceEvent(win32::MSG& Msg);
  void AppMessageHook(win32::MSG& Msg, bool& Handled);
  void HookAppMessages();
  void UnhookAppMessages();

  // The manager answered DF_DSM2: notifications come by callback.
  bool Twain2() const { return FTwain2; }

  TW_IDENTITY& AppIdentity() { return FAppIdentity; }
  const TW_IDENTITY& AppIdentity() const { return FAppIdentity; }
  TW_IDENTITY& SourceIdentity() { return FSourceIdentity; }
  uint16_t SourceProtocol() const { return FSourceProtocol; }
  win32::HWND ParentWindow() const { return FParentWindow; }
  int32_t ImageWidth() const { return FImageWidth; }
  int32_t ImageHeight() const { return FImageHeight; }

  TFailureEvent OnFailure;
  TNotifyEvent OnCloseSource;
  TNotifyEvent OnDisableMenus;
  TNotifyEvent OnEnableMenus;
  TNotifyEvent OnXferReady;

 protected:
  // A failure the toolkit finds itself: the condition is kept and OnFailure fired, as for a
  // call that failed.
  void ReportFailure(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 CAP, TW_UINT16 MSG,
                     TW_UINT16 Condition);

  virtual void ProcessDeviceEvent() = 0;
  virtual uint16_t TransferImages() = 0;

  // What happens after the last image: 0 nothing armed, 1 close everything, 3 stay enabled.
  int16_t FCloseMode = 0;
  uint8_t FFileFormat = TWFF_BMP;
  TTwnFileFmts FFileFormats{TWFF_BMP};
  std::string FFilename;
  int32_t FImageWidth = 0;
  int32_t FImageHeight = 0;
  TTwnErrorLevel FMessageLevel = ML_NONE;
  bool FLogToFile = false;

 private:
  static void HookThunk(void* Data, win32::MSG& Msg, bool& Handled);
  TMessageEvent OwnHook() { return TMessageEvent{&HookThunk, this}; }
  // The Source Manager is gone: everything counts as closed and the library is freed.
  void DropDSM();
  void FreeDSMLibrary();
  void FireEnableMenus();
  void ActOnNotification(TW_UINT16 Message);
  // vekTWAINKernelCallback.cpp
  void StartTwain2();
  void StopTwain2();
  void RegisterCallback();
  // The oldest notification the callback kept, or MSG_NULL.
  TW_UINT16 TakeNotification();
  static TW_UINT16 CallBack(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                            TW_UINT16 MSG, TW_MEMREF pData);

  bool FDSMOpen = false;
  bool FSourceOpen = false;
  bool FSourceEnabled = false;
  win32::HMODULE FDSMHandle = nullptr;
  DSMENTRYPROC FDSMEntry = nullptr;
  uint16_t FState = 1;
  uint16_t FReturnCode = TWRC_SUCCESS;
  uint16_t FConditionCode = TWCC_SUCCESS;
  win32::HWND FParentWindow = nullptr;
  TW_IDENTITY FAppIdentity{};
  TW_IDENTITY FSourceIdentity{};
  uint16_t FSourceProtocol = 0;
  TMessageEvent FSavedHook;
  bool FTwain2 = false;
  TW_ENTRYPOINT FEntryPoints{};
  std::mutex FNotificationsLock;
  std::deque<TW_UINT16> FNotifications;  // kept by the callback, from any thread
};
