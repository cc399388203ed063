// ImgQuantize and the mappings: nearest, ordered dither, error diffusion.
#include <algorithm>
#include <gtest/gtest.h>

#include "ImageFixture.h"
#include "image/MappingInternal.h"
#include "image/QuantizeInternal.h"
#include "reference/Mapping.h"

namespace {

std::vector<int32_t> Table(int32_t k) {
  std::vector<int32_t> t(513);
  DiffuseTable(k, t.data());
  return t;
}

// Number of palette entries ImgQuantize built: every entry up to the last
// that is not white, and at least one.
int32_t EntriesUsed(const ImageBuffer& img) {
  int32_t n = 256;
  while (n > 1 && img.Palette[n - 1].Red == 255 && img.Palette[n - 1].Green == 255 && img.Palette[n - 1].Blue == 255)
    --n;
  return n;
}

}  // namespace

using Mapping = ImageFixture;

TEST_F(Mapping, AFilledRunCoversItsBytesAndNoOthers) {
  for (int32_t n = 0; n <= 40; ++n) {
    std::vector<uint8_t> bytes(n + 16, 0x5A);
    DitherCells::FillRun(bytes.data() + 8, n, uint8_t(n + 1));
    for (int32_t i = 0; i < n + 16; ++i)
      ASSERT_EQ(bytes[i], i >= 8 && i < 8 + n ? n + 1 : 0x5A) << "run of " << n << ", byte " << i;
  }
}

