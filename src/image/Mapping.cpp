// ImgQuantize and the three mappings of source pixels onto the palette.
#include "image/Mapping.h"

#include <cstring>

#include "image/Convert.h"
#include "image/DitherMatrix.h"
#include "image/Quantize.h"
#include "runtime/Errors.h"

namespace {

inline int32_t CellOf(const uint8_t* p) { return QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2); }

inline int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// The byte copy of the cells (Quantize.h: CellIndex), -1 becoming 255.
void FillCellIndex(QuantArea& a) {
  for (int32_t c = 0; c < QuantCells; ++c) a.CellIndex[c] = uint8_t(a.Histogram[c]);
}

// The cell lookup of the dithers. For a picture with more pixels than cells
// it reads the byte copy first, which stays in cache where the cells do not;
// 255 there means "not known yet, or 255": the cells decide.
struct CellCache {
  QuantArea& a;
  bool bytes;
  CellCache(QuantArea& area, int64_t pixels) : a(area), bytes(pixels > QuantCells) {
    if (bytes) FillCellIndex(a);
  }
  int32_t operator()(int32_t cell) {
    if (!bytes) return QuantLookup(a, cell);
    uint8_t v = a.CellIndex[cell];
    if (v != 255) return v;
    int32_t k = QuantLookup(a, cell);
    a.CellIndex[cell] = uint8_t(k);
    return k;
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

void QuantMapNearest(const uint8_t* src, int32_t count, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t* out = target.Pixels;
    const uint8_t* p = src;
    // Each pixel read as a word; the last one byte by byte, so that no load
    // passes the end of the block. Every pixel's cell was counted, so it
    // holds its index already.
    if (count <= QuantCells) {
      for (int32_t i = 0; i + 1 < count; ++i, p += step) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        out[i] = uint8_t(a.Histogram[QuantCellOfWord(w)]);
      }
    } else {
      FillCellIndex(a);
      for (int32_t i = 0; i + 1 < count; ++i, p += step) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        out[i] = a.CellIndex[QuantCellOfWord(w)];
      }
    }
    out[count - 1] = uint8_t(QuantLookup(a, CellOf(p)));
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

void QuantMapOrdered(const uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    QuantFillVolumes();
    CellCache look(a, int64_t(width) * height);
    uint8_t* out = target.Pixels;
    const uint8_t* p = src;
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = DitherMatrix[y & 127];
      for (int32_t x = 0; x < width; ++x, p += step) {
        const PaletteEntry& c = a.QuantPalette[look(CellOf(p))];
        int32_t o = 2 * row[x & 127];
        int32_t b = Clamp255(c.Blue + (p[0] - c.Blue) * o / 255);
        int32_t g = Clamp255(c.Green + (p[1] - c.Green) * o / 255);
        int32_t r = Clamp255(c.Red + (p[2] - c.Red) * o / 255);
        *out++ = uint8_t(look(QuantCell(r >> 2, g >> 2, b >> 2)));
      }
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
  uint8_t* row;
  uint8_t* below;  // null on the last row
  uint8_t* out;
  int32_t width, step;
  bool quietStart;  // even rows: the first pixel passes no error
  int32_t cb = 0, cg = 0, cr = 0;  // the pixel at x, with every share it gets

  DiffuseRow(uint8_t* src, size_t rowBytes, int32_t y, int32_t height, int32_t w, int32_t s, uint8_t* o)
      : row(src + rowBytes * y), below(y + 1 < height ? row + rowBytes : nullptr), out(o + size_t(w) * y),
        width(w), step(s), quietStart((y & 1) == 0) {}

  // Whether pixel x has neighbours on both sides and a row below: most
  // pixels, which Step<true> maps without testing for the edges.
  bool Inside(int32_t x) const { return x > 0 && x < width - 1 && below; }

  template <bool Inner, class Look>
  __attribute__((always_inline)) inline void Step(int32_t x, Look& look, const PaletteEntry* palette,
                                                  const DiffuseShares& t) {
    const uint8_t* clamp = t.Clamp;
    uint8_t* p = row + size_t(x) * step;
    const bool right = Inner || x < width - 1, down = Inner || below;
    // Read when the row above has written its last shares into it.
    if (!Inner && x == 0) cb = p[0], cg = p[1], cr = p[2];
    int32_t k = look(QuantCell(cr >> 2, cg >> 2, cb >> 2));
    out[x] = uint8_t(k);
    p[0] = uint8_t(cb), p[1] = uint8_t(cg), p[2] = uint8_t(cr);
    if (!Inner && x == 0 && quietStart) {
      if (right) cb = p[step], cg = p[step + 1], cr = p[step + 2];
      return;
    }
    const PaletteEntry& c = palette[k];
    const DiffuseShare &sb = t.At[cb - c.Blue], &sg = t.At[cg - c.Green], &sr = t.At[cr - c.Red];
    // Component plus share summed pointer-sized: the index needs no widening.
    if (right)
      cb = clamp[intptr_t(p[step]) + sb.Right], cg = clamp[intptr_t(p[step + 1]) + sg.Right],
      cr = clamp[intptr_t(p[step + 2]) + sr.Right];
    if (down) {
      uint8_t* q = below + size_t(x) * step;
      auto add = [&](uint8_t* v, int8_t DiffuseShare::*weight) {
        v[0] = clamp[intptr_t(v[0]) + sb.*weight], v[1] = clamp[intptr_t(v[1]) + sg.*weight],
        v[2] = clamp[intptr_t(v[2]) + sr.*weight];
      };
      if (Inner || x > 0) add(q - step, &DiffuseShare::BelowLeft);
      add(q, &DiffuseShare::Below);
      if (right) add(q + step, &DiffuseShare::BelowRight);
    }
  }

  template <class Look>
  __attribute__((always_inline)) inline void Map(int32_t x, Look& look, const PaletteEntry* palette,
                                                 const DiffuseShares& t) {
    if (Inside(x))
      Step<true>(x, look, palette, t);
    else
      Step<false>(x, look, palette, t);
  }
};

}  // namespace

