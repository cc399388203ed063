// QuantizeInternal: the palette optimiser's work area and its steps, shared
// by the optimiser (Quantize.cpp), the mappings that read its cells
// (the Map*.cpp files) and the tests. Quantize.h holds the entry points.
//
// The results are defined by the cube of cells, but the work is done on a
// list of the occupied cells: each box owns a contiguous run of that list, a
// cut partitions the run, and pulling a box's faces in to its first occupied
// slabs is the bounding box of its run. Each box keeps per-slab sums of its
// cells and, from them, exact integer moments (QuantBoxTotals) that give
// its mean and its spreads without a pass over the slabs. A cut sums only
// the smaller part, on the two axes that it does not cut (on the cut axis
// each part's slabs are the box's), and takes the larger as the box less
// it. So a picture with few colours costs little however large the cube is.
// The plain scan of the cube remains in the tests as the reference.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"
#include "image/Quantize.h"
#include "runtime/Errors.h"

constexpr int32_t QuantCells = 262144;  // 64 x 64 x 64

// Cell of 6-bit levels: red fastest, then green, then blue.
inline int32_t QuantCell(int32_t r, int32_t g, int32_t b) { return r + 64 * g + 4096 * b; }
// Cell of a 24-bit pixel read as the word blue | green << 8 | red << 16.
inline int32_t QuantCellOfWord(uint32_t w) { return (w >> 18 & 0x3F) | (w >> 4 & 0xFC0) | (w << 10 & 0x3F000); }

struct ColourBox {
  int32_t RMin, RMax, GMin, GMax, BMin, BMax;  // inclusive bounds in 6-bit levels
  int32_t RSpan, GSpan, BSpan;                 // max - min per axis
  int32_t Diagonal;                            // 900 RSpan^2 + 3481 GSpan^2 + 121 BSpan^2
  double RVariance, GVariance, BVariance;      // weighted spread per axis
};

// Sums over the occupied cells of a box, with w = value + 1 (the pixels of
// a cell) and v = value, l the cell's level on an axis: the pixels (sum of
// w), and per axis the sums of w l, v l and v l^2. With the number of cells
// they give the mean and each axis's spread, the sum of v (l - mean)^2.
struct QuantBoxTotals {
  int64_t Pixels;
  int64_t PixelLevels[3], ValueLevels[3], ValueSquares[3];
};

// A palette as planes for a vector search, the entries ordered by green
// (ties by index). The distance to a query (r, g, b) less the query's own
// term, 900 r^2 + 3481 g^2 + 121 b^2, which is the same for every entry, is
// Square - 1800 R r - 6962 G g - 242 B b: the entry's own term less its
// components times twice the weights times the query's. The search goes
// outward from the query's green and stops where the green term alone
// exceeds the best distance: place QuantPad + p holds the p-th
// entry in that order with its index, and the places past the entries on
// either side hold entries that never win (Square 2^30, index INT32_MAX).
// Start[l] is the first place whose green is at least 4 l. The products
// come from 16-bit halves, two at a time (a multiply-add of pairs):
// RedGreen holds 30 R and 59 G, Blue 11 B and 0, and the query's halves
// are 60 r and 118 g, and 22 b (QuantQuery).
constexpr int32_t QuantPad = 8;
struct QuantGreenPlanes {
  int32_t Square[256 + 2 * QuantPad], RedGreen[256 + 2 * QuantPad], Blue[256 + 2 * QuantPad];
  int32_t Index[256 + 2 * QuantPad], Level[256 + 2 * QuantPad];  // Level: the entry's green
  int32_t Start[64];
};
inline int32_t QuantHalves(int32_t low, int32_t high) { return int32_t(uint32_t(low) | uint32_t(high) << 16); }
struct QuantQuery {
  int32_t RedGreen, Blue;
  QuantQuery(int32_t red, int32_t green, int32_t blue)
      : RedGreen(QuantHalves(60 * red, 118 * green)), Blue(22 * blue) {}
};

// An occupied cell and its counted value.
struct QuantEntry {
  int32_t Cell, Value;
};

