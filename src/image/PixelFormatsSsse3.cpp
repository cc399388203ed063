// The SSSE3 loops of the pixel converters (Kernels.h).
//
// The wide conversions go a block of pixels at a time through byte
// shuffles. Each block loop converts a prefix of the pixels and returns its
// length; the plain loop does the rest. No load or store passes the end of
// either block: a loop stops while the last 16-byte access still lies
// inside.
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"

namespace {

// Four 24-bit pixels at p as four 0x00RRGGBB lanes.
CPU_SSSE3_INLINE __m128i Load4x24(const uint8_t* p) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), spread);
}
// Four 0x00RRGGBB lanes as twelve bytes (then four bytes of no meaning).
CPU_SSSE3_INLINE void Store4x24(uint8_t* p, __m128i v) {
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(v, pack));
}
CPU_SSSE3 int32_t Simd24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 6 <= count; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(i)), Load4x24(src + 3 * size_t(i)));
  return i;
}

// Eight 24-bit pixels at p as two sets of eight words: green << 8 | blue,
// and red in the high (RedHigh) or the low byte.
template <bool RedHigh>
CPU_SSSE3_INLINE void Split8x24(const uint8_t* p, __m128i& gb, __m128i& r) {
  const __m128i gbMask = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i rMask = RedHigh ? _mm_setr_epi8(-1, 2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1)
                                : _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
  gb = _mm_unpacklo_epi64(_mm_shuffle_epi8(a, gbMask), _mm_shuffle_epi8(b, gbMask));
  r = _mm_unpacklo_epi64(_mm_shuffle_epi8(a, rMask), _mm_shuffle_epi8(b, rMask));
}

template <bool Green6>
CPU_SSSE3 int32_t SimdNarrow24(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 10 <= count; i += 8) {
    __m128i gb, r;
    Split8x24<true>(src + 3 * size_t(i), gb, r);
    __m128i w;
    if (Green6)
      w = _mm_or_si128(_mm_and_si128(r, _mm_set1_epi16(-2048)),  // 0xF800
                       _mm_or_si128(_mm_srli_epi16(_mm_and_si128(gb, _mm_set1_epi16(-1024)), 5),  // 0xFC00
                                    _mm_srli_epi16(_mm_and_si128(gb, _mm_set1_epi16(0xF8)), 3)));
    else
      w = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(r, 1), _mm_set1_epi16(0x7C00)),
                       _mm_or_si128(_mm_srli_epi16(_mm_and_si128(gb, _mm_set1_epi16(-2048)), 6),
                                    _mm_srli_epi16(_mm_and_si128(gb, _mm_set1_epi16(0xF8)), 3)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * size_t(i)), w);
  }
  return i;
}

template <bool Green6>
CPU_SSSE3 int32_t SimdWiden24(const uint8_t* src, uint8_t* dst, int32_t count) {
  const __m128i top5 = _mm_set1_epi16(0xF8), top6 = _mm_set1_epi16(0xFC);
  int32_t i = 0;
  for (; i + 10 <= count; i += 8) {
    __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * size_t(i)));
    // Each channel as the high bits of a byte in a word of its own.
    __m128i b = _mm_and_si128(_mm_slli_epi16(w, 3), top5);
    __m128i g = Green6 ? _mm_and_si128(_mm_srli_epi16(w, 3), top6) : _mm_and_si128(_mm_srli_epi16(w, 2), top5);
    __m128i r = _mm_and_si128(_mm_srli_epi16(w, Green6 ? 8 : 7), top5);
    __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
    uint8_t* d = dst + 3 * size_t(i);
    Store4x24(d, _mm_unpacklo_epi16(bg, r));
    Store4x24(d + 12, _mm_unpackhi_epi16(bg, r));
  }
  return i;
}

CPU_SSSE3 int32_t SimdGrey24(const uint8_t* src, uint8_t* dst, int32_t count) {
  const __m128i third = _mm_set1_epi16(-21845), ones = _mm_set1_epi8(1);  // 43691
  int32_t i = 0;
  for (; i + 10 <= count; i += 8) {
    __m128i gb, r;
    Split8x24<false>(src + 3 * size_t(i), gb, r);
    __m128i s = _mm_add_epi16(_mm_maddubs_epi16(gb, ones), r);
    // s / 3 = (s x 43691) >> 17, exact for every sum up to 765.
    __m128i level = _mm_srli_epi16(_mm_mulhi_epu16(s, third), 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(level, level));
  }
  return i;
}

}  // namespace

const PixelKernels PixelsSsse3 = {KernelsBlocked<SimdWiden24<false>, Widen555To24Plain, 2, 3>,
                                  KernelsBlocked<SimdWiden24<true>, Widen565To24Plain, 2, 3>,
                                  KernelsBlocked<SimdNarrow24<false>, Narrow24To555Plain, 3, 2>,
                                  KernelsBlocked<SimdNarrow24<true>, Narrow24To565Plain, 3, 2>,
                                  KernelsBlocked<Simd24To32, Spread24To32Plain, 3, 4>,
                                  KernelsBlocked<SimdGrey24, Grey24Plain, 3, 1>,
                                  PaletteTo24Plain,
                                  PaletteTo32Plain};
