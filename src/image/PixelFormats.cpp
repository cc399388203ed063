// The per-pixel converters between the five pixel formats.
//
// Every converter is one loop over the pixel count. The wide formats are
// moved a word at a time (x86 is little-endian, so a 24-bit pixel read as the
// low three bytes of a 32-bit word is blue | green << 8 | red << 16); the last
// pixel of a 24-bit source is read byte by byte so that no load passes the
// end of the block.
#include "image/PixelFormats.h"

#include <cstring>
#include <immintrin.h>

#include "image/Cpu.h"
#include "runtime/Errors.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the converters read words little-endian");

namespace {

inline uint32_t Load16(const uint8_t* p) {
  uint16_t w;
  std::memcpy(&w, p, 2);
  return w;
}
inline void Store16(uint8_t* p, uint32_t w) {
  uint16_t v = uint16_t(w);
  std::memcpy(p, &v, 2);
}
inline uint32_t Load32(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}
inline void Store32(uint8_t* p, uint32_t w) { std::memcpy(p, &w, 4); }
inline uint32_t Load24(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }

// The blue | green << 8 | red << 16 word of pixel i of a 24- or 32-bit
// block; Step is a constant so that each caller gets its own tight loop.
template <int Step>
inline uint32_t LoadPixel(const uint8_t* src, int32_t i, int32_t count) {
  if (Step == 4 || i + 1 < count) return Load32(src + size_t(i) * Step) & 0xFFFFFF;
  return Load24(src + size_t(i) * Step);
}

inline uint32_t Word555(uint32_t bgr) {
  return (bgr >> 9 & 0x7C00) | (bgr >> 6 & 0x03E0) | (bgr >> 3 & 0x001F);
}
inline uint32_t Word565(uint32_t bgr) {
  return (bgr >> 8 & 0xF800) | (bgr >> 5 & 0x07E0) | (bgr >> 3 & 0x001F);
}
// 15 or 16 bits widened to the blue | green << 8 | red << 16 word.
inline uint32_t Widen555(uint32_t w) {
  return (w & 0x001F) << 3 | (w & 0x03E0) << 6 | (w & 0x7C00) << 9;
}
inline uint32_t Widen565(uint32_t w) {
  return (w & 0x001F) << 3 | (w & 0x07E0) << 5 | (w & 0xF800) << 8;
}

template <int Step, uint32_t (*Narrow)(uint32_t)>
void NarrowWide(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Store16(dst + 2 * size_t(i), Narrow(LoadPixel<Step>(src, i, count)));
}

template <uint32_t (*Widen)(uint32_t)>
void WidenTo24(const uint8_t* src, uint8_t* dst, int32_t count) {
  // Four bytes are stored per pixel and the next pixel overwrites the fourth;
  // the last pixel is stored as three bytes.
  int32_t i = 0;
  for (; i + 1 < count; ++i) Store32(dst + 3 * size_t(i), Widen(Load16(src + 2 * size_t(i))));
  if (i < count) {
    uint32_t v = Widen(Load16(src + 2 * size_t(i)));
    uint8_t* d = dst + 3 * size_t(i);
    d[0] = uint8_t(v);
    d[1] = uint8_t(v >> 8);
    d[2] = uint8_t(v >> 16);
  }
}

template <uint32_t (*Widen)(uint32_t)>
void WidenTo32(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Store32(dst + 4 * size_t(i), Widen(Load16(src + 2 * size_t(i))));
}

void Plain24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Store32(dst + 4 * size_t(i), LoadPixel<3>(src, i, count));
}

// The 768-entry table of s / 3 for every sum of three bytes.
struct ThirdTable {
  uint8_t Value[768];
  ThirdTable() {
    for (int s = 0; s < 768; ++s) Value[s] = uint8_t(s / 3);
  }
};
const ThirdTable thirds;

template <int Step>
void GreyWide(const uint8_t* src, uint8_t* dst, int32_t count) {
  const uint8_t* s = src;
  for (int32_t i = 0; i < count; ++i, s += Step) dst[i] = thirds.Value[s[0] + s[1] + s[2]];
}

