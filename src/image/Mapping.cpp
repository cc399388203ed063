// ImgQuantize and the three mappings of source pixels onto the palette.
#include "image/Mapping.h"

#include <cstring>
#include <immintrin.h>

#include "image/PixelFormats.h"
#include "image/Cpu.h"
#include "image/DitherMatrix.h"
#include "image/QuantizeInternal.h"
#include "runtime/Errors.h"

namespace {

inline int32_t CellOf(const uint8_t* p) { return QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2); }

inline int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// The byte copy of the cells (QuantizeInternal.h: CellIndex), -1 becoming 255.
void FillCellIndex(QuantArea& a) {
  for (int32_t c = 0; c < QuantCells; ++c) a.CellIndex[c] = uint8_t(a.Histogram[c]);
}

// The cell lookup of the dithers, through a byte copy of the cube, which
// stays in cache where the cells do not: every box's volume holds its index
// there (in exact mode, every counted cell its own), so a cell the mapping
// meets for the first time costs nothing unless it lies in no box. 255
// stands for such a cell, or one of the box of index 255, and the cells
// decide.
struct DitherCells {
  QuantArea& a;
  const ColourBox* last = nullptr;  // the box of index 255

  explicit DitherCells(QuantArea& area) : a(area) {
    std::memset(a.CellIndex, 255, QuantCells);
    if (a.BoxCount == 0) {
      for (int32_t i = 0; i < a.ColourCount; ++i) {
        int32_t cell = a.Occupied[i].Cell;
        a.CellIndex[cell] = uint8_t(a.Histogram[cell]);
      }
      return;
    }
    for (int32_t i = 0; i < a.BoxCount; ++i) {
      const ColourBox& x = a.Boxes[i];
      const uint8_t k = uint8_t(a.BoxIndex[i]);
      if (k == 255) last = &x;
      for (int32_t lb = x.BMin; lb <= x.BMax; ++lb)
        for (int32_t lg = x.GMin; lg <= x.GMax; ++lg) FillRun(a.CellIndex + QuantCell(x.RMin, lg, lb), x.RSpan + 1, k);
    }
  }
  // n bytes of k from p: by words that may overlap, never past the run.
  static void FillRun(uint8_t* p, int32_t n, uint8_t k) {
    if (n < 8) {
      for (int32_t i = 0; i < n; ++i) p[i] = k;
      return;
    }
    const uint64_t word = 0x0101010101010101ull * k;
    for (int32_t i = 0; i + 8 < n; i += 8) std::memcpy(p + i, &word, 8);
    std::memcpy(p + n - 8, &word, 8);
  }
  int32_t operator()(intptr_t cell) {
    uint8_t v = a.CellIndex[cell];
    return v != 255 ? v : Slow(int32_t(cell));
  }
  int32_t Slow(int32_t cell) {
    int32_t k = a.Histogram[cell];
    if (k < 0) {
      a.CellsScattered = True32;
      if (last && QuantBoxHolds(*last, cell))
        k = a.Histogram[cell] = 255;
      else
        k = QuantLookupOutside(cell);
    }
    a.CellIndex[cell] = uint8_t(k);
    return k & 255;
  }
};

void CopyPalette(ImageBuffer& target) {
  std::memcpy(target.Palette, QuantWorkArea()->QuantPalette, sizeof target.Palette);
}

}  // namespace

void DiffuseTable(int32_t k, int32_t table[513]) {
  // round(m k / 16) with halves to the even neighbour.
  auto share = [k](int32_t m) {
    int32_t q = m * k / 16, rest = m * k % 16;
    return q + (rest > 8 || (rest == 8 && (q & 1)));
  };
  for (int32_t e = -256; e <= 256; ++e) {
    int32_t m = e < 0 ? -e : e, v = 0;
    if (m <= 19)
      v = share(m);
    else if (m <= 38)
      v = share(m - 19) / 2;
    else if (m <= 57)
      v = share(m - 38) / 4;
    table[e + 256] = e < 0 ? -v : v;
  }
}

