// MappingInternal: the mapping steps of ImgQuantize (Mapping.h), for the
// tests and benchmarks that run them on a palette built apart, and what the
// files of the mappings share (MapNearest.cpp, MapOrdered.cpp, MapDiffuse.cpp
// and their vector loops): the cell of a pixel, the dithers' cell lookup, and
// the rows of the diffusion.
#pragma once

#include <cstdint>
#include <cstring>

#include "image/ImageBuffer.h"
#include "image/Mapping.h"
#include "image/QuantizeInternal.h"

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

inline int32_t CellOf(const uint8_t* p) { return QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2); }

inline int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// The cell lookup of the dithers, through a byte copy of the cube, which
// stays in cache where the cells do not: every box's volume holds its index
// there (in exact mode, every counted cell its own), so a cell the mapping
// meets for the first time costs nothing unless it lies in no box. Such a
// cell's nearest entry is searched once and kept in the byte. 255 stands
// for a cell of the entry 255 too, which the boxes, the counted cell of an
// exact palette and a bit for each searched cell tell apart. The cells of
// the cube are only read, so that QuantRelease can clear just the counted
// ones.
struct DitherCells {
  QuantArea& a;
  // Held apart from the area: through a it is read again after every store
  // of a byte, which may be taken to change it.
  uint8_t* cells;
  const ColourBox* last = nullptr;  // the box of index 255
  int32_t counted255 = -1;  // in exact mode, the counted cell of index 255

  explicit DitherCells(QuantArea& area) : a(area), cells(area.CellIndex) {
    std::memset(cells, 255, QuantCells);
    std::memset(a.Nearest255, 0, QuantCells / 8);
    if (a.BoxCount == 0) {
      QuantCountedIndices(cells);
      for (int32_t i = 0; i < a.ColourCount; ++i)
        if (a.Histogram[a.Occupied[i].Cell] == 255) counted255 = a.Occupied[i].Cell;
      return;
    }
    for (int32_t i = 0; i < a.BoxCount; ++i) {
      // The box by value: the bytes stored could otherwise be taken to
      // change it, and it would be read again for every run.
      const ColourBox x = a.Boxes[i];
      const uint8_t k = uint8_t(a.BoxIndex[i]);
      if (k == 255) last = &a.Boxes[i];
      const int32_t n = x.RSpan + 1;
      for (int32_t lb = x.BMin; lb <= x.BMax; ++lb) {
        uint8_t* run = cells + QuantCell(x.RMin, x.GMin, lb);
        for (int32_t lg = x.GMin; lg <= x.GMax; ++lg, run += 64) FillRun(run, n, k);
      }
    }
  }
  // n bytes of k from p: by words that may overlap, never past the run. Most
  // runs are short, and a loop of bytes would mispredict its end.
  static void FillRun(uint8_t* p, int32_t n, uint8_t k) {
    const uint64_t word = 0x0101010101010101ull * k;
    if (n >= 8) {
      for (int32_t i = 0; i + 8 < n; i += 8) std::memcpy(p + i, &word, 8);
      std::memcpy(p + n - 8, &word, 8);
    } else if (n >= 4) {
      std::memcpy(p, &word, 4);
      std::memcpy(p + n - 4, &word, 4);
    } else if (n >= 2) {
      std::memcpy(p, &word, 2);
      std::memcpy(p + n - 2, &word, 2);
    } else if (n == 1) {
      *p = k;
    }
  }
  int32_t operator()(intptr_t cell) {
    uint8_t v = cells[cell];
    return v != 255 ? v : Slow(int32_t(cell));
  }
  int32_t Slow(int32_t cell) {
    uint32_t& marks = a.Nearest255[cell >> 5];
    const uint32_t bit = 1u << (cell & 31);
    if ((last && QuantBoxHolds(*last, cell)) || cell == counted255 || (marks & bit)) return 255;
    const int32_t k = QuantNearestOfCell(cell);
    if (k == 255)
      marks |= bit;
    else
      cells[cell] = uint8_t(k);
    return k;
  }
};

inline void CopyPalette(ImageBuffer& target) {
  std::memcpy(target.Palette, QuantWorkArea()->QuantPalette, sizeof target.Palette);
}

// What the ordered dither's row loops share: the palette's entries, each
// also as blue | green << 8 | red << 16, and the end of the source block.
struct OrderedWork {
  DitherCells& look;
  const PaletteEntry* entries;
  const uint32_t* palette;
  const uint8_t* end;
  int32_t width, step;
};