// The work area: a tracked record for each quantisation, whose large arrays
// (the cube, the lists, the sums) lie in one block that the optimiser keeps
// from one call to the next (QuantPrepare): allocating megabytes per call,
// and clearing the whole cube, cost more than a small picture's work. It is
// released with the process.
struct QuantArea {
  // Before the palette is built: -1 for a colour no pixel has, else its pixel
  // count minus 1, saturated at 2147483647. After: the palette index of every
  // counted cell; the others stay -1 until the cell lookup (or, for the
  // cells inside the boxes, QuantFillVolumes) gives them theirs.
  int32_t* Histogram;  // QuantCells cells
  int32_t ColourCount;             // cells other than -1 after counting
  PaletteEntry QuantPalette[256];  // the palette being built
  int32_t LevelTable[256];         // 4 x mean level -> component: 0 for 0..3, else itself
  int32_t BoxCount;
  ColourBox Boxes[256];
  int32_t TargetColours;           // 2..256
  // The optimiser's own index: the occupied cells (ColourCount of them,
  // listed by QuantCount in order of first appearance, or in cell order for
  // a large picture), each with its
  // counted value once QuantSplit starts, regrouped so that box i owns the
  // run BoxFirst[i] .. BoxLast[i] - 1. Reading the values from the list, not
  // the cube, keeps the splitting in cache.
  using Entry = QuantEntry;
  // A cut reads a run from one list and writes its two parts to the same
  // places of the other; BoxList tells which list holds a box (0: Occupied,
  // 1: Spare). The order inside a run means nothing.
  // Occupied has one entry more than the cells, since counting writes one
  // entry ahead, and 255 more so that the same place in the two lists lies
  // half a page (2048 bytes modulo 4096) apart: a cut from Occupied to Spare
  // would otherwise store, entry by entry, to addresses that the processor
  // takes for the next loads (they agree in their low 12 bits) and wait.
  Entry* Occupied;  // QuantCells + 256 entries
  Entry* Spare;     // QuantCells entries
  int32_t BoxFirst[256];
  int32_t BoxLast[256];
  int32_t BoxList[256];
  // Per box while splitting: its totals, its mean (each level rounded half
  // to even) and spread per axis, and its greatest variance of an axis that
  // can be cut (-1 when none), which is what QuantPickBox compares. Its
  // slabs are the Slot-th of the optimiser's slab arrays: per slab of each
  // axis, the cells and the pixels of the box at that level, packed in one
  // word so that one addition counts a cell (NarrowSlabs: 32-bit words, for
  // a picture of fewer than 65536 pixels; else 64-bit).
  QuantBoxTotals Totals[256];
  int32_t Mean[256][3];
  int64_t Spread[256][3];
  int32_t Slot[256];
  Bool32 NarrowSlabs;
  double BestVariance[256];
  int32_t BestAxis[256];
  // A tournament over BestVariance: node i (1..255) holds the better box of
  // nodes 2i and 2i + 1, leaf 256 + b is box b; the better box has the
  // greater variance, or the lower index on equal variances.
  int32_t PickTree[512];
  // The first TargetColours palette entries ordered by green (ties by index),
  // for the cell lookup's search. Searcher names the loop table's search
  // (Kernels.h) once it has made what it reads, this copy or the planes;
  // null until then.
  struct SortedEntry {
    int32_t Green, Red, Blue, Index;
  };
  SortedEntry ByGreen[256];
  // The same entries as planes ordered by green, for a vector search outward.
  QuantGreenPlanes GreenPlanes;
  int32_t (*Searcher)(int32_t red, int32_t green, int32_t blue, const QuantArea& a);
  // The palette index of each box (its own number until QuantBlackFirst
  // exchanges two), and whether every cell inside the boxes holds it yet.
  int32_t BoxIndex[256];
  Bool32 VolumesFilled;
  // 16-bit counters for a true-colour picture with more pixels than cells:
  // half the cube's size stays in cache; a counter that would wrap goes to
  // 1 and adds 65535 to its cell, and the counters are added into the cells
  // at the end, which leaves them 0 again: they are 0 between calls.
  uint16_t* Counts16;  // QuantCells counters
  // The low bytes of the cells, for the nearest mapping of a picture with
  // more pixels than cells: a quarter of the cube's size stays in cache.
  uint8_t* CellIndex;  // QuantCells bytes
  // A bit for each cell, for the dithers: the cells in no box whose
  // nearest entry is 255, which CellIndex cannot tell from those not met.
  uint32_t* Nearest255;  // QuantCells bits
  // Set by every step that writes a cell other than the counted ones (a
  // box's volume, a lookup): QuantRelease can then not tell which cells to
  // clear, and the next QuantPrepare sets them all to -1.
  Bool32 CellsScattered;
};

