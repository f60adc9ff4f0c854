// The text form of one single-precision value in a point record.
#pragma once

#include <array>
#include <cstdint>

namespace output {

constexpr int FIELD_WIDTH = 15;
constexpr int SIGNIFICANT_DIGITS = 7;
constexpr int EXPONENT_DIGITS = 2;

using PointField = std::array<char, FIELD_WIDTH>;

/// The 15-character field of `value`, correctly rounded from its exact
/// stored value (ties to even): 7 significant digits in fixed form for
/// magnitudes from 0.1 below 10^7, else 8 in exponent form; words for
/// infinities and NaN. Allocates nothing. Signal-safe.
void format_point_value(float value, char* field);

/// The same, as a value.
PointField format_point_value(float value);

}  // namespace output
