// PixelFormats: the five pixel formats of ImageBuffer and the per-pixel
// converter of every pair of them; ImgConvert (Convert.h) applies them to a
// whole image.
//
// Formats (16-bit words and pixel bytes little-endian): 8 = index into the
// image's Palette; 15 = blue bits 0-4, green 5-9, red 10-14, bit 15 written 0;
// 16 = blue 0-4, green 5-10 (6 bits), red 11-15; 24 = bytes blue, green, red;
// 32 = blue, green, red and a fourth byte written 0 and never read.
// Widening shifts a channel left with zero low bits (5 bits v -> v x 8,
// 6 bits v -> v x 4); narrowing drops low bits.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// True for 8, 15, 16, 24 and 32.
bool ImgIsDepth(int32_t bits);

// One converter per (source depth, target depth) pair: count pixels from src
// to dst. step is the source's bytes per pixel (read by the 24/32-bit source
// converters); palette is the source palette (read by the 8-bit source
// converters). The blocks must not overlap.
using PixelConverter = void (*)(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step,
                                const PaletteEntry* palette);

void Conv8To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv8To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv8To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv8To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv15To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv15To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv15To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv16To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv16To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv16To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
// 24 to 15 and 32 to 15 (step 3 or 4), 24 to 16 and 32 to 16.
void Conv24To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv32To15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv24To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv32To16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv24To32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void Conv32To24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
// Grey levels (target depth 8 with ConvGrey): (b + g + r) / 3 for 24 and 32
// bits; 15 and 16 bits widen first as r8 = r x 8 + 7, b8 = b x 8 + 7 and
// g8 = (g x 8) | 14 (15-bit) or (g x 4) | 6 (16-bit, 6-bit green).
void ConvGrey15(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void ConvGrey16(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void ConvGrey24(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);
void ConvGrey32(const uint8_t* src, uint8_t* dst, int32_t count, int32_t step, const PaletteEntry* palette);

// The converter of a pair of depths (target 8 gives the grey converter);
// null for equal depths or a depth outside the five.
PixelConverter ConverterFor(int32_t fromBits, int32_t toBits);

// Sets the palette to the grey ramp: entry i is (i, i, i).
void SetGreyRamp(PaletteEntry* palette);
