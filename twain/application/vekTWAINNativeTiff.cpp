#include "vekTWAINNativeTiff.h"

#include <cstring>
#include <vector>

#include "boundaryguard.h"
#include "dibunit.h"
#include "streams.h"

namespace {

bool StartsAsTiff(const uint8_t* Bytes, size_t Size) {
  return Size >= 4 && (std::memcmp(Bytes, "II*\0", 4) == 0 || std::memcmp(Bytes, "MM\0*", 4) == 0);
}

}  // namespace

win32::HGLOBAL PackedDIBOfNativeBlock(win32::HGLOBAL Handle) {
  const auto* bytes = static_cast<const uint8_t*>(win32::GlobalLock(Handle));
  size_t size = win32::GlobalSize(Handle);
  if (bytes == nullptr || !StartsAsTiff(bytes, size)) {
    if (bytes != nullptr) win32::GlobalUnlock(Handle);
    return Handle;
  }
  TMemoryStream tiff(std::vector<uint8_t>(bytes, bytes + size));
  win32::GlobalUnlock(Handle);
  TDIB page;
  bool read = Guarded(
      [&] {
        page.LoadFromStream(tiff);
        return !page.Empty();
      },
      [] { return false; });
  if (!read) return Handle;
  win32::GlobalFree(Handle);
  page.SetOwnsHandle(false);
  page.UnlockAll();
  return page.GetHandle();
}
