// The player's loops for SSE2 (SpiralLoops.h): eight design entries at a
// time in 16-bit lanes.
#include <emmintrin.h>

#include "image/Cpu.h"
#include "player/SpiralLoops.h"

namespace {

CPU_SSE2_INLINE __m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// One channel's bytes in 16-bit lanes: (rest + wa x ink a + wg x ink g, each
// part a multiply-high, + 128) >> 8.
CPU_SSE2_INLINE __m128i Channel(__m128i rest, __m128i wa, __m128i wg, __m128i a, __m128i g) {
  const __m128i parts = _mm_add_epi16(_mm_mulhi_epu16(wa, a), _mm_mulhi_epu16(wg, g));
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(rest, _mm_set1_epi16(128)), parts), 8);
}

CPU_SSE2 void ColoursSse2(const uint16_t* row, const uint8_t* inks, int32_t count, uint32_t* out) {
  __m128i ink[6];
  for (int32_t k = 0; k < 6; ++k) ink[k] = _mm_set1_epi16(int16_t(inks[k] << 8));
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i wa = Load(row + 3 * SpiralRowEntries + i), wg = Load(row + 4 * SpiralRowEntries + i);
    const __m128i b = Channel(Load(row + i), wa, wg, ink[0], ink[3]);
    const __m128i g = Channel(Load(row + SpiralRowEntries + i), wa, wg, ink[1], ink[4]);
    const __m128i r = Channel(Load(row + 2 * SpiralRowEntries + i), wa, wg, ink[2], ink[5]);
    const __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(bg, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(bg, r));
  }
  SpiralColoursPlain(row + i, inks, count - i, out + i);
}

CPU_SSE2 void ReversedSse2(const uint32_t* in, int32_t count, uint32_t* out) {
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out - i - 3), _mm_shuffle_epi32(v, 0x1B));
  }
  SpiralReversedPlain(in + i, count - i, out - i);
}

}  // namespace

const SpiralLoops SpiralLoopsSse2 = {ColoursSse2, ReversedSse2};
