// The curve tracer. The records depend on the exact arithmetic: every
// intermediate in double, each operation rounded on its own (the build
// forbids contraction into fused multiply-adds), and a rounding to single
// only where a value is stored.
#include "trace/curve_tracer.h"

#include <bit>
#include <cstdint>

#include "output/point_file.h"

namespace trace {
namespace {

const float GRID_START = std::bit_cast<float>(std::uint32_t{0xBF800000});  // -1.0
// The single nearest 0.004, exactly 8589935 * 2^-31.
const float GRID_STEP = std::bit_cast<float>(std::uint32_t{0x3B83126F});

Grid make_grid() {
  Grid values{};
  for (int i = 1; i <= GRID_POINTS; ++i) {
    values[static_cast<std::size_t>(i - 1)] = grid_value(i);
  }
  return values;
}

// The pairs of one grid line, from the top pair (k = 501) down; `value_at`
// gives the curve value at a grid index, `record_at` the record for the
// chosen grid value.
template <typename ValueAt, typename RecordAt>
void sweep_line(SweepSink& sink, ValueAt value_at, RecordAt record_at) {
  const Grid& values = grid();
  for (int k = GRID_POINTS; k >= 2; --k) {
    const float upper = values[static_cast<std::size_t>(k - 1)];
    const float lower = values[static_cast<std::size_t>(k - 2)];
    const float f_upper = value_at(upper);
    const float f_lower = value_at(lower);
    sink.connect();
    float chosen;
    if (pair_crossing(f_upper, f_lower, upper, lower, chosen)) {
      sink.write(record_at(chosen));
    }
  }
}

class PointFileSink final : public SweepSink {
 public:
  void connect() override {
    output::connect_point_file(output::POINT_UNIT, output::POINT_FILE_NAME, "unknown");
  }
  void write(const CrossingPoint& point) override { output::write_point_record(point); }
  void close() override { output::close_point_file(output::POINT_UNIT); }
};

}  // namespace

float grid_value(int i) {
  const double offset = static_cast<double>(i - 1) * static_cast<double>(GRID_STEP);
  return static_cast<float>(offset + static_cast<double>(GRID_START));
}

const Grid& grid() {
  static const Grid values = make_grid();
  return values;
}

float curve_value(float x, float y) {
  const double xd = x;
  const double yd = y;
  const double x_squared = xd * xd;
  const double y_squared = yd * yd;
  const double sum = x_squared + y_squared;
  return static_cast<float>((sum * sum + x_squared) - y_squared);
}

bool pair_crossing(float f_upper, float f_lower, float upper, float lower, float& chosen) {
  // Exact: the product of two singles fits in a double's 53 bits.
  const double product = static_cast<double>(f_lower) * static_cast<double>(f_upper);
  if (!(product <= 0.0)) {  // above zero, or NaN
    return false;
  }
  chosen = f_upper == 0.0f ? upper : lower;
  return true;
}

void column_sweep(SweepSink& sink) {
  for (const float x : grid()) {
    sweep_line(
        sink, [x](float y) { return curve_value(x, y); },
        [x](float y) { return CrossingPoint{x, y}; });
  }
}

void row_sweep(SweepSink& sink) {
  for (const float y : grid()) {
    sweep_line(
        sink, [y](float x) { return curve_value(x, y); },
        [y](float x) { return CrossingPoint{x, y}; });
  }
}

void run_sweeps(SweepSink& sink) {
  column_sweep(sink);
  row_sweep(sink);
  sink.close();
}

void trace_curve() {
  PointFileSink sink;
  run_sweeps(sink);
}

}  // namespace trace