TEST_F(Mapping, DiffuseTablesForEachWeight) {
  struct Case {
    int32_t k;
    int32_t from;
    std::vector<int32_t> values;
  } cases[] = {
      {7, 0, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 7, 7, 8, 8}},
      {7, 20, {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4}},
      // Halves go to the even neighbour at e = 8.
      {1, 8, {0}},
      {3, 8, {2}},
      {5, 8, {2}},
      {7, 8, {4}},
      {1, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {5, 16, {5, 5, 6, 6}},
      // A quarter of round((e - 38) k / 16) from 39 on: 57 is the last.
      {7, 55, {1, 2, 2, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> t = Table(c.k);
    for (size_t i = 0; i < c.values.size(); ++i)
      EXPECT_EQ(t[256 + c.from + i], c.values[i]) << "k " << c.k << ", e " << c.from + i;
  }
  for (int32_t k : {1, 3, 5, 7}) {
    std::vector<int32_t> t = Table(k);
    for (int e = 1; e <= 256; ++e) EXPECT_EQ(t[256 - e], -t[256 + e]) << k << " " << e;
    for (int e = 58; e <= 256; ++e) EXPECT_EQ(t[256 + e], 0);
  }
  // An error of 19 pushes 8 to the right-hand neighbour, one of 20 pushes 0.
  EXPECT_EQ(Table(7)[256 + 19], 8);
  EXPECT_EQ(Table(7)[256 + 20], 0);
}

TEST_F(Mapping, OneColourMapsToIndexZero) {
  for (int32_t method : {QuantMethodNearest, QuantMethodOrdered, QuantMethodDiffuse}) {
    Image src(9, 7, 24), dst;
    for (int i = 0; i < 63; ++i) src.SetBgr(i, 10, 200, 100);
    ImgQuantize(src, dst, method);
    EXPECT_EQ(dst.BitsPerPixel, 8);
    EXPECT_EQ(dst.Data(), std::vector<uint8_t>(63, 0)) << method;
  }
}

TEST_F(Mapping, SmallImagesAreMappedToTheNearestColour) {
  std::mt19937 rng(3);
  for (auto size : {std::make_pair(3, 10), std::make_pair(10, 3), std::make_pair(1, 1)}) {
    Image src(size.first, size.second, 24), near, dithered, diffused;
    src.Fill(rng);
    std::vector<uint8_t> before = src.Data();
    ImgQuantize(src, near, QuantMethodNearest);
    ImgQuantize(src, dithered, QuantMethodOrdered);
    ImgQuantize(src, diffused, QuantMethodDiffuse);
    EXPECT_EQ(dithered.Data(), near.Data());
    EXPECT_EQ(diffused.Data(), near.Data());
    EXPECT_EQ(src.Data(), before);
  }
}

TEST_F(Mapping, DiffusionChangesATrueColourSourceOnly) {
  std::mt19937 rng(4);
  Image wide(40, 30, 24), dst;
  wide.Fill(rng);
  std::vector<uint8_t> before = wide.Data();
  ImgQuantize(wide, dst, QuantMethodDiffuse);
  EXPECT_NE(wide.Data(), before);
  Image words(40, 30, 16);
  words.Fill(rng);
  before = words.Data();
  ImgQuantize(words, dst, QuantMethodDiffuse);
  EXPECT_EQ(words.Data(), before);
}

TEST_F(Mapping, EveryIndexIsBelowTheColoursBuilt) {
  std::mt19937 rng(5);
  for (int round = 0; round < 12; ++round) {
    const int32_t depths[] = {8, 15, 16, 24, 32};
    int32_t bits = depths[round % 5];
    // Few colours (exact palette) and many (boxes) alike.
    Image src(int32_t(rng() % 50 + 1), int32_t(rng() % 50 + 1), bits), dst;
    src.Fill(rng);
    if (round % 3 == 0)
      for (int32_t i = 0; i < src.Bytes(); ++i) src.Pixels[i] &= 0xC0;
    for (PaletteEntry& e : src.Palette) e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    int32_t blocks = MemCount();
    ImgQuantize(src, dst, int32_t(rng() % 3));
    EXPECT_EQ(MemCount(), blocks + 1);
    EXPECT_EQ(QuantWorkArea(), nullptr);
    int32_t used = EntriesUsed(dst);
    for (uint8_t v : dst.Data()) EXPECT_LT(v, used) << bits;
  }
}

TEST_F(Mapping, ExactColoursAreNotDithered) {
  // Colours that are their own palette entries leave no error to spread.
  Image src(16, 16, 24), near, ordered;
  for (int i = 0; i < 256; ++i) src.SetBgr(i, uint8_t(i % 4 * 64), uint8_t(i / 4 % 4 * 64), uint8_t(i / 16 * 16));
  ImgQuantize(src, near, QuantMethodNearest);
  ImgQuantize(src, ordered, QuantMethodOrdered);
  EXPECT_EQ(ordered.Data(), near.Data());
  Image diffused;
  ImgQuantize(src, diffused, QuantMethodDiffuse);
  EXPECT_EQ(diffused.Data(), near.Data());
}

namespace {

// The indices a mapping gives a flat 16 x 16 red over a two-colour palette
// (black and red high).
std::vector<uint8_t> FlatRed(int high, int flatRed, int32_t method) {
  Image two(2, 1, 24);
  two.Set({0, 0, 0, 0, 0, uint8_t(high)});
  QuantPrepare();
  QuantCount(two);
  QuantBuild(256);
  Image flat(16, 16, 24), dst(16, 16, 8);
  for (int i = 0; i < 256; ++i) flat.SetBgr(i, 0, 0, uint8_t(flatRed));
  if (method == QuantMethodOrdered) QuantMapOrdered(flat.Pixels, 16, 16, 3, dst);
  if (method == QuantMethodDiffuse) QuantMapDiffuse(flat.Pixels, 16, 16, 3, dst);
  if (method == QuantMethodNearest) QuantMapNearest(flat.Pixels, 256, 3, dst);
  QuantRelease();
  return dst.Data();
}

int Ones(const std::vector<uint8_t>& px) { return int(std::count(px.begin(), px.end(), 1)); }

}  // namespace

TEST_F(Mapping, DitheringSpreadsAFlatColourOverItsNeighbours) {
  // Red 126 between black and 252, red 16 between black and 32: the nearest
  // mapping gives black throughout, the dithers a mix of both.
  EXPECT_EQ(Ones(FlatRed(252, 126, QuantMethodNearest)), 0);
  int ordered = Ones(FlatRed(252, 126, QuantMethodOrdered));
  EXPECT_GT(ordered, 96);
  EXPECT_LT(ordered, 160);
  EXPECT_EQ(Ones(FlatRed(32, 16, QuantMethodNearest)), 0);
  int diffused = Ones(FlatRed(32, 16, QuantMethodDiffuse));
  EXPECT_GT(diffused, 64);
  EXPECT_LT(diffused, 192);
  // An error of 126 is past the last pushed share: nothing spreads.
  EXPECT_EQ(Ones(FlatRed(252, 126, QuantMethodDiffuse)), 0);
}

TEST_F(Mapping, IndexedSourceKeepsItsPixelsThroughThePalette) {
  Image src(4, 4, 8), dst;
  for (int i = 0; i < 16; ++i) src.Pixels[i] = uint8_t(i % 3 + 5);
  src.Palette[5] = {0, 0, 0};
  src.Palette[6] = {0, 0, 200};
  src.Palette[7] = {200, 0, 0};
  ImgQuantize(src, dst, QuantMethodDiffuse);
  for (int i = 0; i < 16; ++i) {
    const PaletteEntry& a = src.Palette[src.Pixels[i]];
    const PaletteEntry& b = dst.Palette[dst.Pixels[i]];
    EXPECT_EQ(a.Red / 4 * 4, b.Red);
    EXPECT_EQ(a.Blue / 4 * 4, b.Blue);
  }
}

TEST_F(Mapping, BadArgumentsAreReported) {
  Image src(4, 4, 24), empty, dst;
  int32_t blocks = MemCount();
  EXPECT_THROW(ImgQuantize(src, src, 0), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 6}));
  EXPECT_THROW(ImgQuantize(empty, dst, 0), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 2}));
  ImgSetGeometry(src, 4, 4, 12);
  EXPECT_THROW(ImgQuantize(src, dst, 0), EMon);
  EXPECT_EQ(MemCount(), blocks);
  EXPECT_EQ(QuantWorkArea(), nullptr);
}

