// The AVX-512 loop of the nearest mapping (Kernels.h, MappingAvx512.h).
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/MappingAvx512.h"

namespace {

CPU_AVX512_BEGIN

// The nearest mapping of count pixels, sixteen at a time while the 64-byte
// load stays inside the block; returns the pixels done. Every cell was
// counted: the byte copy (bytes) or the cells themselves hold its index.
template <int Step>
CPU_AVX512_VBMI int32_t NearestRun(const uint8_t* src, int32_t count, uint8_t* out, const uint8_t* bytes,
                                  const int32_t* cells) {
  // Pixel i + 64 / Step, rounded up, is the first that the load at pixel i
  // does not reach: the bound in pixels, so that the test is one of 32 bits.
  int32_t i = 0;
  for (const int32_t last = count - (64 + Step - 1) / Step; i <= last; i += 16) {
    __m512i b, g, r;
    SpreadPixels<Step>(src + size_t(i) * Step, b, g, r);
    const __m512i cell = CellsOf(b, g, r);
    const __m512i k = bytes ? GatherBytes(cell, bytes) : _mm512_i32gather_epi32(cell, cells, 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm512_cvtepi32_epi8(k));
  }
  return i;
}

CPU_AVX512_END

}  // namespace

void MapNearestAvx512(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                      const int32_t* cells) {
  const int32_t done =
      step == 3 ? NearestRun<3>(src, count, out, bytes, cells) : NearestRun<4>(src, count, out, bytes, cells);
  MapNearestPlain(src + size_t(done) * step, count - done, step, out + done, bytes, cells);
}
