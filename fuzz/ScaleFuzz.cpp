// Fuzz target: ImgScale on sizes within and just outside its limits, every
// source depth, pixels from the input. Checks the output's size and depth,
// that a call outside the limits is "Out of range.", that nothing leaks, and
// for small 24- and 32-bit pictures the exact bytes of the plain loops.
//
// Input: source width, height, target width, height (16 bits each,
// little-endian), a depth selector, then bytes that seed the pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ScaleTestReference.h"
#include "image/ImageBuffer.h"
#include "image/Scale.h"
#include "runtime/Errors.h"

namespace {

int32_t Size(const uint8_t* p) { return int32_t(p[0] | p[1] << 8) % (ScaleMostSize + 2); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  int32_t w = Size(data), h = Size(data + 2), nw = Size(data + 4), nh = Size(data + 6);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  int32_t bits = depths[data[8] % 5];
  // Keep each run short: the pixels in and out stay below a megabyte.
  if (w < 1 || h < 1 || int64_t(w) * h > (1 << 16) || int64_t(nw) * nh > (1 << 18)) return 0;

  ImageBuffer src, dst;
  ImgInit(src);
  ImgInit(dst);
  ImgAlloc(src, w, h, bits);
  uint32_t seed = 2166136261u;
  for (size_t i = 9; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  for (int32_t i = 0; i < src.Size; ++i) {
    seed = seed * 1103515245u + 12345u;
    src.Pixels[i] = i + 9 < int32_t(size) ? data[i + 9] : uint8_t(seed >> 16);
  }
  std::vector<uint8_t> before(src.Pixels, src.Pixels + src.Size);
  bool inLimits = nw >= 1 && nh >= 1 && nw <= ScaleMostSize && nh <= ScaleMostSize && w <= ScaleMostSize &&
                  h <= ScaleMostSize;
  try {
    ImgScale(src, dst, nw, nh);
    int32_t want = bits == 32 ? 32 : 24;
    if (!inLimits || dst.Width != nw || dst.Height != nh || dst.BitsPerPixel != want || !ImgHasPixels(dst))
      std::abort();
    if ((bits == 24 || bits == 32) && w <= 96 && h <= 96 && nw <= 96 && nh <= 96) {
      std::vector<uint8_t> plain = ref::Scale(before, w, h, bits / 8, nw, nh);
      if (std::memcmp(plain.data(), dst.Pixels, plain.size()) != 0) std::abort();
    }
  } catch (const EMon&) {
    // Out of the limits, or a vertical merge of more than 255 lines.
    if (!(LastError() == ErrorPair{4, 1}) || (inLimits && nh >= h)) std::abort();
  }
  ImgFree(src);
  ImgFree(dst);
  if (MemCount() != 0) std::abort();
  return 0;
}
