#include "vekTWAINDSDialog.h"

// The dialog's events reach the layer through this object's, set after the dialog exists.
TDSDialog::TDSDialog() : FForm(std::make_unique<TFormSource>()) {
  FForm->OnCloseRequest = [this] {
    if (OnCloseRequest) OnCloseRequest();
  };
  FForm->OnTransferReady = [this] {
    if (OnTransferReady) OnTransferReady();
  };
  FForm->OnDeviceEvent = [this] {
    if (OnDeviceEvent) OnDeviceEvent(TW_DEVICEEVENT{});
  };
}

TDSDialog::~TDSDialog() {
  FForm->close();
}

void TDSDialog::SetAppIdentity(const TW_IDENTITY& Identity) {
  FForm->SetAppIdentity(Identity);
}

void TDSDialog::ShowInterface(bool Show) {
  FForm->ShowInterface(Show);
}

bool TDSDialog::Connected() const {
  return FForm->Connected();
}

bool TDSDialog::StartWithoutInterface() {
  return FForm->StartWithoutInterface();
}

int TDSDialog::PendingTransfers() {
  return FForm->PendingTransfers();
}

bool TDSDialog::PageLost() const {
  return FForm->PageLost();
}

void TDSDialog::PageDone() {
  FForm->PageDone();
}

TDIB& TDSDialog::Page() {
  return FForm->Page();
}

TFrame TDSDialog::GetFrame() {
  TFrame frame;
  FForm->GetFrame(frame);
  return frame;
}

void TDSDialog::SetFrame(const TFrame& Frame) {
  FForm->SetFrame(Frame);
}

TFrame TDSDialog::ResetFrame() {
  TFrame frame;
  FForm->ResetFrame(frame);
  return frame;
}

TScanRequest& TDSDialog::Request() {
  return FForm->Request();
}

int32_t TDSDialog::XferMech() const {
  return FForm->XferMech();
}

void TDSDialog::SetXferMech(int32_t Value) {
  FForm->SetXferMech(Value);
}

int32_t TDSDialog::Units() const {
  return FForm->Units();
}

void TDSDialog::SetUnits(int32_t Value) {
  FForm->SetUnits(Value);
}

bool TDSDialog::Indicators() const {
  return FForm->Indicators();
}

void TDSDialog::SetIndicators(bool Value) {
  FForm->SetIndicators(Value);
}

void TDSDialog::ControlsFromSettings() {
  FForm->ControlsFromSettings();
}

void TDSDialog::ConvertUnits(int32_t OldUnit, int32_t NewUnit, TTwnContainerList& List,
                             uint16_t Cap) {
  FForm->ConvertUnits(OldUnit, NewUnit, List, Cap);
}

// The dialog's own window and its panel, as a window handle is a widget here.
bool TDSDialog::OwnsWindow(win32::HWND Window) const {
  return Window != nullptr && (Window == static_cast<QWidget*>(FForm.get()) ||
                               Window == static_cast<QWidget*>(FForm->Panel1));
}
