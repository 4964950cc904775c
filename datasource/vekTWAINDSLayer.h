// TTWAINSource: the data source's side of TWAIN. It answers every triplet that reaches
// DS_Entry, keeps the TWAIN states 3 to 7 (as 300 to 700), the capabilities and the condition
// code of the last failure, describes and transfers the page its dialog holds, and calls the
// Source Manager back for transfer-ready, close-request and device-event notifications.
//
// Where the members are defined:
//   vekTWAINDSLayer.cpp            construction, Entry, the dispatch table, DAT_IDENTITY,
//                                  DAT_USERINTERFACE, MSG_PROCESSEVENT
//   vekTWAINDSLayer_caps.cpp       DAT_CAPABILITY (get, set with coercion, reset, query
//                                  support), DAT_STATUS
//   vekTWAINDSLayer_capsettings.cpp  the capability table: BuildCapabilities, InitCapability,
//                                  ApplyCapability, ConvertUnits, the two list capabilities
//   vekTWAINDSLayer_xfer.cpp       DAT_PENDINGXFERS, DAT_SETUPMEMXFER, DAT_SETUPFILEXFER,
//                                  DAT_IMAGEINFO, DAT_IMAGELAYOUT, DAT_PALETTE8, the native,
//                                  memory and file transfers
//   vekTWAINDSLayer_callbacks.cpp  the calls back into the Source Manager, DAT_XFERGROUP,
//                                  DAT_DEVICEEVENT and its queue
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "twain.h"
#include "vekTWAINContainer.h"
#include "vekTWAINDSForm.h"

// A capability container of the data source: the containers it lists and those it builds
// from MSG_SET requests. Adds the step of a range.
class TTwnsContainer : public TTwnContainer {
 public:
  void SetStepSize(const Variant& Value) { SetRangeValue(kRangeStepSize, Value); }
};

class TTWAINSource {
 public:
  using TFormFactory = std::function<std::unique_ptr<TDSForm>()>;

  static constexpr int32_t kMaxDeviceEvents = 10;
  static constexpr int32_t kMaxStripCalls = 10000;
  // The file of a file transfer that the application did not name.
  static constexpr const char* kDefaultFileName = "c:\\twain.bmp";

  // Factory makes the dialog at MSG_OPENDS; nullptr from it fails the opening.
  explicit TTWAINSource(TFormFactory Factory);
  ~TTWAINSource();
  TTWAINSource(const TTWAINSource&) = delete;
  TTWAINSource& operator=(const TTWAINSource&) = delete;

