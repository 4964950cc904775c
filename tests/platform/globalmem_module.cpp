// A separate module with its own copy of the global memory layer.
#include <cstring>

#include "globalmem.h"

extern "C" __attribute__((visibility("default"))) win32::HGLOBAL ModuleAllocFilled(size_t bytes,
                                                                                   int value) {
  win32::HGLOBAL h = win32::GlobalAlloc(win32::GHND, bytes);
  void* p = win32::GlobalLock(h);
  std::memset(p, value, bytes);
  win32::GlobalUnlock(h);
  return h;
}

extern "C" __attribute__((visibility("default"))) int ModuleFree(win32::HGLOBAL h) {
  return win32::GlobalFree(h) == nullptr ? 1 : 0;
}
