// Arbitrary bytes loaded as a page: a clear exception or a sound page, nothing else.
#include "loadpage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadAndSave(data, size, 0);
  return 0;
}
