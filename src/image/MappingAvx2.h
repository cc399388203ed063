// MappingAvx2: the AVX2 helpers of the nearest mapping and the ordered
// dither (MapNearestAvx2.cpp, MapOrderedAvx2.cpp).
//
// With AVX2, the nearest mapping and the ordered dither, whose pixels do not
// wait on each other, go eight pixels at a time: each pixel as the word
// blue | green << 8 | red << 16 in a 32-bit lane, the cells computed in the
// lanes, their indices gathered.
#pragma once

#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"

// The vector helpers are inlined into the AVX2 loops; the compiler's note that
// an AVX value passed without AVX enabled would change the ABI does not
// apply to them.
#pragma GCC diagnostic ignored "-Wpsabi"

// Eight pixels of Step bytes from the 32 bytes at p, each as a word whose
// low three bytes are blue, green and red (the fourth byte means nothing).
template <int Step>
CPU_AVX2_INLINE __m256i PixelWords(const uint8_t* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  if (Step == 4) return bytes;
  // Pixels 0-3 are bytes 0-11, pixels 4-7 bytes 12-23: one half each, then
  // every pixel's three bytes into a lane of its own.
  const __m256i halves = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5));
  return _mm256_shuffle_epi8(halves, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2,
                                                      -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
}

// QuantCellOfWord in each lane.
CPU_AVX2_INLINE __m256i CellsOfWords(__m256i w) {
  return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(w, 18), _mm256_set1_epi32(0x3F)),
                         _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(w, 4), _mm256_set1_epi32(0xFC0)),
                                         _mm256_and_si256(_mm256_slli_epi32(w, 10), _mm256_set1_epi32(0x3F000))));
}

// The bytes of eight cells of a byte cube, by gathering the aligned words
// that hold them: no read passes the cube's end.
CPU_AVX2_INLINE __m256i GatherBytes(__m256i cells, const uint8_t* cube) {
  const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(cube),
                                               _mm256_andnot_si256(_mm256_set1_epi32(3), cells), 1);
  return _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_slli_epi32(_mm256_and_si256(cells, _mm256_set1_epi32(3)), 3)),
                          _mm256_set1_epi32(255));
}

// The low bytes of the eight lanes, in order, as eight bytes at out.
CPU_AVX2_INLINE void StoreLowBytes(uint8_t* out, __m256i v) {
  const __m256i low = _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                              0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m256i both = _mm256_permutevar8x32_epi32(low, _mm256_setr_epi32(0, 4, 1, 1, 1, 1, 1, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(both));
}
