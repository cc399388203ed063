// The AVX-512 loops of the pixel converters (Kernels.h).
//
// With AVX-512 and its byte permutes (VBMI), a permute gathers any bytes of
// one or two registers, so 3-byte pixels are spread to words or words
// gathered into them 16 to 64 pixels at a time. Each block loop converts a
// prefix of the pixels and returns its length; the plain loop does the rest.
// No load or store passes the end of either block.
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"

namespace {

CPU_AVX512_BEGIN

// The 64 bytes of a permute's index, each made by rule(j).
struct ByteIndex {
  uint8_t Byte[64];
  template <class Rule>
  explicit constexpr ByteIndex(Rule rule) : Byte{} {
    for (int j = 0; j < 64; ++j) Byte[j] = uint8_t(rule(j));
  }
};
CPU_AVX512_VBMI_INLINE __m512i Load512(const ByteIndex& index) { return _mm512_loadu_si512(index.Byte); }

// 16 pixels of 3 bytes to 4, the fourth byte 0.
CPU_AVX512_VBMI int32_t Avx512_24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  static constexpr ByteIndex spread([](int j) { return 3 * (j / 4) + j % 4; });
  const __m512i index = Load512(spread);
  const __m512i colour = _mm512_set1_epi32(0xFFFFFF);
  int32_t i = 0;
  for (; i + 22 <= count; i += 16)  // the 64-byte load reads 16 bytes past the pixels taken
    _mm512_storeu_si512(dst + 4 * size_t(i),
                        _mm512_and_si512(_mm512_permutexvar_epi8(index, _mm512_loadu_si512(src + 3 * size_t(i))),
                                         colour));
  return i;
}

// 32 pixels of 3 bytes from 96 as two sets of 32 words: green << 8 | blue,
// and red in the high (RedHigh) or the low byte.
template <bool RedHigh>
CPU_AVX512_VBMI_INLINE void Avx512Split32x24(const uint8_t* p, __m512i& gb, __m512i& r) {
  static constexpr ByteIndex gbIndex([](int j) { return 3 * (j / 2) + j % 2; });
  static constexpr ByteIndex rIndex([](int j) { return 3 * (j / 2) + 2; });
  // The other byte of a red word is cleared by an and: a 64-bit byte mask
  // would be made anew through memory in the 32-bit build at every use.
  const __m512i redBytes = _mm512_set1_epi16(RedHigh ? -256 : 255);
  __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 64);
  gb = _mm512_permutex2var_epi8(a, Load512(gbIndex), b);
  r = _mm512_and_si512(_mm512_permutex2var_epi8(a, Load512(rIndex), b), redBytes);
}

template <bool Green6>
CPU_AVX512_VBMI int32_t Avx512Narrow24(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 43 <= count; i += 32) {  // the loads read 128 bytes
    __m512i gb, r;
    Avx512Split32x24<true>(src + 3 * size_t(i), gb, r);
    __m512i w;
    if (Green6)
      w = _mm512_or_si512(_mm512_and_si512(r, _mm512_set1_epi16(-2048)),  // 0xF800
                          _mm512_or_si512(_mm512_srli_epi16(_mm512_and_si512(gb, _mm512_set1_epi16(-1024)), 5),
                                          _mm512_srli_epi16(_mm512_and_si512(gb, _mm512_set1_epi16(0xF8)), 3)));
    else
      w = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi16(r, 1), _mm512_set1_epi16(0x7C00)),
                          _mm512_or_si512(_mm512_srli_epi16(_mm512_and_si512(gb, _mm512_set1_epi16(-2048)), 6),
                                          _mm512_srli_epi16(_mm512_and_si512(gb, _mm512_set1_epi16(0xF8)), 3)));
    _mm512_storeu_si512(dst + 2 * size_t(i), w);
  }
  return i;
}

CPU_AVX512_VBMI int32_t Avx512Grey24(const uint8_t* src, uint8_t* dst, int32_t count) {
  const __m512i third = _mm512_set1_epi16(-21845), ones = _mm512_set1_epi8(1);  // 43691
  int32_t i = 0;
  for (; i + 43 <= count; i += 32) {
    __m512i gb, r;
    Avx512Split32x24<false>(src + 3 * size_t(i), gb, r);
    __m512i s = _mm512_add_epi16(_mm512_maddubs_epi16(gb, ones), r);
    // s / 3 = (s x 43691) >> 17, exact for every sum up to 765.
    __m512i level = _mm512_srli_epi16(_mm512_mulhi_epu16(s, third), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm512_cvtepi16_epi8(level));
  }
  return i;
}

// 64 pixels of 2 bytes to 3: each widened in a 32-bit lane, then the four
// registers of 16 gathered by permutes of neighbouring pairs into three.
template <int32_t Mask, int Shift>
CPU_AVX512_VBMI_INLINE __m512i Avx512Field(__m512i w) {
  return _mm512_slli_epi32(_mm512_and_si512(w, _mm512_set1_epi32(Mask)), Shift);
}
template <bool Green6>
CPU_AVX512_VBMI_INLINE __m512i Avx512Widen16(__m256i words) {
  __m512i w = _mm512_cvtepu16_epi32(words);
  return Green6 ? _mm512_or_si512(_mm512_or_si512(Avx512Field<0x001F, 3>(w), Avx512Field<0x07E0, 5>(w)),
                                  Avx512Field<0xF800, 8>(w))
                : _mm512_or_si512(_mm512_or_si512(Avx512Field<0x001F, 3>(w), Avx512Field<0x03E0, 6>(w)),
                                  Avx512Field<0x7C00, 9>(w));
}

