// The main window as the scan server sees it: the operations that the protocol's commands run
// and the settings the server reads. The server calls every member on the main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "UnitSharedParam.h"
#include "globalmem.h"

// What a page request took from the window's pages: enough to put the page back.
struct TServedPage {
  std::string Path;
  int ServeCount = 0;  // as it was before the request
};

class TServerWindow {
 public:
  virtual ~TServerWindow() = default;

  // Command 1: starts a scan for all connections with the request.
  virtual void StartScan(const TScanRequest& Request) = 0;
  // Command 3.
  virtual void StopScan() = 0;
  // Commands 2 and 8: waits for a page, processes and checks it; the packed-DIB handle, which
  // the caller owns and frees, or 0 for none. QCFailed and Served are written only when a page
  // is returned.
  virtual win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed, TServedPage& Served) = 0;
  // The reply of a page that NextProcessedPage returned was not written whole: the page is
  // served again, first, to the next request.
  virtual void ReturnPage(const TServedPage& Served) = 0;
  // Commands 4 and 9: the unprocessed page served last, owned by the caller, or 0.
  virtual win32::HGLOBAL OriginalPage() = 0;
  // Command 6: waits for a page; -1 when pages are pending, 0 when none.
  virtual int32_t PendingCount() = 0;
  // Adds a line to the window's log.
  virtual void Log(const std::string& Text) = 0;
  // "Share Local Scanner": whether other computers may connect.
  virtual bool ShareLocalScanner() = 0;
  // "Local Port": the port to listen on (0: one the system chooses).
  virtual int32_t LocalPort() = 0;
};
