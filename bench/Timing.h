// Timing for the programs that also run under Wine, where Debian has no
// Google Benchmark: a case runs in batches, and the figure is the median of
// five batches in microseconds per call (the machine is shared and noisy).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>

template <class Body>
double MedianMicros(Body body, int perBatch) {
  body();  // warm the caches and the allocator
  double batches[5];
  for (double& b : batches) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < perBatch; ++i) body();
    std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    b = took.count() / perBatch;
  }
  std::sort(batches, batches + 5);
  return batches[2];
}

inline void Report(const char* name, double micros) {
  std::printf("%-36s %10.1f us\n", name, micros);
  std::fflush(stdout);
}