using NearestLoops = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, NearestLoops, EveryCpuTier);

TEST_P(NearestLoops, MapEveryPixelToItsCell) {
  // More pixels than cells: the mapping reads a byte copy of the cells;
  // fewer, the cells themselves. Either way each pixel must get what the
  // cell lookup gives it, up to the block's last byte. Only the counted
  // cells' bytes are copied: the others are spoilt first. Few colours give
  // an exact palette, which has no boxes.
  std::mt19937 rng(8);
  struct Case {
    int32_t w, h, step;
    bool few;
  } cases[] = {{700, 400, 3, false}, {700, 400, 4, true}, {300, 200, 4, false},
               {37, 5, 3, false},    {16, 1, 4, false},   {22, 1, 3, false}};
  for (const Case& c : cases) {
    Image src(c.w, c.h, 8 * c.step), dst(c.w, c.h, 8);
    src.Fill(rng);
    if (c.few)
      for (int32_t i = 0; i < src.Bytes(); ++i) src.Pixels[i] &= 0xC0;
    QuantPrepare();
    QuantCount(src);
    QuantBuild(256);
    QuantArea& a = *QuantWorkArea();
    if (c.few) {
      EXPECT_EQ(a.BoxCount, 0);
    }
    std::memset(a.CellIndex, 0xA5, QuantCells);
    QuantMapNearest(src.Pixels, c.w * c.h, c.step, dst);
    int32_t wrong = 0;
    for (int32_t i = 0; i < c.w * c.h; ++i) {
      const uint8_t* p = src.Pixels + c.step * i;
      wrong += dst.Pixels[i] != QuantLookup(a, QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2));
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
    QuantRelease();
  }
}

