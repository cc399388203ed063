// The mappings written out plainly, pixel by pixel as they are defined, on
// the palette and cells of the work area in place: the yardsticks for the
// mapping loops.
#pragma once

#include <cstdint>
#include <vector>

#include "image/DitherMatrix.h"
#include "image/MappingInternal.h"
#include "image/QuantizeInternal.h"
#include "runtime/Basic.h"

namespace ref {

// The ordered dither of the pixels at src (step bytes each), by the cell
// lookup.
inline void PlainOrdered(const uint8_t* src, int32_t w, int32_t h, int32_t step, std::vector<uint8_t>& out) {
  QuantArea& a = *QuantWorkArea();
  auto look = [&](int32_t r, int32_t g, int32_t b) { return QuantLookup(a, QuantCell(r >> 2, g >> 2, b >> 2)); };
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = src + (size_t(y) * w + x) * step;
      const PaletteEntry& e = a.QuantPalette[look(p[2], p[1], p[0])];
      int32_t o = 2 * DitherMatrix[y % 128][x % 128];
      auto towards = [&](int32_t palette, int32_t pixel) { return Clamp(palette + (pixel - palette) * o / 255, 0, 255); };
      out.push_back(uint8_t(look(towards(e.Red, p[2]), towards(e.Green, p[1]), towards(e.Blue, p[0]))));
    }
}

// The plain diffusion: every share added into the pixels in place, one
// after the other, as the mapping is defined.
inline void PlainDiffuse(uint8_t* src, int32_t w, int32_t h, int32_t step, std::vector<uint8_t>& out) {
  QuantArea& a = *QuantWorkArea();
  std::vector<int32_t> t7(513), t3(513), t5(513), t1(513);
  DiffuseTable(7, t7.data());
  DiffuseTable(3, t3.data());
  DiffuseTable(5, t5.data());
  DiffuseTable(1, t1.data());
  auto add = [&](uint8_t* p, const std::vector<int32_t>& t, const int* e) {
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(Clamp(p[c] + t[256 + e[c]], 0, 255));
  };
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = src + (size_t(y) * w + x) * step;
      int32_t k = QuantLookup(a, QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2));
      out.push_back(uint8_t(k));
      if (y % 2 == 0 && x == 0) continue;
      const PaletteEntry& c = a.QuantPalette[k];
      int e[3] = {p[0] - c.Blue, p[1] - c.Green, p[2] - c.Red};
      if (x < w - 1) add(p + step, t7, e);
      if (y < h - 1) {
        if (x > 0) add(p + (size_t(w) - 1) * step, t3, e);
        add(p + size_t(w) * step, t5, e);
        if (x < w - 1) add(p + (size_t(w) + 1) * step, t1, e);
      }
    }
}

}  // namespace ref