// Palette to words: each palette entry narrowed like a 24-bit pixel.
template <uint32_t (*Narrow)(uint32_t)>
void PaletteToWords(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  uint16_t table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = uint16_t(Narrow(palette[i].Blue | uint32_t(palette[i].Green) << 8 | uint32_t(palette[i].Red) << 16));
  for (int32_t i = 0; i < count; ++i) Store16(dst + 2 * size_t(i), table[src[i]]);
}

// 8 to 24/32: the palette entry as a word, then stored like WidenTo24/32.
void PaletteToWide(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette, int32_t step) {
  uint32_t table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = palette[i].Blue | uint32_t(palette[i].Green) << 8 | uint32_t(palette[i].Red) << 16;
  int32_t i = 0;
  if (step == 3) {
    // Four pixels are three words.
    for (; i + 4 <= count; i += 4) {
      uint32_t a = table[src[i]], b = table[src[i + 1]], c = table[src[i + 2]], d = table[src[i + 3]];
      uint8_t* o = dst + 3 * size_t(i);
      Store32(o, a | b << 24);
      Store32(o + 4, b >> 8 | c << 16);
      Store32(o + 8, c >> 16 | d << 8);
    }
  }
  for (; i + 1 < count; ++i) Store32(dst + size_t(step) * i, table[src[i]]);
  if (i < count) {
    uint8_t* d = dst + size_t(step) * i;
    d[0] = palette[src[i]].Blue;
    d[1] = palette[src[i]].Green;
    d[2] = palette[src[i]].Red;
    if (step == 4) d[3] = 0;
  }
}

// ------------------------------------------------------ SSSE3 block loops
//
// Where the processor has SSSE3 (checked once at run time, so the program
// still runs on an older processor) the wide conversions go a block of
// pixels at a time through byte shuffles. Each block loop converts a prefix
// of the pixels and returns its length; the plain loop does the rest. No
// load or store passes the end of either block: a loop stops while the last
// 16-byte access still lies inside.

#define SIMD_FN __attribute__((target("ssse3"), always_inline)) inline
#define SIMD_LOOP __attribute__((target("ssse3")))

// The vector helpers are inlined into the block loops; the 32-bit build's
// note that an SSE value passed without SSE enabled would change the ABI does
// not apply to them.
#pragma GCC diagnostic ignored "-Wpsabi"

// Four 24-bit pixels at p as four 0x00RRGGBB lanes.
SIMD_FN __m128i Load4x24(const uint8_t* p) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), spread);
}
// Four 0x00RRGGBB lanes as twelve bytes (then four bytes of no meaning).
SIMD_FN void Store4x24(uint8_t* p, __m128i v) {
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(v, pack));
}
SIMD_LOOP int32_t Simd24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  int32_t i = 0;
  for (; i + 6 <= count; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t(i)), Load4x24(src + 3 * size_t(i)));
  return i;
}

// Eight 24-bit pixels at p as two sets of eight words: green << 8 | blue,
// and red in the high (RedHigh) or the low byte.
template <bool RedHigh>
SIMD_FN void Split8x24(const uint8_t* p, __m128i& gb, __m128i& r) {
  const __m128i gbMask = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i rMask = RedHigh ? _mm_setr_epi8(-1, 2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1)
                                : _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
  gb = _mm_unpacklo_epi64(_mm_shuffle_epi8(a, gbMask), _mm_shuffle_epi8(b, gbMask));
  r = _mm_unpacklo_epi64(_mm_shuffle_epi8(a, rMask), _mm_shuffle_epi8(b, rMask));
}

