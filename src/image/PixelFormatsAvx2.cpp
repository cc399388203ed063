// The AVX2 loops of the pixel converters (Kernels.h).
//
// The SSSE3 loops' byte shuffles on both halves of a 256-bit register, so
// twice the pixels a step: a half holds the pixels that one SSSE3 step
// takes. The palette converters keep their plain loops: a gather of eight
// entries from the palette as words took twice their time. Each block loop converts a prefix of the pixels
// and returns its length; the plain loop does the rest. No load or store
// passes the end of either block: a loop stops while its last access still
// lies inside.
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"

namespace {

// The vector helpers are inlined into the block loops; the compiler's note that
// an AVX value passed without AVX enabled would change the ABI does not
// apply to them.
#pragma GCC diagnostic ignored "-Wpsabi"

CPU_AVX2_INLINE __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
CPU_AVX2_INLINE void Store128(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
CPU_AVX2_INLINE void Store256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
// The same 16 byte indices in both halves.
CPU_AVX2_INLINE __m256i Both(__m128i v) { return _mm256_broadcastsi128_si256(v); }

// Eight 24-bit pixels at p (32 bytes read) as eight 0x00RRGGBB lanes.
CPU_AVX2_INLINE __m256i Load8x24(const uint8_t* p) {
  const __m256i halves = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                                     _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5));
  return _mm256_shuffle_epi8(halves, Both(_mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)));
}
CPU_AVX2 int32_t Avx2_24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 11 <= count; i += 8) Store256(dst + 4 * size_t(i), Load8x24(src + 3 * size_t(i)));
  return i;
}

// Sixteen 24-bit pixels at p (52 bytes read) as two sets of sixteen words:
// green << 8 | blue, and red in the high (RedHigh) or the low byte; pixels
// 0-7 in the low half.
template <bool RedHigh>
CPU_AVX2_INLINE void Split16x24(const uint8_t* p, __m256i& gb, __m256i& r) {
  const __m256i gbMask = Both(_mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m256i rMask = Both(RedHigh ? _mm_setr_epi8(-1, 2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1)
                                     : _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m256i a = _mm256_setr_m128i(Load128(p), Load128(p + 24));
  const __m256i b = _mm256_setr_m128i(Load128(p + 12), Load128(p + 36));
  gb = _mm256_unpacklo_epi64(_mm256_shuffle_epi8(a, gbMask), _mm256_shuffle_epi8(b, gbMask));
  r = _mm256_unpacklo_epi64(_mm256_shuffle_epi8(a, rMask), _mm256_shuffle_epi8(b, rMask));
}

template <bool Green6>
CPU_AVX2 int32_t Avx2Narrow24(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 18 <= count; i += 16) {
    __m256i gb, r;
    Split16x24<true>(src + 3 * size_t(i), gb, r);
    __m256i w;
    if (Green6)
      w = _mm256_or_si256(_mm256_and_si256(r, _mm256_set1_epi16(-2048)),  // 0xF800
                          _mm256_or_si256(_mm256_srli_epi16(_mm256_and_si256(gb, _mm256_set1_epi16(-1024)), 5),
                                          _mm256_srli_epi16(_mm256_and_si256(gb, _mm256_set1_epi16(0xF8)), 3)));
    else
      w = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(r, 1), _mm256_set1_epi16(0x7C00)),
                          _mm256_or_si256(_mm256_srli_epi16(_mm256_and_si256(gb, _mm256_set1_epi16(-2048)), 6),
                                          _mm256_srli_epi16(_mm256_and_si256(gb, _mm256_set1_epi16(0xF8)), 3)));
    Store256(dst + 2 * size_t(i), w);
  }
  return i;
}

template <bool Green6>
CPU_AVX2 int32_t Avx2Widen24(const uint8_t* src, uint8_t* dst, int32_t count) {
  const __m256i top5 = _mm256_set1_epi16(0xF8), top6 = _mm256_set1_epi16(0xFC);
  int32_t i = 0;
  for (; i + 18 <= count; i += 16) {  // the last store writes 16 bytes from pixel i + 12
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * size_t(i)));
    // Each channel as the high bits of a byte in a word of its own.
    const __m256i b = _mm256_and_si256(_mm256_slli_epi16(w, 3), top5);
    const __m256i g = Green6 ? _mm256_and_si256(_mm256_srli_epi16(w, 3), top6)
                             : _mm256_and_si256(_mm256_srli_epi16(w, 2), top5);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi16(w, Green6 ? 8 : 7), top5);
    const __m256i bg = _mm256_or_si256(b, _mm256_slli_epi16(g, 8));
    const __m256i pack = Both(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    // Pixels 0-3 and 8-11, then 4-7 and 12-15, twelve bytes a half.
    const __m256i lo = _mm256_shuffle_epi8(_mm256_unpacklo_epi16(bg, r), pack);
    const __m256i hi = _mm256_shuffle_epi8(_mm256_unpackhi_epi16(bg, r), pack);
    uint8_t* d = dst + 3 * size_t(i);
    Store128(d, _mm256_castsi256_si128(lo));
    Store128(d + 12, _mm256_castsi256_si128(hi));
    Store128(d + 24, _mm256_extracti128_si256(lo, 1));
    Store128(d + 36, _mm256_extracti128_si256(hi, 1));
  }
  return i;
}

CPU_AVX2 int32_t Avx2Grey24(const uint8_t* src, uint8_t* dst, int32_t count) {
  const __m256i third = _mm256_set1_epi16(-21845), ones = _mm256_set1_epi8(1);  // 43691
  int32_t i = 0;
  for (; i + 18 <= count; i += 16) {
    __m256i gb, r;
    Split16x24<false>(src + 3 * size_t(i), gb, r);
    const __m256i s = _mm256_add_epi16(_mm256_maddubs_epi16(gb, ones), r);
    // s / 3 = (s x 43691) >> 17, exact for every sum up to 765.
    const __m256i level = _mm256_srli_epi16(_mm256_mulhi_epu16(s, third), 1);
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(level, level), _MM_SHUFFLE(3, 1, 2, 0));
    Store128(dst + i, _mm256_castsi256_si128(bytes));
  }
  return i;
}

}  // namespace

const PixelKernels PixelsAvx2 = {KernelsBlocked<Avx2Widen24<false>, Widen555To24Plain, 2, 3>,
                                 KernelsBlocked<Avx2Widen24<true>, Widen565To24Plain, 2, 3>,
                                 KernelsBlocked<Avx2Narrow24<false>, Narrow24To555Plain, 3, 2>,
                                 KernelsBlocked<Avx2Narrow24<true>, Narrow24To565Plain, 3, 2>,
                                 KernelsBlocked<Avx2_24To32, Spread24To32Plain, 3, 4>,
                                 KernelsBlocked<Avx2Grey24, Grey24Plain, 3, 1>,
                                 PaletteTo24Plain,
                                 PaletteTo32Plain};
