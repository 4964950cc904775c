// The data source's dialog TFormSource as the TWAIN layer uses it.
#pragma once

#include <memory>

#include "uDSUserInterface.h"
#include "vekTWAINDSForm.h"

class TDSDialog : public TDSForm {
 public:
  // Makes the dialog: it reads its settings and connects to the control panel.
  TDSDialog();
  // Closes the dialog, which ends its scan session, and frees it.
  ~TDSDialog() override;

  TFormSource& Form() { return *FForm; }

  void SetAppIdentity(const TW_IDENTITY& Identity) override;
  void ShowInterface(bool Show) override;
  bool Connected() const override;
  bool StartWithoutInterface() override;
  int PendingTransfers() override;
  bool PageLost() const override;
  void PageDone() override;
  TDIB& Page() override;
  TFrame GetFrame() override;
  void SetFrame(const TFrame& Frame) override;
  TFrame ResetFrame() override;
  TScanRequest& Request() override;
  int32_t XferMech() const override;
  void SetXferMech(int32_t Value) override;
  int32_t Units() const override;
  void SetUnits(int32_t Value) override;
  bool Indicators() const override;
  void SetIndicators(bool Value) override;
  void ControlsFromSettings() override;
  void ConvertUnits(int32_t OldUnit, int32_t NewUnit, TTwnContainerList& List,
                    uint16_t Cap) override;
  bool OwnsWindow(win32::HWND Window) const override;

 private:
  std::unique_ptr<TFormSource> FForm;
};
