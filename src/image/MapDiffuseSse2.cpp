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
  uint8_t* at = nullptr;  // pixel x - 1, where the caller does not give it

  CPU_SSE2_INLINE void Start(uint8_t* below, int32_t x) {
    at = below + size_t(x - 1) * Step;
    alignas(16) uint8_t v[16] = {};
    std::memcpy(v, at, 3 * Step);
    held = _mm_xor_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(v)), _mm_set1_epi8(-128));
  }
  static CPU_SSE2_INLINE __m128i Share(const VectorTables<Step>& s, int c, const intptr_t e[3]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(s.Below[c][e[c]]));
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
  CPU_SSE2_INLINE void Push(const VectorTables<Step>& s, const intptr_t e[3]) {
    Push(s, e, at);
    at += Step;
  }
  // Stores pixels x - 1 to x + 1 at place (pixel x - 1).
  CPU_SSE2_INLINE void Finish(uint8_t* place) {
    alignas(16) uint8_t v[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), _mm_xor_si128(held, _mm_set1_epi8(-128)));
    std::memcpy(place, v, 3 * Step);
  }
  CPU_SSE2_INLINE void Finish() { Finish(at); }
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
CPU_SSE2_INLINE void MapVector(HeldPixel& held, uint8_t* p, uint8_t* out, Look& look,
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
CPU_SSE2 int32_t DiffuseInteriorVector(DiffuseRow (&pair)[2], int32_t x, DiffuseWork& work,
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

void DiffuseSse2(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work) {
  if (step == 3)
    DiffuseRowsVector<3>(src, height, out, work);
  else
    DiffuseRowsVector<4>(src, height, out, work);
}
