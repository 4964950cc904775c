// The server's side of the scan protocol: arbitrary bytes arriving in pieces of arbitrary
// sizes, cut into requests and their scan request payloads as a connection's thread does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ScanProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string buffer;
  std::string message;
  TScanRequest request{};
  size_t at = 0;
  while (at < Size) {
    // Each piece: a size byte, then that many bytes (or what is left).
    size_t piece = std::min<size_t>(Data[at++] * 8 + 1, Size - at);
    buffer.append(reinterpret_cast<const char*>(Data + at), piece);
    at += piece;
    for (;;) {
      TRequestCut cut = CutRequest(buffer, message);
      if (cut == TRequestCut::Invalid) return 0;
      if (cut == TRequestCut::Incomplete) break;
      int32_t command = RequestCommand(message);
      if (command == CMD_START_SCAN || command == CMD_STORE_REQUEST) {
        CopyScanRequest(message, request);
      }
    }
    if (buffer.size() > static_cast<size_t>(kLongestRequestLength) + 2048) __builtin_trap();
  }
  return 0;
}
