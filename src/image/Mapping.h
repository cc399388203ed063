// Mapping: the entry of the palette optimiser, ImgQuantize, and the writing
// of the 8-bit target by mapping every source pixel to the optimised palette
// (Quantize.h): nearest colour, ordered dither or error diffusion. The
// mapping steps themselves are in MappingInternal.h.
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