namespace {

// ---------------------------------------------- AVX-512 loops of the mappings
//
// Where the processor has AVX-512 with byte permutes, the nearest mapping and
// the ordered dither, whose pixels do not wait on each other, go sixteen
// pixels at a time: the components spread to 32-bit lanes, the cells
// computed in the lanes, their indices gathered.
#define MAPPING_AVX512_FN __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline
#define MAPPING_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

CPU_AVX512_BEGIN

// The blue, green and red of sixteen pixels of Step bytes from the 64 bytes
// at p, each in the low byte of its lane.
template <int Step>
MAPPING_AVX512_FN void SpreadPixels(const uint8_t* p, __m512i& b, __m512i& g, __m512i& r) {
  static const struct Spread {
    alignas(64) uint8_t Index[3][64];
    Spread() : Index{} {
      for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 16; ++j) Index[c][4 * j] = uint8_t(Step * j + c);
    }
  } spread;
  const __mmask64 lowBytes = 0x1111111111111111ull;
  const __m512i bytes = _mm512_loadu_si512(p);
  b = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[0]), bytes);
  g = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[1]), bytes);
  r = _mm512_maskz_permutexvar_epi8(lowBytes, _mm512_load_si512(spread.Index[2]), bytes);
}

MAPPING_AVX512_FN __m512i CellsOf(__m512i b, __m512i g, __m512i r) {
  return _mm512_or_si512(_mm512_srli_epi32(r, 2),
                         _mm512_or_si512(_mm512_slli_epi32(_mm512_srli_epi32(g, 2), 6),
                                         _mm512_slli_epi32(_mm512_srli_epi32(b, 2), 12)));
}

// The bytes of sixteen cells of a byte cube, by gathering the aligned words
// that hold them: no read passes the cube's end.
MAPPING_AVX512_FN __m512i GatherBytes(__m512i cells, const uint8_t* cube) {
  const __m512i words = _mm512_i32gather_epi32(_mm512_andnot_si512(_mm512_set1_epi32(3), cells), cube, 1);
  return _mm512_and_si512(_mm512_srlv_epi32(words, _mm512_slli_epi32(_mm512_and_si512(cells, _mm512_set1_epi32(3)), 3)),
                          _mm512_set1_epi32(255));
}

// The nearest mapping of count pixels, sixteen at a time while the 64-byte
// load stays inside the block; returns the pixels done. Every cell was
// counted: the byte copy (bytes) or the cells themselves hold its index.
template <int Step>
MAPPING_AVX512 int32_t MapNearestAvx512(const uint8_t* src, int32_t count, uint8_t* out, const uint8_t* bytes,
                                        const int32_t* cells) {
  int32_t i = 0;
  for (; i + 16 <= count && int64_t(i) * Step + 64 <= int64_t(count) * Step; i += 16) {
    __m512i b, g, r;
    SpreadPixels<Step>(src + size_t(i) * Step, b, g, r);
    const __m512i cell = CellsOf(b, g, r);
    const __m512i k = bytes ? GatherBytes(cell, bytes) : _mm512_i32gather_epi32(cell, cells, 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm512_cvtepi32_epi8(k));
  }
  return i;
}

CPU_AVX512_END

// The nearest mapping of count pixels, each read as a word but the last,
// which is read byte by byte so that no load passes the end of the block.
// Every pixel's cell was counted, so Cells holds its index already. The
// pointers are locals: the bytes written must not be taken to change them.
template <int Step, class Cells>
void MapNearestWords(const uint8_t* src, int32_t count, uint8_t* out, Cells cells) {
  const uint8_t* p = src;
  uint8_t* o = out;
  for (uint8_t* const last = out + count - 1; o != last; ++o, p += Step) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    *o = uint8_t(cells[QuantCellOfWord(w)]);
  }
  *o = uint8_t(cells[CellOf(p)]);
}

}  // namespace

