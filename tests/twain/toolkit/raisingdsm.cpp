// A Source Manager that opens, refuses capabilities with TWCC_BADCAP, and raises out of every
// other call, as a crashed one would.
#include <stdexcept>

#include "twain.h"

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY*, TW_IDENTITY*,
                                                                      TW_UINT32, TW_UINT16 DAT,
                                                                      TW_UINT16 MSG,
                                                                      TW_MEMREF pData) {
  if (DAT == DAT_PARENT && MSG == MSG_OPENDSM) return TWRC_SUCCESS;
  if (DAT == DAT_CAPABILITY) return TWRC_FAILURE;
  if (DAT == DAT_STATUS) {
    static_cast<TW_STATUS*>(pData)->ConditionCode = TWCC_BADCAP;
    return TWRC_SUCCESS;
  }
  throw std::runtime_error("access violation");
}
