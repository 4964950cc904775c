// The ranges of the processing parameters: what their dialogs let the operator enter, and
// what a value read from the settings is clamped to.
#pragma once

#include <cstdint>

struct TIntRange {
  int32_t Min;
  int32_t Max;
};

struct TFloatRange {
  double Min;
  double Max;
};

namespace ParameterRange {

constexpr TIntRange Area{1, 999};
constexpr TIntRange Aggressivity{1, 255};
constexpr TIntRange Algo{0, 2};
constexpr TIntRange AngleRange{1, 45};
constexpr TFloatRange AngleMin{0, 45};
constexpr TFloatRange AngleResolution{0, 45};
constexpr TFloatRange Percent{0, 100};
constexpr TFloatRange Margin{0, 10};  // inches
constexpr TIntRange PaperSizes{0, 255};
constexpr TIntRange BlackSize{1, 99};
constexpr TIntRange Byte{0, 255};

}  // namespace ParameterRange
