// Both sweeps into a sink that keeps nothing: the tracer's own cost, apart
// from the point file; and the whole trace into a real "ispis.dat".
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "trace/curve_tracer.h"

namespace {

class DiscardingSink final : public trace::SweepSink {
 public:
  void connect() override { benchmark::ClobberMemory(); }
  void write(const trace::CrossingPoint& point) override {
    benchmark::DoNotOptimize(point);
    ++points;
  }
  void close() override {}

  long points = 0;
};

void BM_Sweeps(benchmark::State& state) {
  trace::grid();  // filled once per process, as in a run
  long points = 0;
  for (auto _ : state) {
    DiscardingSink sink;
    trace::run_sweeps(sink);
    points += sink.points;
  }
  state.SetItemsProcessed(points);
  state.counters["pair_tests_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2 * trace::GRID_POINTS * (trace::GRID_POINTS - 1),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sweeps)->Unit(benchmark::kMillisecond);

void BM_CurveValue(benchmark::State& state) {
  const trace::Grid& values = trace::grid();
  for (auto _ : state) {
    for (const float y : values) {
      benchmark::DoNotOptimize(trace::curve_value(values[162], y));
    }
  }
  state.SetItemsProcessed(state.iterations() * trace::GRID_POINTS);
}
BENCHMARK(BM_CurveValue);

// The whole trace as a run makes it: 501,000 connect requests and 1,704
// records into "ispis.dat" in a fresh temporary directory.
void BM_TraceCurveIntoPointFile(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path previous = fs::current_path();
  const fs::path directory =
      fs::temp_directory_path() / ("crt_bench_" + std::to_string(std::random_device{}()));
  fs::create_directories(directory);
  fs::current_path(directory);
  for (auto _ : state) {
    trace::trace_curve();
  }
  fs::current_path(previous);
  fs::remove_all(directory);
  state.counters["connects_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2 * trace::GRID_POINTS * (trace::GRID_POINTS - 1),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceCurveIntoPointFile)->Unit(benchmark::kMillisecond);

}  // namespace
