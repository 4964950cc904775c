// SimScanner.ds, a simulated scanner that the Source Manager loads like any data source, and
// the triplets by which a test steers it. Its ProductName is its file name without ".ds", so
// that copies of the library under other names are distinct sources.
//
// What it offers: the capabilities CAP_SUPPORTEDCAPS lists (see simscanner_caps.cpp), pages
// from the reference-page generator (1, 8 or 24 bits, one per sheet of its feeder, two with
// duplex), native, memory and file transfers (BMP), device events, and the failure modes of
// TSimScannerSettings.
//
// The steering triplets go through DSM_Entry to the open source like any other:
//   DG_CONTROL / DAT_SIMSCANNER / MSG_SET, MSG_GET    pData TSimScannerSettings*
//   DG_CONTROL / DAT_SIMSCANNER / MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_DEVICEEVENT
//                 raise that notification now (pData TW_UINT32* the event for a device event)
//   DG_CONTROL / DAT_SIMSCANNER / MSG_QUERYSUPPORT     pData TSimScannerReport*
// A library whose file name ends in "TW2" (SimScannerTW2.ds) is a 2.x source: it declares
// protocol 2 with DF_DS2, keeps the entry points of DAT_ENTRYPOINT MSG_SET, makes and locks every
// block that crosses through their memory functions, and sends its notifications only through
// the DSM_Entry it was given; it has no memory without them.
// With $CLARIVO_SIMSCANNER_TRACE naming a file, every DS_Entry call appends a line
// "<DAT hex> <MSG hex>" to it, whoever made it, and a capability call " <CAP hex>" after them.
#pragma once

#include <cstdint>

#include "twain.h"

inline constexpr TW_UINT16 DAT_CUSTOMBASE = 0x8000;
inline constexpr TW_UINT16 DAT_SIMSCANNER = DAT_CUSTOMBASE + 0x0051;

enum class TSimFailure : int32_t {
  None = 0,
  Cancel,          // the transfer of the page answers TWRC_CANCEL
  FailTransfer,    // the transfer of the page answers TWRC_FAILURE, TWCC_OPERATIONERROR
  CloseRequest,    // enabling raises MSG_CLOSEDSREQ instead of MSG_XFERREADY
  ZeroDpi,         // the page has a resolution of 0
  Bits16,          // the native page is a 16-bit DIB
  Bits32,          // the native page is a 32-bit DIB
  RaiseFromEntry,  // the next DS_Entry call raises out of the library (once)
  GarbageAnswer,   // the next DS_Entry call answers a number that is no return code (once)
  UnsoundDIB,      // the native page's header claims twice the rows its block holds
  FailImageInfo,   // DAT_IMAGEINFO of the page answers TWRC_FAILURE
  FailSetupMem,    // DAT_SETUPMEMXFER in state 6 answers TWRC_FAILURE
  FailEndXfer,     // MSG_ENDXFER of the page answers TWRC_FAILURE
  LyingStrips,     // memory strips report more rows and bytes than they hold or fit
};

inline constexpr TW_UINT16 kSimGarbageAnswer = 0x4242;

struct TSimScannerSettings {
  int32_t Sheets = 3;     // in the feeder; one page when it is not enabled
  int32_t StripRows = 0;  // rows per memory strip; 0: as many as fit
  int32_t RowAlign = 4;   // memory strip rows padded to a multiple of this
  TSimFailure Failure = TSimFailure::None;
  int32_t FailurePage = -1;          // the page (from 0) it applies to; -1 every page
  int32_t DeviceEventAtEnable = -1;  // a TWDE_ code raised when enabled, if asked for
  TW_UINT16 OmitCaps[8] = {};        // left out of CAP_SUPPORTEDCAPS and refused
  bool UnknownCount = false;         // pending transfers report -1 while pages are left
  bool NativeTiff = false;           // native transfers hand over a TIFF file, not a DIB
};

struct TSimScannerReport {
  int32_t StartUps = 0;  // times its start-up work ran (the first opening)
  int32_t Openings = 0;
  TW_HANDLE LastNativeHandle = nullptr;  // the block the last native transfer handed over
  double BusySeconds = 0;                // spent inside its DS_Entry since it was loaded
};
