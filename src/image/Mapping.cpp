// ImgQuantize and the three mappings of source pixels onto the palette.
#include "image/Mapping.h"

#include <cstring>

#include "image/Convert.h"
#include "image/DitherMatrix.h"
#include "image/Quantize.h"
#include "runtime/Errors.h"

namespace {

template <class Step>
void Traced(Step&& step) {
  try {
    step();
  } catch (...) {
    TraceException();
  }
}

inline int32_t CellOf(const uint8_t* p) { return QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2); }

inline int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void CopyPalette(ImageBuffer& target) {
  std::memcpy(target.Palette, QuantWorkArea()->QuantPalette, sizeof target.Palette);
}

// Adds the shares of an error from one table to a neighbour pixel.
inline void Push(uint8_t* p, const int32_t* table, int32_t eB, int32_t eG, int32_t eR) {
  p[0] = uint8_t(Clamp255(p[0] + table[eB]));
  p[1] = uint8_t(Clamp255(p[1] + table[eG]));
  p[2] = uint8_t(Clamp255(p[2] + table[eR]));
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

void QuantMapNearest(const uint8_t* src, int32_t count, int32_t step, ImageBuffer& target) {
  Traced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t* out = target.Pixels;
    const uint8_t* p = src;
    if (count <= QuantCells) {
      for (int32_t i = 0; i < count; ++i, p += step) out[i] = uint8_t(QuantLookup(a, CellOf(p)));
      return;
    }
    // Every pixel's cell was counted, so it holds its index already.
    for (int32_t c = 0; c < QuantCells; ++c) a.CellIndex[c] = uint8_t(a.Histogram[c]);
    // Each pixel read as a word; the last one byte by byte, so that no load
    // passes the end of the block.
    for (int32_t i = 0; i + 1 < count; ++i, p += step) {
      uint32_t w;
      std::memcpy(&w, p, 4);
      out[i] = a.CellIndex[QuantCellOfWord(w)];
    }
    out[count - 1] = a.CellIndex[CellOf(p)];
  });
}

void QuantMapIndexed(const ImageBuffer& source, ImageBuffer& target) {
  Traced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(QuantLookup(a, CellOf(&source.Palette[i].Blue)));
    int32_t n = source.Width * source.Height;
    for (int32_t i = 0; i < n; ++i) target.Pixels[i] = table[source.Pixels[i]];
  });
}

void QuantMapOrdered(const uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  Traced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t* out = target.Pixels;
    const uint8_t* p = src;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = DitherMatrix[y & 127];
      for (int32_t x = 0; x < width; ++x, p += step) {
        const PaletteEntry& c = a.QuantPalette[QuantLookup(a, CellOf(p))];
        int32_t o = 2 * row[x & 127];
        int32_t b = Clamp255(c.Blue + (p[0] - c.Blue) * o / 255);
        int32_t g = Clamp255(c.Green + (p[1] - c.Green) * o / 255);
        int32_t r = Clamp255(c.Red + (p[2] - c.Red) * o / 255);
        *out++ = uint8_t(QuantLookup(a, QuantCell(r >> 2, g >> 2, b >> 2)));
      }
    }
  });
}

void QuantMapDiffuse(uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  Traced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    int32_t t7[513], t3[513], t5[513], t1[513];
    DiffuseTable(7, t7);
    DiffuseTable(3, t3);
    DiffuseTable(5, t5);
    DiffuseTable(1, t1);
    const int32_t *T7 = t7 + 256, *T3 = t3 + 256, *T5 = t5 + 256, *T1 = t1 + 256;
    uint8_t* out = target.Pixels;
    size_t rowBytes = size_t(width) * step;
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* p = src + rowBytes * y;
      bool last = y == height - 1;
      for (int32_t x = 0; x < width; ++x, p += step) {
        int32_t k = QuantLookup(a, CellOf(p));
        *out++ = uint8_t(k);
        if (x == 0 && (y & 1) == 0) continue;
        const PaletteEntry& c = a.QuantPalette[k];
        int32_t eB = p[0] - c.Blue, eG = p[1] - c.Green, eR = p[2] - c.Red;
        if (x < width - 1) Push(p + step, T7, eB, eG, eR);
        if (!last) {
          uint8_t* below = p + rowBytes;
          if (x > 0) Push(below - step, T3, eB, eG, eR);
          Push(below, T5, eB, eG, eR);
          if (x < width - 1) Push(below + step, T1, eB, eG, eR);
        }
      }
    }
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
    if (&source == &target) MonSetError(7, 6);
    if (!ImgIsDepth(source.BitsPerPixel) || !ImgHoldsPixels(source)) MonSetError(7, 2);
    QuantPrepare();
    QuantCount(source);
    QuantBuild(256);
    QuantMap(source, target, method);
    QuantRelease();
  });
}
