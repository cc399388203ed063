// The AVX2 loop of the ordered dither (Kernels.h, MappingAvx2.h).
#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/MappingAvx2.h"
#include "image/MappingInternal.h"

namespace {

// The palette indices of eight cells from the dithers' byte copy. A lane
// that reads 255 (not known yet, or 255) is settled by the scalar lookup.
CPU_AVX2_INLINE __m256i GatherCells(__m256i cells, DitherCells& look) {
  __m256i k = GatherBytes(cells, look.a.CellIndex);
  const int unknown = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(k, _mm256_set1_epi32(255))));
  if (unknown) {
    alignas(32) int32_t cell[8], index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(cell), cells);
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), k);
    for (int32_t lane = 0; lane < 8; ++lane)
      if (unknown >> lane & 1) index[lane] = look.Slow(cell[lane]);
    k = _mm256_load_si256(reinterpret_cast<const __m256i*>(index));
  }
  return k;
}

// pc + trunc((v - pc) x o / 255), clamped. |(v - pc) x o| is at most
// 255 x 510, where t = n + 1, t += t >> 8, t += t >> 16, t >> 8 is n / 255;
// the sign of n is given back to the quotient (which is 0 where n is).
CPU_AVX2_INLINE __m256i Towards(__m256i pc, __m256i v, __m256i o) {
  const __m256i n = _mm256_mullo_epi32(_mm256_sub_epi32(v, pc), o);
  __m256i t = _mm256_add_epi32(_mm256_abs_epi32(n), _mm256_set1_epi32(1));
  t = _mm256_add_epi32(t, _mm256_srli_epi32(t, 8));
  t = _mm256_srli_epi32(_mm256_add_epi32(t, _mm256_srli_epi32(t, 16)), 8);
  const __m256i q = _mm256_sign_epi32(t, n);
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(pc, q), _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

CPU_AVX2_INLINE __m256i Channel(__m256i words, int shift) {
  return _mm256_and_si256(_mm256_srli_epi32(words, shift), _mm256_set1_epi32(255));
}

// The ordered dither of a row, eight pixels at a time from x = 0 while the
// 32-byte load of their bytes stays before end; returns the pixels done. The
// chunks start at multiples of 8, so their dither values are one run of the
// matrix row.
template <int Step>
CPU_AVX2 int32_t OrderedRun(const uint8_t* p, const uint8_t* end, int32_t width, const uint8_t* dither,
                            const uint32_t* palette, DitherCells& look, uint8_t* out) {
  int32_t x = 0;
  for (; x + 8 <= width && p + Step * x + 32 <= end; x += 8) {
    const __m256i words = PixelWords<Step>(p + Step * x);
    const __m256i k = GatherCells(CellsOfWords(words), look);
    const __m256i colour = _mm256_i32gather_epi32(reinterpret_cast<const int*>(palette), k, 4);
    const __m256i o = _mm256_slli_epi32(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dither + (x & 127)))), 1);
    const __m256i b = Towards(Channel(colour, 0), Channel(words, 0), o);
    const __m256i g = Towards(Channel(colour, 8), Channel(words, 8), o);
    const __m256i r = Towards(Channel(colour, 16), Channel(words, 16), o);
    const __m256i cells = _mm256_or_si256(_mm256_srli_epi32(r, 2),
                                          _mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(g, 2), 6),
                                                          _mm256_slli_epi32(_mm256_srli_epi32(b, 2), 12)));
    StoreLowBytes(out + x, GatherCells(cells, look));
  }
  return x;
}

}  // namespace

void OrderedRowAvx2(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work) {
  const int32_t x = work.step == 3 ? OrderedRun<3>(p, work.end, work.width, dither, work.palette, work.look, out)
                                   : OrderedRun<4>(p, work.end, work.width, dither, work.palette, work.look, out);
  OrderedPixelsFrom(x, p, dither, out, work);
}