// The ordered dither of pixels x to the end of the row at p, pixel by
// pixel; dither is the row of the matrix.
void OrderedPixelsFrom(int32_t x, const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work);

// The four shares of an error, as DiffuseTable gives them for the weights 7,
// 3, 5 and 1, side by side: one line of cache serves a channel's four
// additions.
struct DiffuseShare {
  int8_t Right, BelowLeft, Below, BelowRight;
};
// The largest share in size: round(19 x 7 / 16).
constexpr int32_t DiffuseMaxShare = 8;

struct DiffuseShares {
  DiffuseShare table[513];
  const DiffuseShare* At;  // indexed by the error, -256..256
  // A component plus a share, clamped to 0..255, by one load.
  uint8_t clamped[256 + 2 * DiffuseMaxShare];
  const uint8_t* Clamp;  // indexed by -DiffuseMaxShare..255 + DiffuseMaxShare
  DiffuseShares() : At(table + 256), Clamp(clamped + DiffuseMaxShare) {
    for (int32_t v = -DiffuseMaxShare; v < 256 + DiffuseMaxShare; ++v)
      clamped[v + DiffuseMaxShare] = uint8_t(Clamp255(v));
    int32_t t7[513], t3[513], t5[513], t1[513];
    DiffuseTable(7, t7);
    DiffuseTable(3, t3);
    DiffuseTable(5, t5);
    DiffuseTable(1, t1);
    for (int32_t i = 0; i < 513; ++i)
      table[i] = DiffuseShare{int8_t(t7[i]), int8_t(t3[i]), int8_t(t5[i]), int8_t(t1[i])};
  }
};

// One row of the diffusion. The pixel being mapped is held in registers; the
// shares go into the pixels of the row below in place, as in the plain
// loop, each clamped as it is added, so the result is the same.
struct DiffuseRow {
  uint8_t* row = nullptr;
  uint8_t* below = nullptr;  // null on the last row
  uint8_t* out = nullptr;
  int32_t width = 0, step = 0;
  bool quietStart = false;  // even rows: the first pixel passes no error
  int32_t cb = 0, cg = 0, cr = 0;  // the pixel at x, with every share it gets

  DiffuseRow() = default;
  DiffuseRow(uint8_t* src, size_t rowBytes, int32_t y, int32_t height, int32_t w, int32_t s, uint8_t* o)
      : row(src + rowBytes * y), below(y + 1 < height ? row + rowBytes : nullptr), out(o + size_t(w) * y),
        width(w), step(s), quietStart((y & 1) == 0) {}

  // Whether pixel x has neighbours on both sides and a row below: most
  // pixels, which StepInside maps without testing for the edges.
  bool Inside(int32_t x) const { return x > 0 && x < width - 1 && below; }

  template <class Look>
  __attribute__((always_inline)) inline void StepInside(int32_t x, Look& look, const PaletteEntry* palette,
                                                        const DiffuseShares& t) {
    uint8_t* p = row + size_t(x) * step;
    int32_t k = look(QuantCell(cr >> 2, cg >> 2, cb >> 2));
    out[x] = uint8_t(k);
    p[0] = uint8_t(cb), p[1] = uint8_t(cg), p[2] = uint8_t(cr);
    const PaletteEntry& c = palette[k];
    const DiffuseShare &sb = t.At[cb - c.Blue], &sg = t.At[cg - c.Green], &sr = t.At[cr - c.Red];
    // Component plus share summed pointer-sized: the index needs no widening.
    auto add = [&](uint8_t* v, int8_t DiffuseShare::*weight) {
      v[0] = t.Clamp[intptr_t(v[0]) + sb.*weight], v[1] = t.Clamp[intptr_t(v[1]) + sg.*weight],
      v[2] = t.Clamp[intptr_t(v[2]) + sr.*weight];
    };
    // The pixel to the right is held, not stored.
    cb = t.Clamp[intptr_t(p[step]) + sb.Right], cg = t.Clamp[intptr_t(p[step + 1]) + sg.Right],
    cr = t.Clamp[intptr_t(p[step + 2]) + sr.Right];
    uint8_t* q = below + size_t(x) * step;
    add(q - step, &DiffuseShare::BelowLeft);
    add(q, &DiffuseShare::Below);
    add(q + step, &DiffuseShare::BelowRight);
  }

