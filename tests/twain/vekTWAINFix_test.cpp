#include "vekTWAINFix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "exception.h"

namespace {

struct TFixCase {
  double Value;
  int16_t Whole;
  uint16_t Frac;
};

}  // namespace

TEST(FIX32, WorkedValues) {
  const TFixCase cases[] = {
      {0.5, 0, 0x8000},
      {-0.5, -1, 0x8000},
      {1.5, 1, 0x8000},
      {-1.25, -2, 0xC000},
      {300, 300, 0},
      {2.5 / 65536, 0, 2},
      {3.5 / 65536, 0, 4},
      {-32768, -32768, 0},
      {32767.99998, 32767, 0xFFFF},
      {0, 0, 0},
      {-1.0 / 65536, -1, 0xFFFF},
  };
  for (const TFixCase& c : cases) {
    TW_FIX32 f = FloatToFIX32(c.Value);
    EXPECT_EQ(f.Whole, c.Whole) << c.Value;
    EXPECT_EQ(f.Frac, c.Frac) << c.Value;
  }
}

TEST(FIX32, BackToFourDecimals) {
  EXPECT_EQ(FIX32ToFloat({0, 0x8000}), 0.5);
  EXPECT_EQ(FIX32ToFloat({-1, 0x8000}), -0.5);
  EXPECT_EQ(FIX32ToFloat({-2, 0xC000}), -1.25);
  EXPECT_EQ(FIX32ToFloat({300, 0}), 300.0);
  EXPECT_EQ(FIX32ToFloat({7, 1}), 7.0);  // 1 / 65536 has no fourth decimal
  EXPECT_EQ(FIX32ToFloat({0, 0xFFFF}), 1.0);
}

// Every four-decimal value FIX32 can hold comes back as it went in.
TEST(FIX32, FourDecimalRoundTripOverTheWholeRange) {
  constexpr int64_t first = -327680000;  // -32768.0000
  constexpr int64_t last = 327679999;    // 32767.9999
  auto check = [](int64_t tenThousandths) {
    double x = tenThousandths / 10000.0;
    double back = FIX32ToFloat(FloatToFIX32(x));
    ASSERT_NEAR(back, x, 1e-9) << tenThousandths;
  };
  for (int64_t k = first; k <= last; k += 9973) check(k);
  for (int64_t k = -20000; k <= 20000; ++k) check(k);
  check(first);
  check(last);
}

TEST(FIX32, ValuesBeyondFIX32Raise) {
  for (double x : {32768.0, -32768.00001, 1e300, std::nan(""), HUGE_VAL}) {
    EXPECT_THROW(FloatToFIX32(x), Exception) << x;
  }
}
