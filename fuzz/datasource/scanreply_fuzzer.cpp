// The data source's side of the scan protocol: arbitrary bytes taken as a complete reply to
// each of the page and original requests that carry the page itself, as the scan client reads
// them. A reply naming a path is only checked, never loaded or deleted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ScanClientUnit.h"
#include "dibunit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string message(reinterpret_cast<const char*>(Data), Size);
  for (bool flagged : {true, false}) {
    TDIB page;
    uint8_t qcFailed = 0;
    try {
      ReadReplyPage(message, flagged, false, page, qcFailed);
    } catch (const Exception&) {
    }
  }
  IsServedTempFile(message);
  return 0;
}
