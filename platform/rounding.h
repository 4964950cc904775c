// Rounding to the nearest integer with halves to the even neighbour (1.5 -> 2, 2.5 -> 2): the
// one rounding of the system wherever a number is rounded rather than truncated. Both functions
// compute it with floor and exact comparisons, so they give the same result under any rounding
// mode of the processor, which a host application may have changed.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "exception.h"

// Raises "Invalid floating point operation" on NaN, infinities and values beyond the 64-bit
// integers.
inline int64_t RoundHalfEven(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
    throw Exception("Invalid floating point operation");
  }
  double whole = std::floor(value);
  double rest = value - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int64_t>(whole);
}

// The same rounding into 32 bits, as pixel counts, resolutions and levels need it. Raises
// "Invalid floating point operation" also for results beyond the 32-bit integers.
inline int32_t Round(double value) {
  const int64_t rounded = RoundHalfEven(value);
  if (rounded < std::numeric_limits<int32_t>::min() ||
      rounded > std::numeric_limits<int32_t>::max()) {
    throw Exception("Invalid floating point operation");
  }
  return static_cast<int32_t>(rounded);
}
