// Little-endian fields written into a file image that a test builds byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using TBytes = std::vector<uint8_t>;

inline void Put16(TBytes& b, size_t at, unsigned v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(TBytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xffff);
  Put16(b, at + 2, v >> 16);
}
