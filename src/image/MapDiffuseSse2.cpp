// The SSE2 loop of the error diffusion (Kernels.h).
#include <cstring>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/Mapping.h"
#include "image/MappingInternal.h"

namespace {

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

  // Loads pixels x - 1 to x + 1 from place (pixel x - 1).
  CPU_SSE2_INLINE void Start(const uint8_t* place) {
    alignas(16) uint8_t v[16] = {};
    std::memcpy(v, place, 3 * Step);
    held = _mm_xor_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(v)), _mm_set1_epi8(-128));
  }
  static CPU_SSE2_INLINE __m128i Share(const VectorTables<Step>& s, int c, const intptr_t e[3]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(s.Below[c][256 + e[c]]));
  }
  CPU_SSE2_INLINE void Push(const VectorTables<Step>& s, const intptr_t e[3], uint8_t* place) {
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
  // Stores pixels x - 1 to x + 1 at place (pixel x - 1).
  CPU_SSE2_INLINE void Finish(uint8_t* place) {
    alignas(16) uint8_t v[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), _mm_xor_si128(held, _mm_set1_epi8(-128)));
    std::memcpy(place, v, 3 * Step);
  }
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

// The cell of a held pixel.
CPU_SSE2_INLINE intptr_t CellOf(const HeldPixel& held) {
  return (held.r >> 2) + ((held.g >> 2) << 6) + ((held.b >> 2) << 12);
}

// Maps the held pixel at p to index k, which goes to *out, and makes the one
// to its right the held one; leaves its errors (-255..255) in e.
template <int Step>
CPU_SSE2_INLINE void MapVector(HeldPixel& held, uint8_t* p, uint8_t* out, uintptr_t k,
                               const VectorTables<Step>& tables, const RightSums& right, intptr_t e[3]) {
  *out = uint8_t(k);
  p[0] = uint8_t(held.b), p[1] = uint8_t(held.g), p[2] = uint8_t(held.r);
  const uint8_t *rb = right.Sum[p[Step]] + 256, *rg = right.Sum[p[Step + 1]] + 256,
                *rr = right.Sum[p[Step + 2]] + 256;
  const auto& c = tables.Palette[k];
  e[0] = held.b - c.Blue, e[1] = held.g - c.Green, e[2] = held.r - c.Red;
  held.b = rb[e[0]], held.g = rg[e[1]], held.r = rr[e[2]];
}

// The pair of rows in the vector loop: each row's held pixel and the pixels
// below it that its pushes go into. Every place is found from the upper
// pixel p: the lower pixel is a row on and DiffuseLag pixels back, its index
// likewise, and a row's pushes end a row further on and one pixel back.
template <int Step>
struct VectorPair {
  static constexpr int32_t Rows = 2;
  HeldPixel held[Rows];
  BelowWindow<Step> below[Rows];
  intptr_t rowBytes, pixelStep, outStep;

  CPU_SSE2_INLINE uint8_t* Pixel(uint8_t* p, int32_t r) const { return p + r * pixelStep; }
  CPU_SSE2_INLINE uint8_t* Pushes(uint8_t* p, int32_t r) const { return p + r * pixelStep + rowBytes - Step; }

  // Every row's pixel to the index in k.
  CPU_SSE2_INLINE void Map(uint8_t* p, uint8_t* out, const uintptr_t (&k)[Rows], const VectorTables<Step>& tables,
                            const RightSums& right) {
    for (int32_t r = 0; r < Rows; ++r) {
      intptr_t e[3];
      MapVector<Step>(held[r], Pixel(p, r), out + r * outStep, k[r], tables, right, e);
      below[r].Push(tables, e, Pushes(p, r));
    }
  }
};

// The interior of a pair of rows with the pushes into the rows below held
// in vectors. It stops three pixels short of the end, so that a pixel coming
// in lies inside the row, its extra byte too. The inner loop reads both
// rows' indices from the byte cube and leaves at a cell that the cube does
// not decide; that step is taken outside it, where the lookup may search.
// So the inner loop makes no call, and its state can stay in registers
// (a call would have it all kept in memory).
template <int Step>
CPU_SSE2 int32_t DiffuseInteriorVector(DiffuseRow (&rows)[2], int32_t x, DiffuseWork& work,
                                       const VectorTables<Step>& tables) {
  using Pair = VectorPair<Step>;
  constexpr int32_t Rows = Pair::Rows;
  const int32_t end = work.width - 3;
  if (x >= end) return x;
  Pair group;
  group.rowBytes = intptr_t(work.width) * Step;
  group.pixelStep = group.rowBytes - DiffuseLag * Step;
  group.outStep = intptr_t(work.width) - DiffuseLag;
  uint8_t* p = rows[0].row + size_t(x) * Step;
  uint8_t* out = rows[0].out + x;
  for (int32_t r = 0; r < Rows; ++r) {
    group.held[r] = {rows[r].cb, rows[r].cg, rows[r].cr};
    group.below[r].Start(group.Pushes(p, r));
  }
  DitherCells look = work.look;
  const uint8_t* const cells = look.cells;
  const RightSums& right = RightSumTable();
  uint8_t* const last = p + intptr_t(end - x) * Step;
  while (p != last) {
    uintptr_t k[Rows];
    for (; p != last; p += Step, ++out) {
      bool decided = true;
      for (int32_t r = 0; r < Rows; ++r) {
        k[r] = cells[CellOf(group.held[r])];
        decided &= k[r] != 255;
      }
      if (!decided) break;
      group.Map(p, out, k, tables, right);
    }
    if (p == last) break;
    for (int32_t r = 0; r < Rows; ++r) k[r] = uint8_t(look(CellOf(group.held[r])));
    group.Map(p, out, k, tables, right);
    p += Step, ++out;
  }
  for (int32_t r = 0; r < Rows; ++r) {
    group.below[r].Finish(group.Pushes(p, r));
    const HeldPixel& h = group.held[r];
    rows[r].cb = int32_t(h.b), rows[r].cg = int32_t(h.g), rows[r].cr = int32_t(h.r);
  }
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

void DiffuseSse2(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work) {
  if (step == 3)
    DiffuseRowsVector<3>(src, height, out, work);
  else
    DiffuseRowsVector<4>(src, height, out, work);
}