template <bool Green6>
SIMD_LOOP int32_t SimdNarrow24(const uint8_t* src, uint8_t* dst, int32_t count) {
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
SIMD_LOOP int32_t SimdWiden24(const uint8_t* src, uint8_t* dst, int32_t count) {
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

SIMD_LOOP int32_t SimdGrey24(const uint8_t* src, uint8_t* dst, int32_t count) {
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

// ---------------------------------------------------- AVX-512 block loops
//
// Where the processor has AVX-512 with its byte permutes (VBMI), a permute
// gathers any bytes of one or two registers, so 3-byte pixels are spread to
// words or words gathered into them 16 to 64 pixels at a time. The same
// rules as the SSSE3 loops: a prefix of the pixels, and no access past
// either block.
#define AVX512_FN __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline
#define AVX512_LOOP __attribute__((target("avx512f,avx512bw,avx512vbmi")))

CPU_AVX512_BEGIN

// The 64 bytes of a permute's index, each made by rule(j).
struct ByteIndex {
  uint8_t Byte[64];
  template <class Rule>
  explicit constexpr ByteIndex(Rule rule) : Byte{} {
    for (int j = 0; j < 64; ++j) Byte[j] = uint8_t(rule(j));
  }
};
AVX512_FN __m512i Load512(const ByteIndex& index) { return _mm512_loadu_si512(index.Byte); }

// 16 pixels of 3 bytes to 4, the fourth byte 0.
AVX512_LOOP int32_t Avx512_24To32(const uint8_t* src, uint8_t* dst, int32_t count) {
  static constexpr ByteIndex spread([](int j) { return 3 * (j / 4) + j % 4; });
  const __m512i index = Load512(spread);
  const __mmask64 colour = 0x7777777777777777ull;
  int32_t i = 0;
  for (; i + 22 <= count; i += 16)  // the 64-byte load reads 16 bytes past the pixels taken
    _mm512_storeu_si512(dst + 4 * size_t(i),
                        _mm512_maskz_permutexvar_epi8(colour, index, _mm512_loadu_si512(src + 3 * size_t(i))));
  return i;
}

// 32 pixels of 3 bytes from 96 as two sets of 32 words: green << 8 | blue,
// and red in the high (RedHigh) or the low byte.
template <bool RedHigh>
AVX512_FN void Avx512Split32x24(const uint8_t* p, __m512i& gb, __m512i& r) {
  static constexpr ByteIndex gbIndex([](int j) { return 3 * (j / 2) + j % 2; });
  static constexpr ByteIndex rIndex([](int j) { return 3 * (j / 2) + 2; });
  const __mmask64 redBytes = RedHigh ? 0xAAAAAAAAAAAAAAAAull : 0x5555555555555555ull;
  __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 64);
  gb = _mm512_permutex2var_epi8(a, Load512(gbIndex), b);
  r = _mm512_maskz_permutex2var_epi8(redBytes, a, Load512(rIndex), b);
}

template <bool Green6>
AVX512_LOOP int32_t Avx512Narrow24(const uint8_t* src, uint8_t* dst, int32_t count) {
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

AVX512_LOOP int32_t Avx512Grey24(const uint8_t* src, uint8_t* dst, int32_t count) {
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
AVX512_FN __m512i Avx512Field(__m512i w) {
  return _mm512_slli_epi32(_mm512_and_si512(w, _mm512_set1_epi32(Mask)), Shift);
}
template <bool Green6>
AVX512_FN __m512i Avx512Widen16(__m256i words) {
  __m512i w = _mm512_cvtepu16_epi32(words);
  return Green6 ? _mm512_or_si512(_mm512_or_si512(Avx512Field<0x001F, 3>(w), Avx512Field<0x07E0, 5>(w)),
                                  Avx512Field<0xF800, 8>(w))
                : _mm512_or_si512(_mm512_or_si512(Avx512Field<0x001F, 3>(w), Avx512Field<0x03E0, 6>(w)),
                                  Avx512Field<0x7C00, 9>(w));
}

template <bool Green6>
AVX512_LOOP int32_t Avx512Widen24(const uint8_t* src, uint8_t* dst, int32_t count) {
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
AVX512_FN __m512i Avx512Plane(
    const __m512i quarters[4], __m512i index, __mmask64 high) {
  return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(quarters[0], index, quarters[1]),
                                _mm512_permutex2var_epi8(quarters[2], index, quarters[3]));
}

template <int Step>
AVX512_LOOP int32_t Avx512PaletteToWide(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
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

// Runs the widest block loop the processor has, then the plain loop on the
// rest.
template <class Block512, class Block128, class Plain>
void Blocked(Block512 block512, Block128 block128, Plain plain, const uint8_t* src, int32_t srcBytes, uint8_t* dst,
             int32_t dstBytes, int32_t count) {
  int32_t done = CpuHasAvx512Vbmi() ? block512(src, dst, count) : CpuHasSsse3() ? block128(src, dst, count) : 0;
  plain(src + size_t(done) * srcBytes, dst + size_t(done) * dstBytes, count - done);
}

}  // namespace

bool ImgIsDepth(int32_t bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

void SetGreyRamp(PaletteEntry* palette) {
  for (int i = 0; i < 256; ++i) palette[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i)};
}

void Conv8To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  PaletteToWords<Word555>(src, dst, count, palette);
}
void Conv8To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  PaletteToWords<Word565>(src, dst, count, palette);
}
// The AVX-512 loop where it pays for its set-up, then the plain loop.
template <int Step>
void PaletteToWideFast(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  int32_t done = count >= 1024 && CpuHasAvx512Vbmi() ? Avx512PaletteToWide<Step>(src, dst, count, palette) : 0;
  PaletteToWide(src + done, dst + size_t(done) * Step, count - done, palette, Step);
}

void Conv8To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  PaletteToWideFast<3>(src, dst, count, palette);
}
void Conv8To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  PaletteToWideFast<4>(src, dst, count, palette);
}