template <bool Green6>
CPU_AVX512_VBMI int32_t Avx512Widen24(const uint8_t* src, uint8_t* dst, int32_t count) {
  // Output byte j of register o is byte n = 64 o + j of the 64 pixels:
  // pixel n / 3, of register n / 48, lane n / 3 mod 16.
  static constexpr ByteIndex pack[3] = {
      ByteIndex([](int j) { return (j / 3) % 16 * 4 + j % 3 + 64 * (j / 48); }),
      ByteIndex([](int j) { return (64 + j) / 3 % 16 * 4 + (64 + j) % 3 + 64 * ((64 + j) / 48 - 1); }),
      ByteIndex([](int j) { return (128 + j) / 3 % 16 * 4 + (128 + j) % 3 + 64 * ((128 + j) / 48 - 2); })};
  int32_t i = 0;
  for (; i + 64 <= count; i += 64) {
    __m512i a = _mm512_loadu_si512(src + 2 * size_t(i)), b = _mm512_loadu_si512(src + 2 * size_t(i) + 64);
    __m512i d[4] = {Avx512Widen16<Green6>(_mm512_castsi512_si256(a)),
                    Avx512Widen16<Green6>(_mm512_extracti64x4_epi64(a, 1)),
                    Avx512Widen16<Green6>(_mm512_castsi512_si256(b)),
                    Avx512Widen16<Green6>(_mm512_extracti64x4_epi64(b, 1))};
    uint8_t* out = dst + 3 * size_t(i);
    for (int o = 0; o < 3; ++o)
      _mm512_storeu_si512(out + 64 * o, _mm512_permutex2var_epi8(d[o], Load512(pack[o]), d[o + 1]));
  }
  return i;
}

// 8 to 24 or 32 bits, 64 pixels at a time: each channel of the palette is a
// plane of 256 bytes in four registers, looked up by a permute of each half
// and a blend on the index's high bit; then the three planes are
// interleaved by permutes into the pixels (the fourth byte of a 32-bit pixel
// is 0). No table lookup per pixel is left.

// A plane's byte for each index: a permute of each half, blended on the
// index's high bit.
CPU_AVX512_VBMI_INLINE __m512i Avx512Plane(
    const __m512i quarters[4], __m512i index, __mmask64 high) {
  return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(quarters[0], index, quarters[1]),
                                _mm512_permutex2var_epi8(quarters[2], index, quarters[3]));
}

template <int Step>
CPU_AVX512_VBMI int32_t Avx512PaletteToWide(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  alignas(64) uint8_t planes[3][256];
  for (int32_t i = 0; i < 256; ++i)
    planes[0][i] = palette[i].Blue, planes[1][i] = palette[i].Green, planes[2][i] = palette[i].Red;
  __m512i table[3][4];
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t q = 0; q < 4; ++q) table[c][q] = _mm512_load_si512(planes[c] + 64 * q);
  // For output byte j of register o: its pixel n = (64 o + j) / Step among
  // the 64 and its channel; blue and green come from the pair (blue plane,
  // green plane), red from the red plane.
  alignas(64) uint8_t pairIndex[Step][64], redIndex[Step][64];
  __mmask64 fromPair[Step], fromRed[Step];
  for (int32_t o = 0; o < Step; ++o) {
    fromPair[o] = fromRed[o] = 0;
    for (int32_t j = 0; j < 64; ++j) {
      int32_t n = (64 * o + j) / Step, c = (64 * o + j) % Step;
      pairIndex[o][j] = uint8_t(c == 1 ? 64 + n : n);
      redIndex[o][j] = uint8_t(n);
      if (c < 2) fromPair[o] |= __mmask64(1) << j;
      if (c == 2) fromRed[o] |= __mmask64(1) << j;
    }
  }
  int32_t i = 0;
  for (; i + 64 <= count; i += 64) {
    __m512i index = _mm512_loadu_si512(src + i);
    __mmask64 high = _mm512_movepi8_mask(index);
    __m512i b = Avx512Plane(table[0], index, high), g = Avx512Plane(table[1], index, high),
            r = Avx512Plane(table[2], index, high);
    uint8_t* out = dst + size_t(i) * Step;
    for (int32_t o = 0; o < Step; ++o) {
      __m512i v = _mm512_maskz_permutex2var_epi8(fromPair[o], b, _mm512_load_si512(pairIndex[o]), g);
      v = _mm512_mask_permutexvar_epi8(v, fromRed[o], _mm512_load_si512(redIndex[o]), r);
      _mm512_storeu_si512(out + 64 * o, v);
    }
  }
  return i;
}

CPU_AVX512_END

// The palette loop where it pays for its set-up, then the plain loop.
template <int Step, PaletteLoop Plain>
void PaletteToWideBlocked(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  const int32_t done = count >= 1024 ? Avx512PaletteToWide<Step>(src, dst, count, palette) : 0;
  Plain(src + done, dst + size_t(done) * Step, count - done, palette);
}

}  // namespace

const PixelKernels PixelsAvx512 = {KernelsBlocked<Avx512Widen24<false>, Widen555To24Plain, 2, 3>,
                                   KernelsBlocked<Avx512Widen24<true>, Widen565To24Plain, 2, 3>,
                                   KernelsBlocked<Avx512Narrow24<false>, Narrow24To555Plain, 3, 2>,
                                   KernelsBlocked<Avx512Narrow24<true>, Narrow24To565Plain, 3, 2>,
                                   KernelsBlocked<Avx512_24To32, Spread24To32Plain, 3, 4>,
                                   KernelsBlocked<Avx512Grey24, Grey24Plain, 3, 1>,
                                   PaletteToWideBlocked<3, PaletteTo24Plain>,
                                   PaletteToWideBlocked<4, PaletteTo32Plain>};
