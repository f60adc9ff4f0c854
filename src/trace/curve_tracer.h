// The curve tracer: samples the curve and writes every crossing at once.
#pragma once

#include <array>

#include "trace/crossing_point.h"

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

/// The pair test: true when the pair holds a crossing (the product of the
/// two function values, exact in double, is not above zero and not NaN);
/// `chosen` is then the grid value the record carries: `upper` when
/// f_upper is zero (of either sign), else `lower`.
bool pair_crossing(float f_upper, float f_lower, float upper, float lower, float& chosen);

/// Where the sweeps hand their work: the point file in the program, a
/// collector or a discarder in tests and benchmarks.
class SweepSink {
 public:
  /// Asked before every pair test, whether or not it yields a record.
  virtual void connect() = 0;
  /// One crossing, at once, in sweep order.
  virtual void write(const CrossingPoint& point) = 0;
  /// After the row sweep.
  virtual void close() = 0;

 protected:
  ~SweepSink() = default;
};

/// The column sweep (every vertical grid line, x ascending, pairs from the
/// top down) into `sink`, without closing it.
void column_sweep(SweepSink& sink);

/// The row sweep (every horizontal grid line, y ascending, pairs from the
/// right to the left) into `sink`, without closing it.
void row_sweep(SweepSink& sink);

/// The column sweep, then the row sweep, then `sink.close()`.
void run_sweeps(SweepSink& sink);

/// run_sweeps into the point file.
void trace_curve();

}  // namespace trace
