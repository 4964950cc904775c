// Conversions between floating-point numbers and TWAIN's FIX32 (Whole + Frac / 65536), shared
// by both ends of the system.
#pragma once

#include "twain.h"

// x x 65536 rounded once, halves to even: Frac is the low 16 bits, Whole the rest with its
// sign. Raises "Invalid floating point operation" for NaN, infinities and values that FIX32
// cannot hold (below -32768 or from 32768 on, after rounding).
TW_FIX32 FloatToFIX32(double x);

// Whole plus the fraction rounded to four decimal places.
double FIX32ToFloat(TW_FIX32 f);