void QuantMapNearest(const uint8_t* src, int32_t count, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    // For a picture with more pixels than cells, through the byte copy of
    // the cells, which stays in cache where the cells do not.
    const bool bytes = count > QuantCells;
    if (bytes) FillCellIndex(a);
    int32_t done = 0;
    if (CpuHasAvx512Vbmi()) {
      const uint8_t* cube = bytes ? a.CellIndex : nullptr;
      done = step == 3 ? MapNearestAvx512<3>(src, count, target.Pixels, cube, a.Histogram)
                       : MapNearestAvx512<4>(src, count, target.Pixels, cube, a.Histogram);
    }
    const uint8_t* rest = src + size_t(done) * step;
    uint8_t* out = target.Pixels + done;
    auto map = [&](auto cells) {
      if (done == count) return;
      if (step == 3)
        MapNearestWords<3>(rest, count - done, out, cells);
      else
        MapNearestWords<4>(rest, count - done, out, cells);
    };
    if (bytes)
      map(static_cast<const uint8_t*>(a.CellIndex));
    else
      map(static_cast<const int32_t*>(a.Histogram));
  });
}

void QuantMapIndexed(const ImageBuffer& source, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(QuantLookup(a, CellOf(&source.Palette[i].Blue)));
    int32_t n = source.Width * source.Height;
    for (int32_t i = 0; i < n; ++i) target.Pixels[i] = table[source.Pixels[i]];
  });
}

namespace {

// The ordered dither of one pixel, as the mapping is defined.
template <class Look>
uint8_t OrderedPixel(const uint8_t* p, int32_t o, const PaletteEntry* palette, Look& look) {
  const PaletteEntry& c = palette[look(CellOf(p))];
  int32_t b = Clamp255(c.Blue + (p[0] - c.Blue) * o / 255);
  int32_t g = Clamp255(c.Green + (p[1] - c.Green) * o / 255);
  int32_t r = Clamp255(c.Red + (p[2] - c.Red) * o / 255);
  return uint8_t(look(QuantCell(r >> 2, g >> 2, b >> 2)));
}

CPU_AVX512_BEGIN

// The palette indices of sixteen cells from the dithers' byte copy. A lane
// that reads 255 (not known yet, or 255) is settled by the scalar lookup.
MAPPING_AVX512_FN __m512i GatherCells(__m512i cells, DitherCells& look) {
  __m512i k = GatherBytes(cells, look.a.CellIndex);
  __mmask16 unknown = _mm512_cmpeq_epi32_mask(k, _mm512_set1_epi32(255));
  if (unknown) {
    alignas(64) int32_t cell[16], index[16];
    _mm512_store_si512(cell, cells);
    _mm512_store_si512(index, k);
    for (int32_t lane = 0; lane < 16; ++lane)
      if (unknown >> lane & 1) index[lane] = look.Slow(cell[lane]);
    k = _mm512_load_si512(index);
  }
  return k;
}

// pc + trunc((v - pc) x o / 255), clamped. |(v - pc) x o| is at most
// 255 x 510, where t = n + 1, t += t >> 8, t += t >> 16, t >> 8 is n / 255.
MAPPING_AVX512_FN __m512i Towards(__m512i pc, __m512i v, __m512i o) {
  const __m512i n = _mm512_mullo_epi32(_mm512_sub_epi32(v, pc), o);
  __m512i t = _mm512_add_epi32(_mm512_abs_epi32(n), _mm512_set1_epi32(1));
  t = _mm512_add_epi32(t, _mm512_srli_epi32(t, 8));
  t = _mm512_srli_epi32(_mm512_add_epi32(t, _mm512_srli_epi32(t, 16)), 8);
  const __m512i q = _mm512_mask_sub_epi32(t, _mm512_cmplt_epi32_mask(n, _mm512_setzero_si512()), _mm512_setzero_si512(), t);
  return _mm512_min_epi32(_mm512_max_epi32(_mm512_add_epi32(pc, q), _mm512_setzero_si512()), _mm512_set1_epi32(255));
}

// The ordered dither of a row, sixteen pixels at a time from x = 0 while the
// 64-byte load of their bytes stays before end; returns the pixels done. The
// chunks start at multiples of 16, so their dither values are one run of the
// matrix row.
template <int Step>
MAPPING_AVX512 int32_t OrderedRowAvx512(const uint8_t* p, const uint8_t* end, int32_t width, const uint8_t* dither,
                                        const uint32_t* palette, DitherCells& look, uint8_t* out) {
  int32_t x = 0;
  for (; x + 16 <= width && p + Step * x + 64 <= end; x += 16) {
    __m512i b, g, r;
    SpreadPixels<Step>(p + Step * x, b, g, r);
    const __m512i k = GatherCells(CellsOf(b, g, r), look);
    const __m512i colour = _mm512_i32gather_epi32(k, palette, 4);
    const __m512i o = _mm512_slli_epi32(
        _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dither + (x & 127)))), 1);
    const __m512i byte = _mm512_set1_epi32(255);
    const __m512i b2 = Towards(_mm512_and_si512(colour, byte), b, o);
    const __m512i g2 = Towards(_mm512_and_si512(_mm512_srli_epi32(colour, 8), byte), g, o);
    const __m512i r2 = Towards(_mm512_and_si512(_mm512_srli_epi32(colour, 16), byte), r, o);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm512_cvtepi32_epi8(GatherCells(CellsOf(b2, g2, r2), look)));
  }
  return x;
}

