#!/usr/bin/python3
"""Side by side: the image core against Pillow on the same pictures, in one run.

Usage: compare_image.py BENCH_BUILD_DIR RESULTS_JSON
  (scripts/bench passes build/bench and the results that side_by_side.py
  wrote in the same run)

ImageBench --picture writes each benchmark picture (bench/Picture.h) as a PPM,
which Pillow loads; Pillow's operations are timed here (best of several runs),
ours are the medians in RESULTS_JSON, native and the Windows build under Wine. A ratio is
the peer's time over ours (above 1 means that ours is faster), for each of
our builds. Peers:
  quantize, method 0     Pillow quantize(256, FASTOCTREE) and (256, MEDIANCUT)
  quantize, method 2     Pillow quantize(palette=..., dither=FLOYDSTEINBERG), the
                         remap alone (ours includes building the palette)
  diffusion mapping      the same Pillow remap against our mapping alone on a
                         palette already built (BM_MapDiffuse)
  24 to 32, 24 to 8 grey convert("RGBA"), convert("L")
  16 to 24, 8 to 24      frombytes(... "raw", "BGR;16"), P convert("RGB")
  every converter        memcpy of as many bytes as the larger side (BM_CopyBytes),
                         in the same build as ours (the peer column shows the
                         native one)
"""
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageMath

import side_by_side

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


def to16(im):
    """The picture as 5-6-5 words, blue low, as Pillow's BGR;16 reads them."""
    r, g, b = im.split()
    low = ImageMath.eval("convert(((g >> 2) & 7) << 5 | (b >> 3), 'L')", g=g, b=b)
    high = ImageMath.eval("convert((r & 248) | (g >> 5), 'L')", r=r, g=g)
    return Image.merge("LA", (low, high)).tobytes()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    bench = os.path.join(sys.argv[1], "bench", "ImageBench")
    results = side_by_side.load(sys.argv[2])

    def ours(case):
        return (side_by_side.seconds(results, "native", case), side_by_side.seconds(results, "shipped", case))

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
                mine = ours("%s/%d/%d" % (name, w, h))
                if mine[0] is None:
                    continue
                theirs = best_time(fn)
                rows.append((label, size, mine, (theirs, theirs)))
            for name, bpp in [("BM_Convert24To16", 3), ("BM_Convert16To24", 3), ("BM_Convert24To32", 4),
                              ("BM_Convert24To8Grey", 3), ("BM_Convert8To24", 3)]:
                mine = ours("%s/%d/%d" % (name, w, h))
                copy = ours("BM_CopyBytes/%d/%d/%d" % (w, h, bpp))
                if mine[0] is not None and copy[0] is not None:
                    rows.append((name[3:] + " vs memcpy", size, mine, copy))
            print("picture %s: %d distinct colours" % (size, colours))
    shipped = results["shipped_label"]
    print("%-28s %-10s %10s %16s %10s %8s %8s" % ("operation", "size", "native ms", shipped + " ms",
                                                   "peer ms", "ratio", "ratio"))
    print("%-28s %-10s %10s %16s %10s %8s %8s" % ("", "", "", "", "", "native", "Wine"))

    def ms(s):
        return "%.3f" % (s * 1e3) if s is not None else "-"

    def ratio(peer, mine):
        return "%.2f" % (peer / mine) if peer is not None and mine is not None else "-"

    for label, size, mine, peer in rows:
        print("%-28s %-10s %10s %16s %10s %8s %8s" % (label, size, ms(mine[0]), ms(mine[1]), ms(peer[0]),
                                                       ratio(peer[0], mine[0]), ratio(peer[1], mine[1])))


if __name__ == "__main__":
    main()
