#include "devicecontext.h"

int32_t TDeviceContext::SetStretchBltMode(int32_t Mode) {
  if (Mode < win32::BLACKONWHITE || Mode > win32::HALFTONE) return 0;
  int32_t old = FStretchMode;
  FStretchMode = Mode;
  return old;
}

win32::POINT TDeviceContext::SetBrushOrgEx(win32::POINT Origin) {
  win32::POINT old = FBrushOrigin;
  FBrushOrigin = Origin;
  return old;
}

win32::POINT TDeviceContext::SetViewportOrgEx(win32::POINT Origin) {
  win32::POINT old = FViewportOrigin;
  FViewportOrigin = Origin;
  return old;
}
