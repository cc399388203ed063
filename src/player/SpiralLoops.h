// SpiralLoops: the player's table of loops, filled once at start for the
// tier of loops of the image layer (image/Cpu.h: the processor's, capped by
// SPIRALUX_CPU) and filled again by the tests' switch. The set-up works out
// every pixel's cell with Cells. A frame's table is made ring by ring from
// the ring's design entries (Spiral.h): Colours blends them with the ring's
// inks, Indices turns the colours into palette indices, Reversed and
// Reversed8 lay them out backwards for the phases that mirror them. Every
// entry has a plain loop; a vector loop gives the same bytes, taking a block
// of the entries through the vector registers and leaving the rest to the
// plain loop. Each instruction set's loops live in a file of their own
// (SpiralLoopsSse2.cpp, SpiralLoopsAvx2.cpp).
#pragma once

#include <cstdint>

#include "assets/SpiralPicture.h"
#include "image/Cpu.h"

// Arms' phases per turn of the phase.
constexpr int32_t SpiralPhases = 1024;

// Entries of a ring's design row, one plane after another: the fixed part's
// blue, green and red in 8.8 fixed point, then the weights of the amber and
// the gold ink (1.0 = 65535). Design phases 0..SpiralPhases / 2 are kept (the
// others mirror them), padded to a whole number of vector blocks.
constexpr int32_t SpiralRowEntries = 528;
constexpr int32_t SpiralRowPlanes = 5;

// Colours: the colours 0x00RRGGBB of count entries (count <= SpiralRowEntries)
// of a design row into out, with the ring's inks (amber blue, green, red,
// then gold blue, green, red). Each channel is the fixed part and the two
// inks' parts (weight x ink x 256 / 65536, a multiply-high) rounded to its
// byte: (rest + part + part + 128) >> 8. The parts of a design entry add up
// to at most 255 x 256 + 2 (every colour is a blend), which the 16-bit lanes
// of the vector loops rely on.
// Reversed, Reversed8: out[-i] = in[i] for i in 0..count - 1.
// Indices: out[i] = index15[the 15-bit colour of colours[i]] (red >> 3 << 10
// | green >> 3 << 5 | blue >> 3), for a palette's 15-bit map.
//
// Cells: the cells (ring * SpiralPhases + phase, Spiral.h) of pixels
// 0..count - 1 of row y of grid. A pixel's ring and phase are its distance
// from the spiral's centre in ring steps and its arms' phase in phases,
// rounded: the ring down (one step wide to grid.Fine, SpiralCoarseWidth
// steps beyond), the phase to nearest. They come from the fast position
// (SpiralPointNear), or from the exact one where a value lies within
// SpiralCellMargin of a step of its rounding; the fast one lies far closer
// to the exact one than that, so every pixel gets the cell of its exact
// position. A vector loop works out the fast position in its own lanes and
// takes SpiralCellAt for the pixels so close to a step.
struct SpiralCellGrid {
  SpiralPlacement Place;
  double InverseHalf;  // 1 / Place.Half
  double Scale;        // ring steps per half-height
  int32_t Fine;        // the rings one step wide
};
constexpr int32_t SpiralCoarseWidth = 4;
constexpr double SpiralCellMargin = 1e-6;
uint32_t SpiralCellAt(const SpiralCellGrid& grid, int32_t x, int32_t y);

struct SpiralLoops {
  void (*Cells)(const SpiralCellGrid& grid, int32_t y, int32_t count, uint32_t* out);
  void (*Colours)(const uint16_t* row, const uint8_t* inks, int32_t count, uint32_t* out);
  void (*Reversed)(const uint32_t* in, int32_t count, uint32_t* out);
  void (*Reversed8)(const uint8_t* in, int32_t count, uint8_t* out);
  void (*Indices)(const uint32_t* colours, int32_t count, const uint8_t* index15, uint8_t* out);
};
extern SpiralLoops SpiralKernels;

// The table for a tier (CpuTier::Plain: the plain loops only; sse2 and
// ssse3: the SSE2 loops; avx2 and avx512: the AVX2 ones), never above the
// processor's sets; and the table filled again for a tier, for the tests
// that compare the tiers (CpuStartTier() restores the start).
SpiralLoops SpiralLoopsOf(CpuTier tier);
void SpiralLoopsForTests(CpuTier tier);

// The plain loops, and the vector ones (SpiralLoopsSse2.cpp,
// SpiralLoopsAvx2.cpp).
void SpiralCellsPlain(const SpiralCellGrid& grid, int32_t y, int32_t count, uint32_t* out);
void SpiralColoursPlain(const uint16_t* row, const uint8_t* inks, int32_t count, uint32_t* out);
void SpiralReversedPlain(const uint32_t* in, int32_t count, uint32_t* out);
void SpiralReversed8Plain(const uint8_t* in, int32_t count, uint8_t* out);
void SpiralIndicesPlain(const uint32_t* colours, int32_t count, const uint8_t* index15, uint8_t* out);
extern const SpiralLoops SpiralLoopsSse2, SpiralLoopsAvx2;
// The AVX2 table's Indices too: its lookups are one by one, which wider
// registers do not speed up.
void SpiralIndicesSse2(const uint32_t* colours, int32_t count, const uint8_t* index15, uint8_t* out);
