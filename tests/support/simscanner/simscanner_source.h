// The simulated scanner's one source object: its TWAIN state, capabilities, pages and the
// calls back to the Source Manager.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dibunit.h"
#include "simscanner.h"
#include "simscanner_memory.h"

// One capability: its item type and container kind, and its values as raw 32-bit items
// (FIX32 as its bits). A range keeps Min, Max, Step; an enumeration and an array their items.
struct TSimCap {
  TW_UINT16 Cap = 0;
  TW_UINT16 ItemType = TWTY_UINT16;
  TW_UINT16 Kind = TWON_ONEVALUE;
  bool Settable = true;
  std::vector<TW_UINT32> Items;  // enumeration and array items
  TW_UINT32 Current = 0;         // the value (a one value or range) or the index (enumeration)
  TW_UINT32 Default = 0;
  TW_UINT32 Min = 0, Max = 0, Step = 0;

  TW_UINT32 CurrentValue() const { return Kind == TWON_ENUMERATION ? Items[Current] : Current; }
};

class TSimScanner {
 public:
  TSimScanner();

  TW_UINT16 Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                  TW_MEMREF pData);
  // The one-shot failure of the next call, taken by DS_Entry.
  TSimFailure TakeEntryFailure();

 private:
  TW_UINT16 Fail(TW_UINT16 Condition) {
    FCondition = Condition;
    return TWRC_FAILURE;
  }
  bool InState(int Low, int High) const { return FState >= Low && FState <= High; }

  // simscanner_entry.cpp
  TW_UINT16 Control(TW_IDENTITY* pOrigin, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 Image(TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 Identity(TW_IDENTITY* pOrigin, TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 UserInterface(TW_UINT16 MSG, TW_MEMREF pData);
  TW_UINT16 Steering(TW_UINT16 MSG, TW_MEMREF pData);
  void Notify(TW_UINT16 MSG);

  // simscanner_twain2.cpp
  TW_UINT16 EntryPoint(TW_UINT16 MSG, TW_MEMREF pData);
  // The current page as the block a native transfer hands over: a copy through the memory
  // functions, or a TIFF file image when the settings ask for one; 0 without memory.
  TW_HANDLE HandedPage();
  void RaiseDeviceEvent(TW_UINT32 Event);

  // simscanner_caps.cpp
  void BuildCapabilities();
  TSimCap* FindCap(TW_UINT16 Cap);
  TW_UINT16 Capability(TW_UINT16 MSG, TW_CAPABILITY& Capability);
  TW_UINT16 SetCapability(TSimCap& Cap, TW_CAPABILITY& Request);
  void CapabilityChanged(TSimCap& Cap);
  TW_UINT32 CapValue(TW_UINT16 Cap);
  double CapNumber(TW_UINT16 Cap);

  // simscanner_xfer.cpp
  void StartScan();
  bool FailsHere(TSimFailure Failure) const;
  TDIB& CurrentPage();
  TW_UINT32 BytesPerRow();
  TW_UINT16 ImageInfo(TW_IMAGEINFO& Info);
  TW_UINT16 ImageLayout(TW_UINT16 MSG, TW_IMAGELAYOUT& Layout);
  TW_UINT16 NativeTransfer(TW_HANDLE& Handle);
  TW_UINT16 MemoryTransfer(TW_IMAGEMEMXFER& Strip);
  TW_UINT16 FileTransfer();
  TW_UINT16 PendingTransfers(TW_UINT16 MSG, TW_PENDINGXFERS& Pending);
  TW_UINT16 SetupMemory(TW_SETUPMEMXFER& Setup);
  TW_UINT16 SetupFile(TW_UINT16 MSG, TW_SETUPFILEXFER& Setup);
  TW_UINT16 DeviceEvent(TW_DEVICEEVENT& Event);
  TW_HANDLE WideDIB(int32_t BitCount);
  void EndPage();

  TSimMemory FMemory;
  TW_IDENTITY FOwn{};
  TW_IDENTITY FApp{};  // Id 0: no application bound
  int FState = 3;
  TW_UINT16 FCondition = TWCC_SUCCESS;
  TSimScannerSettings FSettings;
  TSimScannerReport FReport;
  TSimFailure FEntryFailure = TSimFailure::None;
  std::vector<TSimCap> FCaps;
  TW_FRAME FFrame{};
  std::string FFileName;
  std::deque<TW_DEVICEEVENT> FDeviceEvents;
  int32_t FPagesLeft = 0;
  int32_t FPageIndex = 0;  // of the scan, from 0
  std::unique_ptr<TDIB> FPage;
  int32_t FStripRow = 0;  // the next row of a memory transfer
};