// The dithers' lookup of every cell, met twice, against the optimiser's own:
// for a palette of boxes and for an exact one of 256 colours. Entry 255 is
// a real index in both, and also the byte of a cell not yet met; and the
// dithers leave the cube's cells as counting left them.
TEST_F(Mapping, DitherCellsMatchTheLookupInEveryCell) {
  std::mt19937 rng(21);
  for (int32_t kind = 0; kind < 3; ++kind) {
    const bool exact = kind == 2;
    Image src(64, 64, 24);
    for (int32_t i = 0; i < 64 * 64; ++i) {
      const int32_t c = i % 256;
      if (exact)  // 256 colours, each in a cell of its own
        src.SetBgr(i, uint8_t((c & 7) * 32 + 16), uint8_t((c >> 3 & 7) * 32 + 16), uint8_t((c >> 6) * 64 + 8));
      else if (kind == 1)  // smooth, with noise: boxes of many cells
        src.SetBgr(i, uint8_t(i % 64 * 4 + rng() % 9), uint8_t(i / 64 * 4), uint8_t(rng() % 40 + 100));
      else
        src.SetBgr(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
    }
    QuantPrepare();
    QuantCount(src);
    QuantBuild(256);
    QuantArea& a = *QuantWorkArea();
    ASSERT_EQ(a.BoxCount == 0, exact);
    std::vector<uint8_t> first(QuantCells);
    int32_t changed = 0;
    {
      DitherCells look(a);
      for (int32_t cell = 0; cell < QuantCells; ++cell) first[size_t(cell)] = uint8_t(look(cell));
      for (int32_t cell = 0; cell < QuantCells; ++cell) changed += look(cell) != first[size_t(cell)];
    }
    EXPECT_EQ(changed, 0);
    EXPECT_FALSE(a.CellsScattered);
    int32_t wrong = 0;
    for (int32_t cell = 0; cell < QuantCells; ++cell) wrong += QuantLookup(a, cell) != first[size_t(cell)];
    EXPECT_EQ(wrong, 0) << kind;
    EXPECT_GT(std::count(first.begin(), first.end(), uint8_t(255)), 0);
    QuantRelease();
  }
}

namespace {

// A fresh work area with the palette of source.
void BuildPalette(const ImageBuffer& source) {
  QuantRelease();
  QuantPrepare();
  QuantCount(source);
  QuantBuild(256);
}

}  // namespace

// Each case runs through each tier's loop, the plain one among them.
using DiffusionLoops = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, DiffusionLoops, EveryCpuTier);

TEST_P(DiffusionLoops, MatchThePlainLoop) {
  std::mt19937 rng(12);
  struct Case {
    int32_t w, h, step;
    bool ends;  // components next to 0 and 255, where the shares are clamped
  } cases[] = {{1, 5, 3, false},    {5, 1, 3, false},   {2, 2, 4, false},   {37, 23, 3, false},
               {40, 30, 4, false},   {700, 400, 3, false}, {41, 17, 3, true}, {30, 20, 4, true},
               {6, 6, 3, false},     {7, 9, 4, true},     {8, 4, 3, true},    {600, 450, 4, true},
               {11, 5, 3, false},    {12, 7, 4, false},   {13, 6, 3, true},   {14, 8, 3, false}};
  for (const Case& c : cases) {
    Image src(c.w, c.h, c.step * 8), dst(c.w, c.h, 8);
    // Smooth colours with noise, so that the errors stay small and spread.
    auto end = [&] { return uint8_t(rng() % 2 ? rng() % 16 : 255 - rng() % 16); };
    for (int32_t i = 0; i < c.w * c.h; ++i)
      if (c.ends)
        src.SetBgr(i, end(), end(), end());
      else
        src.SetBgr(i, uint8_t(i % c.w * 255 / c.w + rng() % 9), uint8_t(i / c.w * 255 / c.h),
                   uint8_t(rng() % 40 + 100));
    // The plain loop and the mapping each on a palette of their own, built
    // the same way: the cells that one fills do not decide the other's.
    Image plain;
    ImgCopy(src, plain);
    std::vector<uint8_t> expected;
    BuildPalette(plain);
    ref::PlainDiffuse(plain.Pixels, c.w, c.h, c.step, expected);
    BuildPalette(src);
    QuantMapDiffuse(src.Pixels, c.w, c.h, c.step, dst);
    EXPECT_EQ(dst.Data(), expected) << c.w << "x" << c.h;
    EXPECT_EQ(src.Data(), plain.Data()) << c.w << "x" << c.h;
    QuantRelease();
  }
}

