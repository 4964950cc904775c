// Arbitrary bytes loaded as a page, the last byte choosing the TIFF page: a clear exception or
// a sound page.
#include "loadpage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadAndSave(data, size, size > 0 ? data[size - 1] % 3 : 0);
  return 0;
}
