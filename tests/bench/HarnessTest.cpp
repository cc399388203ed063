// The benchmark harness: case names and selection as Google Benchmark makes
// them, time paused outside the measurement, the iteration count grown to
// the minimum time, and the aggregates of repetitions.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "benchmark/benchmark.h"

namespace {

void Empty(benchmark::State& state) {
  for (auto _ : state) benchmark::ClobberMemory();
}
void ArgsOf(benchmark::internal::Benchmark* b) { b->Args({160, 120})->Args({1920, 1080}); }
void Captured(benchmark::State& state, int n) {
  for (auto _ : state) benchmark::DoNotOptimize(n);
}
BENCHMARK(Empty);
BENCHMARK(Empty)->Apply(ArgsOf)->Unit(benchmark::kMicrosecond);
BENCHMARK(Empty)->ArgsProduct({{1, 2}, {3, 4, 5}});
BENCHMARK_CAPTURE(Captured, seven, 7);

// 1 ms timed and 100 ms paused per iteration.
void Paused(benchmark::State& state) {
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    state.ResumeTiming();
  }
}
BENCHMARK(Paused)->Unit(benchmark::kMillisecond);

// Each run reports how many runs came before it, to check the aggregates.
int runs = 0;
void Counted(benchmark::State& state) {
  for (auto _ : state) benchmark::ClobberMemory();
  state.counters["run"] = ++runs;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Counted);

// Runs the harness with these flags and returns what it printed.
std::string RunHarness(std::vector<std::string> flags, size_t* count = nullptr) {
  flags.insert(flags.begin(), "harness");
  std::vector<char*> argv;
  for (std::string& f : flags) argv.push_back(&f[0]);
  int argc = int(argv.size());
  benchmark::Initialize(&argc, argv.data());
  EXPECT_EQ(argc, 1);
  testing::internal::CaptureStdout();
  size_t n = benchmark::RunSpecifiedBenchmarks();
  if (count) *count = n;
  return testing::internal::GetCapturedStdout();
}

// The number after `"key": ` in the first entry named `name`.
double Field(const std::string& out, const std::string& name, const std::string& key) {
  size_t at = out.find("\"name\": \"" + name + "\"");
  EXPECT_NE(at, std::string::npos) << name;
  if (at == std::string::npos) return -1;
  size_t k = out.find("\"" + key + "\": ", at);
  EXPECT_NE(k, std::string::npos) << name << " " << key;
  return k == std::string::npos ? -1 : std::stod(out.substr(k + key.size() + 4));
}

TEST(Harness, CasesAreNamedAndSelectedAsGoogleBenchmarkDoes) {
  size_t count = 0;
  EXPECT_EQ(RunHarness({"--benchmark_list_tests", "--benchmark_filter=Empty|Captured"}, &count),
            "Empty\nEmpty/160/120\nEmpty/1920/1080\nEmpty/1/3\nEmpty/1/4\nEmpty/1/5\nEmpty/2/3\n"
            "Empty/2/4\nEmpty/2/5\nCaptured/seven\n");
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(RunHarness({"--benchmark_list_tests=true", "--benchmark_filter=^Empty/1920"}), "Empty/1920/1080\n");
  EXPECT_EQ(RunHarness({"--benchmark_list_tests", "--benchmark_filter=NoSuchCase"}, &count), "");
  EXPECT_EQ(count, 0u);
}

TEST(Harness, UnknownArgumentsAreLeftAndReported) {
  std::string a = "harness", b = "--benchmark_filter=x", c = "--other";
  char* argv[] = {&a[0], &b[0], &c[0]};
  int argc = 3;
  benchmark::Initialize(&argc, argv);
  ASSERT_EQ(argc, 2);
  EXPECT_STREQ(argv[1], "--other");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(benchmark::ReportUnrecognizedArguments(argc, argv));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("--other"), std::string::npos);
  EXPECT_FALSE(benchmark::ReportUnrecognizedArguments(1, argv));
}

// The bounds leave room for a loaded machine: a sleep may last longer than
// asked, never shorter.
TEST(Harness, PausedTimeIsLeftOut) {
  std::string out = RunHarness({"--benchmark_filter=^Paused$", "--benchmark_min_time=0.001", "--benchmark_format=json"});
  double ms = Field(out, "Paused", "real_time");
  EXPECT_GE(ms, 0.9);   // the timed sleep
  EXPECT_LT(ms, 50.0);  // far from the 101 ms of a whole iteration
  EXPECT_NE(out.find("\"time_unit\": \"ms\""), std::string::npos);
}

TEST(Harness, TheLoopGrowsToTheMinimumTime) {
  std::string out = RunHarness({"--benchmark_filter=^Empty$", "--benchmark_min_time=0.02", "--benchmark_format=json"});
  double ns = Field(out, "Empty", "real_time");
  double iterations = Field(out, "Empty", "iterations");
  EXPECT_GT(iterations, 1);
  EXPECT_GE(ns * iterations, 0.02e9 * 0.999);
}

TEST(Harness, RepetitionsGiveMeanMedianAndDeviation) {
  runs = 0;
  // With no minimum time the first run of one iteration is enough: runs
  // 1 .. 4 are the four repetitions, and the counter is their number.
  std::string out = RunHarness({"--benchmark_filter=^Counted$", "--benchmark_min_time=0", "--benchmark_repetitions=4",
                         "--benchmark_format=json"});
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(Field(out, "Counted", "run"), 1);
  EXPECT_EQ(Field(out, "Counted_mean", "run"), 2.5);
  EXPECT_EQ(Field(out, "Counted_median", "run"), 2.5);
  EXPECT_NEAR(Field(out, "Counted_stddev", "run"), 1.2909944, 1e-6);
  EXPECT_NE(out.find("\"aggregate_name\": \"median\""), std::string::npos);
  EXPECT_GT(Field(out, "Counted_median", "items_per_second"), 0);

  runs = 0;
  out = RunHarness({"--benchmark_filter=^Counted$", "--benchmark_min_time=0", "--benchmark_repetitions=3",
             "--benchmark_report_aggregates_only=true", "--benchmark_format=json"});
  EXPECT_EQ(out.find("\"run_type\": \"iteration\""), std::string::npos);
  EXPECT_EQ(Field(out, "Counted_median", "run"), 2);
}

}  // namespace
