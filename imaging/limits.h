// The largest page the system makes: no side beyond 65535 pixels and no packed block (header,
// palette and rows padded to 4 bytes) beyond 1 GiB. Every loader checks a page against them
// before it allocates anything for it.
#pragma once

#include <cstdint>
#include <string>

#include "exception.h"

inline constexpr int32_t kMaxImageDimension = 65535;
inline constexpr int64_t kMaxImageBlockSize = int64_t{1} << 30;

// The bytes of one row of Width pixels of Bits each, padded to 4 bytes.
inline int64_t StrideFor(int64_t Width, int64_t Bits) {
  return ((Width * Bits + 31) / 32) * 4;
}

// Raises unless a page of Width x Height pixels of Bits each with a palette of Colors entries
// stays within the limits.
// Raises: "Image size not allowed: W x H pixels", "Image too large: W x H pixels need N bytes".
inline void CheckPageLimits(int64_t Width, int64_t Height, int32_t Bits, int32_t Colors) {
  if (Width < 0 || Height < 0 || Width > kMaxImageDimension || Height > kMaxImageDimension) {
    throw Exception("Image size not allowed: " + std::to_string(Width) + " x " +
                    std::to_string(Height) + " pixels");
  }
  const int64_t block = 40 + 4 * int64_t{Colors} + Height * StrideFor(Width, Bits);
  if (block > kMaxImageBlockSize) {
    throw Exception("Image too large: " + std::to_string(Width) + " x " + std::to_string(Height) +
                    " pixels need " + std::to_string(block) + " bytes");
  }
}