  // DS_Entry without its guard: may raise.
  TW_UINT16 Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                  TW_MEMREF pData);
  // Keeps a condition code for DAT_STATUS and answers TWRC_FAILURE.
  TW_UINT16 Fail(TW_UINT16 Condition);
  // Closes the source in whatever state it is: the dialog goes, no application is bound.
  void Shutdown();

  int32_t State() const { return FState; }
  TW_UINT16 ConditionCode() const { return FConditionCode; }
  const TW_IDENTITY& OwnIdentity() const { return FOwnIdentity; }
  const TW_IDENTITY& AppIdentity() const { return FAppIdentity; }
  TTwnContainerList& Capabilities() { return FCapabilities; }
  TDSForm* Form() const { return FForm.get(); }
  const TW_IMAGELAYOUT& ImageLayout() const { return FImageLayout; }
  const std::string& FileName() const { return FFileName; }
  int DeviceEventCount() const { return static_cast<int>(FDeviceEvents.size()); }

  // The notifications to the Source Manager, as the dialog raises them.
  void SignalXferReady();
  void SignalCloseRequest();
  void QueueDeviceEvent(const TW_DEVICEEVENT& Event);

  // The capability table over the dialog's settings; each answers TWCC_SUCCESS or
  // TWCC_BADCAP.
  TW_UINT16 InitCapability(TW_UINT16 Cap);
  TW_UINT16 ApplyCapability(TW_UINT16 Cap);
  bool IsExtendedCap(TW_UINT16 Cap) const;

 private:
  TW_UINT16 DispatchTriplet(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                            TW_MEMREF pData);
  TW_UINT16 ProcessEvent(TW_EVENT& Event);
  TW_UINT16 Identity(TW_IDENTITY* pOrigin, TW_UINT16 MSG, TW_IDENTITY& Identity);
  TW_UINT16 OpenDS(TW_IDENTITY* pOrigin, TW_IDENTITY& Source);
  TW_UINT16 CloseDS();
  TW_UINT16 UserInterface(TW_UINT16 MSG, TW_USERINTERFACE& UI);

  // Capabilities and status.
  TW_UINT16 Capability(TW_UINT16 MSG, TW_CAPABILITY& Cap);
  TW_UINT16 CapabilityCondition(TW_UINT16 MSG, TW_CAPABILITY& Cap, bool& Coerced);
  TW_UINT16 GetCapabilityReply(TW_UINT16 MSG, TW_CAPABILITY& Cap);
  TW_UINT16 SetCapabilityRequest(TW_CAPABILITY& Cap, bool& Coerced);
  TW_UINT16 FillOneValue(TW_CAPABILITY& Cap, TW_UINT16 ItemType, int32_t Value);
  TW_UINT16 Status(TW_UINT16 MSG, TW_STATUS& Status);
  void BuildCapabilities();
  TTwnContainer* NewCapability(TW_UINT16 Cap, TW_UINT16 Kind, int32_t Ops);
  void ConvertUnits(int32_t OldUnit, int32_t NewUnit, TW_UINT16 Cap);
  void InitPhysicalSize(TW_UINT16 Cap, int32_t Resolution);
  double CurrentResolution(TW_UINT16 Cap);
  int CurrentUnits();

  // Transfers.
  TW_UINT16 PendingXfers(TW_UINT16 MSG, TW_PENDINGXFERS& Pending);
  int32_t PendingTransfers();
  TW_UINT16 SetupMemXfer(TW_UINT16 MSG, TW_SETUPMEMXFER& Setup);
  TW_UINT16 SetupFileXfer(TW_UINT16 MSG, TW_SETUPFILEXFER& Setup);
  TW_UINT16 ImageInfo(TW_UINT16 MSG, TW_IMAGEINFO& Info);
  TW_UINT16 ImageLayoutTriplet(TW_UINT16 MSG, TW_IMAGELAYOUT& Layout);
  TW_UINT16 Palette8(TW_UINT16 MSG, TW_PALETTE8& Palette);
  TW_UINT16 NativeXfer(TW_UINT16 MSG, TW_HANDLE& Handle);
  TW_UINT16 MemoryXfer(TW_UINT16 MSG, TW_IMAGEMEMXFER& Strip);
  TW_UINT16 MemoryStrip(TW_IMAGEMEMXFER& Strip, TDIB& Page);
  TW_UINT16 FileXfer(TW_UINT16 MSG);
  bool HasPage() const;
  // The answer of a transfer triplet without a page: a lost page fails as an operation error,
  // else Condition is kept (none given: the one kept stays).
  TW_UINT16 NoPage(TW_UINT16 Condition = TWCC_SUCCESS);
  void ResetStrips();
  // The page held is a new one: nothing of it was sent or turned yet.
  void StartOfPage();
  // Puts a page turned for strips back into its stored order.
  void UnturnPage(TDIB& Page);
  // The end of a completed transfer: the layout's numbers + 1, the page dropped.
  void TransferDone();
  void PageDone();

  // Callbacks.
  bool CallSourceManager(TW_UINT16 MSG);
  TW_UINT16 XferGroup(TW_UINT16 MSG, TW_UINT32& Group);
  TW_UINT16 DeviceEvent(TW_UINT16 MSG, TW_DEVICEEVENT& Event);

  TFormFactory FFormFactory;
  std::unique_ptr<TDSForm> FForm;
  std::string FFileName;
  int32_t FState = 300;
  TW_UINT16 FConditionCode = TWCC_SUCCESS;
  TTwnContainerList FCapabilities;
  std::deque<TW_DEVICEEVENT> FDeviceEvents;
  bool FXferDone = false;
  int32_t FStripCalls = 0;
  int64_t FStripOffset = 0;
  int32_t FMinBufSize = 0;
  // The page held was turned top row first and red-green-blue for its strips.
  bool FPageTurned = false;
  // The page that was due could not be fetched: its transfer fails, and the batch ends at the
  // next MSG_ENDXFER.
  bool FPageLost = false;
  TW_IMAGELAYOUT FImageLayout{};
  TW_IDENTITY FOwnIdentity{};
  TW_IDENTITY FAppIdentity{};
};
