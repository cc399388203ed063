// The benchmark harness of the i686 build: the part of Google Benchmark's
// interface that the programs of bench/ use, so that the same sources run in
// the Windows program (under Wine) as in the native build, which links
// Debian's Google Benchmark. Debian ships Google Benchmark for the build
// machine only, not for mingw-w64.
//
// Measurement follows Google Benchmark: a benchmark's loop runs a growing
// number of iterations until the timed part lasts --benchmark_min_time
// seconds; the time of a run is the wall-clock time of its loop (less what
// PauseTiming .. ResumeTiming excludes) divided by the iterations; each
// repetition after the first reuses the first one's iteration count. The
// JSON output has the fields of Google Benchmark's that the scripts read
// (name, run_name, run_type, aggregate_name, iterations, real_time,
// time_unit, items_per_second, bytes_per_second and the user counters); the
// rates are per second of wall-clock time. There is no CPU time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

using IterationCount = int64_t;

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond, kSecond };

class State;

namespace internal {

// One registered benchmark: its name, its argument lists (one run each)
// and its unit. The builder calls return the same record.
class Benchmark {
 public:
  Benchmark(std::string name, std::function<void(State&)> body);
  Benchmark* Args(const std::vector<int64_t>& args);
  Benchmark* ArgsProduct(const std::vector<std::vector<int64_t>>& lists);
  Benchmark* Apply(void (*apply)(Benchmark*));
  Benchmark* Unit(TimeUnit unit);

  const std::string& Name() const { return name_; }
  const std::vector<std::vector<int64_t>>& ArgLists() const { return args_; }
  TimeUnit TimeUnitOf() const { return unit_; }
  void Run(State& state) const { body_(state); }

 private:
  std::string name_;
  std::function<void(State&)> body_;
  std::vector<std::vector<int64_t>> args_;
  TimeUnit unit_ = kNanosecond;
};

// Registers a benchmark for the whole program (the registry owns it).
Benchmark* RegisterBenchmarkInternal(Benchmark* benchmark);

}  // namespace internal

// The state of one run: its arguments, its iteration count, its timer.
// `for (auto _ : state)` runs the body state.max_iterations times with the
// timer running; the loop holds nothing but a down-counter.
class State {
 public:
  State(std::vector<int64_t> args, IterationCount iterations);

  struct __attribute__((unused)) Value {};
  class Iterator {
   public:
    explicit Iterator(State* state) : state_(state), left_(state ? state->max_iterations : 0) {}
    Value operator*() const { return Value(); }
    Iterator& operator++() {
      --left_;
      return *this;
    }
    bool operator!=(const Iterator&) {
      if (left_ != 0) return true;
      state_->Finish();
      return false;
    }

   private:
    State* state_;
    IterationCount left_;
  };
  Iterator begin();
  Iterator end() { return Iterator(nullptr); }

  int64_t range(size_t i = 0) const { return args_.at(i); }
  IterationCount iterations() const { return finished_ ? max_iterations : 0; }

  void PauseTiming();
  void ResumeTiming();

  void SetItemsProcessed(int64_t items) { items_ = items; }
  void SetBytesProcessed(int64_t bytes) { bytes_ = bytes; }
  int64_t ItemsProcessed() const { return items_; }
  int64_t BytesProcessed() const { return bytes_; }

  // Seconds of timed wall-clock time over the whole loop.
  double Seconds() const { return seconds_; }

  const IterationCount max_iterations;
  std::map<std::string, double> counters;

 private:
  void Finish();

  std::vector<int64_t> args_;
  int64_t start_ = 0;  // steady-clock ticks when the timer last started
  double seconds_ = 0;
  bool running_ = false, finished_ = false;
  int64_t items_ = 0, bytes_ = 0;
};

// Keeps the compiler from dropping the computation of value.
template <class T>
inline __attribute__((always_inline)) void DoNotOptimize(T const& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}
template <class T>
inline __attribute__((always_inline)) void DoNotOptimize(T& value) {
  asm volatile("" : "+m,r"(value) : : "memory");
}
// Makes every pending write to memory happen here.
inline __attribute__((always_inline)) void ClobberMemory() { asm volatile("" : : : "memory"); }

// Reads the --benchmark_* flags (every flag not given takes its default)
// and removes them from argv.
void Initialize(int* argc, char** argv);
// True (after printing them) when arguments other than the program's name
// are left.
bool ReportUnrecognizedArguments(int argc, char** argv);
// Runs every registered benchmark that the filter selects; returns how many.
size_t RunSpecifiedBenchmarks();
void Shutdown();

}  // namespace benchmark

#define BENCHMARK_HARNESS_JOIN2(a, b) a##b
#define BENCHMARK_HARNESS_JOIN(a, b) BENCHMARK_HARNESS_JOIN2(a, b)
#define BENCHMARK_HARNESS_UNIQUE BENCHMARK_HARNESS_JOIN(benchmark_registered_, __COUNTER__)

#define BENCHMARK(function)                                                     \
  static ::benchmark::internal::Benchmark* BENCHMARK_HARNESS_UNIQUE [[maybe_unused]] = \
      ::benchmark::internal::RegisterBenchmarkInternal(                         \
          new ::benchmark::internal::Benchmark(#function, function))

#define BENCHMARK_CAPTURE(function, case_name, ...)                             \
  static ::benchmark::internal::Benchmark* BENCHMARK_HARNESS_UNIQUE [[maybe_unused]] = \
      ::benchmark::internal::RegisterBenchmarkInternal(                         \
          new ::benchmark::internal::Benchmark(                                 \
              #function "/" #case_name,                                         \
              [](::benchmark::State& state) { function(state, __VA_ARGS__); }))
