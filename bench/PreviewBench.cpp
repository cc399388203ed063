// The library work of one paint of the preview, from fresh records as a
// paint starts: the built-in picture loaded and scaled to the 152 x 112
// preview, and the same reduced to 8 bits with its palette (ImgQuantize,
// method 0), as a paint on a 256-colour display does.
#include <benchmark/benchmark.h>

#include "assets/BuiltInPicture.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Mapping.h"
#include "image/Quantize.h"
#include "image/Scale.h"

namespace {

constexpr int32_t PreviewWidth = 152, PreviewHeight = 112;

struct Held : ImageBuffer {
  Held() { ImgInit(*this); }
  ~Held() { ImgFree(*this); }
};

void BM_PreviewLoadScale(benchmark::State& state) {
  for (auto _ : state) {
    Held picture, preview;
    ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, picture);
    ImgScale(picture, preview, PreviewWidth, PreviewHeight);
    benchmark::DoNotOptimize(preview.Pixels);
  }
  state.SetItemsProcessed(state.iterations() * PreviewWidth * PreviewHeight);
}
BENCHMARK(BM_PreviewLoadScale)->Unit(benchmark::kMicrosecond);

void BM_PreviewLoadScaleQuantize(benchmark::State& state) {
  for (auto _ : state) {
    Held picture, preview, indexed;
    ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, picture);
    ImgScale(picture, preview, PreviewWidth, PreviewHeight);
    ImgQuantize(preview, indexed, QuantMethodNearest);
    benchmark::DoNotOptimize(indexed.Pixels);
  }
  state.SetItemsProcessed(state.iterations() * PreviewWidth * PreviewHeight);
}
BENCHMARK(BM_PreviewLoadScaleQuantize)->Unit(benchmark::kMicrosecond);

}  // namespace