CPU_AVX512_END

}  // namespace

void QuantMapOrdered(const uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    DitherCells look(a);
    const uint8_t* end = src + size_t(width) * height * step;
    uint32_t palette[256];  // blue | green << 8 | red << 16
    for (int32_t k = 0; k < 256; ++k)
      palette[k] = a.QuantPalette[k].Blue | uint32_t(a.QuantPalette[k].Green) << 8 | uint32_t(a.QuantPalette[k].Red) << 16;
    const bool vector = CpuHasAvx512Vbmi();
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = DitherMatrix[y & 127];
      const uint8_t* p = src + size_t(width) * y * step;
      uint8_t* out = target.Pixels + size_t(width) * y;
      int32_t x = 0;
      if (vector)
        x = step == 3 ? OrderedRowAvx512<3>(p, end, width, row, palette, look, out)
                      : OrderedRowAvx512<4>(p, end, width, row, palette, look, out);
      for (; x < width; ++x) out[x] = OrderedPixel(p + size_t(x) * step, 2 * row[x & 127], a.QuantPalette, look);
    }
  });
}

namespace {

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
  void StepAtEdge(int32_t x, Look& look, const PaletteEntry* palette, const DiffuseShares& t) {
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
    auto both = [&](int32_t x) {
      if (x < w) pair[0].Map(x, work.look, work.palette, work.shares);
      if (x >= DiffuseLag) pair[1].Map(x - DiffuseLag, work.look, work.palette, work.shares);
    };
    int32_t x = 0;
    for (; x < DiffuseLag + 1 && x < w + DiffuseLag; ++x) both(x);
    if (pair[1].below) x = interior(pair, x);
    for (; x < w + DiffuseLag; ++x) both(x);
  }
  if (y < h) {
    DiffuseRow row(src, rowBytes, y, h, w, step, out);
    for (int32_t x = 0; x < w; ++x) row.Map(x, work.look, work.palette, work.shares);
  }
}

// The interior of a pair of rows pixel by pixel.
int32_t DiffuseInteriorPlain(DiffuseRow (&pair)[2], int32_t x, DiffuseWork& work) {
  // Copies, so that what the pixels' bytes are written through cannot be
  // taken to change them.
  DiffuseRow upper = pair[0], lower = pair[1];
  DitherCells look = work.look;
  const PaletteEntry* palette = work.palette;
  const DiffuseShares& shares = work.shares;
  for (const int32_t end = work.width - 1; x < end; ++x) {
    upper.StepInside(x, look, palette, shares);
    lower.StepInside(x - DiffuseLag, look, palette, shares);
  }
  pair[0] = upper, pair[1] = lower;
  return x;
}

