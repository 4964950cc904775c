// Arbitrary bytes loaded as a page, the last byte choosing the TIFF page: a clear exception or
// a sound page.
#include <cstddef>
#include <cstdint>

#include "dibunit.h"

// Copying the largest pages the readers allow only slows the search down.
constexpr int32_t kMaxSavedBlock = 64 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TDIB dib;
  try {
    dib.LoadFromStream(stream, size > 0 ? data[size - 1] % 3 : 0);
    if (dib.Width() > 0 && dib.Height() > 0) {
      dib.GetPixel(dib.Width() - 1, 0);
      dib.GetPixel(0, dib.Height() - 1);
      if (dib.BlockSize() <= kMaxSavedBlock) {
        TMemoryStream out;
        dib.SaveToStream(out);
      }
    }
  } catch (const Exception&) {
  }
  return 0;
}
