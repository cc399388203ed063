// The player's set-up, and its frames drawn natively at the named sizes,
// 32-bit and 8-bit, on the threads the player gives a frame of that size
// (the counter "threads"), and the 3840 x 2160 frames on one thread too: the
// peer of bench/PlayerWineBenchWin32.cpp, which times the same frames drawn
// and put on the screen by the Windows program under Wine
// (bench/player_wine.sh runs both). Time is wall-clock time; on one thread
// it is also the processor time of a frame. As in the player, each frame is
// drawn over the one before it (SpiralDraw::Changes), the first one whole.
// The paced cases draw a frame after each pause of the default frame delay,
// as the player does, and time the frames alone: what a frame costs once
// the time between frames has taken its data out of the caches.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "player/Spiral.h"

namespace {

void Frame(benchmark::State& state, int32_t w, int32_t h, bool indexed, bool oneThread, bool paced = false) {
  SpiralScene scene;
  SpiralSetUp(scene, w, h, SpiralScreenPlacement(w, h));
  if (oneThread) SpiralSetWorkers(scene, 0);
  SpiralPalette palette;
  if (indexed) SpiralBuildPalette(palette, 236);
  const int32_t stride = indexed ? (w + 3) & ~3 : w * 4;
  std::vector<uint8_t> pixels(size_t(stride) * h);
  int64_t frame = 0;
  for (auto _ : state) {
    if (paced) {
      state.PauseTiming();
      std::this_thread::sleep_for(std::chrono::milliseconds(17));
      state.ResumeTiming();
    }
    const SpiralDraw draw = frame == 0 ? SpiralDraw::Whole : SpiralDraw::Changes;
    double seconds = double(frame++) * SpiralSecondsPerFrame;
    if (indexed)
      SpiralRender8(scene, palette, seconds, pixels.data(), stride, draw);
    else
      SpiralRender32(scene, seconds, pixels.data(), stride, draw);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
  state.counters["threads"] = double(SpiralWorkers(scene) + 1);
}

// The set-up of a scene, on the calling thread: every pixel's cell, the
// rings' design rows, the tiles; what a player pays before its first frame.
void SetUp(benchmark::State& state, int32_t w, int32_t h) {
  for (auto _ : state) {
    SpiralScene scene;
    SpiralSetUp(scene, w, h, SpiralScreenPlacement(w, h));
    benchmark::DoNotOptimize(scene.Cells.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}

}  // namespace

BENCHMARK_CAPTURE(SetUp, 1920x1080, 1920, 1080)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SetUp, 3840x2160, 3840, 2160)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_640x480, 640, 480, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_1920x1080, 1920, 1080, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_1920x1080_paced, 1920, 1080, false, false, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);
BENCHMARK_CAPTURE(Frame, 32bit_3840x2160, 3840, 2160, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_3840x2160_one_thread, 3840, 2160, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_1920x1080, 1920, 1080, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 32bit_3840x2160_paced, 3840, 2160, false, false, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);
BENCHMARK_CAPTURE(Frame, 8bit_3840x2160, 3840, 2160, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, 8bit_3840x2160_one_thread, 3840, 2160, true, true)->Unit(benchmark::kMillisecond);
