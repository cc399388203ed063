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

// The byte permutes that spread sixteen pixels of Step bytes: for each
// component, the place of each pixel's byte in the low byte of its lane.
// Made at compile time, so that a loop that spreads pixels has no guard of
// a static to test and can keep the permutes in registers.
struct SpreadIndex {
  alignas(64) uint8_t Index[3][64];
};
template <int Step>
constexpr SpreadIndex SpreadIndexOf() {
  SpreadIndex s{};
  for (int c = 0; c < 3; ++c)
    for (int j = 0; j < 16; ++j) s.Index[c][4 * j] = uint8_t(Step * j + c);
  return s;
}
template <int Step>
inline constexpr SpreadIndex Spread = SpreadIndexOf<Step>();

// The blue, green and red of sixteen pixels of Step bytes from the 64 bytes
// at p, each in the low byte of its lane. The other bytes are cleared by an
// and, not by a 64-bit byte mask, which the 32-bit build would make anew
// through memory at every use.
template <int Step>
CPU_AVX512_VBMI_INLINE void SpreadPixels(const uint8_t* p, __m512i& b, __m512i& g, __m512i& r) {
  const __m512i bytes = _mm512_loadu_si512(p), low = _mm512_set1_epi32(255);
  b = _mm512_and_si512(_mm512_permutexvar_epi8(_mm512_load_si512(Spread<Step>.Index[0]), bytes), low);
  g = _mm512_and_si512(_mm512_permutexvar_epi8(_mm512_load_si512(Spread<Step>.Index[1]), bytes), low);
  r = _mm512_and_si512(_mm512_permutexvar_epi8(_mm512_load_si512(Spread<Step>.Index[2]), bytes), low);
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
