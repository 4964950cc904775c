// A trace of every triplet through DSM_Entry, for finding out what an application and its
// sources said to each other. Switched on by CLARIVO_TWAIN_TRACE, the file that each triplet
// is appended to as one line:
//   <origin Id> -> <destination Id or "DSM"> DG <hex> DAT <hex> MSG <hex> = <return code>
#pragma once

#include "twain.h"

void TraceTriplet(const TW_IDENTITY* pOrigin, const TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                  TW_UINT16 MSG, TW_UINT16 ReturnCode);
