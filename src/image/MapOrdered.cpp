// The ordered dither: each pixel moved towards its palette colour by the
// dither matrix, then looked up again.
#include "image/DitherMatrix.h"
#include "image/Kernels.h"
#include "image/Mapping.h"
#include "image/MappingInternal.h"

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

}  // namespace

void OrderedPixelsFrom(int32_t x, const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work) {
  for (; x < work.width; ++x)
    out[x] = OrderedPixel(p + size_t(x) * work.step, 2 * dither[x & 127], work.entries, work.look);
}

void OrderedRowPlain(const uint8_t* p, const uint8_t* dither, uint8_t* out, const OrderedWork& work) {
  OrderedPixelsFrom(0, p, dither, out, work);
}

void QuantMapOrdered(const uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    DitherCells look(a);
    const uint8_t* end = src + size_t(width) * height * step;
    uint32_t palette[256];  // blue | green << 8 | red << 16
    for (int32_t k = 0; k < 256; ++k)
      palette[k] = a.QuantPalette[k].Blue | uint32_t(a.QuantPalette[k].Green) << 8 | uint32_t(a.QuantPalette[k].Red) << 16;
    const OrderedWork work{look, a.QuantPalette, palette, end, width, step};
    for (int32_t y = 0; y < height; ++y)
      Kernels.Maps.OrderedRow(src + size_t(width) * y * step, DitherMatrix[y & 127], target.Pixels + size_t(width) * y,
                              work);
  });
}
