// Brightness and contrast of a page through lookup tables of byte values.
#include <algorithm>

#include "dibunit.h"

namespace {

// Rounds a table entry and clamps it to a byte. Clamping before rounding gives the same byte
// as clamping after it, and keeps far-off values from overflowing the rounding; a value that
// is not a number still raises there.
uint8_t EntryByte(double Value) {
  return static_cast<uint8_t>(Round(std::clamp(Value, 0.0, 255.0)));
}

}  // namespace

void TDIB::ContrastLUT(TLookupTable& Table, double Percentage) {
  for (int32_t i = 0; i < 256; ++i) Table[i] = EntryByte(i + (i - 127) * Percentage / 100);
}

void TDIB::GainLUT(TLookupTable& Table, double Percentage) {
  for (int32_t i = 0; i < 256; ++i) Table[i] = EntryByte(i + i * Percentage / 100);
}

// a entries at each end are forced to 0 and 255 and the rest is stretched over the whole
// range; a negative a forces nothing and compresses the range instead. The forced ranges and
// the linear part are clipped to the table, so any a stays inside it.
void TDIB::StretchLUT(TLookupTable& Table, double Percentage) {
  int32_t a = Round(Percentage * 255 / 100 / 2);
  for (int32_t j = 0; j < std::min(a, 256); ++j) Table[j] = 0;
  for (int64_t j = std::max<int64_t>(256 - int64_t{a}, 0); j < 256; ++j) Table[j] = 255;
  int64_t last = std::min<int64_t>(255 - int64_t{a}, 255);
  double span = 255.0 - 2.0 * a;
  for (int64_t j = std::max(a, 0); j <= last; ++j) {
    Table[j] = EntryByte((static_cast<double>(j) - a) * 255 / span);
  }
}

void TDIB::ApplyLUT(const TLookupTable& Table) {
  // Locals, so that the byte writes cannot alias the members.
  const int32_t height = Height(), lineBytes = FLineBytes;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = FLines[y];
    for (int32_t i = 0; i < lineBytes; ++i) row[i] = Table[row[i]];
  }
}

void TDIB::AdjustContrast(bool AroundMid, double Percentage) {
  TLookupTable table;
  if (AroundMid) {
    ContrastLUT(table, Percentage);
  } else {
    StretchLUT(table, Percentage);
  }
  ApplyLUT(table);
}

void TDIB::AdjustBrightness(double Percentage) {
  TLookupTable table;
  GainLUT(table, Percentage);
  ApplyLUT(table);
}
