// DS_Entry, the library's only export, and the library's one TTWAINSource. The control panel
// is reached, and Qt made ready, at MSG_OPENDS when the dialog is made, never when the
// library is loaded: the Source Manager loads every source just to list it.
#include <cstdio>

#include "boundaryguard.h"
#include "twain.h"
#include "vekTWAINDSDialog.h"
#include "vekTWAINDSLayer.h"
#include "vekTWAINDSStartup.h"

namespace {

constexpr int kPanelStartMs = 5000;

TTWAINSource& Source();

// A dialog left open by a host that exits goes before the QApplication it lives on.
std::unique_ptr<TDSForm> MakeForm() {
  EnsureControlPanel(kPanelStartMs);
  EnsureQtApplication([] { Source().Shutdown(); });
  return std::make_unique<TDSDialog>();
}

TTWAINSource& Source() {
  static TTWAINSource source(MakeForm);
  return source;
}

}  // namespace

// Nothing leaves as an exception: a failure is logged and answered as TWCC_BUMMER.
extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(TW_IDENTITY* pOrigin,
                                                                     TW_UINT32 DG, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG,
                                                                     TW_MEMREF pData) {
  return Guarded(
      [&] {
        if (MSG == MSG_PROCESSEVENT) PumpOwnQtApplication();
        return Source().Entry(pOrigin, DG, DAT, MSG, pData);
      },
      [&] {
        std::fprintf(stderr, "Clarivo.ds: DS_Entry 0x%04X 0x%04X: %s\n", DAT, MSG,
                     FailureText().c_str());
        return Source().Fail(TWCC_BUMMER);
      });
}
