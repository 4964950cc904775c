#pragma once

#include <QTimer>
#include <QWidget>

#include "TFinestraPrincipale.h"

// The time of one request of the scan's client, in which FScanIdle does not run.
class TClientRequest {
 public:
  explicit TClientRequest(TFinestraPrincipale& Window) : FWindow(Window) {
    FWindow.FScanIdle->stop();
  }
  ~TClientRequest() {
    if (!FWindow.TabSheetScanner->isEnabled()) FWindow.FScanIdle->start();
  }
  TClientRequest(const TClientRequest&) = delete;
  TClientRequest& operator=(const TClientRequest&) = delete;

 private:
  TFinestraPrincipale& FWindow;
};
