// The player's frames drawn natively at the named sizes, 32-bit and 8-bit,
// on one thread and shared with the scene's worker threads (the player's
// default): the peer of bench/PlayerWineBenchWin32.cpp, which times the
// same frames drawn and put on the screen by the Windows program under Wine
// (bench/player_wine.sh runs both). Time is wall-clock time; on one thread
// it is also the processor time of a frame.
#include <benchmark/benchmark.h>

#include <vector>

#include "player/Spiral.h"

namespace {

void Frame(benchmark::State& state, int32_t w, int32_t h, bool indexed, bool shared) {
  SpiralScene scene;
  SpiralSetUp(scene, w, h, SpiralScreenPlacement(w, h));
  if (!shared) SpiralSetWorkers(scene, 0);
  SpiralPalette palette;
  if (indexed) SpiralBuildPalette(palette, 236);
  const int32_t stride = indexed ? (w + 3) & ~3 : w * 4;
  std::vector<uint8_t> pixels(size_t(stride) * h);
  int64_t frame = 0;
  for (auto _ : state) {
    double seconds = double(frame++) * SpiralSecondsPerFrame;
    if (indexed)
      SpiralRender8(scene, palette, seconds, pixels.data(), stride);
    else
      SpiralRender32(scene, seconds, pixels.data(), stride);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
  state.counters["threads"] = double(SpiralWorkers(scene) + 1);
}

}  // namespace

BENCHMARK_CAPTURE(Frame, 32bit_640x480, 640, 480, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_1920x1080_one_thread, 1920, 1080, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_1920x1080_shared, 1920, 1080, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_3840x2160_one_thread, 3840, 2160, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_3840x2160_shared, 3840, 2160, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_1920x1080_one_thread, 1920, 1080, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_1920x1080_shared, 1920, 1080, true, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_3840x2160_one_thread, 3840, 2160, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_3840x2160_shared, 3840, 2160, true, true)->Unit(benchmark::kMillisecond);
