// A short batch from one TWAIN source, the way a scanning application takes it: open the
// source by name, choose the transfer mechanism, enable, wait in the message loop for the
// source's signal, then describe, transfer and end each page, and write it as a BMP file.
//
// Each pass opens the source afresh, so each is a scan of its own. A source that ends every
// transfer with a count of 0 is enabled again for the next page, until it signals no page
// within the time-out or asks to be closed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dibunit.h"
#include "rawhost.h"

struct TAcquireOptions {
  std::string Source;  // the product name; empty: the manager's default source
  int Pages = 2;       // per pass
  std::string OutDir;
  bool ShowUI = false;
  bool Duplex = false;    // both sides of each sheet, when the source can
  int TimeoutMs = 60000;  // for the source's signal of a page
};

struct TReceivedPage {
  std::string Mechanism;  // "native" or "memory"
  int Number = 0;         // from 1 within its pass
  std::string File;
  int32_t Width = 0, Height = 0, BitCount = 0;
  // From asking for the page (enabling the source, or ending the transfer before) to holding
  // it, before it is written.
  double Milliseconds = 0;
};

class TAcquisition {
 public:
  explicit TAcquisition(TAcquireOptions Options);

  // The product names of the sources the manager lists.
  std::vector<std::string> SourceNames();
  // One pass with TWSX_NATIVE or TWSX_MEMORY; OnPage is called as each page is written.
  // Raises Exception, with the TWAIN condition, when the session fails. A source that refuses
  // duplex scans one side, and the pass says so on the standard error.
  std::vector<TReceivedPage> Pass(TW_UINT16 Mechanism,
                                  const std::function<void(const TReceivedPage&)>& OnPage);

 private:
  bool WaitForPage();
  // Describes and transfers the page the source holds.
  std::unique_ptr<TDIB> TakePage(TW_UINT16 Mechanism);
  TReceivedPage Describe(const TDIB& Page, TW_UINT16 Mechanism, int Number) const;
  // Discards what the source still holds, then disables and closes it and the manager.
  void CloseSession();
  std::unique_ptr<TDIB> MemoryTransfer(const TW_IMAGEINFO& Info);
  [[noreturn]] void Fail(const std::string& What, TW_UINT16 Rc);

  TAcquireOptions FOptions;
  TRawHost FHost;
  TW_IDENTITY FSource{};
};