// Runs a step of the optimiser or of a mapping whose errors go to the trace
// (TraceException); the work goes on with whatever state was reached.
template <class Step>
void QuantTraced(Step&& step) {
  try {
    step();
  } catch (...) {
    TraceException();
  }
}

// The work area of the quantisation in progress; null when none.
QuantArea* QuantWorkArea();

// The steps of QuantBuild, in the order it calls them.
void QuantExactPalette();
void QuantSplit();
// Box and axis (0 red, 1 green, 2 blue) of greatest variance among boxes
// whose Diagonal is above 0; ties go to the lower box, then red, green, blue.
// An axis whose span is 0 is never chosen. False when no box qualifies.
bool QuantPickBox(int32_t& box, int32_t& axis);
// Sums the box's run whole, pulls its faces in to its first and last
// occupied slabs and makes its statistics.
void QuantShrinkBox(int32_t box);
// Mean colour of a box weighted by pixel count, from the totals that its
// QuantShrinkBox or its cut left. Statistics mode: 6-bit
// levels, each rounded half to even. Palette mode: 8-bit components through
// LevelTable[trunc(4 x mean)]. (0, 0, 0) for an empty box.
enum QuantMeanMode { QuantMeanStats, QuantMeanPalette };
void QuantBoxMean(int32_t box, QuantMeanMode mode, int32_t& r, int32_t& g, int32_t& b);
// Writes index into every cell inside the box's bounds, empty or not.
void QuantFillBox(int32_t box, int32_t index);
// Palette entry i is the palette-mode mean of box i; the box's counted cells
// get index i. Its empty cells get the index when the cell lookup first meets
// them, or all at once by QuantFillVolumes: the same cube as filling every box
// whole, without the cost for a mapping that reads only counted cells.
void QuantBoxPalette();
// QuantFillBox for every box with its palette index; the dithers call it.
void QuantFillVolumes();
// Whether the cell lies inside the box's bounds.
inline bool QuantBoxHolds(const ColourBox& x, int32_t cell) {
  const int32_t r = cell & 63, g = cell >> 6 & 63, b = cell >> 12;
  return r >= x.RMin && r <= x.RMax && g >= x.GMin && g <= x.GMax && b >= x.BMin && b <= x.BMax;
}
// Exchanges palette entries 0 and the one nearest to black, and the two
// indices wherever the cells hold them.
void QuantBlackFirst();
// Writes the palette index of every counted cell, as a byte, at the cell's
// place in bytes (QuantCells of them), once the palette is built; the other
// bytes are left as they are. For a mapping that meets counted cells only.
void QuantCountedIndices(uint8_t* bytes);

// QuantNearest over the first count entries of palette, searching outward in
// green from the query through an ordered copy of the entries (made by
// QuantSortPalette) and stopping where the green term alone exceeds the best
// distance; the same result, ties included.
void QuantSortPalette(const PaletteEntry* palette, int32_t count, QuantArea::SortedEntry* sorted);
int32_t QuantNearestSorted(int32_t red, int32_t green, int32_t blue, int32_t count,
                           const QuantArea::SortedEntry* sorted);

// The ordered planes of the first count entries, from their ordered copy
// (QuantSortPalette), for the vector search (Kernels.h: QuantKernels), which
// gives QuantNearest's result, ties included.
void QuantGreenPlanesOf(const QuantArea::SortedEntry* sorted, int32_t count, QuantGreenPlanes& planes);

// The cell lookup: the palette index of the 6-bit colour (r, g, b). A cell
// still -1 inside a box gets the box's index; any other gets the QuantNearest
// entry (over TargetColours entries) of its colour taken as 8-bit (each level
// x 4). The cell keeps it.
int32_t QuantLookupSlow(int32_t cell);
// The cell lookup of a cell that lies in no box: its QuantNearest entry,
// which the cell keeps.
int32_t QuantLookupOutside(int32_t cell);
// The same entry, left out of the cell.
int32_t QuantNearestOfCell(int32_t cell);
inline int32_t QuantLookup(QuantArea& area, int32_t cell) {
  int32_t v = area.Histogram[cell];
  return v >= 0 ? v & 255 : QuantLookupSlow(cell);
}
