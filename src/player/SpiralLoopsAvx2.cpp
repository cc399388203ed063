// The player's loops for AVX2 (SpiralLoops.h): sixteen design entries at a
// time in 16-bit lanes.
#include <immintrin.h>

#include "image/Cpu.h"
#include "player/SpiralLoops.h"

namespace {

CPU_AVX2_INLINE __m256i Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// One channel's bytes in 16-bit lanes, as in SpiralLoopsSse2.cpp.
CPU_AVX2_INLINE __m256i Channel(__m256i rest, __m256i wa, __m256i wg, __m256i a, __m256i g) {
  const __m256i parts = _mm256_add_epi16(_mm256_mulhi_epu16(wa, a), _mm256_mulhi_epu16(wg, g));
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(rest, _mm256_set1_epi16(128)), parts), 8);
}

CPU_AVX2 void ColoursAvx2(const uint16_t* row, const uint8_t* inks, int32_t count, uint32_t* out) {
  __m256i ink[6];
  for (int32_t k = 0; k < 6; ++k) ink[k] = _mm256_set1_epi16(int16_t(inks[k] << 8));
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i wa = Load(row + 3 * SpiralRowEntries + i), wg = Load(row + 4 * SpiralRowEntries + i);
    const __m256i b = Channel(Load(row + i), wa, wg, ink[0], ink[3]);
    const __m256i g = Channel(Load(row + SpiralRowEntries + i), wa, wg, ink[1], ink[4]);
    const __m256i r = Channel(Load(row + 2 * SpiralRowEntries + i), wa, wg, ink[2], ink[5]);
    const __m256i bg = _mm256_or_si256(b, _mm256_slli_epi16(g, 8));
    // The unpacks work within each half: entries 0-3 and 8-11, 4-7 and 12-15.
    const __m256i lo = _mm256_unpacklo_epi16(bg, r), hi = _mm256_unpackhi_epi16(bg, r);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
  }
  SpiralColoursPlain(row + i, inks, count - i, out + i);
}

CPU_AVX2 void ReversedAvx2(const uint32_t* in, int32_t count, uint32_t* out) {
  const __m256i backwards = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out - i - 7), _mm256_permutevar8x32_epi32(v, backwards));
  }
  SpiralReversedPlain(in + i, count - i, out - i);
}

// Thirty-two bytes backwards: the bytes within each half, then the halves.
CPU_AVX2 void Reversed8Avx2(const uint8_t* in, int32_t count, uint8_t* out) {
  const __m256i backwards = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11,
                                             10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  int32_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i v = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)), backwards);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out - i - 31), _mm256_permute4x64_epi64(v, 0x4E));
  }
  SpiralReversed8Plain(in + i, count - i, out - i);
}

}  // namespace

const SpiralLoops SpiralLoopsAvx2 = {ColoursAvx2, ReversedAvx2, Reversed8Avx2, SpiralIndicesSse2};
