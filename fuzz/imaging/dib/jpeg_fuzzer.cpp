// Arbitrary bytes loaded as a page (the JPEG reader takes what is no other format): a clear
// exception or a sound page.
#include "loadpage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadAndSave(data, size, 0);
  return 0;
}