#define DIFFUSE_VECTOR __attribute__((target("sse2")))
#define DIFFUSE_VECTOR_INLINE __attribute__((target("sse2"), always_inline)) inline

// The vector helpers are inlined into the SSE2 loop; the 32-bit build's note
// that an SSE value passed without SSE enabled would change the ABI does not
// apply to them.
#pragma GCC diagnostic ignored "-Wpsabi"

// The tables of the vector loop. Below: the shares that a pixel's errors
// push into the row below, per channel and error, the weights 3, 5 and 1 as
// the bytes of the three pixels below left, below and below right (bytes c,
// Step + c and 2 Step + c). A channel's vector has no other byte, so the
// three channels' vectors add up to the whole push. They depend on nothing
// but the weights, so they are made once. Palette: the entries padded to
// four bytes, so that an entry's place is its index times four.
template <int Step>
struct BelowShares {
  alignas(16) int8_t Below[3][513][16];
  explicit BelowShares(const DiffuseShares& t) {
    std::memset(Below, 0, sizeof Below);
    for (int32_t c = 0; c < 3; ++c)
      for (int32_t i = 0; i < 513; ++i) {
        Below[c][i][c] = t.table[i].BelowLeft;
        Below[c][i][Step + c] = t.table[i].Below;
        Below[c][i][2 * Step + c] = t.table[i].BelowRight;
      }
  }
};

template <int Step>
struct VectorTables {
  const int8_t (*Below)[513][16];
  struct Colour {
    uint8_t Blue, Green, Red, Unused;
  } Palette[256];
  VectorTables(const DiffuseShares& t, const PaletteEntry* palette) {
    static const BelowShares<Step> shares(t);
    Below = shares.Below;
    for (int32_t k = 0; k < 256; ++k) Palette[k] = {palette[k].Blue, palette[k].Green, palette[k].Red, 0};
  }
};

// Pixels x - 1, x and x + 1 of the row below the pixel x being mapped, held
// in a vector while the row's pushes go into them. Each byte is biased by
// 128, so that a signed saturating add is the add clamped to 0..255 of the
// plain loop. Once x is mapped, pixel x - 1 has all its shares from this row
// and goes back to memory, and pixel x + 2 comes in.
template <int Step>
struct BelowWindow {
  __m128i held = __m128i();
  uint8_t* at = nullptr;  // pixel x - 1, where the caller does not give it

  DIFFUSE_VECTOR_INLINE void Start(uint8_t* below, int32_t x) {
    at = below + size_t(x - 1) * Step;
    alignas(16) uint8_t v[16] = {};
    std::memcpy(v, at, 3 * Step);
    held = _mm_xor_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(v)), _mm_set1_epi8(-128));
  }
  static DIFFUSE_VECTOR_INLINE __m128i Share(const VectorTables<Step>& s, int c, const intptr_t e[3]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(s.Below[c][e[c]]));
  }
  DIFFUSE_VECTOR_INLINE void Push(const VectorTables<Step>& s, const intptr_t e[3], uint8_t* place) {
    held = _mm_adds_epi8(held, _mm_add_epi8(_mm_add_epi8(Share(s, 0, e), Share(s, 1, e)), Share(s, 2, e)));
    // Pixel x - 1 as a word: for 3-byte pixels its fourth byte is the first
    // of pixel x as it stands, stored again with x.
    uint32_t done = uint32_t(_mm_cvtsi128_si32(held)) ^ 0x80808080u;
    std::memcpy(place, &done, 4);
    // Pixel x + 2 comes in as a word too; the byte past a 3-byte pixel is
    // masked off at the next step.
    uint32_t next;
    std::memcpy(&next, place + 3 * Step, 4);
    const __m128i keep = Step == 3 ? _mm_setr_epi32(-1, 0xFFFF, 0, 0) : _mm_setr_epi32(-1, -1, 0, 0);
    held = _mm_or_si128(_mm_and_si128(_mm_srli_si128(held, Step), keep),
                        _mm_slli_si128(_mm_cvtsi32_si128(int32_t(next ^ 0x80808080u)), 2 * Step));
  }
  DIFFUSE_VECTOR_INLINE void Push(const VectorTables<Step>& s, const intptr_t e[3]) {
    Push(s, e, at);
    at += Step;
  }
  // Stores pixels x - 1 to x + 1 at place (pixel x - 1).
  DIFFUSE_VECTOR_INLINE void Finish(uint8_t* place) {
    alignas(16) uint8_t v[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), _mm_xor_si128(held, _mm_set1_epi8(-128)));
    std::memcpy(place, v, 3 * Step);
  }
  DIFFUSE_VECTOR_INLINE void Finish() { Finish(at); }
};

