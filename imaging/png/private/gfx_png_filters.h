// The row filters of the PNG standard, applied to whole rows.
#pragma once

#include <cstddef>
#include <cstdint>

// Filter type bytes.
inline constexpr uint8_t kFilterNone = 0;
inline constexpr uint8_t kFilterSub = 1;
inline constexpr uint8_t kFilterUp = 2;
inline constexpr uint8_t kFilterAverage = 3;
inline constexpr uint8_t kFilterPaeth = 4;

// Undoes filter Type on Count bytes of Row in place; Up is the unfiltered previous row (zeros
// for the first row) and PixelBytes the distance to the left neighbour. An unknown type raises.
void UnfilterRow(uint8_t Type, uint8_t* Row, const uint8_t* Up, size_t Count, size_t PixelBytes);

// Filters Count bytes of Raw into Out with filter Type.
void FilterRow(uint8_t Type, const uint8_t* Raw, const uint8_t* Up, uint8_t* Out, size_t Count,
               size_t PixelBytes);

// The encoder's score of a filtered row: the positions from 4 on whose byte equals each of the
// four bytes before it.
int32_t FilterScore(const uint8_t* Row, size_t Count);
