// The AVX2 loop of the partition of a box's run when the palette optimiser
// cuts the box (Kernels.h: QuantKernels::Cut), four entries at a time.
#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"

namespace {

// For each set of the four entries that go to the front (bit j: entry j),
// the lanes that bring those entries to the front of a vector and those
// that bring the others to its back (an entry is two 32-bit lanes), and
// how many go to the front.
struct CutOrders {
  alignas(32) int32_t Front[16][8] = {};
  alignas(32) int32_t Back[16][8] = {};
  int32_t Fronts[16] = {};
  constexpr CutOrders() {
    for (int32_t bits = 0; bits < 16; ++bits) {
      int32_t front = 0, back = 4;
      for (int32_t j = 0; j < 4; ++j)
        if (bits >> j & 1) Front[bits][2 * front] = 2 * j, Front[bits][2 * front + 1] = 2 * j + 1, ++front;
      for (int32_t j = 3; j >= 0; --j)
        if (!(bits >> j & 1)) --back, Back[bits][2 * back] = 2 * j, Back[bits][2 * back + 1] = 2 * j + 1;
      Fronts[bits] = front;
    }
  }
};

constexpr CutOrders orders;

CPU_AVX2_INLINE __m256i Lanes(const int32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }

}  // namespace

// The state after i entries is that of the plain loop: the front's next
// place is lows, the back's last free place count - i + lows - 1. Each step
// stores four entries at both places, those of its side first; the others
// fall into the places still free between the two, which stay at least
// four wide while eight entries remain, and which later stores fill. The
// plain loop does the last entries in the places still free.
CPU_AVX2 int32_t QuantCutAvx2(const QuantEntry* from, int32_t count, uint32_t mask, uint32_t above,
                              QuantEntry* out) {
  // An entry is the 64-bit lane cell | value << 32: masked, its cell alone.
  const __m256i cells = _mm256_set1_epi64x(mask), limit = _mm256_set1_epi64x(above);
  int32_t lows = 0, i = 0;
  for (; count - i >= 8; i += 4) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
    const int32_t bits =
        _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpgt_epi64(limit, _mm256_and_si256(v, cells))));
    const __m256i front = _mm256_permutevar8x32_epi32(v, Lanes(orders.Front[bits]));
    const __m256i back = _mm256_permutevar8x32_epi32(v, Lanes(orders.Back[bits]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + lows), front);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + (count - i) + lows - 4), back);
    lows += orders.Fronts[bits];
  }
  return lows + QuantCutPlain(from + i, count - i, mask, above, out + lows);
}