// A component of the pixel to the right plus the share of an error that
// reaches it, clamped, by one load: Sum[component][error + 256] (errors lie
// within -255..255). The pixel to the right is read before its row's error
// is known, so the row of the table is found while the lookups of the pixel
// being mapped are under way.
struct RightSums {
  uint8_t Sum[256][512];
  RightSums() {
    int32_t t7[513];
    DiffuseTable(7, t7);
    for (int32_t v = 0; v < 256; ++v)
      for (int32_t i = 0; i < 512; ++i) Sum[v][i] = uint8_t(Clamp255(v + t7[i]));
  }
};

const RightSums& RightSumTable() {
  static const RightSums table;
  return table;
}

// The pixel held by a row of the vector loop, pointer-sized so that the
// offsets made from it need no widening.
struct HeldPixel {
  intptr_t b, g, r;
};

// Maps the held pixel at p, whose index goes to *out, and makes the one to
// its right the held one; leaves the offsets of its errors into the share
// tables in e.
template <int Step, class Look>
DIFFUSE_VECTOR_INLINE void MapVector(HeldPixel& held, uint8_t* p, uint8_t* out, Look& look,
                                     const VectorTables<Step>& tables, const RightSums& right, intptr_t e[3]) {
  const uintptr_t k = uint8_t(look((held.r >> 2) + ((held.g >> 2) << 6) + ((held.b >> 2) << 12)));
  *out = uint8_t(k);
  p[0] = uint8_t(held.b), p[1] = uint8_t(held.g), p[2] = uint8_t(held.r);
  const uint8_t *rb = right.Sum[p[Step]], *rg = right.Sum[p[Step + 1]], *rr = right.Sum[p[Step + 2]];
  const auto& c = tables.Palette[k];
  e[0] = held.b - c.Blue + 256, e[1] = held.g - c.Green + 256, e[2] = held.r - c.Red + 256;
  held.b = rb[e[0]], held.g = rg[e[1]], held.r = rr[e[2]];
}

