// MappingAvx512: the AVX-512 helpers of the nearest mapping and the ordered
// dither (MapNearestAvx512.cpp, MapOrderedAvx512.cpp).
//
// With AVX-512 and its byte permutes, the nearest mapping and the ordered
// dither, whose pixels do not wait on each other, go sixteen pixels at a
// time: the components spread to 32-bit lanes, the cells computed in the
// lanes, their indices gathered.
#pragma once

#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"

CPU_AVX512_BEGIN

// The blue, green and red of sixteen pixels of Step bytes from the 64 bytes
// at p, each in the low byte of its lane.
template <int Step>
CPU_AVX512_VBMI_INLINE void SpreadPixels(const uint8_t* p, __m512i& b, __m512i& g, __m512i& r) {
  static const struct Spread {
    alignas(64) uint8_t Index[3][64];
    Spread() : Index{} {
      for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 16; ++j) Index[c][4 * j] = uint8_t(Step * j + c);
    }
  } spread;
  const __mmask64 lowBytes = 0x1111111111111111ull;
  const __m512i bytes = _mm512_loadu_si512(p);
  b = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[0]), bytes);
  g = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[1]), bytes);
  r = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[2]), bytes);
}

CPU_AVX512_VBMI_INLINE __m512i CellsOf(__m512i b, __m512i g, __m512i r) {
  return _mm512_or_si512(_mm512_srli_epi32(r, 2),
                         _mm512_or_si512(_mm512_slli_epi32(_mm512_srli_epi32(g, 2), 6),
                                         _mm512_slli_epi32(_mm512_srli_epi32(b, 2), 12)));
}

// The bytes of sixteen cells of a byte cube, by gathering the aligned words
// that hold them: no read passes the cube's end.
CPU_AVX512_VBMI_INLINE __m512i GatherBytes(__m512i cells, const uint8_t* cube) {
  const __m512i words = _mm512_i32gather_epi32(_mm512_andnot_si512(_mm512_set1_epi32(3), cells), cube, 1);
  return _mm512_and_si512(_mm512_srlv_epi32(words, _mm512_slli_epi32(_mm512_and_si512(cells, _mm512_set1_epi32(3)), 3)),
                          _mm512_set1_epi32(255));
}

CPU_AVX512_END
