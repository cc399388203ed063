// The cost of the runtime around every library call: an empty monitored
// section, and a small tracked block allocated and freed, beside the plain
// C heap doing the same.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "runtime/Basic.h"
#include "runtime/Errors.h"

static void EmptySection(benchmark::State& state) {
  for (auto _ : state) MonRun([] {});
}
BENCHMARK(EmptySection);

static void RawEnterLeave(benchmark::State& state) {
  for (auto _ : state) {
    MonEnter();
    MonLeave();
  }
}
BENCHMARK(RawEnterLeave);

// A handful of live blocks, as while an image operation runs: the linear
// table search then sees a realistic table.
static void TrackedAllocFree(benchmark::State& state) {
  char* live[8] = {};
  for (char*& p : live) MemAlloc(p, 64);
  for (auto _ : state) {
    char* p = nullptr;
    MemAlloc(p, 100);
    benchmark::DoNotOptimize(p);
    MemFree(p);
  }
  for (char*& p : live) MemFree(p);
}
BENCHMARK(TrackedAllocFree);

static void PlainMallocFree(benchmark::State& state) {
  for (auto _ : state) {
    void* p = std::malloc(108);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}
BENCHMARK(PlainMallocFree);
