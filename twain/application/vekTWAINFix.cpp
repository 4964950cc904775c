#include "vekTWAINFix.h"

#include <limits>

#include "exception.h"
#include "rounding.h"

TW_FIX32 FloatToFIX32(double x) {
  int64_t n = RoundHalfEven(x * 65536.0);
  if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) {
    throw Exception("Invalid floating point operation");
  }
  TW_FIX32 f;
  f.Frac = static_cast<TW_UINT16>(n & 0xFFFF);
  f.Whole = static_cast<TW_INT16>(n >> 16);
  return f;
}

double FIX32ToFloat(TW_FIX32 f) {
  int64_t r = RoundHalfEven((f.Frac / 65536.0 + 0.000005) * 10000.0);
  return f.Whole + r / 10000.0;
}
