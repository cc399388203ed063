// The AVX-512 loop of the ordered dither (Kernels.h, MappingAvx512.h).
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/MappingAvx512.h"
#include "image/MappingInternal.h"

namespace {

CPU_AVX512_BEGIN

// The palette indices of sixteen cells from the dithers' byte copy. A lane
// that reads 255 (not known yet, or 255) is settled by the scalar lookup.
CPU_AVX512_VBMI_INLINE __m512i GatherCells(__m512i cells, DitherCells& look) {
  __m512i k = GatherBytes(cells, look.a.CellIndex);
  __mmask16 unknown = _mm512_cmpeq_epi32_mask(k, _mm512_set1_epi32(255));
  if (unknown) {
    alignas(64) int32_t cell[16], index[16];
    _mm512_store_si512(cell, cells);
    _mm512_store_si512(index, k);
    for (int32_t lane = 0; lane < 16; ++lane)
      if (unknown >> lane & 1) index[lane] = look.Slow(cell[lane]);
    k = _mm512_load_si512(index);
  }
  return k;
}

// pc + trunc((v - pc) x o / 255), clamped. |(v - pc) x o| is at most
// 255 x 510, where t = n + 1, t += t >> 8, t += t >> 16, t >> 8 is n / 255.
CPU_AVX512_VBMI_INLINE __m512i Towards(__m512i pc, __m512i v, __m512i o) {
  const __m512i n = _mm512_mullo_epi32(_mm512_sub_epi32(v, pc), o);
  __m512i t = _mm512_add_epi32(_mm512_abs_epi32(n), _mm512_set1_epi32(1));
  t = _mm512_add_epi32(t, _mm512_srli_epi32(t, 8));
  t = _mm512_srli_epi32(_mm512_add_epi32(t, _mm512_srli_epi32(t, 16)), 8);
  const __m512i q = _mm512_mask_sub_epi32(t, _mm512_cmplt_epi32_mask(n, _mm512_setzero_si512()), _mm512_setzero_si512(), t);
  return _mm512_min_epi32(_mm512_max_epi32(_mm512_add_epi32(pc, q), _mm512_setzero_si512()), _mm512_set1_epi32(255));
}

// The ordered dither of a row, sixteen pixels at a time from x = 0 while the
// 64-byte load of their bytes stays before end; returns the pixels done. The
// chunks start at multiples of 16, so their dither values are one run of the
// matrix row.
template <int Step>
CPU_AVX512_VBMI int32_t OrderedRun(const uint8_t* p, const uint8_t* end, int32_t width, const uint8_t* dither,
                                  const uint32_t* palette, DitherCells& look, uint8_t* out) {
  int32_t x = 0;
  for (; x + 16 <= width && p + Step * x + 64 <= end; x += 16) {
    __m512i b, g, r;
    SpreadPixels<Step>(p + Step * x, b, g, r);
    const __m512i k = GatherCells(CellsOf(b, g, r), look);
    const __m512i colour = _mm512_i32gather_epi32(k, palette, 4);
    const __m512i o = _mm512_slli_epi32(
        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dither + (x & 127)))), 1);
    const __m512i byte = _mm512_set1_epi32(255);
    const __m512i b2 = Towards(_mm512_and_si512(colour, byte), b, o);
    const __m512i g2 = Towards(_mm512_and_si512(_mm512_srli_epi32(colour, 8), byte), g, o);
    const __m512i r2 = Towards(_mm512_and_si512(_mm512_srli_epi32(colour, 16), byte), r, o);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm512_cvtepi32_epi8(GatherCells(CellsOf(b2, g2, r2), look)));
  }
  return x;
}

CPU_AVX512_END

}  // namespace

void OrderedRowAvx512(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work) {
  const int32_t x = work.step == 3 ? OrderedRun<3>(p, work.end, work.width, dither, work.palette, work.look, out)
                                   : OrderedRun<4>(p, work.end, work.width, dither, work.palette, work.look, out);
  OrderedPixelsFrom(x, p, dither, out, work);
}
