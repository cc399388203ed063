// Fuzz target: ImgQuantize with every method on pictures of every depth and
// of sizes around the edges of the mapping loops, pixels from the input. The
// picture is quantised twice, with the vector loops and with the plain ones:
// both must give the same indices, palette and source afterwards. Checks
// that the target has the source's size, that the source is unchanged
// except by diffusion on 24 and 32 bits, and that nothing leaks.
//
// Input: width and height (8 bits each, 1 + value), a depth selector, a
// method selector, then bytes that seed the pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/Cpu.h"
#include "image/ImageBuffer.h"
#include "image/Mapping.h"
#include "runtime/Basic.h"

namespace {

struct Result {
  std::vector<uint8_t> indices, palette, source;
};

Result Quantize(const ImageBuffer& picture, int32_t method, bool vector) {
  CpuVectorLoopsForTests(vector);
  ImageBuffer source, target;
  ImgInit(source);
  ImgInit(target);
  ImgCopy(picture, source);
  ImgQuantize(source, target, method);
  CpuVectorLoopsForTests(true);
  if (target.BitsPerPixel != 8 || target.Width != picture.Width || target.Height != picture.Height) std::abort();
  const uint8_t* palette = &target.Palette[0].Blue;
  Result r{{target.Pixels, target.Pixels + target.Width * target.Height},
           {palette, palette + sizeof target.Palette},
           {source.Pixels, source.Pixels + source.Size}};
  ImgFree(source);
  ImgFree(target);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t w = 1 + data[0], h = 1 + data[1];
  const int32_t depths[] = {8, 15, 16, 24, 32};
  const int32_t bits = depths[data[2] % 5], method = data[3] % 4;  // 3 acts as 0
  ImageBuffer picture;
  ImgInit(picture);
  ImgAlloc(picture, w, h, bits);
  // The input's bytes, then smooth colours with a little noise from it, so
  // that both few and many colours are reached.
  uint32_t seed = 2166136261u;
  for (size_t i = 4; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  for (int32_t i = 0; i < picture.Size; ++i) {
    seed = seed * 1103515245u + 12345u;
    picture.Pixels[i] = i + 4 < int32_t(size) ? data[i + 4] : uint8_t(i * 7 / (w * picture.BytesPerPixel) + (seed >> 28));
  }
  for (int32_t i = 0; i < 256; ++i) picture.Palette[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)};

  const Result vector = Quantize(picture, method, true), plain = Quantize(picture, method, false);
  if (vector.indices != plain.indices || vector.palette != plain.palette || vector.source != plain.source)
    std::abort();
  const bool diffused = method == QuantMethodDiffuse && w >= 4 && h >= 4 && (bits == 24 || bits == 32);
  if (!diffused && std::memcmp(vector.source.data(), picture.Pixels, size_t(picture.Size)) != 0) std::abort();
  ImgFree(picture);
  if (MemCount() != 0) std::abort();
  return 0;
}
