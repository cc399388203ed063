// Quantize: the palette optimiser. It chooses, for one image of any depth, a
// palette of at most 256 colours. ImgQuantize (Mapping.h) is the whole
// operation: these steps, then the writing of the 8-bit pixels with the
// palette they leave.
//
// Design: a box-splitting (median-cut family) quantiser over a histogram of
// 6 bits per channel. The colour cube is cut, box by box, along the axis of
// greatest weighted variance, near the point that halves that variance; each
// final box gives one palette colour. Colour distance and every weighting use
// 900, 3481 and 121 for red, green and blue (the squares of 30, 59, 11).
// QuantizeInternal.h describes how the work is laid out to make that fast.
//
// The work area is module state: the optimiser is not re-entrant and runs on
// one thread. QuantPaletteOf is the whole operation for a set of colours
// with weights instead of a picture.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// Allocates the work area when there is none (MemAlloc: a failure is the
// memory error of the enclosing section), then sets every cell to -1 and
// ColourCount and BoxCount to 0.
void QuantPrepare();
// Releases the work area (MemFree); the module pointer returns to null. The
// large arrays behind it are kept for the next call, their cells cleared.
void QuantRelease();

// Counts the pixels of source into the histogram, by depth (15, 16, 24, 32:
// each pixel; 8: each used index's count into its palette entry's cell);
// other depths and a source without pixels count nothing. Levels: 8-bit
// channels >> 2, 5-bit channels x 2, 6-bit green as it is.
void QuantCount(const ImageBuffer& source);

// Builds a palette of at most n colours (n clamped to 2..256) from the counted
// cells: the exact colours when there are no more than n, else the boxes.
// Afterwards every counted cell holds its palette index and index 0 is the
// colour nearest to black; unused entries are white.
void QuantBuild(int32_t n);

// Index of the entry among the first count of palette nearest to the 8-bit
// colour (red, green, blue) by 900 dr^2 + 3481 dg^2 + 121 db^2; ties keep the
// lower index; 0 when count is 0.
int32_t QuantNearest(int32_t red, int32_t green, int32_t blue, int32_t count, const PaletteEntry* palette);

// A colour of a set and its weight (how many pixels have it, say).
struct QuantColour {
  uint8_t Red, Green, Blue;
  uint32_t Weight;
};

// A palette built for a set of colours, and its lookup.
struct QuantPaletteMap {
  int32_t Count;             // the colours asked for, clamped to 2..256
  PaletteEntry Colours[256];  // as QuantBuild leaves them
  // The entry nearest to each 15-bit colour (red << 10 | green << 5 | blue),
  // taken at the middle of its cell (8 x level + 4): QuantNearest over the
  // first Count entries.
  uint8_t Index15[32768];
};

// Monitored. Builds into out a palette of at most n colours (n clamped to
// 2..256) for colours[0] .. colours[count - 1], each counted Weight times,
// as QuantCount and QuantBuild do for a picture of those pixels (a cell
// saturating as there, a weight of 0 counting nothing), and its lookup. The work area is allocated for the call and released before it
// returns.
// - count below 0, or colours null with count above 0: "Invalid memory
//   request." (5, 5), out unchanged.
// - A failed allocation of the work area is the memory error of this
//   section; the section frees the area.
void QuantPaletteOf(const QuantColour* colours, int32_t count, int32_t n, QuantPaletteMap& out);
