// The harness's main, for the programs that have none of their own (linked
// from the static library only when the program lacks one).
#include "benchmark/benchmark.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
