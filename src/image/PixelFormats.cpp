// The per-pixel converters between the five pixel formats.
//
// Every converter is one loop over the pixel count. The wide formats are
// moved a word at a time (x86 is little-endian, so a 24-bit pixel read as the
// low three bytes of a 32-bit word is blue | green << 8 | red << 16); the last
// pixel of a 24-bit source is read byte by byte so that no load passes the
// end of the block. The converters that have vector loops reach them through
// the loop table (Kernels.h); those loops have files of their own
// (PixelFormatsSsse3.cpp, PixelFormatsAvx512.cpp).
#include "image/PixelFormats.h"

#include <cstring>

#include "image/Kernels.h"
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

}  // namespace

void Widen555To24Plain(const uint8_t* src, uint8_t* dst, int32_t count) { WidenTo24<Widen555>(src, dst, count); }
void Widen565To24Plain(const uint8_t* src, uint8_t* dst, int32_t count) { WidenTo24<Widen565>(src, dst, count); }
void Narrow24To555Plain(const uint8_t* src, uint8_t* dst, int32_t count) { NarrowWide<3, Word555>(src, dst, count); }
void Narrow24To565Plain(const uint8_t* src, uint8_t* dst, int32_t count) { NarrowWide<3, Word565>(src, dst, count); }
void Spread24To32Plain(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) Store32(dst + 4 * size_t(i), LoadPixel<3>(src, i, count));
}
void Grey24Plain(const uint8_t* src, uint8_t* dst, int32_t count) { GreyWide<3>(src, dst, count); }
void PaletteTo24Plain(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  PaletteToWide(src, dst, count, palette, 3);
}
void PaletteTo32Plain(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette) {
  PaletteToWide(src, dst, count, palette, 4);
}

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
void Conv8To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  Kernels.Pixels.PaletteTo24(src, dst, count, palette);
}
void Conv8To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry* palette) {
  Kernels.Pixels.PaletteTo32(src, dst, count, palette);
}

void Conv15To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t w = Load16(src + 2 * size_t(i));
    Store16(dst + 2 * size_t(i), (w >> 5) << 6 | (w & 31));
  }
}
void Conv15To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Kernels.Pixels.Widen555To24(src, dst, count);
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
  Kernels.Pixels.Widen565To24(src, dst, count);
}
void Conv16To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  WidenTo32<Widen565>(src, dst, count);
}

void Conv24To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Kernels.Pixels.Narrow24To555(src, dst, count);
}
void Conv32To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  NarrowWide<4, Word555>(src, dst, count);
}
void Conv24To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Kernels.Pixels.Narrow24To565(src, dst, count);
}
void Conv32To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  NarrowWide<4, Word565>(src, dst, count);
}
void Conv24To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t, const PaletteEntry*) {
  Kernels.Pixels.Spread24To32(src, dst, count);
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
  Kernels.Pixels.Grey24(src, dst, count);
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
