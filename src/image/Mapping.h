// Mapping: the entry of the palette optimiser, ImgQuantize, and the writing
// of the 8-bit target by mapping every source pixel to the optimised palette
// (Quantize.h): nearest colour, ordered dither or error diffusion.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// ImgQuantize methods; any other value acts as QuantMethodNearest. The
// numbers of the dithers are not those of ImgConvert and ImgToIndexed
// (Convert.h), which name each of these beside their own.
constexpr int32_t QuantMethodNearest = 0;  // ConvNearest (0)
constexpr int32_t QuantMethodOrdered = 1;  // ConvOrdered (2)
constexpr int32_t QuantMethodDiffuse = 2;  // ConvDiffuse (1)

// Monitored. Turns source into target, an 8-bit image of the source's size
// whose Palette holds the optimised palette (index 0 nearest to black,
// unused entries white). The work area is allocated for the call and
// released before it returns.
// - The source must hold pixels for its geometry and be 8, 15, 16, 24 or
//   32 bits deep, else "Invalid image format." (7, 2); the target must be
//   another record, else "Cannot initialize image function." (7, 6).
// - A width or height below 4 maps to the nearest colour whatever the method.
// - Error diffusion of a 24- or 32-bit source adds the diffused error into the
//   source's pixels; every other case leaves the source unchanged.
// - Errors inside the steps are traced and the work goes on (the target may
//   then be left without pixels); a failed allocation of the work area or of
//   the target is the memory error of this section.
void ImgQuantize(ImageBuffer& source, ImageBuffer& target, int32_t method);

// The mapping step of ImgQuantize, on the palette already built: allocates
// the 8-bit target, widens a 15- or 16-bit source into a temporary 24-bit
// copy, and runs the mapping of the method. Errors are traced.
void QuantMap(ImageBuffer& source, ImageBuffer& target, int32_t method);

// The mappings, over count pixels of a 24/32-bit block read at step bytes
// (blue, green, red at offsets 0, 1, 2). Each first copies the palette into
// target.Palette; target.Pixels receives the indices. The two dithers meet
// colours that no pixel has: they first write every box's index over its
// volume in a byte copy of the cells (QuantArea::CellIndex).
void QuantMapNearest(const uint8_t* src, int32_t count, int32_t step, ImageBuffer& target);
void QuantMapIndexed(const ImageBuffer& source, ImageBuffer& target);
// Pixel colour C and its palette colour P give P + (C - P) x o / 255 with
// o = 2 x DitherMatrix[y mod 128][x mod 128], clamped, looked up again.
void QuantMapOrdered(const uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target);
// Floyd-Steinberg style diffusion in place on src (weights 7, 3, 5, 1 of 16
// through DiffuseTable); the first pixel of every even row passes no error.
void QuantMapDiffuse(uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target);

// The pushed share of an error e (-256..256) at table[e + 256], for weight
// k of 16: round(|e| k / 16) up to 19, then a half of round((|e| - 19) k / 16)
// up to 38, a quarter of round((|e| - 38) k / 16) up to 57, then 0; halves
// round to even, the sign of e is kept.
void DiffuseTable(int32_t k, int32_t table[513]);
