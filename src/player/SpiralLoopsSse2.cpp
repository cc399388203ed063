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

// Sixteen bytes backwards: the dwords, the words within them, the bytes
// within those.
CPU_SSE2 void Reversed8Sse2(const uint8_t* in, int32_t count, uint8_t* out) {
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i v = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), 0x1B);
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out - i - 15), v);
  }
  SpiralReversed8Plain(in + i, count - i, out - i);
}

// The 15-bit colours of four colours 0x00RRGGBB.
CPU_SSE2_INLINE __m128i Keys(const uint32_t* colours) {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours));
  const __m128i red = _mm_and_si128(_mm_srli_epi32(c, 9), _mm_set1_epi32(0x7C00));
  const __m128i green = _mm_and_si128(_mm_srli_epi32(c, 6), _mm_set1_epi32(0x3E0));
  return _mm_or_si128(_mm_or_si128(red, green), _mm_and_si128(_mm_srli_epi32(c, 3), _mm_set1_epi32(0x1F)));
}

}  // namespace

// Eight colours' 15-bit colours at a time as words, each then looked up.
CPU_SSE2 void SpiralIndicesSse2(const uint32_t* colours, int32_t count, const uint8_t* index15, uint8_t* out) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i k = _mm_packs_epi32(Keys(colours + i), Keys(colours + i + 4));
    out[i] = index15[_mm_extract_epi16(k, 0)];
    out[i + 1] = index15[_mm_extract_epi16(k, 1)];
    out[i + 2] = index15[_mm_extract_epi16(k, 2)];
    out[i + 3] = index15[_mm_extract_epi16(k, 3)];
    out[i + 4] = index15[_mm_extract_epi16(k, 4)];
    out[i + 5] = index15[_mm_extract_epi16(k, 5)];
    out[i + 6] = index15[_mm_extract_epi16(k, 6)];
    out[i + 7] = index15[_mm_extract_epi16(k, 7)];
  }
  SpiralIndicesPlain(colours + i, count - i, index15, out + i);
}

const SpiralLoops SpiralLoopsSse2 = {SpiralCellsPlain, ColoursSse2, ReversedSse2, Reversed8Sse2, SpiralIndicesSse2};
