"""Side by side: ImgScale against Pillow's resize (BOX for reductions,
BILINEAR for enlargements) and UnpackPixels against zlib's inflate, on the
same spiral pictures in the same run. Prints each pair and the ratio
(peer time / our time: above 1 means ours is faster).

Usage: compare_scale.py BENCH_BUILD_DIR
"""
import json
import os
import subprocess
import sys
import tempfile
import timeit
import zlib

from PIL import Image

build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
generator = os.path.join(build, "assets", "spiral_picture")

SCALES = [  # (source, target), as named in ScaleBench
    ((160, 120), (152, 112)),
    ((1920, 1080), (1280, 720)),
    ((1920, 1080), (640, 360)),
    ((1920, 1080), (152, 112)),
    ((160, 120), (1920, 1080)),
    ((640, 480), (1920, 1440)),
]


def ours(program, filter_regex):
    out = subprocess.run(
        [os.path.join(build, "bench", program), "--benchmark_format=json",
         "--benchmark_min_time=0.3", "--benchmark_filter=" + filter_regex],
        check=True, capture_output=True, text=True).stdout
    return {b["name"]: b for b in json.loads(out)["benchmarks"]}


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
    with tempfile.TemporaryDirectory() as folder:
        scale = ours("ScaleBench", ".")
        load = ours("LoadBench", "Unpack")
        print("%-28s %12s %12s %8s" % ("case", "ours (us)", "peer (us)", "ratio"))
        for src, dst in SCALES:
            image = picture(folder, src)
            enlarge = dst[0] >= src[0]
            method = Image.BILINEAR if enlarge else Image.BOX
            peer = best_seconds(lambda: image.resize(dst, method)) * 1e6
            name = "Scale/%dx%d_to_%dx%d" % (src + dst)
            mine = scale[name]["real_time"]  # microseconds (the benchmark's unit)
            label = "%s %s" % (name[6:], "BILINEAR" if enlarge else "BOX")
            print("%-28s %12.1f %12.1f %8.2f" % (label, mine, peer, peer / mine))

        raw = picture(folder, (1920, 1080)).tobytes()
        packed = zlib.compress(raw, 6)
        peer = best_seconds(lambda: zlib.decompress(packed))
        unpack = load["Unpack/1920x1080"]
        mine_mb = unpack["bytes_per_second"] / 1e6
        peer_mb = len(raw) / peer / 1e6
        print("%-28s %12s %12s %8s" % ("1920x1080 unpack", "ours MB/s", "zlib MB/s", "ratio"))
        print("%-28s %12.0f %12.0f %8.2f" % ("", mine_mb, peer_mb, mine_mb / peer_mb))
        print("packed size / raw size: ours %.3f, zlib level 6 %.3f"
              % (unpack["packed_ratio"], len(packed) / len(raw)))


if __name__ == "__main__":
    main()
