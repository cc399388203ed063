// The AVX2 loop of the palette optimiser's nearest-entry search
// (Kernels.h): outward from the query's green through the entries ordered
// by green (QuantizeInternal.h: QuantGreenPlanes), eight at a time.
#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"

// The helpers are inlined into the search: the compiler's note that an AVX
// value passed without AVX enabled would change the ABI does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// The least of the eight lanes, in every lane.
CPU_AVX2_INLINE __m256i LeastOfLanes(__m256i v) {
  v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  return _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
}

CPU_AVX2_INLINE __m256i Load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// Each lane keeps the least distance it has seen (best) and the entry that
// gave it (found); a later entry replaces it when nearer, or as near with a
// lower index. The distances less the query's term lie within -2^30..2^30.
CPU_AVX2_INLINE void NearestOfBlock(const QuantGreenPlanes& planes, int32_t place, __m256i rg, __m256i b,
                                    __m256i& best, __m256i& found) {
  const __m256i d = _mm256_sub_epi32(
      _mm256_sub_epi32(Load(planes.Square + place), _mm256_madd_epi16(Load(planes.RedGreen + place), rg)),
      _mm256_madd_epi16(Load(planes.Blue + place), b));
  const __m256i index = Load(planes.Index + place);
  const __m256i nearer = _mm256_or_si256(
      _mm256_cmpgt_epi32(best, d), _mm256_and_si256(_mm256_cmpeq_epi32(best, d), _mm256_cmpgt_epi32(found, index)));
  best = _mm256_blendv_epi8(best, d, nearer);
  found = _mm256_blendv_epi8(found, index, nearer);
}

}  // namespace

// Blocks of eight places upward from the first entry of the query's green
// or above, and downward from the one before, alternately; a direction stops
// at a block whose nearest green already costs more than the best distance,
// since every entry after it costs more still. The entries that can tie are
// all seen, and the least index among the nearest wins.
CPU_AVX2 int32_t QuantNearestAvx2(int32_t red, int32_t green, int32_t blue, const QuantArea& a) {
  const QuantGreenPlanes& planes = a.GreenPlanes;
  const int32_t count = a.TargetColours;
  const int32_t own = 900 * red * red + 3481 * green * green + 121 * blue * blue;
  const QuantQuery query(red, green, blue);
  const __m256i rg = _mm256_set1_epi32(query.RedGreen), b = _mm256_set1_epi32(query.Blue);
  __m256i best = _mm256_set1_epi32(1 << 30), found = _mm256_set1_epi32(INT32_MAX);
  int32_t up = QuantPad + planes.Start[green >> 2], down = up;
  bool upward = up < QuantPad + count, downward = down > QuantPad;
  while (upward || downward) {
    const int32_t bound = _mm256_cvtsi256_si32(LeastOfLanes(best)) + own;
    if (upward) {
      const int32_t dg = planes.Level[up] - green;
      upward = 3481 * dg * dg <= bound;
      if (upward) {
        NearestOfBlock(planes, up, rg, b, best, found);
        up += 8;
        upward = up < QuantPad + count;
      }
    }
    if (downward) {
      const int32_t dg = planes.Level[down - 1] - green;
      downward = 3481 * dg * dg <= bound;
      if (downward) {
        down -= 8;
        NearestOfBlock(planes, down, rg, b, best, found);
        downward = down > QuantPad;
      }
    }
  }
  const __m256i holders = _mm256_cmpeq_epi32(best, LeastOfLanes(best));
  return _mm256_cvtsi256_si32(LeastOfLanes(_mm256_blendv_epi8(_mm256_set1_epi32(INT32_MAX), found, holders)));
}