using OrderedLoops = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, OrderedLoops, EveryCpuTier);

TEST_P(OrderedLoops, MatchThePlainLoop) {
  std::mt19937 rng(13);
  // Widths around the vector loop's 16 pixels and the matrix's 128 columns;
  // the last row of a narrow picture is too short for its 64-byte load.
  struct Case {
    int32_t w, h, step;
  } cases[] = {{37, 23, 3}, {300, 200, 4}, {700, 400, 3}, {16, 5, 3}, {17, 9, 4}, {33, 3, 3}, {130, 7, 3}};
  for (const Case& c : cases) {
    Image src(c.w, c.h, c.step * 8), dst(c.w, c.h, 8);
    for (int32_t i = 0; i < c.w * c.h; ++i)
      src.SetBgr(i, uint8_t(i % c.w * 255 / c.w + rng() % 9), uint8_t(i / c.w * 255 / c.h), uint8_t(rng() % 60 + 90));
    // The plain loop first, on a palette of its own: the cells it fills do
    // not decide what the mapping finds.
    BuildPalette(src);
    std::vector<uint8_t> expected;
    ref::PlainOrdered(src.Pixels, c.w, c.h, c.step, expected);
    BuildPalette(src);
    QuantMapOrdered(src.Pixels, c.w, c.h, c.step, dst);
    EXPECT_EQ(dst.Data(), expected) << c.w << "x" << c.h;
    QuantRelease();
  }
}

// The optimiser keeps its cube from call to call and clears only the cells
// a call counted, or all of them after a call that wrote others: what a
// call gives must not depend on the calls before it, whatever they wrote.
TEST_F(Mapping, ResultsDoNotDependOnTheCallsBefore) {
  std::mt19937 rng(17);
  Image many(60, 40, 24), few(30, 20, 24), indexed(20, 20, 8);
  many.Fill(rng);
  for (int32_t i = 0; i < few.Width * few.Height; ++i) few.SetBgr(i, uint8_t(i % 7 * 36), uint8_t(i % 5 * 60), 200);
  indexed.Fill(rng);
  for (PaletteEntry& e : indexed.Palette) e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
  auto quantize = [](const ImageBuffer& picture, int32_t method) {
    Image source, target;
    ImgCopy(picture, source);
    ImgQuantize(source, target, method);
    std::vector<uint8_t> out = target.Data();
    const uint8_t* palette = &target.Palette[0].Blue;
    out.insert(out.end(), palette, palette + sizeof target.Palette);
    return out;
  };
  for (const ImageBuffer* picture : {static_cast<const ImageBuffer*>(&many), static_cast<const ImageBuffer*>(&few)})
    for (int32_t method = 0; method < 3; ++method) {
      const std::vector<uint8_t> first = quantize(*picture, method);
      for (const ImageBuffer* before : {static_cast<const ImageBuffer*>(&many), static_cast<const ImageBuffer*>(&few),
                                        static_cast<const ImageBuffer*>(&indexed)})
        for (int32_t earlier = 0; earlier < 3; ++earlier) {
          quantize(*before, earlier);
          EXPECT_EQ(quantize(*picture, method), first) << "method " << method << " after " << earlier;
        }
    }
}
