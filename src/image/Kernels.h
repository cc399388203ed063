// Kernels: the image library's tables of loops, one per family, filled once
// at start with the widest vector loops that the processor has, up to the
// tier of the developer's cap (Cpu.h: CpuStartTier), and filled again by the
// tests' switch. Callers go through the tables and never
// ask the processor. Every entry has a plain loop; a vector loop gives the
// same bytes, taking a block of the pixels through the vector registers and
// leaving the rest to the plain loop. Each instruction set's loops live in a
// file of their own (PixelFormatsSsse3.cpp, MapDiffuseSse2.cpp, ...).
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/Cpu.h"
#include "image/ImageBuffer.h"

struct DitherCells;
struct DiffuseWork;
struct OrderedWork;
struct QuantArea;
struct QuantEntry;

// The pixel converters that have vector loops (PixelFormats.h), count pixels
// from src to dst: 15 and 16 bits widened to 24, 24 narrowed to 15 and 16,
// 24 spread to 32, 24 to grey levels, 8 to 24 and 32 through the palette.
using PixelLoop = void (*)(const uint8_t* src, uint8_t* dst, int32_t count);
using PaletteLoop = void (*)(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette);
struct PixelKernels {
  PixelLoop Widen555To24, Widen565To24, Narrow24To555, Narrow24To565, Spread24To32, Grey24;
  PaletteLoop PaletteTo24, PaletteTo32;
};

// The mappings (Mapping.h) of pixels of step bytes (3 or 4). Nearest: count
// pixels, each index from the byte copy of the cells (bytes) or, when that is
// null, from the cells. OrderedRow: the pixels of a row, dither being the
// row of the matrix. Diffuse: every row, in place on src.
struct MapKernels {
  void (*Nearest)(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                  const int32_t* cells);
  void (*OrderedRow)(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work);
  void (*Diffuse)(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work);
};

// The palette optimiser's nearest-entry search over the work area's first
// TargetColours palette entries (QuantizeInternal.h: QuantNearest, ties
// included): Prepare makes what the search reads, the ordered copy (ByGreen)
// or the ordered planes (GreenPlanes), once the palette is built; Nearest
// searches. Cut, the partition of a box's run when the
// box is cut: of the count entries at from, those whose cell masked with
// mask is below above (a level at most the split) go to the front of the
// count places at out, the others to their back, in any order; returns the
// number of the first. Cells, for the count: the cell of each of count
// 24-bit pixels read at step bytes (3 or 4) from p, to cells; it reads no
// byte past the last pixel's third.
struct QuantKernels {
  void (*Prepare)(QuantArea& a);
  int32_t (*Nearest)(int32_t red, int32_t green, int32_t blue, const QuantArea& a);
  int32_t (*Cut)(const QuantEntry* from, int32_t count, uint32_t mask, uint32_t above, QuantEntry* out);
  void (*Cells)(const uint8_t* p, int32_t count, int32_t step, int32_t* cells);
};

// The scaler's byte loops (ScaleLoops.h): the mean of two lines, a line
// added into 16-bit sums, sums divided into a line.
struct ScaleKernels {
  void (*AverageBytes)(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count);
  void (*AddBytes)(const uint8_t* bytes, uint8_t* words, int32_t count);
  void (*DivideWords)(const uint8_t* words, uint8_t* bytes, int32_t count, uint32_t d);
};

struct ImageKernels {
  PixelKernels Pixels;
  MapKernels Maps;
  ScaleKernels Scale;
  QuantKernels Quant;
};
extern ImageKernels Kernels;

// The tables of a tier's loops, as far as the processor has its sets
// (CpuTier::Plain: the plain loops only).
ImageKernels KernelsOf(CpuTier tier);
// Fills the tables with KernelsOf(tier), for the tests that compare each
// tier's loops with the plain ones; CpuStartTier() restores the start.
void KernelsForTests(CpuTier tier);

// The plain loops, and the tables of the converters' vector loops
// (PixelFormatsSsse3.cpp, PixelFormatsAvx2.cpp, PixelFormatsAvx512.cpp).
void Widen555To24Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void Widen565To24Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void Narrow24To555Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void Narrow24To565Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void Spread24To32Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void Grey24Plain(const uint8_t* src, uint8_t* dst, int32_t count);
void PaletteTo24Plain(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette);
void PaletteTo32Plain(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* palette);
extern const PixelKernels PixelsSsse3, PixelsAvx2, PixelsAvx512;

// The scaler's loops (Scale.cpp, ScaleAvx2.cpp).
void AverageBytesPlain(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count);
void AddBytesPlain(const uint8_t* bytes, uint8_t* words, int32_t count);
void DivideWordsPlain(const uint8_t* words, uint8_t* bytes, int32_t count, uint32_t d);
extern const ScaleKernels ScaleAvx2;

// The mappings' and the search's loops.
void MapNearestPlain(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                     const int32_t* cells);
void MapNearestAvx2(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                    const int32_t* cells);
void MapNearestAvx512(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                      const int32_t* cells);
void OrderedRowPlain(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work);
void OrderedRowAvx2(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work);
void OrderedRowAvx512(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work);
void DiffusePlain(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work);
void DiffuseSse2(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work);

void QuantSearchPlain(QuantArea& a);
int32_t QuantNearestPlain(int32_t red, int32_t green, int32_t blue, const QuantArea& a);
void QuantSearchGreenPlanes(QuantArea& a);
int32_t QuantNearestAvx2(int32_t red, int32_t green, int32_t blue, const QuantArea& a);
int32_t QuantCutPlain(const QuantEntry* from, int32_t count, uint32_t mask, uint32_t above, QuantEntry* out);
int32_t QuantCutAvx2(const QuantEntry* from, int32_t count, uint32_t mask, uint32_t above, QuantEntry* out);
void QuantCellsPlain(const uint8_t* p, int32_t count, int32_t step, int32_t* cells);
void QuantCellsAvx2(const uint8_t* p, int32_t count, int32_t step, int32_t* cells);

// A vector loop of a converter: Block converts a prefix of the pixels and
// returns its length, Plain converts the rest.
template <int32_t (*Block)(const uint8_t*, uint8_t*, int32_t), PixelLoop Plain, int SrcBytes, int DstBytes>
void KernelsBlocked(const uint8_t* src, uint8_t* dst, int32_t count) {
  const int32_t done = Block(src, dst, count);
  Plain(src + size_t(done) * SrcBytes, dst + size_t(done) * DstBytes, count - done);
}
