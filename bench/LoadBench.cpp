// Picture loading: UnpackPixels on the packed 1920 x 1080 spiral (bytes per
// second of output), and ImgLoadFromMemory of the built-in block.
// bench/compare_scale.py runs zlib's inflate on the same pixels.
#include <benchmark/benchmark.h>

#include "assets/BuiltInPicture.h"
#include "assets/SpiralPicture.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Pack.h"

namespace {

void Unpack(benchmark::State& state, int32_t w, int32_t h) {
  ImageBuffer picture, target;
  ImgInit(picture);
  ImgInit(target);
  MakeSpiralPicture(picture, w, h);
  ImgAlloc(target, w, h, 24);
  uint8_t* stream = nullptr;
  int32_t bytes = 0;
  PackPixels(picture.Pixels, nullptr, w, 3, h, stream, bytes);
  for (auto _ : state) {
    UnpackPixels(stream, bytes, target.Pixels, w, 3, h);
    benchmark::DoNotOptimize(target.Pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 3);
  state.counters["packed_ratio"] = double(bytes) / (double(w) * h * 3);
  MemFree(stream);
  ImgFree(picture);
  ImgFree(target);
}

void LoadBuiltIn(benchmark::State& state) {
  ImageBuffer image;
  ImgInit(image);
  for (auto _ : state) {
    ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, image);
    benchmark::DoNotOptimize(image.Pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 57600);
  ImgFree(image);
}

}  // namespace

BENCHMARK_CAPTURE(Unpack, 1920x1080, 1920, 1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadBuiltIn)->Unit(benchmark::kMicrosecond);
