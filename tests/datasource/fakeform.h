// A dialog of the tests' own for the data source's layer: settings as a fresh dialog has
// them, and a queue of pages that a scan delivers one at a time, as the control panel would.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "vekTWAINDSForm.h"

class TFakeForm : public TDSForm {
 public:
  TFakeForm() {
    FRequest.ImageCount = -1;
    FRequest.XResolution = FRequest.YResolution = 200;
    FRequest.PageWidth = 8.5;
    FRequest.PageHeight = 11;
    FRequest.Threshold = 128;
  }

  // Pages the next scan delivers, in order.
  std::deque<std::unique_ptr<TDIB>> Scanner;
  int PagesDone = 0;
  int Shown = 0;
  int ControlsRefreshed = 0;
  win32::HWND Window = nullptr;
  TW_IDENTITY App{};
  bool Online = true;
  // The control panel ends after the pages at the scanner.
  bool PanelDies = false;

  void SetAppIdentity(const TW_IDENTITY& Identity) override { App = Identity; }
  void ShowInterface(bool Show) override { Shown += Show ? 1 : 0; }
  bool Connected() const override { return Online; }
  // As "Scan !": the first page is announced.
  bool StartWithoutInterface() override {
    Fetch();
    if (!FPage.Empty() && OnTransferReady) OnTransferReady();
    return !FPage.Empty();
  }
  int PendingTransfers() override {
    if (FPage.Empty()) Fetch();
    return FPage.Empty() ? 0 : -1;
  }
  // Once the scanner's pages are gone, the control panel is gone too.
  bool PageLost() const override { return FPage.Empty() && Scanner.empty() && PanelDies; }
  void PageDone() override {
    ++PagesDone;
    FPage.FreeImage();
  }
  TDIB& Page() override { return FPage; }
  TFrame GetFrame() override { return FFrame; }
  void SetFrame(const TFrame& Frame) override { FFrame = Frame; }
  TFrame ResetFrame() override { return FFrame = {0, 0, 32767, 32767}; }
  TScanRequest& Request() override { return FRequest; }
  int32_t XferMech() const override { return FXferMech; }
  void SetXferMech(int32_t Value) override { FXferMech = Value; }
  int32_t Units() const override { return FUnits; }
  void SetUnits(int32_t Value) override { FUnits = Value; }
  bool Indicators() const override { return FIndicators; }
  void SetIndicators(bool Value) override { FIndicators = Value; }
  void ControlsFromSettings() override { ++ControlsRefreshed; }
  // Only inches are listed: a unit never changes.
  void ConvertUnits(int32_t, int32_t, TTwnContainerList&, uint16_t) override {}
  bool OwnsWindow(win32::HWND W) const override { return W != nullptr && W == Window; }

 private:
  // The page adopts the block's handle, as the dialog adopts what the scan client hands it.
  void Fetch() {
    if (Scanner.empty()) return;
    std::unique_ptr<TDIB> next = std::move(Scanner.front());
    Scanner.pop_front();
    next->SetOwnsHandle(false);
    FPage.SetHandle(next->GetHandle());
  }

  TDIB FPage;
  TFrame FFrame;
  TScanRequest FRequest{};
  int32_t FXferMech = 0;
  int32_t FUnits = 0;
  bool FIndicators = false;
};