// The interior of a pair of rows with the pushes into the rows below held
// in vectors. It stops three pixels short of the end, so that a pixel coming
// in lies inside the row, its extra byte too. The state is in named locals
// so that it can all live in registers, and every place is found from the
// upper pixel: the lower pixel is a row on and DiffuseLag pixels back, its
// index likewise, and the upper row's pushes end a row on and one back.
template <int Step>
DIFFUSE_VECTOR int32_t DiffuseInteriorVector(DiffuseRow (&pair)[2], int32_t x, DiffuseWork& work,
                                             const VectorTables<Step>& tables) {
  const int32_t end = work.width - 3;
  if (x >= end) return x;
  const intptr_t rowBytes = intptr_t(work.width) * Step, lowerPixel = rowBytes - DiffuseLag * Step,
                 lowerOut = intptr_t(work.width) - DiffuseLag;
  HeldPixel upper{pair[0].cb, pair[0].cg, pair[0].cr}, lower{pair[1].cb, pair[1].cg, pair[1].cr};
  uint8_t* p = pair[0].row + size_t(x) * Step;
  uint8_t* out = pair[0].out + x;
  BelowWindow<Step> upperBelow, lowerBelow;
  upperBelow.Start(pair[0].below, x);
  lowerBelow.Start(pair[1].below, x - DiffuseLag);
  DitherCells look = work.look;
  const RightSums& right = RightSumTable();
  for (uint8_t* const last = p + intptr_t(end - x) * Step; p != last; p += Step, ++out) {
    intptr_t e[3];
    MapVector<Step>(upper, p, out, look, tables, right, e);
    upperBelow.Push(tables, e, p + rowBytes - Step);
    MapVector<Step>(lower, p + lowerPixel, out + lowerOut, look, tables, right, e);
    lowerBelow.Push(tables, e);
  }
  upperBelow.Finish(p + rowBytes - Step);
  lowerBelow.Finish();
  pair[0].cb = int32_t(upper.b), pair[0].cg = int32_t(upper.g), pair[0].cr = int32_t(upper.r);
  pair[1].cb = int32_t(lower.b), pair[1].cg = int32_t(lower.g), pair[1].cr = int32_t(lower.r);
  return end;
}

template <int Step>
void DiffuseRowsVector(uint8_t* src, int32_t h, uint8_t* out, DiffuseWork& work) {
  const VectorTables<Step> tables(work.shares, work.palette);
  DiffuseRows(src, h, Step, out, work, [&](DiffuseRow(&pair)[2], int32_t x) {
    return DiffuseInteriorVector<Step>(pair, x, work, tables);
  });
}

}  // namespace

void QuantMapDiffuse(uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    DitherCells look(a);
    // The shares depend on nothing but the weights: made once.
    static const DiffuseShares shares;
    DiffuseWork work{look, a.QuantPalette, shares, width};
    if (CpuHasSse2()) {
      if (step == 3)
        DiffuseRowsVector<3>(src, height, target.Pixels, work);
      else
        DiffuseRowsVector<4>(src, height, target.Pixels, work);
      return;
    }
    DiffuseRows(src, height, step, target.Pixels, work,
                [&](DiffuseRow(&pair)[2], int32_t x) { return DiffuseInteriorPlain(pair, x, work); });
  });
}

void QuantMap(ImageBuffer& source, ImageBuffer& target, int32_t method) {
  ImageBuffer wide;
  ImgInit(wide);
  try {
    int32_t w = source.Width, h = source.Height;
    if (w < 4 || h < 4) method = QuantMethodNearest;
    ImgAlloc(target, w, h, 8);
    uint8_t* pixels = source.Pixels;
    int32_t step = source.BytesPerPixel;
    if (source.BitsPerPixel == 15 || source.BitsPerPixel == 16) {
      ImgAlloc(wide, w, h, 24);
      ConverterFor(source.BitsPerPixel, 24)(source.Pixels, wide.Pixels, w * h, 2, nullptr);
      pixels = wide.Pixels;
      step = 3;
    }
    switch (source.BitsPerPixel) {
      case 8:
        QuantMapIndexed(source, target);
        break;
      case 15:
      case 16:
      case 24:
      case 32:
        if (method == QuantMethodOrdered)
          QuantMapOrdered(pixels, w, h, step, target);
        else if (method == QuantMethodDiffuse)
          QuantMapDiffuse(pixels, w, h, step, target);
        else
          QuantMapNearest(pixels, w * h, step, target);
        break;
    }
  } catch (...) {
    TraceException();
  }
  ImgFree(wide);
}

void ImgQuantize(ImageBuffer& source, ImageBuffer& target, int32_t method) {
  MonRun([&] {
    if (&source == &target) MonSetError(ErrImgCannotInitFunction);
    if (!ImgIsDepth(source.BitsPerPixel) || !ImgHoldsPixels(source))
      MonSetError(ErrImgInvalidFormat);
    QuantPrepare();
    QuantCount(source);
    QuantBuild(256);
    QuantMap(source, target, method);
    QuantRelease();
  });
}
