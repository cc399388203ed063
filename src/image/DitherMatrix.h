// DitherMatrix: the 128 x 128 threshold table of the ordered dither,
// row-major, read at [y mod 128][x mod 128].
//
// A blue-noise array (void-and-cluster, made by tools/dithergen): its values
// are the 64 levels round(k x 255 / 63), each exactly 256 times, so the table
// averages 127.5; neighbouring values differ widely, every aligned 4 x 4 block
// averages 108 to 146 and every aligned 8 x 8 block 121 to 134.
#pragma once

#include <cstdint>

extern const uint8_t DitherMatrix[128][128];
