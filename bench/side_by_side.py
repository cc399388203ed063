#!/usr/bin/python3
"""The benchmarks of bench/ in the native build and in the program users run,
side by side.

Usage: side_by_side.py [--label TEXT] [--wine COMMAND] [--programs NAME,...]
                       NATIVE_DIR SHIPPED_DIR RESULTS_JSON [benchmark flags]
  (scripts/bench passes build/bench, build/bench-win32 and
  build/bench/results.json; flags such as --benchmark_filter=Scale go to
  both builds' programs; the label, "i686 under Wine" unless given, names the
  Windows build in the output, and COMMAND, "wine" unless given, runs it;
  --programs runs only the programs named, every one unless given)

Every benchmark program of NATIVE_DIR/bench runs natively (Google Benchmark)
and, as SHIPPED_DIR/bench/NAME.exe, under Wine (the Windows build with the
harness of bench/harness). The two builds take turns, program by program, for
ROUNDS rounds (environment SPIRALUX_BENCH_ROUNDS, default 5), so that the
load of a shared machine falls on both alike; a case's figure is the median
of its rounds' wall-clock times, and its noise the median absolute deviation
of those times over their median. Prints every case with both times and the
ratio (Windows build under Wine / native: above 1 means the program users
run is slower) and writes the figures to RESULTS_JSON for the compare_*.py
scripts. When Wine cannot run the Windows programs, says why and measures
the native build alone.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys

MIN_TIME = "0.1"
SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def run(command):
    """{case: (seconds per iteration, {counter: value})} of one JSON run."""
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    cases = {}
    if not out.strip():  # Google Benchmark prints nothing when the filter matches no case
        return cases
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        counters = {k: v for k, v in b.items() if isinstance(v, (int, float)) and k not in (
            "real_time", "cpu_time", "iterations", "repetitions", "repetition_index", "threads",
            "family_index", "per_family_instance_index")}
        cases[b["name"]] = (b["real_time"] * SCALE[b["time_unit"]], counters)
    return cases


def wine_problem(wine, program):
    """None when Wine runs the program here, else what went wrong."""
    try:
        p = subprocess.run([wine, program, "--benchmark_list_tests"], capture_output=True, text=True,
                           timeout=300)
    except subprocess.TimeoutExpired:
        return "wine did not answer within 300 s"
    if p.returncode == 0:
        return None
    lines = (p.stderr or p.stdout).strip().splitlines()
    return "wine exited with %d: %s" % (p.returncode, lines[-1] if lines else "no message")


def measure(native_dir, shipped_dir, wine, flags, rounds, only=None):
    """Runs every program natively and, when shipped_dir is given, under
    Wine, in turns; returns {"native": {case: figure}, "shipped": {...},
    "order": [case, ...], "shipped_problem": text or None}, each figure a
    dict of seconds (median), noise and counters."""
    bench = os.path.join(native_dir, "bench")
    programs = sorted(p for p in os.listdir(bench)
                      if p.endswith("Bench") and os.access(os.path.join(bench, p), os.X_OK)
                      and (only is None or p in only))
    problem = None
    if shipped_dir:
        missing = [p for p in programs if not os.path.exists(os.path.join(shipped_dir, "bench", p + ".exe"))]
        if missing:
            problem = "not built: " + ", ".join(p + ".exe" for p in missing)
        else:
            problem = wine_problem(wine, os.path.join(shipped_dir, "bench", programs[0] + ".exe"))
    else:
        problem = "no Windows build given"
    samples = {"native": {}, "shipped": {}}
    counters = {"native": {}, "shipped": {}}
    order = []
    common = ["--benchmark_format=json", "--benchmark_min_time=" + MIN_TIME] + flags
    for r in range(rounds):
        print("round %d of %d" % (r + 1, rounds), file=sys.stderr, flush=True)
        for p in programs:
            builds = [("native", [os.path.join(bench, p)])]
            if problem is None:
                builds.append(("shipped", [wine, os.path.join(shipped_dir, "bench", p + ".exe")]))
            for build, command in builds:
                for case, (seconds, extra) in run(command + common).items():
                    if case not in order:
                        order.append(case)
                    samples[build].setdefault(case, []).append(seconds)
                    counters[build][case] = extra
    figures = {}
    for build in samples:
        figures[build] = {}
        for case, times in samples[build].items():
            median = statistics.median(times)
            noise = statistics.median(abs(t - median) for t in times) / median if median else 0.0
            figures[build][case] = {"seconds": median, "noise": noise, "rounds": len(times),
                                    "counters": counters[build][case]}
    return {"native": figures["native"], "shipped": figures["shipped"], "order": order,
            "shipped_problem": problem}


def load(path):
    with open(path) as f:
        return json.load(f)


def seconds(results, build, case):
    """Median seconds of a case in one build ("native" or "shipped"), or None."""
    figure = results[build].get(case)
    return figure["seconds"] if figure else None


def readable(s):
    """A time with a unit that keeps three or four digits."""
    if s is None:
        return "-"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if s >= scale:
            return "%.4g %s" % (s / scale, unit)
    return "%.4g ns" % (s / 1e-9)


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("native_dir")
    parser.add_argument("shipped_dir")
    parser.add_argument("results")
    parser.add_argument("--label", default="i686 under Wine")
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--programs")
    args, flags = parser.parse_known_args()
    rounds = int(os.environ.get("SPIRALUX_BENCH_ROUNDS", "5"))
    only = set(args.programs.split(",")) if args.programs else None
    results = measure(args.native_dir, args.shipped_dir, args.wine, flags, rounds, only)
    results["shipped_label"] = args.label
    with open(args.results, "w") as f:
        json.dump(results, f, indent=1)
    if results["shipped_problem"]:
        print("%s: NOT MEASURED (%s)" % (args.label, results["shipped_problem"]))
    print("wall-clock medians of %d rounds; noise = median absolute deviation / median" % rounds)
    print("%-44s %12s %6s %18s %6s %7s" % ("case", "native", "noise", args.label, "noise", "ratio"))
    for case in results["order"]:
        n = results["native"].get(case)
        s = results["shipped"].get(case)
        print("%-44s %12s %5.0f%% %18s %6s %7s" % (
            case, readable(n["seconds"] if n else None), 100 * n["noise"] if n else 0,
            readable(s["seconds"] if s else None), "%.0f%%" % (100 * s["noise"]) if s else "-",
            "%.2f" % (s["seconds"] / n["seconds"]) if n and s else "-"))


if __name__ == "__main__":
    main()
