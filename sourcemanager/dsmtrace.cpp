#include "dsmtrace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

std::string IdText(const TW_IDENTITY* Identity, const char* Missing) {
  return Identity != nullptr ? std::to_string(Identity->Id) : Missing;
}

}  // namespace

void TraceTriplet(const TW_IDENTITY* pOrigin, const TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                  TW_UINT16 MSG, TW_UINT16 ReturnCode) {
  const char* file = std::getenv("CLARIVO_TWAIN_TRACE");
  if (file == nullptr || *file == '\0') return;
  static std::mutex lock;
  std::lock_guard guard(lock);
  FILE* trace = std::fopen(file, "a");
  if (trace == nullptr) return;
  std::fprintf(trace, "%s -> %s DG 0x%04X DAT 0x%04X MSG 0x%04X = %u\n",
               IdText(pOrigin, "?").c_str(), IdText(pDest, "DSM").c_str(),
               static_cast<unsigned>(DG), DAT, MSG, ReturnCode);
  std::fclose(trace);
}
