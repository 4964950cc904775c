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

  void SetAppIdentity(const TW_IDENTITY& Identity) override { App = Identity; }
  void ShowInterface(bool Show) override { Shown += Show ? 1 : 0; }
  // As "Scan !": the first page is announced.
  void StartWithoutInterface() override {
    Fetch();
    if (!FPage.Empty() && OnTransferReady) OnTransferReady();
  }
  int PendingTransfers() override {
    if (FPage.Empty()) Fetch();
    return FPage.Empty() ? 0 : -1;
  }
  void PageDone() override {
    ++PagesDone;
    FPage.FreeImage();
  }
  TDIB& Page() override { return FPage; }
  TDSFrame GetFrame() override { return FFrame; }
  void SetFrame(const TDSFrame& Frame) override { FFrame = Frame; }
  TDSFrame ResetFrame() override { return FFrame = {0, 0, 32767, 32767}; }
  TScanRequest& Request() override { return FRequest; }
  int32_t& XferMech() override { return FXferMech; }
  int32_t& Units() override { return FUnits; }
  bool& Indicators() override { return FIndicators; }
  void ControlsFromSettings() override { ++ControlsRefreshed; }
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
  TDSFrame FFrame;
  TScanRequest FRequest{};
  int32_t FXferMech = 0;
  int32_t FUnits = 0;
  bool FIndicators = false;
};
