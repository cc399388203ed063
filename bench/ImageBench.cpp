// Benchmarks of the image core on the photo-like pictures of Picture.h:
// ImgQuantize by method, the diffusion mapping alone, the depth conversions,
// and a plain copy of the same bytes as the yardstick of the converters.
//
//   ImageBench [Google Benchmark flags]          runs the benchmarks
//   ImageBench --picture WIDTH HEIGHT FILE.ppm   writes a picture (for the
//                                                side-by-side script)
//   ImageBench --tier                            prints the tier of loops
//                                                that runs (Cpu.h)
//   ImageBench --tiers                           prints the processor's
//                                                tiers, the highest first
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Picture.h"
#include "image/Convert.h"
#include "image/Cpu.h"
#include "image/MappingInternal.h"
#include "image/Quantize.h"

namespace {

const int32_t sizes[][2] = {{160, 120}, {640, 480}, {1920, 1080}};

struct Held : ImageBuffer {
  Held() { ImgInit(*this); }
  ~Held() { ImgFree(*this); }
};

void SizeArgs(benchmark::internal::Benchmark* b) {
  for (auto& s : sizes) b->Args({s[0], s[1]});
}

void Quantize(benchmark::State& state, int32_t method) {
  Held picture, source, target;
  picture::Make(picture, int32_t(state.range(0)), int32_t(state.range(1)));
  ImgCopy(picture, source);
  for (auto _ : state) {
    if (method == QuantMethodDiffuse) {
      // Diffusion writes into its source: start each run from the picture.
      state.PauseTiming();
      std::memcpy(source.Pixels, picture.Pixels, size_t(picture.Size));
      state.ResumeTiming();
    }
    ImgQuantize(source, target, method);
    benchmark::DoNotOptimize(target.Pixels);
  }
  state.SetItemsProcessed(state.iterations() * picture.Width * picture.Height);
}

void BM_QuantizeNearest(benchmark::State& state) { Quantize(state, QuantMethodNearest); }
void BM_QuantizeOrdered(benchmark::State& state) { Quantize(state, QuantMethodOrdered); }
void BM_QuantizeDiffuse(benchmark::State& state) { Quantize(state, QuantMethodDiffuse); }
BENCHMARK(BM_QuantizeNearest)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QuantizeOrdered)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QuantizeDiffuse)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);

// The diffusion mapping alone (QuantMap), on a palette built outside the
// timing: each run starts from the picture and from the cells as QuantBuild
// leaves them, since the mapping fills the cells it meets.
void BM_MapDiffuse(benchmark::State& state) {
  Held picture, source, target;
  picture::Make(picture, int32_t(state.range(0)), int32_t(state.range(1)));
  ImgCopy(picture, source);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(source.Pixels, picture.Pixels, size_t(picture.Size));
    QuantPrepare();
    QuantCount(source);
    QuantBuild(256);
    state.ResumeTiming();
    QuantMap(source, target, QuantMethodDiffuse);
    benchmark::DoNotOptimize(target.Pixels);
  }
  QuantRelease();
  state.SetItemsProcessed(state.iterations() * picture.Width * picture.Height);
}
BENCHMARK(BM_MapDiffuse)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);

// A source of the given depth made from the picture.
void Source(Held& source, int32_t width, int32_t height, int32_t bits) {
  picture::Make(source, width, height);
  if (bits != 24) ImgConvert(source, source, bits);
}

void Convert(benchmark::State& state, int32_t from, int32_t to, int32_t method) {
  Held source, target;
  Source(source, int32_t(state.range(0)), int32_t(state.range(1)), from);
  ImgConvert(source, target, to, method);
  for (auto _ : state) {
    ImgConvert(source, target, to, method);
    benchmark::DoNotOptimize(target.Pixels);
  }
  state.SetBytesProcessed(state.iterations() * int64_t(std::max(source.Size, target.Size)));
}

void BM_Convert24To16(benchmark::State& state) { Convert(state, 24, 16, ConvNearest); }
void BM_Convert16To24(benchmark::State& state) { Convert(state, 16, 24, ConvNearest); }
void BM_Convert24To32(benchmark::State& state) { Convert(state, 24, 32, ConvNearest); }
void BM_Convert24To8Grey(benchmark::State& state) { Convert(state, 24, 8, ConvGrey); }
void BM_Convert8To24(benchmark::State& state) { Convert(state, 8, 24, ConvNearest); }
BENCHMARK(BM_Convert24To16)->Apply(SizeArgs);
BENCHMARK(BM_Convert16To24)->Apply(SizeArgs);
BENCHMARK(BM_Convert24To32)->Apply(SizeArgs);
BENCHMARK(BM_Convert24To8Grey)->Apply(SizeArgs);
BENCHMARK(BM_Convert8To24)->Apply(SizeArgs);

// The yardstick: memcpy of as many bytes as the larger side of a conversion
// (range 2: bytes per pixel).
void BM_CopyBytes(benchmark::State& state) {
  size_t n = size_t(state.range(0)) * size_t(state.range(1)) * size_t(state.range(2));
  std::vector<uint8_t> a(n, 1), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(n));
}
BENCHMARK(BM_CopyBytes)->ArgsProduct({{160, 640, 1920}, {120, 480, 1080}, {3, 4}});

bool WritePicture(int32_t width, int32_t height, const char* file) {
  Held image;
  picture::Make(image, width, height);
  std::FILE* f = std::fopen(file, "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  std::vector<uint8_t> row(size_t(width) * 3);
  bool ok = true;
  for (int32_t y = 0; y < height && ok; ++y) {
    const uint8_t* p = image.Pixels + size_t(y) * width * 3;
    for (int32_t x = 0; x < width; ++x) {  // PPM is red, green, blue
      row[3 * x] = p[3 * x + 2];
      row[3 * x + 1] = p[3 * x + 1];
      row[3 * x + 2] = p[3 * x];
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--picture") == 0)
    return WritePicture(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]) ? 0 : 1;
  if (argc == 2 && std::strcmp(argv[1], "--tier") == 0) return std::printf("%s\n", CpuTierName(CpuStartTier())) < 0;
  if (argc == 2 && std::strcmp(argv[1], "--tiers") == 0) {
    for (int32_t t = int32_t(CpuTierOf(CpuHas())); t >= 0; --t) std::printf("%s\n", CpuTierName(CpuTier(t)));
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
