// The harness's registry, flags, runs and reports (see benchmark/benchmark.h).
#include "benchmark/benchmark.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>

namespace benchmark {

namespace {

struct Flags {
  std::string filter = ".";
  double minTime = 0.5;
  int repetitions = 1;
  bool aggregatesOnly = false;
  bool json = false;
  bool list = false;
};

Flags flags;

std::vector<std::unique_ptr<internal::Benchmark>>& Registry() {
  static std::vector<std::unique_ptr<internal::Benchmark>> registry;
  return registry;
}

int64_t Ticks() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

double TicksToSeconds(int64_t ticks) {
  using Period = std::chrono::steady_clock::period;
  return double(ticks) * Period::num / Period::den;
}

// One result line: a repetition or an aggregate over them.
struct Result {
  std::string runName, aggregate;  // aggregate empty for a repetition
  int repetition = 0;
  IterationCount iterations = 0;
  double seconds = 0;  // per iteration
  std::map<std::string, double> rates;  // items_per_second, bytes_per_second, counters
};

const char* UnitName(TimeUnit unit) {
  switch (unit) {
    case kNanosecond: return "ns";
    case kMicrosecond: return "us";
    case kMillisecond: return "ms";
    case kSecond: return "s";
  }
  return "ns";
}

double UnitScale(TimeUnit unit) {
  switch (unit) {
    case kNanosecond: return 1e9;
    case kMicrosecond: return 1e6;
    case kMillisecond: return 1e3;
    case kSecond: return 1;
  }
  return 1e9;
}

// Runs one case with the given iteration count.
Result RunOnce(const internal::Benchmark& b, const std::vector<int64_t>& args, IterationCount iters) {
  State state(args, iters);
  b.Run(state);
  if (state.iterations() != iters) {
    std::fprintf(stderr, "%s: the benchmark did not run its loop\n", b.Name().c_str());
    std::exit(1);
  }
  Result r;
  r.iterations = iters;
  double total = std::max(state.Seconds(), 1e-12);
  r.seconds = total / double(iters);
  if (state.ItemsProcessed()) r.rates["items_per_second"] = double(state.ItemsProcessed()) / total;
  if (state.BytesProcessed()) r.rates["bytes_per_second"] = double(state.BytesProcessed()) / total;
  for (auto& c : state.counters) r.rates[c.first] = c.second;
  return r;
}

// The first repetition: grows the iteration count as Google Benchmark does
// until the timed part lasts the minimum time.
Result RunFirst(const internal::Benchmark& b, const std::vector<int64_t>& args) {
  const IterationCount most = 1000000000;
  IterationCount iters = 1;
  for (;;) {
    Result r = RunOnce(b, args, iters);
    double seconds = r.seconds * double(iters);
    if (seconds >= flags.minTime || iters >= most) return r;
    double multiplier = seconds / flags.minTime > 0.1 ? flags.minTime * 1.4 / std::max(seconds, 1e-9) : 10.0;
    IterationCount next = IterationCount(std::lround(multiplier * double(iters)));
    iters = std::min(std::max(next, iters + 1), most);
  }
}

std::string RunName(const internal::Benchmark& b, const std::vector<int64_t>& args) {
  std::string name = b.Name();
  for (int64_t a : args) name += "/" + std::to_string(a);
  return name;
}

std::vector<Result> Aggregates(const std::vector<Result>& reps) {
  auto stat = [&](const std::string& which, auto get) {
    std::vector<double> v;
    for (const Result& r : reps) v.push_back(get(r));
    std::sort(v.begin(), v.end());
    double mean = 0;
    for (double x : v) mean += x / double(v.size());
    if (which == "mean") return mean;
    if (which == "median") {
      size_t n = v.size();
      return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    return v.size() > 1 ? std::sqrt(ss / double(v.size() - 1)) : 0.0;
  };
  std::vector<Result> out;
  for (const char* which : {"mean", "median", "stddev"}) {
    Result a;
    a.runName = reps[0].runName;
    a.aggregate = which;
    a.iterations = IterationCount(reps.size());
    a.seconds = stat(which, [](const Result& r) { return r.seconds; });
    for (auto& rate : reps[0].rates) {
      const std::string key = rate.first;
      a.rates[key] = stat(which, [&](const Result& r) { return r.rates.at(key); });
    }
    out.push_back(a);
  }
  return out;
}

std::string Quoted(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

void PrintJson(const Result& r, TimeUnit unit, bool first) {
  std::string name = r.runName + (r.aggregate.empty() ? "" : "_" + r.aggregate);
  std::printf("%s    {\n", first ? "" : ",\n");
  std::printf("      \"name\": %s,\n      \"run_name\": %s,\n", Quoted(name).c_str(), Quoted(r.runName).c_str());
  if (r.aggregate.empty())
    std::printf("      \"run_type\": \"iteration\",\n      \"repetition_index\": %d,\n", r.repetition);
  else
    std::printf("      \"run_type\": \"aggregate\",\n      \"aggregate_name\": %s,\n", Quoted(r.aggregate).c_str());
  std::printf("      \"repetitions\": %d,\n      \"iterations\": %lld,\n", flags.repetitions,
              static_cast<long long>(r.iterations));
  std::printf("      \"real_time\": %.10g,\n      \"time_unit\": \"%s\"", r.seconds * UnitScale(unit), UnitName(unit));
  for (auto& rate : r.rates) std::printf(",\n      %s: %.10g", Quoted(rate.first).c_str(), rate.second);
  std::printf("\n    }");
}

void PrintConsole(const Result& r, TimeUnit unit) {
  std::string name = r.runName + (r.aggregate.empty() ? "" : "_" + r.aggregate);
  std::printf("%-48s %13.3f %-2s %12lld", name.c_str(), r.seconds * UnitScale(unit), UnitName(unit),
              static_cast<long long>(r.iterations));
  for (auto& rate : r.rates) std::printf(" %s=%.4g", rate.first.c_str(), rate.second);
  std::printf("\n");
}

bool FlagValue(const char* arg, const char* name, std::string& value) {
  size_t n = std::strlen(name);
  if (std::strncmp(arg, "--", 2) != 0 || std::strncmp(arg + 2, name, n) != 0) return false;
  if (arg[2 + n] == '\0') {
    value = "true";
    return true;
  }
  if (arg[2 + n] != '=') return false;
  value = arg + 3 + n;
  return true;
}

bool Truth(const std::string& v) { return v == "true" || v == "1" || v == "yes"; }

}  // namespace

namespace internal {

Benchmark::Benchmark(std::string name, std::function<void(State&)> body)
    : name_(std::move(name)), body_(std::move(body)) {}

Benchmark* Benchmark::Args(const std::vector<int64_t>& args) {
  args_.push_back(args);
  return this;
}

Benchmark* Benchmark::ArgsProduct(const std::vector<std::vector<int64_t>>& lists) {
  std::vector<std::vector<int64_t>> product = {{}};
  for (const auto& list : lists) {
    std::vector<std::vector<int64_t>> next;
    for (const auto& head : product)
      for (int64_t a : list) {
        next.push_back(head);
        next.back().push_back(a);
      }
    product = next;
  }
  for (auto& args : product) args_.push_back(args);
  return this;
}

Benchmark* Benchmark::Apply(void (*apply)(Benchmark*)) {
  apply(this);
  return this;
}

Benchmark* Benchmark::Unit(TimeUnit unit) {
  unit_ = unit;
  return this;
}

Benchmark* RegisterBenchmarkInternal(Benchmark* benchmark) {
  Registry().emplace_back(benchmark);
  return benchmark;
}

}  // namespace internal

State::State(std::vector<int64_t> args, IterationCount iterations)
    : max_iterations(iterations), args_(std::move(args)) {}

State::Iterator State::begin() {
  ResumeTiming();
  return Iterator(this);
}

void State::PauseTiming() {
  if (!running_) return;
  seconds_ += TicksToSeconds(Ticks() - start_);
  running_ = false;
}

void State::ResumeTiming() {
  running_ = true;
  start_ = Ticks();
}

void State::Finish() {
  PauseTiming();
  finished_ = true;
}

void Initialize(int* argc, char** argv) {
  flags = Flags();
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    std::string v;
    if (FlagValue(argv[i], "benchmark_filter", v)) {
      flags.filter = v == "all" ? "." : v;
    } else if (FlagValue(argv[i], "benchmark_min_time", v)) {
      flags.minTime = std::atof(v.c_str());
    } else if (FlagValue(argv[i], "benchmark_repetitions", v)) {
      flags.repetitions = std::max(1, std::atoi(v.c_str()));
    } else if (FlagValue(argv[i], "benchmark_report_aggregates_only", v) ||
               FlagValue(argv[i], "benchmark_display_aggregates_only", v)) {
      flags.aggregatesOnly = Truth(v);
    } else if (FlagValue(argv[i], "benchmark_format", v)) {
      flags.json = v == "json";
    } else if (FlagValue(argv[i], "benchmark_list_tests", v)) {
      flags.list = Truth(v);
    } else {
      argv[kept++] = argv[i];
    }
  }
  *argc = kept;
}

bool ReportUnrecognizedArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::fprintf(stderr, "%s: unrecognized argument '%s'\n", argv[0], argv[i]);
  return argc > 1;
}

size_t RunSpecifiedBenchmarks() {
  std::regex filter(flags.filter);
  size_t count = 0;
  bool first = true;
  if (flags.json) std::printf("{\n  \"context\": {\n    \"library\": \"spiralux harness\"\n  },\n  \"benchmarks\": [\n");
  for (const auto& b : Registry()) {
    std::vector<std::vector<int64_t>> lists = b->ArgLists();
    if (lists.empty()) lists.push_back({});
    for (const auto& args : lists) {
      std::string name = RunName(*b, args);
      if (!std::regex_search(name, filter)) continue;
      ++count;
      if (flags.list) {
        std::printf("%s\n", name.c_str());
        continue;
      }
      std::vector<Result> reps;
      for (int i = 0; i < flags.repetitions; ++i) {
        reps.push_back(i == 0 ? RunFirst(*b, args) : RunOnce(*b, args, reps[0].iterations));
        reps.back().runName = name;
        reps.back().repetition = i;
      }
      std::vector<Result> shown;
      if (!(flags.aggregatesOnly && flags.repetitions > 1)) shown = reps;
      if (flags.repetitions > 1)
        for (const Result& a : Aggregates(reps)) shown.push_back(a);
      for (const Result& r : shown) {
        if (flags.json)
          PrintJson(r, b->TimeUnitOf(), first);
        else
          PrintConsole(r, b->TimeUnitOf());
        first = false;
      }
      std::fflush(stdout);
    }
  }
  if (flags.json) std::printf("\n  ]\n}\n");
  return count;
}

void Shutdown() { Registry().clear(); }

}  // namespace benchmark
