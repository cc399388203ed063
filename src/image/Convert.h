// Convert: the five pixel formats of ImageBuffer and the conversion between
// any two of them.
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

// The method argument of ImgConvert and ImgToIndexed; it matters only for a
// target depth of 8. Any value not listed acts as ConvNearest.
constexpr int32_t ConvNearest = 0;   // optimised palette, nearest colour
constexpr int32_t ConvDiffuse = 1;   // optimised palette, error diffusion
constexpr int32_t ConvOrdered = 2;   // optimised palette, ordered dither
constexpr int32_t ConvGrey = 3;      // grey ramp palette, grey level per pixel

// True for 8, 15, 16, 24 and 32.
bool ImgIsDepth(int32_t bits);

// Monitored. Converts source to depth bits into target, which may be the same
// record (conversion in place: the record ends holding the new block, the
// old block released).
// - Same record: nothing happens (MonFail, the caller sees nothing) when the
//   image is already bits deep or either depth is not one of the five.
// - Different records: when the source is already bits deep or bits is not
//   one of the five, the source is copied unchanged into the target (ImgCopy)
//   and the section ends with MonFail. A source depth outside the five is
//   copied too.
// - A source that holds no pixels, or whose geometry needs more bytes than
//   its block holds, fails with "Invalid image format." (7, 2) before
//   anything is allocated; allocation errors (for example "Invalid memory
//   request." for a zero width) reach the caller before a pixel is written.
// - Errors inside the palette optimiser's steps are traced and do not stop
//   the conversion; a failed allocation of its work area does.
// Error diffusion (method ConvDiffuse) of a 24- or 32-bit source into a
// separate target changes the source's pixels.
void ImgConvert(ImageBuffer& source, ImageBuffer& target, int32_t bits, int32_t method = ConvNearest);

// Fills target, an 8-bit image of the source's size that the caller has
// allocated, from a 15-, 16-, 24- or 32-bit source: ConvDiffuse, ConvOrdered
// and ConvNearest go to ImgQuantize (which re-allocates the target); ConvGrey
// writes grey levels and sets the grey ramp palette (for an 8-bit source only
// the palette). Not monitored itself.
void ImgToIndexed(ImageBuffer& source, ImageBuffer& target, int32_t method);

// ------------------------------------------------------ per-pixel converters

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
