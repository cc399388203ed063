// The AVX-512 loop of the palette optimiser's nearest-entry search
// (Kernels.h): a scan of every entry's planes (QuantizeInternal.h:
// QuantPlanesOf).
#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"

CPU_AVX512_BEGIN

// Sixteen entries at a time: each lane keeps the least distance it has seen
// and the entry that gave it (a later entry replaces it only when nearer, so
// ties keep the lower index); then the least of the lanes, and among the
// lanes that hold it the lowest entry. The distances less the query's term
// lie within -2^30..2^29, so nothing overflows.
CPU_AVX512 int32_t QuantNearestAvx512(int32_t red, int32_t green, int32_t blue, const QuantArea& a) {
  const QuantPlanes& planes = a.Planes;
  const int32_t count = a.TargetColours;
  const __m512i r = _mm512_set1_epi32(red), g = _mm512_set1_epi32(green), b = _mm512_set1_epi32(blue);
  const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m512i best = _mm512_set1_epi32(INT32_MAX), found = _mm512_setzero_si512();
  for (int32_t i = 0; i < count; i += 16) {
    __m512i d = _mm512_sub_epi32(
        _mm512_sub_epi32(_mm512_loadu_si512(planes.Square + i), _mm512_mullo_epi32(_mm512_loadu_si512(planes.Red + i), r)),
        _mm512_add_epi32(_mm512_mullo_epi32(_mm512_loadu_si512(planes.Green + i), g),
                         _mm512_mullo_epi32(_mm512_loadu_si512(planes.Blue + i), b)));
    __mmask16 inside = count - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (count - i)) - 1);
    __mmask16 nearer = _mm512_mask_cmplt_epi32_mask(inside, d, best);
    best = _mm512_mask_mov_epi32(best, nearer, d);
    found = _mm512_mask_mov_epi32(found, nearer, _mm512_add_epi32(lanes, _mm512_set1_epi32(i)));
  }
  int32_t least = _mm512_reduce_min_epi32(best);
  return _mm512_mask_reduce_min_epi32(_mm512_cmpeq_epi32_mask(best, _mm512_set1_epi32(least)), found);
}

CPU_AVX512_END
