// Fields per second of format_point_value over a spread of values: every
// form (fixed, exponent, subnormal, specials), both signs.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "output/number_text.h"

namespace {

// Patterns stepped evenly through all 2^32, so every exponent appears.
std::vector<float> spread_of_values() {
  std::vector<float> values;
  for (std::uint64_t pattern = 0; pattern < 0x100000000u; pattern += 0x000F4243u) {
    values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(pattern)));
  }
  return values;
}

// The values a run writes: grid values from -1 to 1.
std::vector<float> grid_like_values() {
  std::vector<float> values;
  for (int i = 0; i < 501; ++i) {
    values.push_back(static_cast<float>(i * 0.0040000001899898052215576171875 - 1.0));
  }
  return values;
}

void format_all(benchmark::State& state, const std::vector<float>& values) {
  char field[output::FIELD_WIDTH];
  for (auto _ : state) {
    for (const float value : values) {
      output::format_point_value(value, field);
      benchmark::DoNotOptimize(field);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

void BM_FormatPointValueSpread(benchmark::State& state) { format_all(state, spread_of_values()); }
BENCHMARK(BM_FormatPointValueSpread);

void BM_FormatPointValueGrid(benchmark::State& state) { format_all(state, grid_like_values()); }
BENCHMARK(BM_FormatPointValueGrid);

}  // namespace
