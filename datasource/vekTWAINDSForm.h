// What the data source's TWAIN layer needs of its dialog: the scan settings behind the
// capabilities, the page held for transfer, the image frame, and the scan flow. The layer
// owns one at a time, from MSG_OPENDS to MSG_CLOSEDS; destroying it closes the dialog and
// ends its scan session.
#pragma once

#include <cstdint>
#include <functional>

#include "UnitSharedParam.h"
#include "dibunit.h"
#include "messages.h"
#include "twain.h"
#include "uDSUserInterface.h"

class TDSForm {
 public:
  virtual ~TDSForm() = default;

  // Set by the layer once the dialog exists: a close request to send to the application, a
  // first page of a scan ready for transfer, a device event to queue.
  std::function<void()> OnCloseRequest;
  std::function<void()> OnTransferReady;
  std::function<void(const TW_DEVICEEVENT&)> OnDeviceEvent;

  virtual void SetAppIdentity(const TW_IDENTITY& Identity) = 0;
  virtual void ShowInterface(bool Show) = 0;
  // True while the dialog is connected to the control panel.
  virtual bool Connected() const = 0;
  // Starts a scan at once; raises OnTransferReady before it returns when a page came, and
  // answers whether one came.
  virtual bool StartWithoutInterface() = 0;
  // Fetches the next page when none is held; -1 while a page is held, else 0.
  virtual int PendingTransfers() = 0;
  // True when the last fetch found no page because the control panel could not be reached,
  // ended the connection or did not answer in time, rather than because it had none.
  virtual bool PageLost() const = 0;
  // Counts the page held and drops it (freeing its block when the page owns it).
  virtual void PageDone() = 0;
  // The page held for transfer; empty when none.
  virtual TDIB& Page() = 0;

  virtual TFrame GetFrame() = 0;
  virtual void SetFrame(const TFrame& Frame) = 0;
  // The frame (0, 0, 32767, 32767).
  virtual TFrame ResetFrame() = 0;

  // The scan settings the capabilities read and write.
  virtual TScanRequest& Request() = 0;
  virtual int32_t XferMech() const = 0;
  virtual void SetXferMech(int32_t Value) = 0;
  virtual int32_t Units() const = 0;
  virtual void SetUnits(int32_t Value) = 0;
  virtual bool Indicators() const = 0;
  virtual void SetIndicators(bool Value) = 0;
  // Shows the settings in the dialog's controls.
  virtual void ControlsFromSettings() = 0;
  // Converts the values of the resolution capability Cap in List between units of length.
  virtual void ConvertUnits(int32_t OldUnit, int32_t NewUnit, TTwnContainerList& List,
                            uint16_t Cap) = 0;

  // True when Window is one of the dialog's own windows.
  virtual bool OwnsWindow(win32::HWND Window) const = 0;
};
