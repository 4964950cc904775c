// Rounding to the nearest integer with halves to the even neighbour (1.5 -> 2, 2.5 -> 2), the
// rounding of the framework's run-time. It does not depend on the processor's rounding mode,
// which a host application may have changed.
#pragma once

#include <cmath>
#include <cstdint>

#include "exception.h"

// Raises on NaN, infinities and values beyond the 64-bit integers.
inline int64_t RoundHalfEven(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
    throw Exception("Invalid floating point operation");
  }
  double whole = std::floor(value);
  double rest = value - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int64_t>(whole);
}
