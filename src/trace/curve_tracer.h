// The curve tracer: samples the curve and writes every crossing at once.
#pragma once

#include <array>

namespace trace {

constexpr int GRID_POINTS = 501;

/// Grid values 1..501, stored at index 0..500.
using Grid = std::array<float, GRID_POINTS>;

/// Grid value i (1-based): (i - 1) * GRID_STEP + GRID_START in double,
/// rounded once to single.
float grid_value(int i);

/// The grid, as both axes use it.
const Grid& grid();

/// F(x, y) = x^2 + (x^2 + y^2)^2 - y^2, each operation in double, the
/// result rounded once to single.
float curve_value(float x, float y);

/// The pair test: true when the pair holds a crossing; `chosen` is then the
/// grid value the record carries.
bool pair_crossing(float f_upper, float f_lower, float upper, float lower, float& chosen);

/// Both sweeps, each crossing written at once to the point file, then the
/// point file closed.
void trace_curve();

}  // namespace trace
