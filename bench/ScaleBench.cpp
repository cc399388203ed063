// ImgScale on the spiral picture at the named sizes: the preview, reductions
// of full HD, enlargements to it and beyond. bench/compare_scale.py runs
// Pillow on the same pictures and prints the ratios.
#include <benchmark/benchmark.h>

#include "assets/SpiralPicture.h"
#include "image/ImageBuffer.h"
#include "image/Scale.h"

namespace {

void Scale(benchmark::State& state, int32_t w, int32_t h, int32_t nw, int32_t nh) {
  ImageBuffer src, dst;
  ImgInit(src);
  ImgInit(dst);
  MakeSpiralPicture(src, w, h);
  for (auto _ : state) {
    ImgScale(src, dst, nw, nh);
    benchmark::DoNotOptimize(dst.Pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(w) * h + int64_t(nw) * nh) * 3);
  ImgFree(src);
  ImgFree(dst);
}

}  // namespace

BENCHMARK_CAPTURE(Scale, 160x120_to_152x112, 160, 120, 152, 112)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Scale, 1920x1080_to_1280x720, 1920, 1080, 1280, 720)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Scale, 1920x1080_to_640x360, 1920, 1080, 640, 360)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Scale, 1920x1080_to_152x112, 1920, 1080, 152, 112)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Scale, 160x120_to_1920x1080, 160, 120, 1920, 1080)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Scale, 640x480_to_1920x1440, 640, 480, 1920, 1440)->Unit(benchmark::kMicrosecond);
