"""Side by side: ImgScale against Pillow's resize (BOX for reductions,
BILINEAR for enlargements) and UnpackPixels against zlib's inflate, on the
same spiral pictures in the same run. Prints each pair and the ratios
(peer time / our time: above 1 means ours is faster), for our native build
and for the Windows build under Wine (the medians that side_by_side.py wrote).

Usage: compare_scale.py BENCH_BUILD_DIR RESULTS_JSON
"""
import os
import subprocess
import sys
import tempfile
import timeit
import zlib

from PIL import Image

import side_by_side

if len(sys.argv) != 3:
    sys.exit(__doc__)
build = sys.argv[1]
results = side_by_side.load(sys.argv[2])
generator = os.path.join(build, "assets", "spiral_picture")

SCALES = [  # (source, target), as named in ScaleBench
    ((160, 120), (152, 112)),
    ((1920, 1080), (1280, 720)),
    ((1920, 1080), (640, 360)),
    ((1920, 1080), (152, 112)),
    ((160, 120), (1920, 1080)),
    ((640, 480), (1920, 1440)),
]


def ours(case):
    """Median seconds of a case, native and under Wine (None where not measured)."""
    return (side_by_side.seconds(results, "native", case), side_by_side.seconds(results, "shipped", case))


def best_seconds(call, min_total=0.3):
    timer = timeit.Timer(call)
    number, elapsed = timer.autorange()
    rounds = max(3, int(min_total / max(elapsed, 1e-9)))
    return min(timer.repeat(repeat=rounds, number=number)) / number


def picture(folder, size):
    path = os.path.join(folder, "%dx%d.ppm" % size)
    if not os.path.exists(path):
        subprocess.run([generator, "ppm", str(size[0]), str(size[1]), path], check=True)
    return Image.open(path).convert("RGB")


def main():
    def us(s):
        return "%.1f" % (s * 1e6) if s is not None else "-"

    def ratio(peer, mine):
        return "%.2f" % (peer / mine) if mine is not None else "-"

    shipped = results["shipped_label"]
    with tempfile.TemporaryDirectory() as folder:
        print("%-28s %10s %16s %10s %8s %8s" % ("case", "native us", shipped + " us", "peer us",
                                                "ratio", "ratio"))
        print("%-28s %10s %16s %10s %8s %8s" % ("", "", "", "", "native", "Wine"))
        for src, dst in SCALES:
            name = "Scale/%dx%d_to_%dx%d" % (src + dst)
            mine = ours(name)
            if mine[0] is None:
                continue
            image = picture(folder, src)
            enlarge = dst[0] >= src[0]
            method = Image.BILINEAR if enlarge else Image.BOX
            peer = best_seconds(lambda: image.resize(dst, method))
            label = "%s %s" % (name[6:], "BILINEAR" if enlarge else "BOX")
            print("%-28s %10s %16s %10s %8s %8s" % (label, us(mine[0]), us(mine[1]), us(peer),
                                                    ratio(peer, mine[0]), ratio(peer, mine[1])))

        unpack = ours("Unpack/1920x1080")
        if unpack[0] is None:
            return
        raw = picture(folder, (1920, 1080)).tobytes()
        packed = zlib.compress(raw, 6)
        peer = best_seconds(lambda: zlib.decompress(packed))
        print("%-28s %10s %16s %10s %8s %8s" % ("1920x1080 unpack", us(unpack[0]), us(unpack[1]),
                                                us(peer) + " zlib", ratio(peer, unpack[0]),
                                                ratio(peer, unpack[1])))
        packed_ratio = results["native"]["Unpack/1920x1080"]["counters"]["packed_ratio"]
        print("packed size / raw size: ours %.3f, zlib level 6 %.3f" % (packed_ratio, len(packed) / len(raw)))


if __name__ == "__main__":
    main()
