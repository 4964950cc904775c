// Pixel access within one row for each depth, so that geometry loops choose the depth once per
// image (a template argument) and then run over whole rows without a switch per pixel.
#pragma once

#include <cstdint>

#include "dibunit.h"

// Round to the nearest integer, halves to even, for the small non-negative values of pixel
// arithmetic, fast enough for every pixel of a rotation: adding 1.5 x 2^52 leaves no fraction
// bits, so the sum is rounded by the processor in its default mode, to nearest with ties to
// even (nothing in the system changes that mode; Round itself does not depend on it).
inline int32_t RoundPixel(double Value) {
  constexpr double kShifter = 6755399441055744.0;
  return static_cast<int32_t>((Value + kShifter) - kShifter);
}

struct TRowPixels1 {
  static constexpr int32_t Bits = 1;
  static int32_t Get(const uint8_t* Row, int32_t X) { return (Row[X >> 3] >> (7 - (X & 7))) & 1; }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t mask = static_cast<uint8_t>(0x80 >> (X & 7));
    Row[X >> 3] = Value <= 0 ? Row[X >> 3] & ~mask : Row[X >> 3] | mask;
  }
  static int32_t Mix(int32_t A, int32_t B, double F, double G) { return RoundPixel(F * A + G * B); }
};

struct TRowPixels4 {
  static constexpr int32_t Bits = 4;
  static int32_t Get(const uint8_t* Row, int32_t X) {
    return (X & 1) != 0 ? Row[X >> 1] & 0x0F : Row[X >> 1] >> 4;
  }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t& b = Row[X >> 1];
    b = (X & 1) != 0 ? static_cast<uint8_t>((b & 0xF0) | (Value & 0x0F))
                     : static_cast<uint8_t>((b & 0x0F) | ((Value << 4) & 0xF0));
  }
};

struct TRowPixels8 {
  static constexpr int32_t Bits = 8;
  static int32_t Get(const uint8_t* Row, int32_t X) { return Row[X]; }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) { Row[X] = static_cast<uint8_t>(Value); }
  static int32_t Mix(int32_t A, int32_t B, double F, double G) { return RoundPixel(F * A + G * B); }
};

struct TRowPixels24 {
  static constexpr int32_t Bits = 24;
  static int32_t Get(const uint8_t* Row, int32_t X) {
    const uint8_t* p = Row + 3 * X;
    return p[2] | (p[1] << 8) | (p[0] << 16);
  }
  static void Set(uint8_t* Row, int32_t X, int32_t Value) {
    uint8_t* p = Row + 3 * X;
    p[0] = static_cast<uint8_t>(Value >> 16);
    p[1] = static_cast<uint8_t>(Value >> 8);
    p[2] = static_cast<uint8_t>(Value);
  }
  static int32_t Mix(int32_t A, int32_t B, double F, double) { return MixColors(A, B, F); }
};