void Conv15To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t w = Load16(src + 2 * size_t(i));
    Store16(dst + 2 * size_t(i), (w >> 5) << 6 | (w & 31));
  }
}
void Conv15To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512Widen24<false>, SimdWiden24<false>, WidenTo24<Widen555>, src, 2, dst, 3, count);
}
void Conv15To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  WidenTo32<Widen555>(src, dst, count);
}

void Conv16To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t w = Load16(src + 2 * size_t(i));
    Store16(dst + 2 * size_t(i), (((w >> 6) << 5) & 32767) | (w & 31));
  }
}
void Conv16To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512Widen24<true>, SimdWiden24<true>, WidenTo24<Widen565>, src, 2, dst, 3, count);
}
void Conv16To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  WidenTo32<Widen565>(src, dst, count);
}

void Conv24To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512Narrow24<false>, SimdNarrow24<false>, NarrowWide<3, Word555>, src, 3, dst, 2, count);
}
void Conv32To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  NarrowWide<4, Word555>(src, dst, count);
}
void Conv24To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512Narrow24<true>, SimdNarrow24<true>, NarrowWide<3, Word565>, src, 3, dst, 2, count);
}
void Conv32To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  NarrowWide<4, Word565>(src, dst, count);
}
void Conv24To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512_24To32, Simd24To32, Plain24To32, src, 3, dst, 4, count);
}
void Conv32To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  int32_t i = 0;
  for (; i + 1 < count; ++i) Store32(dst + 3 * size_t(i), Load32(src + 4 * size_t(i)));
  if (i < count) std::memcpy(dst + 3 * size_t(i), src + 4 * size_t(i), 3);
}

void ConvGrey15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t w = Load16(src + 2 * size_t(i));
    uint32_t r8 = (w >> 10 & 31) * 8 + 7, g8 = ((w >> 5 & 31) * 8) | 14, b8 = (w & 31) * 8 + 7;
    dst[i] = thirds.Value[r8 + g8 + b8];
  }
}
void ConvGrey16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t w = Load16(src + 2 * size_t(i));
    uint32_t r8 = (w >> 11) * 8 + 7, g8 = ((w >> 5 & 63) * 4) | 6, b8 = (w & 31) * 8 + 7;
    dst[i] = thirds.Value[r8 + g8 + b8];
  }
}
void ConvGrey24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Blocked(Avx512Grey24, SimdGrey24, GreyWide<3>, src, 3, dst, 1, count);
}
void ConvGrey32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  GreyWide<4>(src, dst, count);
}

PixelConverter ConverterFor(int32_t fromBits, int32_t toBits) {
  static const int32_t depths[5] = {8, 15, 16, 24, 32};
  static const PixelConverter table[5][5] = {
      {nullptr, Conv8To15, Conv8To16, Conv8To24, Conv8To32},
      {ConvGrey15, nullptr, Conv15To16, Conv15To24, Conv15To32},
      {ConvGrey16, Conv16To15, nullptr, Conv16To24, Conv16To32},
      {ConvGrey24, Conv24To15, Conv24To16, nullptr, Conv24To32},
      {ConvGrey32, Conv32To15, Conv32To16, Conv32To24, nullptr},
  };
  int from = -1, to = -1;
  for (int i = 0; i < 5; ++i) {
    if (depths[i] == fromBits) from = i;
    if (depths[i] == toBits) to = i;
  }
  return from < 0 || to < 0 ? nullptr : table[from][to];
}
