// TEMPORARY local stand-in (not committed)
#include "trace/curve_tracer.h"
#include "output/point_file.h"
namespace trace {
float grid_value(int i) { return static_cast<float>(static_cast<double>(i - 1) * static_cast<double>(0x1.0624dep-8f) + -1.0); }
const Grid& grid() { static Grid g = [] { Grid g{}; for (int i = 1; i <= GRID_POINTS; ++i) g[i - 1] = grid_value(i); return g; }(); return g; }
float curve_value(float x, float y) { double X = (double)x * x, Y = (double)y * y, S = X + Y; return (float)((S * S + X) - Y); }
bool pair_crossing(float fu, float fl, float u, float l, float& c) { double p = (double)fl * fu; if (!(p <= 0.0)) return false; c = fu == 0.0f ? u : l; return true; }
void trace_curve() {
  const Grid& g = grid(); float c;
  for (int j = 0; j < GRID_POINTS; ++j) for (int k = GRID_POINTS - 1; k >= 1; --k) {
    float fu = curve_value(g[j], g[k]), fl = curve_value(g[j], g[k - 1]);
    output::connect_point_file(7, "ispis.dat", "unknown");
    if (pair_crossing(fu, fl, g[k], g[k - 1], c)) output::write_point_record({g[j], c}); }
  for (int j = 0; j < GRID_POINTS; ++j) for (int k = GRID_POINTS - 1; k >= 1; --k) {
    float fu = curve_value(g[k], g[j]), fl = curve_value(g[k - 1], g[j]);
    output::connect_point_file(7, "ispis.dat", "unknown");
    if (pair_crossing(fu, fl, g[k], g[k - 1], c)) output::write_point_record({c, g[j]}); }
  output::close_point_file(7);
}
}
