#!/usr/bin/python3
"""Side by side: the image core against Pillow on the same pictures, in one run.

Usage: compare_image.py BENCH_BUILD_DIR   (scripts/bench passes build/bench)

ImageBench --picture writes each benchmark picture (bench/Picture.h) as a PPM,
which Pillow loads; Pillow's operations are timed here (best of several runs),
ours are the Google Benchmark figures of the same program run now (median of
five repetitions). A ratio above 1 means that ours is faster. Peers:
  quantize, method 0     Pillow quantize(256, FASTOCTREE) and (256, MEDIANCUT)
  quantize, method 2     Pillow quantize(palette=..., dither=FLOYDSTEINBERG), the
                         remap alone (ours includes building the palette)
  diffusion mapping      the same Pillow remap against our mapping alone on a
                         palette already built (BM_MapDiffuse)
  24 to 32, 24 to 8 grey convert("RGBA"), convert("L")
  16 to 24, 8 to 24      frombytes(... "raw", "BGR;16"), P convert("RGB")
  every converter        memcpy of as many bytes as the larger side (BM_CopyBytes)
"""
import json
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageMath

SIZES = [(160, 120), (640, 480), (1920, 1080)]


def best_time(fn, budget=0.4, least=3):
    """Best wall time of fn in seconds over at least `least` runs."""
    fn()
    times = []
    start = time.perf_counter()
    while len(times) < least or time.perf_counter() - start < budget:
        t = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t)
        if len(times) >= 200:
            break
    return min(times)


def ours(bench):
    """Seconds per iteration of every ImageBench benchmark, by name: the
    median of five repetitions, since the machine is shared."""
    out = subprocess.run(
        [bench, "--benchmark_format=json", "--benchmark_min_time=0.1", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    return {b["run_name"]: b["real_time"] * scale[b["time_unit"]] for b in json.loads(out)["benchmarks"]
            if b.get("aggregate_name") == "median"}


def to16(im):
    """The picture as 5-6-5 words, blue low, as Pillow's BGR;16 reads them."""
    r, g, b = im.split()
    low = ImageMath.eval("convert(((g >> 2) & 7) << 5 | (b >> 3), 'L')", g=g, b=b)
    high = ImageMath.eval("convert((r & 248) | (g >> 5), 'L')", r=r, g=g)
    return Image.merge("LA", (low, high)).tobytes()


def main():
    bench = os.path.join(sys.argv[1] if len(sys.argv) > 1 else "build/bench", "bench", "ImageBench")
    ms = ours(bench)
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        for w, h in SIZES:
            path = os.path.join(tmp, "picture_%dx%d.ppm" % (w, h))
            subprocess.run([bench, "--picture", str(w), str(h), path], check=True)
            im = Image.open(path).convert("RGB")
            im.load()
            colours = len(im.getcolors(w * h))
            size = "%dx%d" % (w, h)
            palette = im.quantize(256, method=Image.Quantize.FASTOCTREE)
            indexed = palette.copy()
            data16 = to16(im)
            peers = [
                ("quantize m0 vs FASTOCTREE", "BM_QuantizeNearest",
                 lambda: im.quantize(256, method=Image.Quantize.FASTOCTREE)),
                ("quantize m0 vs MEDIANCUT", "BM_QuantizeNearest",
                 lambda: im.quantize(256, method=Image.Quantize.MEDIANCUT)),
                ("quantize m2 vs FS remap", "BM_QuantizeDiffuse",
                 lambda: im.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG)),
                ("diffusion map vs FS remap", "BM_MapDiffuse",
                 lambda: im.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG)),
                ("24 to 32 vs RGBA", "BM_Convert24To32", lambda: im.convert("RGBA")),
                ("24 to 8 grey vs L", "BM_Convert24To8Grey", lambda: im.convert("L")),
                ("16 to 24 vs BGR;16", "BM_Convert16To24",
                 lambda: Image.frombytes("RGB", (w, h), data16, "raw", "BGR;16")),
                ("8 to 24 vs P to RGB", "BM_Convert8To24", lambda: indexed.convert("RGB")),
            ]
            for label, name, fn in peers:
                mine = ms["%s/%d/%d" % (name, w, h)]
                theirs = best_time(fn)
                rows.append((label, size, mine, theirs, theirs / mine))
            copies = {3: ms["BM_CopyBytes/%d/%d/3" % (w, h)], 4: ms["BM_CopyBytes/%d/%d/4" % (w, h)]}
            for name, bpp in [("BM_Convert24To16", 3), ("BM_Convert16To24", 3), ("BM_Convert24To32", 4),
                              ("BM_Convert24To8Grey", 3), ("BM_Convert8To24", 3)]:
                mine = ms["%s/%d/%d" % (name, w, h)]
                rows.append((name[3:] + " vs memcpy", size, mine, copies[bpp], copies[bpp] / mine))
            print("picture %s: %d distinct colours" % (size, colours))
    print("%-28s %-10s %12s %12s %8s" % ("operation", "size", "ours ms", "peer ms", "ratio"))
    for label, size, mine, theirs, ratio in rows:
        print("%-28s %-10s %12.3f %12.3f %8.2f" % (label, size, mine * 1e3, theirs * 1e3, ratio))


if __name__ == "__main__":
    main()
