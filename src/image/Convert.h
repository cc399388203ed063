// Convert: the conversion of a whole image from one depth to another, with
// the per-pixel converters of PixelFormats.h (which describes the formats)
// and, for a target of 8 bits, the palette optimiser through ImgQuantize.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"
#include "image/PixelFormats.h"

// The method argument of ImgConvert and ImgToIndexed; it matters only for a
// target depth of 8. Any value not listed acts as ConvNearest. The numbers
// of the dithers are not ImgQuantize's (Mapping.h): ImgToIndexed passes
// each on as the method named beside it.
constexpr int32_t ConvNearest = 0;   // optimised palette, nearest colour (QuantMethodNearest, 0)
constexpr int32_t ConvDiffuse = 1;   // optimised palette, error diffusion (QuantMethodDiffuse, 2)
constexpr int32_t ConvOrdered = 2;   // optimised palette, ordered dither (QuantMethodOrdered, 1)
constexpr int32_t ConvGrey = 3;      // grey ramp palette, grey level per pixel (no ImgQuantize method)

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
