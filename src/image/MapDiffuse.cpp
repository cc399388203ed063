// The error diffusion: each pixel's error pushed into its neighbours to the
// right and below, in place on the source.
#include "image/Kernels.h"
#include "image/Mapping.h"
#include "image/MappingInternal.h"

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

}  // namespace

void DiffusePlain(uint8_t* src, int32_t height, int32_t step, uint8_t* out, DiffuseWork& work) {
  DiffuseRows(src, height, step, out, work,
              [&](DiffuseRow(&pair)[2], int32_t x) { return DiffuseInteriorPlain(pair, x, work); });
}

void QuantMapDiffuse(uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    DitherCells look(a);
    // The shares depend on nothing but the weights: made once.
    static const DiffuseShares shares;
    DiffuseWork work{look, a.QuantPalette, shares, width};
    Kernels.Maps.Diffuse(src, height, step, target.Pixels, work);
  });
}
