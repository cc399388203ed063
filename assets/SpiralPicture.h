// SpiralPicture: the generator of the built-in preview picture, a glowing
// three-armed golden spiral on a purple ground with a finer counter-turning
// filament pattern, ripples around a bright core and scattered sparks.
//
// The picture is a pure function of its size, computed with the library's
// own polynomial cosine, arc tangent and logarithm on IEEE doubles in a fixed
// order (no x87 extended precision, no contraction), so every build makes
// the same bytes: the embedded block can be checked against it anywhere.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// Monitored. Allocates image at width x height, 24 bits, and paints the
// spiral into it; allocation errors come from ImgAlloc.
void MakeSpiralPicture(ImageBuffer& image, int32_t width, int32_t height);
