// The AVX2 loop of the nearest mapping (Kernels.h, MappingAvx2.h).
#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/MappingAvx2.h"

namespace {

// The nearest mapping of count pixels, eight at a time while the 32-byte
// load stays inside the block; returns the pixels done. Every cell was
// counted: the byte copy (bytes) or the cells themselves hold its index.
template <int Step>
CPU_AVX2 int32_t NearestRun(const uint8_t* src, int32_t count, uint8_t* out, const uint8_t* bytes,
                            const int32_t* cells) {
  // Pixel i + 32 / Step, rounded up, is the first that the load at pixel i
  // does not reach: the bound in pixels, so that the test is one of 32 bits.
  int32_t i = 0;
  for (const int32_t last = count - (32 + Step - 1) / Step; i <= last; i += 8) {
    const __m256i cell = CellsOfWords(PixelWords<Step>(src + size_t(i) * Step));
    const __m256i k = bytes ? GatherBytes(cell, bytes) : _mm256_i32gather_epi32(cells, cell, 4);
    StoreLowBytes(out + i, k);
  }
  return i;
}

}  // namespace

void MapNearestAvx2(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                    const int32_t* cells) {
  const int32_t done =
      step == 3 ? NearestRun<3>(src, count, out, bytes, cells) : NearestRun<4>(src, count, out, bytes, cells);
  MapNearestPlain(src + size_t(done) * step, count - done, step, out + done, bytes, cells);
}
