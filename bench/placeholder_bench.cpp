#include <benchmark/benchmark.h>
static void Nothing(benchmark::State& s) { for (auto _ : s) {} }
BENCHMARK(Nothing);
