// The player's loops for AVX2 (SpiralLoops.h): the cells of four pixels at
// a time in double lanes, and sixteen design entries at a time in 16-bit
// lanes.
#include <immintrin.h>

#include "image/Cpu.h"
#include "player/SpiralLoops.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

CPU_AVX2_INLINE __m256d Add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
CPU_AVX2_INLINE __m256d Sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
CPU_AVX2_INLINE __m256d Mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
CPU_AVX2_INLINE __m256d Set(double v) { return _mm256_set1_pd(v); }
CPU_AVX2_INLINE __m256d Less(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
// Rounding towards zero, as a conversion to an integer does.
constexpr int Whole = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;

// SpiralPointNear's series (assets/SpiralPicture.cpp) in the same order of
// operations: s times a polynomial of s^2 in the reciprocals of the odd
// numbers, their signs alternating for the arc tangent.
template <bool Alternating>
CPU_AVX2_INLINE __m256d Series(__m256d s) {
  constexpr double sign = Alternating ? -1.0 : 1.0;
  const __m256d z = Mul(s, s), z2 = Mul(z, z), z4 = Mul(z2, z2), z8 = Mul(z4, z4);
  const __m256d p0 = Add(Set(1.0), Mul(Set(sign / 3), z)), p1 = Add(Set(1.0 / 5), Mul(Set(sign / 7), z));
  const __m256d p2 = Add(Set(1.0 / 9), Mul(Set(sign / 11), z)), p3 = Add(Set(1.0 / 13), Mul(Set(sign / 15), z));
  const __m256d p4 = Add(Set(1.0 / 17), Mul(Set(sign / 19), z)), p5 = Add(Set(1.0 / 21), Mul(Set(sign / 23), z));
  const __m256d q0 = Add(p0, Mul(p1, z2)), q1 = Add(p2, Mul(p3, z2)), q2 = Add(p4, Mul(p5, z2));
  return Mul(s, Add(Add(q0, Mul(q1, z4)), Mul(q2, z8)));
}

// ln r for r > 0 normal: r = m 2^e with m in [0.5, 1) taken from its bits.
CPU_AVX2_INLINE __m256d Log(__m256d r) {
  const __m256i bits = _mm256_castpd_si256(r);
  const __m256i high =
      _mm256_permutevar8x32_epi32(_mm256_srli_epi64(bits, 52), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  const __m256d e = Sub(_mm256_cvtepi32_pd(_mm256_castsi256_si128(high)), Set(1022));
  const __m256i mantissa = _mm256_and_si256(bits, _mm256_set1_epi64x((int64_t(1) << 52) - 1));
  const __m256d m = _mm256_castsi256_pd(_mm256_or_si256(mantissa, _mm256_set1_epi64x(int64_t(1022) << 52)));
  const __m256d s = _mm256_div_pd(Sub(m, Set(1)), Add(m, Set(1)));
  return Add(Mul(e, Set(0.69314718055994531)), Mul(Set(2), Series<false>(s)));
}

// atan2(v, u), 0 where both are 0.
CPU_AVX2_INLINE __m256d ArcTan2(__m256d v, __m256d u) {
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MAX));
  const __m256d ax = _mm256_and_pd(u, magnitude), ay = _mm256_and_pd(v, magnitude);
  const __m256d big = _mm256_max_pd(ax, ay), t = _mm256_div_pd(_mm256_min_pd(ax, ay), big);
  const __m256d far = _mm256_cmp_pd(t, Set(0.41421356237309503), _CMP_GT_OQ);
  const __m256d w = _mm256_blendv_pd(t, _mm256_div_pd(Sub(t, Set(1)), Add(t, Set(1))), far);
  __m256d a = Add(_mm256_and_pd(far, Set(Pi / 4)), Series<true>(w));
  a = _mm256_blendv_pd(a, Sub(Set(Pi / 2), a), Less(ax, ay));
  a = _mm256_blendv_pd(a, Sub(Set(Pi), a), Less(u, Set(0)));
  a = _mm256_blendv_pd(a, _mm256_xor_pd(a, Set(-0.0)), Less(v, Set(0)));
  return _mm256_andnot_pd(_mm256_cmp_pd(big, Set(0), _CMP_EQ_OQ), a);
}

// Lanes of v (>= 0) within the margin of a whole number.
CPU_AVX2_INLINE __m256d NearStep(__m256d v) {
  const __m256d f = Sub(v, _mm256_round_pd(v, Whole));
  return _mm256_or_pd(Less(f, Set(SpiralCellMargin)), _mm256_cmp_pd(f, Set(1 - SpiralCellMargin), _CMP_GT_OQ));
}

// SpiralCellAt's fast path in four lanes; a lane near a step takes
// SpiralCellAt itself.
CPU_AVX2 void CellsAvx2(const SpiralCellGrid& grid, int32_t y, int32_t count, uint32_t* out) {
  const __m256d v = Set((y + 0.5 - grid.Place.CentreY) * grid.InverseHalf + 0.04);
  const __m256d inverseHalf = Set(grid.InverseHalf), centreX = Set(grid.Place.CentreX);
  const __m256d scale = Set(grid.Scale), fine = Set(grid.Fine);
  const __m128i phaseMask = _mm_set1_epi32(SpiralPhases - 1);
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m256d column = Add(Set(x), _mm256_setr_pd(0, 1, 2, 3));
    const __m256d u = Sub(Mul(Sub(Add(column, Set(0.5)), centreX), inverseHalf), Set(0.06));
    const __m256d r = Add(_mm256_sqrt_pd(Add(Mul(u, u), Mul(v, v))), Set(1e-9));
    const __m256d phase = Add(Mul(Set(3), ArcTan2(v, u)), Mul(Set(5.0), Log(r)));
    const __m256d turns = Mul(phase, Set(1 / (2 * Pi)));
    const __m256d at = Add(Mul(Sub(turns, _mm256_floor_pd(turns)), Set(SpiralPhases)), Set(0.5));
    const __m256d steps = Mul(r, scale);
    // The ring, rounded down as a double (one step wide below fine, four
    // beyond), then as an integer.
    const __m256d outer = Add(fine, _mm256_round_pd(Mul(Sub(steps, fine), Set(1.0 / SpiralCoarseWidth)), Whole));
    const __m128i ring = _mm256_cvttpd_epi32(_mm256_blendv_pd(outer, _mm256_round_pd(steps, Whole), Less(steps, fine)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_add_epi32(_mm_slli_epi32(ring, 10), _mm_and_si128(_mm256_cvttpd_epi32(at), phaseMask)));
    int32_t near = _mm256_movemask_pd(_mm256_or_pd(NearStep(steps), NearStep(at)));
    for (; near; near &= near - 1) {
      const int32_t k = __builtin_ctz(uint32_t(near));
      out[x + k] = SpiralCellAt(grid, x + k, y);
    }
  }
  for (; x < count; ++x) out[x] = SpiralCellAt(grid, x, y);
}

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

const SpiralLoops SpiralLoopsAvx2 = {CellsAvx2, ColoursAvx2, ReversedAvx2, Reversed8Avx2, SpiralIndicesSse2};