void QuantMapDiffuse(uint8_t* src, int32_t width, int32_t height, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    QuantFillVolumes();
    CellCache look(a, int64_t(width) * height);
    const DiffuseShares shares;
    const size_t rowBytes = size_t(width) * step;
    // Copies: a byte written through a pixel pointer might otherwise be
    // taken to change them.
    const int32_t w = width, h = height;
    const PaletteEntry* palette = a.QuantPalette;
    // Two rows at a time, the lower two pixels behind the upper: pixel x + 1
    // of the lower row, the last it reads to map x, has then received all its
    // shares from the upper row, and the two chains of lookups, each waiting
    // on its own last error, overlap.
    for (int32_t y = 0; y < h; y += 2) {
      DiffuseRow upper(src, rowBytes, y, h, w, step, target.Pixels);
      if (y + 1 == h) {
        for (int32_t x = 0; x < w; ++x) upper.Map(x, look, palette, shares);
        break;
      }
      DiffuseRow lower(src, rowBytes, y + 1, h, w, step, target.Pixels);
      auto both = [&](int32_t x) {
        if (x < w) upper.Map(x, look, palette, shares);
        if (x >= 2) lower.Map(x - 2, look, palette, shares);
      };
      // From x = 3 to w - 2 both rows map interior pixels when the lower has
      // a row below.
      int32_t x = 0;
      for (; x < 3 && x < w + 2; ++x) both(x);
      if (lower.below)
        for (; x < w - 1; ++x) {
          upper.Step<true>(x, look, palette, shares);
          lower.Step<true>(x - 2, look, palette, shares);
        }
      for (; x < w + 2; ++x) both(x);
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
