// The AVX2 loop of the palette optimiser's nearest-entry search
// (Kernels.h): a scan of every entry's planes (QuantizeInternal.h:
// QuantPlanesOf).
#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// The least of the eight lanes, in every lane.
CPU_AVX2_INLINE __m256i LeastOfLanes(__m256i v) {
  v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  return _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
}

CPU_AVX2_INLINE __m256i Load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

}  // namespace

// Eight entries at a time: each lane keeps the least distance it has seen
// and the entry that gave it (a later entry replaces it only when nearer, so
// ties keep the lower index); then the least of the lanes, and among the
// lanes that hold it the lowest entry. The lanes past the entries read
// places of the planes that are not compared. The distances less the
// query's term lie within -2^30..2^29, so nothing overflows.
CPU_AVX2 int32_t QuantNearestAvx2(int32_t red, int32_t green, int32_t blue, const QuantArea& a) {
  const QuantPlanes& planes = a.Planes;
  const int32_t count = a.TargetColours;
  const __m256i r = _mm256_set1_epi32(red), g = _mm256_set1_epi32(green), b = _mm256_set1_epi32(blue);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i best = _mm256_set1_epi32(INT32_MAX), found = _mm256_setzero_si256();
  for (int32_t i = 0; i < count; i += 8) {
    const __m256i d = _mm256_sub_epi32(
        _mm256_sub_epi32(Load(planes.Square + i), _mm256_mullo_epi32(Load(planes.Red + i), r)),
        _mm256_add_epi32(_mm256_mullo_epi32(Load(planes.Green + i), g), _mm256_mullo_epi32(Load(planes.Blue + i), b)));
    const __m256i place = _mm256_add_epi32(lanes, _mm256_set1_epi32(i));
    const __m256i nearer = _mm256_and_si256(_mm256_cmpgt_epi32(best, d), _mm256_cmpgt_epi32(_mm256_set1_epi32(count), place));
    best = _mm256_blendv_epi8(best, d, nearer);
    found = _mm256_blendv_epi8(found, place, nearer);
  }
  const __m256i holders = _mm256_cmpeq_epi32(best, LeastOfLanes(best));
  return _mm256_cvtsi256_si32(LeastOfLanes(_mm256_blendv_epi8(_mm256_set1_epi32(INT32_MAX), found, holders)));
}
