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

// The weights of the diffusion: tables of DiffuseTable, indexed by -256..256.
struct DiffuseShares {
  int32_t t7[513], t3[513], t5[513], t1[513];
  const int32_t *T7, *T3, *T5, *T1;
  DiffuseShares() {
    DiffuseTable(7, t7);
    DiffuseTable(3, t3);
    DiffuseTable(5, t5);
    DiffuseTable(1, t1);
    T7 = t7 + 256, T3 = t3 + 256, T5 = t5 + 256, T1 = t1 + 256;
  }
};

// One row of the diffusion. The pixel being mapped, the next one and the
// three pixels below them are held in registers; each is written back once it
// has received its last share, and every pixel receives its shares in the
// order of the plain in-place additions, so the result is the same.
struct DiffuseRow {
  uint8_t* row;
  uint8_t* below;  // null on the last row
  uint8_t* out;
  int32_t width, step;
  bool quietStart;  // even rows: the first pixel passes no error
  int32_t cb = 0, cg = 0, cr = 0;  // the pixel at x
  int32_t pb = 0, pg = 0, pr = 0;  // below x - 1
  int32_t mb = 0, mg = 0, mr = 0;  // below x
  int32_t nb = 0, ng = 0, nr = 0;  // below x + 1

  DiffuseRow(uint8_t* src, size_t rowBytes, int32_t y, int32_t height, int32_t w, int32_t s, uint8_t* o)
      : row(src + rowBytes * y), below(y + 1 < height ? row + rowBytes : nullptr), out(o + size_t(w) * y),
        width(w), step(s), quietStart((y & 1) == 0) {}

  template <class Look>
  __attribute__((always_inline)) inline void Step(int32_t x, Look& look, const PaletteEntry* palette, const DiffuseShares& t) {
    const size_t at = size_t(x) * step;
    if (x == 0) {
      // Read when the row above has written its last shares into it.
      cb = row[0], cg = row[1], cr = row[2];
      if (below) mb = below[0], mg = below[1], mr = below[2];
    }
    const bool right = x < width - 1;
    int32_t rb = 0, rg = 0, rr = 0;
    if (right) rb = row[at + step], rg = row[at + step + 1], rr = row[at + step + 2];
    if (below && right) nb = below[at + step], ng = below[at + step + 1], nr = below[at + step + 2];
    int32_t k = look(QuantCell(cr >> 2, cg >> 2, cb >> 2));
    out[x] = uint8_t(k);
    if (!(x == 0 && quietStart)) {
      const PaletteEntry& c = palette[k];
      const int32_t eb = cb - c.Blue, eg = cg - c.Green, er = cr - c.Red;
      if (right) rb = Clamp255(rb + t.T7[eb]), rg = Clamp255(rg + t.T7[eg]), rr = Clamp255(rr + t.T7[er]);
      if (below) {
        if (x > 0) pb = Clamp255(pb + t.T3[eb]), pg = Clamp255(pg + t.T3[eg]), pr = Clamp255(pr + t.T3[er]);
        mb = Clamp255(mb + t.T5[eb]), mg = Clamp255(mg + t.T5[eg]), mr = Clamp255(mr + t.T5[er]);
        if (right) nb = Clamp255(nb + t.T1[eb]), ng = Clamp255(ng + t.T1[eg]), nr = Clamp255(nr + t.T1[er]);
      }
    }
    row[at] = uint8_t(cb), row[at + 1] = uint8_t(cg), row[at + 2] = uint8_t(cr);
    if (below && x > 0) {
      uint8_t* q = below + at - step;
      q[0] = uint8_t(pb), q[1] = uint8_t(pg), q[2] = uint8_t(pr);
    }
    cb = rb, cg = rg, cr = rr;
    pb = mb, pg = mg, pr = mr;
    mb = nb, mg = ng, mr = nr;
    if (below && !right) {
      uint8_t* q = below + at;
      q[0] = uint8_t(pb), q[1] = uint8_t(pg), q[2] = uint8_t(pr);
    }
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
    // Two rows at a time, the lower two pixels behind the upper: pixel x of
    // the lower row has then received all its shares from the upper row, and
    // the two chains of lookups, each waiting on its own last error, overlap.
    for (int32_t y = 0; y < height; y += 2) {
      DiffuseRow upper(src, rowBytes, y, height, width, step, target.Pixels);
      if (y + 1 == height) {
        for (int32_t x = 0; x < width; ++x) upper.Step(x, look, a.QuantPalette, shares);
        break;
      }
      DiffuseRow lower(src, rowBytes, y + 1, height, width, step, target.Pixels);
      for (int32_t x = 0; x < width + 2; ++x) {
        if (x < width) upper.Step(x, look, a.QuantPalette, shares);
        if (x >= 2) lower.Step(x - 2, look, a.QuantPalette, shares);
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