  // A pixel on an edge: the plain rule with every test.
  template <class Look>
  __attribute__((always_inline)) inline void StepAtEdge(int32_t x, Look& look, const PaletteEntry* palette,
                                                        const DiffuseShares& t) {
    uint8_t* p = row + size_t(x) * step;
    const bool right = x < width - 1;
    // Read when the row above has written its last shares into it.
    if (x == 0) cb = p[0], cg = p[1], cr = p[2];
    int32_t k = look(QuantCell(cr >> 2, cg >> 2, cb >> 2));
    out[x] = uint8_t(k);
    p[0] = uint8_t(cb), p[1] = uint8_t(cg), p[2] = uint8_t(cr);
    if (x == 0 && quietStart) {
      if (right) cb = p[step], cg = p[step + 1], cr = p[step + 2];
      return;
    }
    const PaletteEntry& c = palette[k];
    const DiffuseShare &sb = t.At[cb - c.Blue], &sg = t.At[cg - c.Green], &sr = t.At[cr - c.Red];
    auto add = [&](uint8_t* v, int8_t DiffuseShare::*weight) {
      v[0] = t.Clamp[intptr_t(v[0]) + sb.*weight], v[1] = t.Clamp[intptr_t(v[1]) + sg.*weight],
      v[2] = t.Clamp[intptr_t(v[2]) + sr.*weight];
    };
    if (right) {
      add(p + step, &DiffuseShare::Right);
      cb = p[step], cg = p[step + 1], cr = p[step + 2];
    }
    if (below) {
      uint8_t* q = below + size_t(x) * step;
      if (x > 0) add(q - step, &DiffuseShare::BelowLeft);
      add(q, &DiffuseShare::Below);
      if (right) add(q + step, &DiffuseShare::BelowRight);
    }
  }

  template <class Look>
  __attribute__((always_inline)) inline void Map(int32_t x, Look& look, const PaletteEntry* palette,
                                                 const DiffuseShares& t) {
    if (Inside(x))
      StepInside(x, look, palette, t);
    else
      StepAtEdge(x, look, palette, t);
  }
};

// How many pixels the lower row of a pair maps behind the upper: at least
// two, so that pixel x + 1 of the lower row, the last it reads to map x, has
// received all its shares from the upper row; a few more, so that what it
// reads was stored some pixels before and its chain of lookups need not
// wait on the upper row's.
constexpr int32_t DiffuseLag = 6;

// What the inner loops of a pair of rows share.
struct DiffuseWork {
  DitherCells& look;
  const PaletteEntry* palette;
  const DiffuseShares& shares;
  int32_t width;
};

// Steps x to the one before to of a pair of rows (the lower DiffuseLag
// pixels behind), pixel by pixel; returns to. On copies of the rows and of
// the lookup, so that what the pixels' bytes are written through cannot be
// taken to change them, and they can stay in registers.
inline int32_t DiffuseEdges(DiffuseRow (&pair)[2], int32_t x, int32_t to, DiffuseWork& work) {
  DiffuseRow upper = pair[0], lower = pair[1];
  DitherCells look = work.look;
  const PaletteEntry* palette = work.palette;
  const DiffuseShares& shares = work.shares;
  const int32_t w = work.width;
  for (; x < to; ++x) {
    if (x < w) upper.Map(x, look, palette, shares);
    if (x >= DiffuseLag) lower.Map(x - DiffuseLag, look, palette, shares);
  }
  pair[0] = upper, pair[1] = lower;
  return x;
}

// Maps the rows in pairs, the lower DiffuseLag pixels behind the upper, so
// that the two chains of lookups, each waiting on its own last error,
// overlap. Interior(pair, x) maps the run from x = DiffuseLag + 1 in which
// both rows map pixels with neighbours on every side, when the lower row has
// a row below, and returns the x it stopped at; the edges go pixel by pixel.
template <class Interior>
void DiffuseRows(uint8_t* src, int32_t h, int32_t step, uint8_t* out, DiffuseWork& work, Interior interior) {
  const int32_t w = work.width;
  const size_t rowBytes = size_t(w) * step;
  int32_t y = 0;
  for (; y + 1 < h; y += 2) {
    DiffuseRow pair[2] = {{src, rowBytes, y, h, w, step, out}, {src, rowBytes, y + 1, h, w, step, out}};
    int32_t x = DiffuseEdges(pair, 0, DiffuseLag + 1 < w + DiffuseLag ? DiffuseLag + 1 : w + DiffuseLag, work);
    if (pair[1].below) x = interior(pair, x);
    DiffuseEdges(pair, x, w + DiffuseLag, work);
  }
  if (y < h) {
    DiffuseRow row(src, rowBytes, y, h, w, step, out);
    for (int32_t x = 0; x < w; ++x) row.Map(x, work.look, work.palette, work.shares);
  }
}
